#pragma once

#include <QDateTime>
#include <QWidget>
#include <string>
#include <vector>

#include "monitor/status.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace zrd::session {

// The oscilloscope setting groups a servo switched off frees.
inline constexpr const char* kScopeSettingGroups[] = {"GroupBox2", "Panel1", "Panel19", "GroupBox3",
                                                      "Panel27"};

// The clock fields' formats: the short date and the long time of the window's stamps.
inline constexpr const char* kDateFormat = "dd.MM.yy";
inline constexpr const char* kTimeFormat = "hh:mm:ss";

// The control area of the main window: servo enable, operating mode, function generator and
// command source panels, the motor selector, the parameter-set state and serial number, "Read"
// and "Write" with their sweep marks, and the clock.
class TControlArea : public QWidget {
    Q_OBJECT
public:
    explicit TControlArea(QWidget* parent = nullptr);

    // The drive controls an online drive offers: mode, command source and "Read". Offline all
    // drive controls are disabled and the servo and generator panels grey.
    void showOnline(bool online);
    // Presses "Current", "Speed" or "Position" for mode 1, 2 or any other.
    void showOperatingMode(int mode);
    // Presses the command-source button of an "INST" value with the panels that go with it:
    // 0 or 1 internal (the generator panel, and the servo panel when `servoPanel`), 2 or 3
    // external; other values change nothing.
    void showCommandSource(int inst, bool servoPanel);
    // The servo panel as "ENMOD" allows it.
    void showServoPanel(bool allowed);
    // The generator panel enabled in its colour, or disabled and grey.
    void showGeneratorPanel(bool enabled);
    // Servo and generator buttons and the PC-control panels of one status tick.
    void showStatus(const monitor::FrameBits& state, bool servoPanel);
    // Fills the motor selector with its items.
    void showMotorItems(const std::vector<std::string>& items);
    // Selects motor type line k (1-based) in the motor selector.
    void selectMotorLine(int line);
    void showClock(const QDateTime& now);

    QGroupBox* Panel32;
    QGroupBox* Panel7;
    QToolButton* Enable_button;
    QToolButton* Desable_button;
    QGroupBox* Panel3;
    QToolButton* SpeedButton4;
    QToolButton* SpeedButton5;
    QToolButton* SpeedButton6;
    QGroupBox* Panel14;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton7;
    QToolButton* BitBtn1;
    QGroupBox* Panel6;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QComboBox* ComboBox6;
    QLineEdit* show_state_par;
    QLineEdit* SerNum;
    QLabel* RPar;
    QLabel* WPar;
    QPushButton* Button9;
    QPushButton* Button6;
    QLineEdit* MaskEdit3;
    QLineEdit* MaskEdit4;
};

}  // namespace zrd::session
