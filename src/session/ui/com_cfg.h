#pragma once

#include <QDialog>
#include <functional>
#include <string_view>
#include <vector>

#include "core/user_interface.h"
#include "link/port_info.h"
#include "params/message_table.h"
#include "session/connection.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zrd::session {

// The text under the port of the connection dialog: what the system tells about the port, who
// holds it when another program does, and for an adapter whose latency timer is above 1 ms,
// the timer and the commands that lower it.
QString portNotes(const link::PortInfo& info, const std::string& rulesFile,
                  const params::MessageTable& messages, std::string_view language);

// "Connection parameters": the port, baud rate, time-out and repeat number. OK hands the
// settings to the opener; the dialog closes only when the opener says the port is open.
class TCOM_CFG : public QDialog {
    Q_OBJECT
public:
    // Opens the port with the settings; true when the dialog may close.
    using Opener = std::function<bool(ConnectionSettings&)>;
    // The notes shown under the port for a device path (portNotes of its description).
    using PortNotes = std::function<QString(const std::string& device)>;

    // The list offers the ports with their descriptions beside the paths.
    TCOM_CFG(ConnectionSettings& settings, std::vector<link::PortInfo> ports, Opener opener,
             UserInterface& ui, QWidget* parent = nullptr);

    // Shows the notes of the port chosen or typed, now and whenever it changes.
    void setPortNotes(PortNotes notes);
    // The mark of a port that another program holds ("in use by minicom (PID 1234)"), empty
    // for a free one.
    using PortMark = std::function<QString(const link::PortInfo& port)>;
    // Puts each listed port's mark beside its description.
    void markPorts(const PortMark& mark);

    QComboBox* ComboPort;
    QLabel* PortInfo;
    QComboBox* ComboBaud;
    QLineEdit* EditTimeOut;
    QLineEdit* NumTry;
    // The fast link: on, and its gap in byte times.
    QCheckBox* CheckFast;
    QSpinBox* SpinGap;
    // A drive whose device went away and came back is connected to again without a click.
    QCheckBox* CheckReconnect;
    QComboBox* ComboProtocol;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

public slots:
    void OKBtnClick();

private:
    // A box's text that is not a whole positive number: say which and keep the dialog open.
    bool numberFrom(QLineEdit* box, const QString& what, int& out);
    void showPortNotes();

    ConnectionSettings& m_settings;
    std::vector<link::PortInfo> m_ports;  // as listed, in the order of the list
    Opener m_opener;
    UserInterface& m_ui;
    PortNotes m_notes;
};

}  // namespace zrd::session
