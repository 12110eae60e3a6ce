#pragma once

#include <QDialog>

#include "params/parameter_comparison.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace zrd::params {

inline constexpr const char* kCompareCaption = "Parameters in the file";

// What a parameter file would change, shown before it is applied: one row per parameter with
// the program's value, the file's, the default, the limits and the unit; a value outside its
// limits is marked and the limit's formula named. OK applies (the caller's `accepted`).
class TCompare_Form : public QDialog {
    Q_OBJECT
public:
    TCompare_Form(const Comparison& comparison, const QString& path, QWidget* parent);

    QLabel* Label1;  // the file and the counts
    QTableWidget* Grid1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

}  // namespace zrd::params
