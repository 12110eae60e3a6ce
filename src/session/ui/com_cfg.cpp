#include "session/ui/com_cfg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTreeView>

#include "core/ui/qt_text.h"
#include "session/port_advice.h"

namespace zrd::session {
namespace {

// Wide enough for a by-id name and the latency commands, which are best not broken.
constexpr int kNotesWidth = 620;
// The list's columns: the device path the box takes, the description beside it.
constexpr int kPathColumn = 0;
constexpr int kDescriptionColumn = 1;

}  // namespace

QString portNotes(const link::PortInfo& info, const std::string& rulesFile,
                  const params::MessageTable& messages, std::string_view language) {
    QStringList lines;
    if (const std::string summary = link::portSummary(info); !summary.empty())
        lines << qs(summary);
    if (!info.holders.empty())
        lines << qs(portBusyText(info.device, info.holders, messages, language));
    if (const std::string advice = latencyAdvice(info, rulesFile, messages, language);
        !advice.empty())
        lines << qs(advice);
    return lines.join('\n');
}

TCOM_CFG::TCOM_CFG(ConnectionSettings& settings, std::vector<link::PortInfo> ports, Opener opener,
                   UserInterface& ui, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_opener(std::move(opener)), m_ui(ui) {
    setObjectName("COM_CFG");
    setWindowTitle("Connection parameters");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* form = new QFormLayout(this);
    // The dialog keeps the size of its content: fixed for the user, taller with longer notes.
    form->setSizeConstraint(QLayout::SetFixedSize);

    ComboPort = new QComboBox(this);
    ComboPort->setObjectName("ComboPort");
    ComboPort->setEditable(true);
    ComboPort->setMinimumWidth(260);
    // The simulator's device or the last one used comes first.
    const bool listed = std::any_of(ports.begin(), ports.end(), [&](const link::PortInfo& p) {
        return p.device == settings.device;
    });
    if (!settings.device.empty() && !listed) {
        link::PortInfo first;
        first.device = settings.device;
        ports.insert(ports.begin(), first);
    }
    m_ports = ports;
    auto* model = new QStandardItemModel(0, 2, ComboPort);
    for (const link::PortInfo& p : ports) {
        auto* path = new QStandardItem(qs(p.device));
        auto* description = new QStandardItem(qs(link::portSummary(p)));
        path->setToolTip(description->text());
        model->appendRow({path, description});
    }
    // The drop-down shows each port's description beside its path; the box takes the path.
    auto* view = new QTreeView(ComboPort);
    view->setObjectName("PortList");
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setAllColumnsShowFocus(true);
    ComboPort->setModel(model);
    ComboPort->setView(view);
    ComboPort->setModelColumn(kPathColumn);
    view->header()->setSectionResizeMode(kPathColumn, QHeaderView::ResizeToContents);
    view->header()->setSectionResizeMode(kDescriptionColumn, QHeaderView::ResizeToContents);
    // The list opens wide enough for both columns, whatever the box's own width.
    constexpr int kListMargins = 40;
    const QAbstractItemView* columns = view;
    view->setMinimumWidth(columns->sizeHintForColumn(kPathColumn) +
                          columns->sizeHintForColumn(kDescriptionColumn) + kListMargins);
    ComboPort->setCurrentText(qs(settings.device));
    form->addRow("Port", ComboPort);

    PortInfo = new QLabel(this);
    PortInfo->setObjectName("PortInfo");
    PortInfo->setWordWrap(true);
    PortInfo->setFixedWidth(kNotesWidth);
    PortInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PortInfo->hide();
    form->addRow(PortInfo);

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

    // Off by default: the fixed pauses suit every drive; the gap only one that answers at once.
    CheckFast = new QCheckBox("Fast link", this);
    CheckFast->setObjectName("CheckFast");
    CheckFast->setChecked(settings.FastGapBytes > 0);
    CheckFast->setToolTip("Short pauses between requests, for a drive that answers at once");
    form->addRow(CheckFast);
    SpinGap = new QSpinBox(this);
    SpinGap->setObjectName("SpinGap");
    SpinGap->setRange(1, link::kLongestFastGapBytes);
    SpinGap->setValue(settings.FastGapBytes > 0 ? settings.FastGapBytes
                                                : link::kDefaultFastGapBytes);
    SpinGap->setEnabled(CheckFast->isChecked());
    form->addRow("Gap, byte times", SpinGap);
    connect(CheckFast, &QCheckBox::toggled, SpinGap, &QWidget::setEnabled);
    CheckReconnect = new QCheckBox("Reconnect automatically", this);
    CheckReconnect->setObjectName("CheckReconnect");
    CheckReconnect->setChecked(settings.AutoReconnect);
    form->addRow(CheckReconnect);

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
    connect(ComboPort, &QComboBox::currentTextChanged, this, &TCOM_CFG::showPortNotes);
}

void TCOM_CFG::markPorts(const PortMark& mark) {
    auto* model = qobject_cast<QStandardItemModel*>(ComboPort->model());
    for (int row = 0; model && row < model->rowCount() && row < static_cast<int>(m_ports.size());
         ++row) {
        const QString text = mark(m_ports[static_cast<size_t>(row)]);
        if (text.isEmpty())
            continue;
        QStandardItem* description = model->item(row, kDescriptionColumn);
        const QString summary = description->text();
        description->setText(summary.isEmpty() ? text : summary + ", " + text);
        model->item(row, kPathColumn)->setToolTip(description->text());
    }
}

void TCOM_CFG::setPortNotes(PortNotes notes) {
    m_notes = std::move(notes);
    showPortNotes();
}

void TCOM_CFG::showPortNotes() {
    const QString text =
        m_notes ? m_notes(ComboPort->currentText().trimmed().toStdString()) : QString();
    PortInfo->setText(text);
    PortInfo->setVisible(!text.isEmpty());
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
    m_settings.FastGapBytes = CheckFast->isChecked() ? SpinGap->value() : 0;
    m_settings.AutoReconnect = CheckReconnect->isChecked();
    if (m_opener(m_settings))
        accept();
}

}  // namespace zrd::session
