#include "formula/ui/test_formulas_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/number_text.h"
#include "core/ui/window_translator.h"
#include "formula/formula.h"

namespace zrd::formula {

Ttest_formulas_Form::Ttest_formulas_Form(UserInterface& ui, QWidget* parent)
    : QDialog(parent), m_ui(ui) {
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
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(Label3, 2, 2);
    grid->addWidget(Edit3, 2, 3);
    grid->addWidget(Label4, 3, 3);
    grid->addWidget(Button2, 4, 1);
    grid->addWidget(Button1, 4, 3);
    resize(560, 240);
    connect(Button2, &QPushButton::clicked, this, &Ttest_formulas_Form::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
}

void Ttest_formulas_Form::Button2Click() {
    PostfixList list;
    Edit2->clear();
    const PreparedFormula prepared = PrepareTestFormula(Edit1->text().toStdString());
    info->setPlainText(QString::fromStdString(prepared.info));
    ParseStringAsk(prepared.converted, list, m_ui);
    QString items;
    for (const std::string& item : list)
        items += QString::fromStdString(item) + ' ';
    Edit2->setText(items);
    const std::optional<std::string> answer =
        m_ui.askText(kCalculationTitle, kCalculationPrompt, kCalculationPreset);
    if (answer && *answer == "1")
        Edit3->setText(QString::fromStdString(formatGeneral(EvaluatePostfix(list))));
}

}  // namespace zrd::formula
