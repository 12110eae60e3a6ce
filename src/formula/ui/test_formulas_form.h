#pragma once

#include <QDialog>

#include "formula/formula.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace zrd::formula {

inline constexpr const char* kTestFormulasCaption = "Formulas testing";
inline constexpr const char* kPresetFormula = "if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)";
// The question before the result is computed, answered in the window; only "1" computes it.
inline constexpr const char* kCalculationPrompt =
    "Do you want to calculate the value?? 0-No, 1- Yes";
inline constexpr const char* kCalculationPreset = "0";
// Beside the reference whose value cannot enter the formula.
inline constexpr const char* kNotANumberText = "The value of this parameter is not a number:";

// "Formulas testing": a formula typed, prepared as the dialog does, converted with the values
// typed for its references in the window's table, its postfix items shown and, when asked,
// its result. Nothing is asked in a box of its own.
class Ttest_formulas_Form : public QDialog {
    Q_OBJECT
public:
    explicit Ttest_formulas_Form(QWidget* parent);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Edit1;           // the formula
    QPlainTextEdit* info;       // the prepared text
    QTableWidget* StringGrid1;  // the references: name, value
    QLabel* Label6;             // "not a number", shown while a value is not
    QLabel* Label7;             // the reference and the value that is not a number
    QLabel* Label5;             // the calculation question
    QLineEdit* Edit4;           // its answer
    QLineEdit* Edit2;           // postfix items
    QLineEdit* Edit3;           // result
    QPushButton* Button2;       // Calculate
    QPushButton* Button1;       // Close

public slots:
    // A bad formula leaves by the general error report; a value that is not a number is
    // shown in the window, and nothing else changes.
    void Button2Click();

private:
    // The table's rows follow the references of the formula; typed values stay.
    void Edit1Change();
    void showValueProblem(std::optional<size_t> row);

    TestFormulaValues m_values;
    bool m_filling = false;
};

}  // namespace zrd::formula
