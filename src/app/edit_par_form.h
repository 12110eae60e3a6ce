#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace zrd::app {

class TMainForm;
class TParamFrame;

inline constexpr const char* kEditParCaption = "Editing of parameter";
// Height of one line of the function list.
inline constexpr int kFunctionLineHeight = 15;

// The edit dialog of one parameter: shows its limits and writes a new value to the drive.
class TEdit_par_Form : public QDialog {
    Q_OBJECT
public:
    explicit TEdit_par_Form(TMainForm& form);

    // Fills the dialog from row k of the frame and shows it modally; the function list of
    // digital and analog I/O parameters is shown when asked for.
    void openForRow(TParamFrame& frame, int k, bool withFunctionList);
    // Fills the dialog without showing it (openForRow's first half).
    void fillFromRow(TParamFrame& frame, int k, bool withFunctionList);
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

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showUpdateCondition();
    void afterWrite(const std::string& mnemonic, double value);

    TMainForm& m_form;
    QString m_rowControl;  // "Param" + k of the row being edited
    int m_frameSlot = -1;
    int m_updateCondition = 0;
    int m_designHeight = 0;
};

}  // namespace zrd::app
