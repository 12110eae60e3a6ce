#pragma once
// "Save oscillogram to file" and "Reading oscillogram from file" of the main window's menu.

#include <QObject>
#include <string>

#include "core/user_interface.h"
#include "monitor/action_log.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "scope/oscillogram_file_reader.h"

class QAction;
class QLineEdit;
class QWidget;

namespace zrd::scope {

class TOfflineScopePage;
class TOnlineScopePage;
class TOscill;
class TOscillOff;

struct OscillogramFileParts {
    Oscillogram& oscillogram;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    UserInterface& ui;
    monitor::ActionLog& actionLog;
};
// What the file items touch of the main window.
struct OscillogramFileWindows {
    QWidget* window;  // the dialogs' parent
    QLineEdit* date;  // the clock fields, for the action log
    QLineEdit* time;
    QLineEdit* parameterSource;  // show_state_par
    QAction* saveOscillogram;
    TOnlineScopePage* online;
    TOfflineScopePage* offline;
    TOscill* onlineViewer;
    TOscillOff* offlineViewer;
};

class TOscillogramFiles : public QObject {
    Q_OBJECT
public:
    TOscillogramFiles(const OscillogramFileParts& parts, const OscillogramFileWindows& windows,
                      QObject* parent);

    // The work after the dialogs, for a chosen file: a failure stops through the general error
    // report (after a read, with what was read shown).
    void save(const std::string& path);
    void read(const std::string& path);

public slots:
    void N20Click();
    void N21Click();

private:
    void showRead(const DatReadResult& result);

    OscillogramFileParts m_parts;
    OscillogramFileWindows m_windows;
};

}  // namespace zrd::scope
