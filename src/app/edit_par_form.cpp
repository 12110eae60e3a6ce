#include "app/edit_par_form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/colors.h"
#include "app/edit_value.h"
#include "app/main_form.h"
#include "app/param_frame.h"

namespace zrd::app {
namespace {

constexpr int kDialogWidth = 430;
constexpr int kWaitBeforeWriteMs = 10;

QLineEdit* limitField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setEnabled(false);
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(90);
    return field;
}

const std::vector<std::string>* functionNames(const Program& program, FunctionList list) {
    switch (list) {
        case FunctionList::DigitalInputs:
            return &program.functionNames.digitalInputs;
        case FunctionList::DigitalOutputs:
            return &program.functionNames.digitalOutputs;
        case FunctionList::AnalogOutputs:
            return &program.functionNames.analogOutputs;
        case FunctionList::None:
            break;
    }
    return nullptr;
}

}  // namespace

TEdit_par_Form::TEdit_par_Form(TMainForm& form) : QDialog(&form), m_form(form) {
    setObjectName("Edit_par_Form");
    setWindowTitle(kEditParCaption);
    setModal(true);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setAlignment(Qt::AlignRight);
    Edit1->setFixedWidth(110);
    Label3 = new QLabel(this);
    Label3->setObjectName("Label3");
    Edit2 = limitField("Edit2", this);
    Edit3 = limitField("Edit3", this);
    Edit4 = limitField("Edit4", this);

    auto* values = new QGridLayout;
    values->setHorizontalSpacing(8);
    values->addWidget(new QLabel("Value", this), 0, 0);
    values->addWidget(Edit1, 0, 1);
    values->addWidget(Label3, 0, 2);
    values->addWidget(new QLabel("Default", this), 1, 0);
    values->addWidget(Edit2, 1, 1);
    values->addWidget(new QLabel("Minimum", this), 2, 0);
    values->addWidget(Edit3, 2, 1);
    values->addWidget(new QLabel("Maximum", this), 3, 0);
    values->addWidget(Edit4, 3, 1);
    values->setColumnStretch(2, 1);

    auto* update = new QGroupBox("Update", this);
    update->setObjectName("GroupBox1");
    auto* radios = new QVBoxLayout(update);
    auto* group = new QButtonGroup(this);
    RadioButton1 = new QRadioButton("Parameter is updated immediately after writing", update);
    RadioButton1->setObjectName("RadioButton1");
    RadioButton2 = new QRadioButton("Parameter is updated when servo is in desable state", update);
    RadioButton2->setObjectName("RadioButton2");
    RadioButton3 = new QRadioButton("Parameter is updated after servo reset", update);
    RadioButton3->setObjectName("RadioButton3");
    for (QRadioButton* r : {RadioButton1, RadioButton2, RadioButton3}) {
        group->addButton(r);
        radios->addWidget(r);
        // They only tell the user; a click puts the check back.
        connect(r, &QRadioButton::clicked, this, &TEdit_par_Form::showUpdateCondition);
    }

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->hide();

    Button1 = new QPushButton("Write", this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TEdit_par_Form::Button1Click);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    connect(Button2, &QPushButton::clicked, this, &TEdit_par_Form::Button2Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(12, 12, 12, 12);
    root->addWidget(Label1);
    root->addLayout(values);
    root->addWidget(update);
    root->addWidget(Memo1);
    root->addLayout(buttons);

    m_designHeight = sizeHint().height();
    setFixedSize(kDialogWidth, m_designHeight);
}

void TEdit_par_Form::fillFromRow(TParamFrame& frame, int k, bool withFunctionList) {
    Program& program = m_form.program();
    const ParamRow& row = frame.row(k);
    m_rowControl = "Param" + QString::number(k);
    m_frameSlot = frame.slot();
    const int position = row.index->text().toInt();
    program.model.setCurrentParameter(position);
    const params::TPar& p = program.model.parameter(position);

    setWindowTitle("Parameter " + row.Min->text());
    Label1->setText(QString::fromStdString(params::description(p, program.language())));
    Edit1->setText(QString::fromStdString(params::valueText(program.model.value(position))));
    Label3->setText(QString::fromStdString(params::units(p, program.language())));
    Edit2->setText(QString::fromStdString(params::valueText(params::defaultDisplay(p))));
    Edit3->setText(QString::fromStdString(params::valueText(params::minDisplay(p))));
    Edit4->setText(QString::fromStdString(params::valueText(params::maxDisplay(p))));
    m_updateCondition = p.update_con;
    showUpdateCondition();

    restoreLayout();
    const std::vector<std::string>* names = functionNames(program, functionListOf(p.Pname));
    if (withFunctionList && names != nullptr) {
        QStringList lines;
        for (const std::string& name : *names)
            lines << QString::fromStdString(name);
        Memo1->setPlainText(lines.join('\n'));
        const int grow = kFunctionLineHeight * static_cast<int>(names->size());
        Memo1->setFixedHeight(grow);
        Memo1->show();
        setFixedSize(kDialogWidth, m_designHeight + grow);
    }
    Edit1->selectAll();
    Edit1->setFocus();
}

void TEdit_par_Form::restoreLayout() {
    Memo1->hide();
    setFixedSize(kDialogWidth, m_designHeight);
}

void TEdit_par_Form::openForRow(TParamFrame& frame, int k, bool withFunctionList) {
    fillFromRow(frame, k, withFunctionList);
    exec();
    restoreLayout();
    Program& program = m_form.program();
    const int position = program.model.currentParameter();
    if (program.model.parameter(position).Pname == "MT")
        m_form.showMotorType(static_cast<int>(std::trunc(program.model.value(position))));
}

void TEdit_par_Form::showUpdateCondition() {
    QRadioButton* checked = m_updateCondition == 0   ? RadioButton1
                            : m_updateCondition == 1 ? RadioButton2
                                                     : RadioButton3;
    checked->setChecked(true);
}

void TEdit_par_Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    link::LinkState& state = m_form.program().link.state();
    if (!state.linkBusy)
        return;
    m_form.Timer5->stop();
    m_form.TimerForTime->stop();
    m_form.program().ui.waitMs(100);
    state.linkBusy = false;
}

void TEdit_par_Form::Button1Click() {
    Program& program = m_form.program();
    link::LinkState& state = program.link.state();
    if (state.linkBusy)
        return;
    if (state.connected == 0) {
        close();
        return;
    }
    // Read before the link is taken: a text that is no number ends here with the general
    // error report and leaves the link free.
    const double entered = parseDisplayValue(Edit1->text().toStdString());
    const double minimum = parseDisplayValue(Edit3->text().toStdString());
    const double maximum = parseDisplayValue(Edit4->text().toStdString());

    state.linkBusy = true;
    m_form.Timer5->stop();
    m_form.TimerForTime->stop();

    const int position = program.model.currentParameter();
    const params::TPar& p = program.model.parameter(position);
    const double stored = valueToStore(entered, minimum, maximum, params::defaultDisplay(p));
    program.model.setValue(position, stored);
    m_form.showInRow(position, QString::fromStdString(params::valueText(stored)));
    program.access.SetParam();
    m_form.Button6->setEnabled(true);

    const std::string mnemonic = p.Pname;
    if (mnemonic == "MT") {
        const int line = static_cast<int>(std::trunc(entered));
        if (line == 0 || line == 1) {
            state.linkBusy = false;
            m_form.Timer5->start();
            m_form.TimerForTime->start();
            return;
        }
    }
    afterWrite(mnemonic, entered);
    state.linkBusy = false;
    m_form.Timer5->start();
    m_form.TimerForTime->start();
    close();
}

void TEdit_par_Form::afterWrite(const std::string& mnemonic, double entered) {
    Program& program = m_form.program();
    const int position = program.model.currentParameter();
    const int value = static_cast<int>(std::trunc(program.model.value(position)));
    if (mnemonic == "OPMOD" && value >= 1 && value <= 3) {
        QToolButton* buttons[] = {m_form.SpeedButton4, m_form.SpeedButton5, m_form.SpeedButton6};
        buttons[value - 1]->setChecked(true);
        program.shell.operatingMode = value;
    } else if (mnemonic == "INST") {
        m_form.showCommandSource(value);
        if (value == 0 || value == 1) {
            m_form.Button6->setEnabled(true);
        } else if (value == 2 || value == 3) {
            m_form.Panel7->setEnabled(false);
            paintState(m_form.Panel7, colors::kGrey);
            m_form.Button6->setEnabled(false);
        }
    } else if (mnemonic == "MT") {
        m_form.applyMotorType(static_cast<int>(std::trunc(entered)), kWaitBeforeWriteMs);
    } else if (mnemonic.starts_with("DT")) {
        const std::optional<int> dt = program.model.knownPosition(params::KnownParameter::DT);
        if (dt && program.model.value(position) != program.model.previousValue(position)) {
            program.model.setPreviousValue(position, program.model.value(position));
            program.model.setValue(*dt, entered);
            program.model.setCurrentParameter(*dt);
            program.access.SetParam();
            if (const std::optional<std::string> name =
                    program.typeTables.driveSelectorText(program.model.value(*dt)))
                m_form.Dr_Num->setText(QString::fromStdString(*name));
            program.ui.waitMs(kWaitBeforeWriteMs);
        }
    }
}

void TEdit_par_Form::Button2Click() {
    link::LinkState& state = m_form.program().link.state();
    // Offline the link stays blocked until the dialog is next opened.
    state.linkBusy = state.connected == 0;
    close();
}

}  // namespace zrd::app
