#include "formula/ui/test_formulas_form.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "core/number_text.h"
#include "core/ui/window_translator.h"

namespace zrd::formula {
namespace {

constexpr int kNameColumn = 0;
constexpr int kValueColumn = 1;

}  // namespace

Ttest_formulas_Form::Ttest_formulas_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("test_formulas_Form");
    setWindowTitle(kTestFormulasCaption);
    const auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };
    const auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        return e;
    };
    Label1 = label("Label1", "Initial string");
    Label2 = label("Label2", "Revers Poland Notation");
    Label3 = label("Label3", "=");
    Label4 = label("Label4", "Result");
    Edit1 = edit("Edit1");
    Edit1->setText(kPresetFormula);
    // A formula of the formula language, not a text of the window.
    ui::markDataText(Edit1);
    info = new QPlainTextEdit(this);
    info->setObjectName("info");
    info->setReadOnly(true);
    StringGrid1 = new QTableWidget(0, 2, this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setHorizontalHeaderLabels({"Parameter", "Value"});
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Label6 = label("Label6", kNotANumberText);
    Label6->setStyleSheet("color: red");
    Label7 = label("Label7", "");
    Label7->setStyleSheet("color: red");
    // The reference's name and what was typed for it.
    ui::markDataText(Label7);
    Label5 = label("Label5", kCalculationPrompt);
    Edit4 = edit("Edit4");
    Edit4->setText(kCalculationPreset);
    ui::markDataText(Edit4);
    Edit2 = edit("Edit2");
    Edit3 = edit("Edit3");
    Button2 = new QPushButton("Calculate", this);
    Button2->setObjectName("Button2");
    Button1 = new QPushButton("Close", this);
    Button1->setObjectName("Button1");

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 3);
    grid->addWidget(info, 1, 1, 1, 3);
    grid->addWidget(StringGrid1, 2, 1, 1, 3);
    grid->addWidget(Label6, 3, 1);
    grid->addWidget(Label7, 3, 2, 1, 2);
    grid->addWidget(Label5, 4, 1, 1, 2);
    grid->addWidget(Edit4, 4, 3);
    grid->addWidget(Label2, 5, 0);
    grid->addWidget(Edit2, 5, 1);
    grid->addWidget(Label3, 5, 2);
    grid->addWidget(Edit3, 5, 3);
    grid->addWidget(Label4, 6, 3);
    grid->addWidget(Button2, 7, 1);
    grid->addWidget(Button1, 7, 3);
    resize(560, 420);
    connect(Button2, &QPushButton::clicked, this, &Ttest_formulas_Form::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
    connect(Edit1, &QLineEdit::textChanged, this, &Ttest_formulas_Form::Edit1Change);
    connect(StringGrid1, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling || item->column() != kValueColumn)
            return;
        const auto row = static_cast<size_t>(item->row());
        if (row < m_values.names().size())
            m_values.setValue(m_values.names()[row], item->text().toStdString());
    });
    Edit1Change();
    showValueProblem(std::nullopt);
}

void Ttest_formulas_Form::Edit1Change() {
    m_values.setFormula(Edit1->text().toStdString());
    const std::vector<std::string>& names = m_values.names();
    m_filling = true;
    StringGrid1->setRowCount(static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* name = new QTableWidgetItem(QString::fromStdString(names[i]));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        StringGrid1->setItem(row, kNameColumn, name);
        StringGrid1->setItem(
            row, kValueColumn,
            new QTableWidgetItem(QString::fromStdString(m_values.value(names[i]))));
    }
    m_filling = false;
}

void Ttest_formulas_Form::showValueProblem(std::optional<size_t> row) {
    Label6->setVisible(row.has_value());
    Label7->setVisible(row.has_value());
    if (!row) {
        Label7->clear();
        return;
    }
    const std::string& name = m_values.names().at(*row);
    Label7->setText(QString::fromStdString(name + " \"" + m_values.value(name) + "\""));
    StringGrid1->setCurrentCell(static_cast<int>(*row), kValueColumn);
}

void Ttest_formulas_Form::Button2Click() {
    const PreparedFormula prepared = PrepareTestFormula(Edit1->text().toStdString());
    info->setPlainText(QString::fromStdString(prepared.info));
    const std::optional<size_t> bad = m_values.firstBadRow();
    showValueProblem(bad);
    if (bad)
        return;
    PostfixList list;
    Edit2->clear();
    m_values.convert(prepared.converted, list);
    QString items;
    for (const std::string& item : list)
        items += QString::fromStdString(item) + ' ';
    Edit2->setText(items);
    if (Edit4->text() == "1")
        Edit3->setText(QString::fromStdString(formatGeneral(EvaluatePostfix(list))));
}

}  // namespace zrd::formula
