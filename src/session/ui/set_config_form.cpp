#include "session/ui/set_config_form.h"
#include "core/ui/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace zrd::session {

Tset_config_Form::Tset_config_Form(const SetConfigParts& parts, QWidget* parent)
    : QDialog(parent), m_parts(parts) {
    setObjectName("set_config_Form");
    setWindowTitle(kSetConfigCaption);
    Label1 = new QLabel("Drive selection", this);
    Label1->setObjectName("Label1");
    Label2 = new QLabel("Motor selection", this);
    Label2->setObjectName("Label2");
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->setEditable(true);
    Button2 = new QPushButton("Set", this);
    Button2->setObjectName("Button2");
    Button1 = new QPushButton("Cancel", this);
    Button1->setObjectName("Button1");
    CheckBox1 = new QCheckBox("Send CALCPARA command", this);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setChecked(true);
    CheckBox1->hide();
    Button3 = new QPushButton("show old and new values", this);
    Button3->setObjectName("Button3");
    Button3->hide();

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ComboBox1, 1, 0);
    grid->addWidget(Label2, 0, 1);
    grid->addWidget(ComboBox2, 1, 1);
    grid->addWidget(CheckBox1, 2, 0, 1, 2);
    grid->addWidget(Button2, 3, 0);
    grid->addWidget(Button1, 3, 1);
    connect(Button2, &QPushButton::clicked, this, &Tset_config_Form::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
}

void Tset_config_Form::showFor(const QString& drive, const QString& motor) {
    // The selectors show the names, the first word of each type line.
    const auto fill = [](QComboBox* box, const auto& table) {
        box->clear();
        for (int k = 1; k < table.count(); ++k) {
            const std::vector<std::string> words = params::splitWords(table.line(k));
            if (!words.empty())
                box->addItem(qs(words.front()));
        }
    };
    fill(ComboBox1, m_parts.typeTables.driveTypes());
    fill(ComboBox2, m_parts.typeTables.motorTypes());
    ComboBox1->setEditText(drive.trimmed());
    ComboBox2->setEditText(motor.trimmed());
    open();
}

void Tset_config_Form::Button2Click() {
    const ConfigurationRequest request{ComboBox1->currentText().toStdString(),
                                       ComboBox2->currentText().toStdString(),
                                       CheckBox1->isChecked()};
    // A bad number or formula leaves by the general error report, the link freed.
    m_last = applyConfiguration(m_parts.link, m_parts.access, m_parts.model, m_parts.messages,
                                m_parts.typeTables, request);
    if (configured)
        configured(m_last);
    if (!m_last.keepOpen)
        accept();
}

}  // namespace zrd::session
