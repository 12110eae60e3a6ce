#pragma once

#include <QDialog>
#include <QString>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "session/parameter_access.h"
#include "session/parameter_edit.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace zrd::params {
class TParamFrame;
}

namespace zrd::session {

inline constexpr const char* kEditParCaption = "Editing of parameter";
// Height of one line of the function list.
inline constexpr int kFunctionLineHeight = 15;

// What the edit dialog works with; all of it lives for the whole run.
struct EditParts {
    link::DriveLink& link;
    params::ParameterModel& model;
    ParameterAccess& access;
    const params::MessageTable& messages;
    const params::TypeTables& typeTables;
    const FunctionNameLists& functionNames;
};

// The edit dialog of one parameter: shows its limits and writes a new value to the drive.
class TEdit_par_Form : public QDialog {
    Q_OBJECT
public:
    TEdit_par_Form(const EditParts& parts, QWidget* parent);

    // Fills the dialog from row k of the frame and shows it modally; the function list of
    // digital and analog I/O parameters is shown when asked for.
    void openForRow(params::TParamFrame& frame, int k, bool withFunctionList);
    // Fills the dialog without showing it (openForRow's first half).
    void fillFromRow(params::TParamFrame& frame, int k, bool withFunctionList);
    // Puts the dialog back to its design height with the list hidden.
    void restoreLayout();

    QLabel* Label1;    // description
    QLineEdit* Edit1;  // new value
    QLabel* Label3;    // unit
    QLineEdit* Edit2;  // default
    QLineEdit* Edit3;  // minimum
    QLineEdit* Edit4;  // maximum
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QPlainTextEdit* Memo1;
    QPushButton* Button1;  // Write
    QPushButton* Button2;  // Cancel

signals:
    // A value was written; the windows show what follows from it.
    void written(const session::EditOutcome& outcome);

public slots:
    void Button1Click();
    void Button2Click();

private:
    void showUpdateCondition();

    EditParts m_parts;
    int m_position = 0;
    int m_updateCondition = 0;
    int m_designHeight = 0;
};

}  // namespace zrd::session
