#include "session/ui/edit_par_form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/ui/window_translator.h"
#include "params/ui/param_frame.h"
#include "session/link_busy_guard.h"

namespace zrd::session {
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

}  // namespace

TEdit_par_Form::TEdit_par_Form(const EditParts& parts, QWidget* parent)
    : QDialog(parent), m_parts(parts) {
    setObjectName("Edit_par_Form");
    setWindowTitle(kEditParCaption);
    // The caption while a row is edited: this text and the row's line key.
    ui::setTextPart(this, "Parameter ");
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

void TEdit_par_Form::fillFromRow(params::TParamFrame& frame, int k, bool withFunctionList) {
    const params::ParamRow& row = frame.row(k);
    m_position = frame.positionOf(k);
    params::ParameterModel& model = m_parts.model;
    model.setCurrentParameter(m_position);
    const params::TPar& p = model.parameter(m_position);
    const std::string& language = model.language();

    setWindowTitle(ui::textPart(this) + row.Min->text());
    Label1->setText(QString::fromStdString(params::description(p, language)));
    Edit1->setText(QString::fromStdString(params::valueText(model.value(m_position))));
    Label3->setText(QString::fromStdString(params::units(p, language)));
    Edit2->setText(QString::fromStdString(params::valueText(params::defaultDisplay(p))));
    Edit3->setText(QString::fromStdString(params::valueText(params::minDisplay(p))));
    Edit4->setText(QString::fromStdString(params::valueText(params::maxDisplay(p))));
    m_updateCondition = p.update_con;
    showUpdateCondition();
    // A parameter the drive only reports is shown, never offered for writing.
    const bool writable = p.pType == params::kReadWrite;
    Edit1->setReadOnly(!writable);
    Button1->setEnabled(writable);

    restoreLayout();
    const std::vector<std::string>* names = m_parts.functionNames.list(functionListOf(p.Pname));
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

void TEdit_par_Form::openForRow(params::TParamFrame& frame, int k, bool withFunctionList) {
    fillFromRow(frame, k, withFunctionList);
    exec();
    restoreLayout();
}

void TEdit_par_Form::showUpdateCondition() {
    QRadioButton* checked = m_updateCondition == 0   ? RadioButton1
                            : m_updateCondition == 1 ? RadioButton2
                                                     : RadioButton3;
    checked->setChecked(true);
}

void TEdit_par_Form::Button1Click() {
    link::DriveLink& link = m_parts.link;
    const params::TPar& p = m_parts.model.parameter(m_position);
    if (p.pType != params::kReadWrite || link.state().linkBusy)
        return;
    if (link.state().connected == 0) {
        close();
        return;
    }
    // The entry is checked before anything is written: a text that is no number ends here
    // with the general error report, a value outside the limits with a message naming them.
    const double value = parseDisplayValue(Edit1->text().toStdString());
    m_parts.model.setCurrentParameter(m_position);
    if (!m_parts.access.acceptsEntered(value)) {
        Edit1->selectAll();
        Edit1->setFocus();
        return;
    }
    EditOutcome outcome;
    {
        LinkBusyGuard guard(link);
        outcome = writeEditedValue(link, m_parts.access, m_parts.model, m_parts.typeTables,
                                   m_position, value, kWaitBeforeWriteMs);
    }
    emit written(outcome);
    if (!outcome.keepDialogOpen)
        close();
}

void TEdit_par_Form::Button2Click() {
    close();
}

}  // namespace zrd::session
