#include "params/ui/compare_form.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "core/number_text.h"

namespace zrd::params {
namespace {

constexpr std::array<const char*, 7> kColumns = {"Mnemonic", "Name",   "Program", "File",
                                                 "Default",  "Limits", "Unit"};
enum Column { kMnemonic, kName, kProgram, kFile, kDefault, kLimits, kUnit };
constexpr int kFormWidth = 860;
constexpr int kFormHeight = 520;
// Values outside their limits, and rows that change.
const QColor kOutside(255, 200, 200);
const QColor kChanged(255, 250, 205);

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString valueText(const std::optional<double>& v) {
    return v ? text(formatGeneral(*v)) : QString("—");
}

}  // namespace

TCompare_Form::TCompare_Form(const Comparison& comparison, const QString& path, QWidget* parent)
    : QDialog(parent) {
    setObjectName("Compare_Form");
    setWindowTitle(kCompareCaption);
    resize(kFormWidth, kFormHeight);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setText(QString("%1: %2 values differ from the program's, %3 outside their limits")
                        .arg(path)
                        .arg(comparison.differing)
                        .arg(comparison.outside));
    Grid1 = new QTableWidget(int(comparison.rows.size()), int(kColumns.size()), this);
    Grid1->setObjectName("Grid1");
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->verticalHeader()->hide();
    QStringList headers;
    for (const char* c : kColumns)
        headers << c;
    Grid1->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < int(comparison.rows.size()); ++r) {
        const ComparisonRow& row = comparison.rows[size_t(r)];
        const std::array<QString, 7> cells = {
            text(row.mnemonic),
            text(row.name),
            valueText(row.a),
            valueText(row.b),
            text(formatGeneral(row.defaultValue)),
            text(formatGeneral(row.minValue) + " .. " + formatGeneral(row.maxValue)),
            text(row.unit)};
        for (int c = 0; c < int(cells.size()); ++c) {
            auto* item = new QTableWidgetItem(cells[size_t(c)]);
            if (row.differs)
                item->setBackground(kChanged);
            Grid1->setItem(r, c, item);
        }
        for (const auto& [outside, column] :
             {std::pair{row.aOutside, kProgram}, std::pair{row.bOutside, kFile}}) {
            if (!outside)
                continue;
            QTableWidgetItem* item = Grid1->item(r, column);
            item->setBackground(kOutside);
            item->setText(item->text() + " !");
            item->setToolTip(text(row.limitNote));
            Grid1->item(r, kLimits)->setText(text(row.limitNote));
        }
    }
    Grid1->resizeColumnsToContents();
    Grid1->horizontalHeader()->setStretchLastSection(true);

    OKBtn = new QPushButton("OK", this);
    OKBtn->setObjectName("OKBtn");
    CancelBtn = new QPushButton("Cancel", this);
    CancelBtn->setObjectName("CancelBtn");
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* root = new QVBoxLayout(this);
    root->addWidget(Label1);
    root->addWidget(Grid1, 1);
    root->addLayout(buttons);
}

}  // namespace zrd::params
