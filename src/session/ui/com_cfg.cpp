#include "session/ui/com_cfg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>

namespace zrd::session {

TCOM_CFG::TCOM_CFG(ConnectionSettings& settings, std::vector<std::string> devices, Opener opener,
                   UserInterface& ui, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_opener(std::move(opener)), m_ui(ui) {
    setObjectName("COM_CFG");
    setWindowTitle("Connection parameters");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* form = new QFormLayout(this);

    ComboPort = new QComboBox(this);
    ComboPort->setObjectName("ComboPort");
    ComboPort->setEditable(true);
    ComboPort->setMinimumWidth(260);
    // The simulator's device or the last one used comes first.
    if (!settings.device.empty() &&
        std::find(devices.begin(), devices.end(), settings.device) == devices.end())
        devices.insert(devices.begin(), settings.device);
    for (const auto& d : devices)
        ComboPort->addItem(QString::fromStdString(d));
    ComboPort->setCurrentText(QString::fromStdString(settings.device));
    form->addRow("Port", ComboPort);

    ComboBaud = new QComboBox(this);
    ComboBaud->setObjectName("ComboBaud");
    ComboBaud->setEditable(true);
    for (int rate : kSuggestedBaudRates)
        ComboBaud->addItem(QString::number(rate));
    ComboBaud->setCurrentText(QString::number(settings.BaudRate));
    form->addRow("Baudrate", ComboBaud);

    EditTimeOut = new QLineEdit(QString::number(settings.PortTimeOut), this);
    EditTimeOut->setObjectName("EditTimeOut");
    form->addRow("Timeout ms", EditTimeOut);

    NumTry = new QLineEdit(QString::number(settings.TryCount), this);
    NumTry->setObjectName("NumTry");
    NumTry->setMaxLength(3);
    NumTry->setValidator(new QIntValidator(0, 999, NumTry));
    form->addRow("Repeat number", NumTry);

    ComboProtocol = new QComboBox(this);
    ComboProtocol->setObjectName("ComboProtocol");
    ComboProtocol->addItem(QString());
    ComboProtocol->hide();

    auto* buttons = new QDialogButtonBox(this);
    OKBtn = buttons->addButton(QDialogButtonBox::Ok);
    OKBtn->setObjectName("OKBtn");
    CancelBtn = buttons->addButton(QDialogButtonBox::Cancel);
    CancelBtn->setObjectName("CancelBtn");
    form->addRow(buttons);
    connect(OKBtn, &QPushButton::clicked, this, &TCOM_CFG::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

bool TCOM_CFG::numberFrom(QLineEdit* box, const QString& what, int& out) {
    if (parsePositive(box->text().trimmed().toStdString(), out))
        return true;
    m_ui.showMessage(windowTitle().toStdString(),
                     QStringLiteral("%1 \"%2\" is not a whole positive number.")
                         .arg(what, box->text())
                         .toStdString());
    box->setFocus();
    return false;
}

void TCOM_CFG::OKBtnClick() {
    ConnectionSettings wanted = m_settings;
    wanted.device = ComboPort->currentText().trimmed().toStdString();
    if (!numberFrom(ComboBaud->lineEdit(), "Baudrate", wanted.BaudRate) ||
        !numberFrom(EditTimeOut, "Timeout ms", wanted.PortTimeOut))
        return;
    // The repeat field is shown but not read back.
    m_settings.device = wanted.device;
    m_settings.BaudRate = wanted.BaudRate;
    m_settings.PortTimeOut = wanted.PortTimeOut;
    if (m_opener(m_settings))
        accept();
}

}  // namespace zrd::session
