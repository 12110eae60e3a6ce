#pragma once

#include <QColor>
#include <QFrame>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/run_time_text.h"
#include "monitor/status.h"
#include "params/message_table.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace zrd::ui {
class TLamp;
}

namespace zrd::monitor {

// The drive-state area of the main window (`Panel10`): the four lamps, the status fields, the
// error and warning lists and the drive and motor types; the monitor panel sits beside them.
class TDriveState : public QFrame {
    Q_OBJECT
public:
    explicit TDriveState(QWidget* parent = nullptr);

    // Places the monitor panel to the right of the state fields.
    void addPanel(QWidget* panel);
    // Captions of the status fields Control .. Error (messages 18..24).
    void captionFields(const params::MessageTable& messages, std::string_view language);
    // The connection fields in lime with the texts (messages 27 and 28), composed again when
    // the language changes.
    void showOnline(const ui::ComposeText& state, const ui::ComposeText& detail);
    // The connection fields in red with the texts; the lamps go grey and the state fields and
    // lists neutral, for an offline drive shows nothing.
    void showOffline(const ui::ComposeText& state, const ui::ComposeText& detail);
    // Lamps, servo and PC-control fields and the error and warning lists of one status tick.
    void showStatus(const StatusTick& tick, const FrameBits& state, const FrameBits& application,
                    const params::MessageTable& messages, std::string_view language);

    ui::TLamp* Servo_enable;
    ui::TLamp* N_0;
    ui::TLamp* drive_on;
    ui::TLamp* Drive_ready;
    QLineEdit* Control;
    QLineEdit* PC_control;
    QLineEdit* drive_en;
    QLineEdit* State_connection;
    QLineEdit* Edit5;
    QPushButton* Reconnect;  // shown while the device of a lost drive is back
    QLineEdit* Machine;
    QLineEdit* Axis;
    QLineEdit* Error;
    QComboBox* ComboBox1;
    QLineEdit* Warning;
    QComboBox* ComboBox9;
    QLineEdit* Dr_Num;
    QLineEdit* Motor_sel;

signals:
    // A click on the area itself, not on one of its controls.
    void Panel10Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showList(QLineEdit* field, QComboBox* list, const std::vector<std::string>& names,
                  const std::string& count, QRgb colour);
};

}  // namespace zrd::monitor
