#pragma once

#include <QDialog>

#include "core/user_interface.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zrd::formula {

inline constexpr const char* kTestFormulasCaption = "Formulas testing";
inline constexpr const char* kPresetFormula = "if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)";
// The question before the result is computed; only "1" computes it.
inline constexpr const char* kCalculationTitle = "Calculation";
inline constexpr const char* kCalculationPrompt =
    "Do you want to calculate the value?? 0-No, 1- Yes";
inline constexpr const char* kCalculationPreset = "0";

// "Formulas testing": a formula typed, prepared as the dialog does, converted with the values of
// its references asked for, its postfix items shown and, when asked, its result.
class Ttest_formulas_Form : public QDialog {
    Q_OBJECT
public:
    Ttest_formulas_Form(UserInterface& ui, QWidget* parent);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Edit1;      // the formula
    QPlainTextEdit* info;  // the prepared text
    QLineEdit* Edit2;      // postfix items
    QLineEdit* Edit3;      // result
    QPushButton* Button2;  // Calculate
    QPushButton* Button1;  // Close

public slots:
    // A bad formula or answer leaves by the general error report.
    void Button2Click();

private:
    UserInterface& m_ui;
};

}  // namespace zrd::formula
