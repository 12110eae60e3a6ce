#pragma once

#include <QDialog>
#include <functional>

#include "core/user_interface.h"
#include "session/connection.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace zrd::session {

// "Connection parameters": the port, baud rate, time-out and repeat number. OK hands the
// settings to the opener; the dialog closes only when the opener says the port is open.
class TCOM_CFG : public QDialog {
    Q_OBJECT
public:
    // Opens the port with the settings; true when the dialog may close.
    using Opener = std::function<bool(ConnectionSettings&)>;

    TCOM_CFG(ConnectionSettings& settings, std::vector<std::string> devices, Opener opener,
             UserInterface& ui, QWidget* parent = nullptr);

    QComboBox* ComboPort;
    QComboBox* ComboBaud;
    QLineEdit* EditTimeOut;
    QLineEdit* NumTry;
    QComboBox* ComboProtocol;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

public slots:
    void OKBtnClick();

private:
    // A box's text that is not a whole positive number: say which and keep the dialog open.
    bool numberFrom(QLineEdit* box, const QString& what, int& out);

    ConnectionSettings& m_settings;
    Opener m_opener;
    UserInterface& m_ui;
};

}  // namespace zrd::session
