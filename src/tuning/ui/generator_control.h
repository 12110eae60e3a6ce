#pragma once

#include <QObject>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

namespace zrd::scope {
class TOfflineScopePage;
}
namespace zrd::session {
class TControlArea;
}

namespace zrd::tuning {

// "Start FG" and "Stop FG" of the main window's generator panel: the checks before a start,
// the commands, the generator-running flag, and the hand-over to an offline capture armed for
// the generator's motion.
class TGeneratorControl : public QObject {
    Q_OBJECT
public:
    TGeneratorControl(link::DriveLink& link, const params::ParameterModel& model,
                      const params::MessageTable& messages, bool& generatorRunning,
                      session::TControlArea& controls, scope::TOfflineScopePage& offlineScope,
                      QObject* parent);

public slots:
    void SpeedButton3Click();  // Start FG
    void SpeedButton7Click();  // Stop FG

private:
    link::DriveLink& m_link;
    const params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    bool& m_running;
    session::TControlArea& m_controls;
    scope::TOfflineScopePage& m_offlineScope;
};

}  // namespace zrd::tuning
