#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "core/user_interface.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

class QWidget;

namespace zrd::params {
class TCompare_Form;
}

namespace zrd::session {

class TDriveSession;

// "Save parameters to file" and "Reading parameters from file": the file dialogs, the
// comparison shown before a file is applied, and the pages after it.
class TParameterFiles : public QObject {
    Q_OBJECT
public:
    TParameterFiles(params::ParameterModel& model, const params::MessageTable& messages,
                    UserInterface& ui, TDriveSession& session, QWidget* window);

    // The file to save to (true) or read from; empty: cancelled. File dialogs unless a caller
    // puts its own choice here.
    std::function<QString(bool saving)> chooseFile;
    // The comparison of the last file read, while it is open.
    [[nodiscard]] params::TCompare_Form* comparison() const { return m_comparison; }

public slots:
    void Saveparameterstofile1Click();
    void Readingparametersfromfile1Click();

private:
    void say(const std::string& text) const;

    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    UserInterface& m_ui;
    TDriveSession& m_session;
    QWidget* m_window;
    params::TCompare_Form* m_comparison = nullptr;
};

}  // namespace zrd::session
