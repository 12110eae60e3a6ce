#pragma once

#include <QObject>

namespace zrd::params {
class ParameterModel;
class TParamPages;
}  // namespace zrd::params
namespace zrd::session {
class PollTimers;
class TControlArea;
class TDriveSession;
}  // namespace zrd::session

namespace zrd::app {

class TMainMenu;

// The service staff's menus: shown from the About box, and with them the serial number made
// editable; their "Close" items hide them again and store a serial number typed meanwhile.
class TServiceMenus : public QObject {
    Q_OBJECT
public:
    struct Parts {
        TMainMenu& menu;
        session::TControlArea& controls;
        params::TParamPages& pages;
        params::ParameterModel& model;
        session::TDriveSession& session;
        const session::PollTimers& timers;
    };
    TServiceMenus(const Parts& parts, QObject* parent);

    void open(bool admin);
    void close();

private:
    // The typed serial number into the first two rows, and to the drive when one is connected.
    void storeSerialNumber();

    Parts m_parts;
};

}  // namespace zrd::app
