#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "core/user_interface.h"
#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"
#include "tuning/function_generator.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace zrd::tuning {

inline constexpr const char* kWaveFormCaption = "Wave forms";

// What the window works with; all of it lives for the whole run.
struct WaveFormParts {
    link::DriveLink& link;
    session::ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    const int& operatingMode;  // 1 current, 2 speed, 3 position
    // The full path of a data file (the pictures of the signal types).
    std::function<std::string(const std::string&)> dataFile;
    // Closing the window by any way: the main window's polls and clock run again.
    std::function<void()> closed;
};

// "Wave forms": the function generator's signal type and its amplitude, offset, times and
// repeat count in the units of the drive's operating mode, written to the drive by "Write".
class TWave_Form : public QDialog {
    Q_OBJECT
public:
    TWave_Form(const WaveFormParts& parts, QWidget* parent);

    // Shows the window modally over the main window; returns at once.
    void showModal();
    // The type shown, and the mode its units follow.
    [[nodiscard]] WaveType type() const { return m_type; }
    [[nodiscard]] GeneratorMode mode() const;

    QToolButton* SpeedButton4;  // Constant
    QToolButton* SpeedButton2;  // Square
    QToolButton* SpeedButton1;  // Sine
    QToolButton* SpeedButton3;  // Chirp
    QLabel* Image1;
    QLabel* Label1;  // amplitude
    QLabel* Label2;  // offset
    QLabel* Label3;  // period (the chirp's first time field)
    QLabel* Label4;  // positive width (the chirp's second time field)
    QLabel* Label5;  // repeat count
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QGroupBox* GroupBox2;        // amplitude and offset unit
    QRadioButton* RadioButton1;  // rev/minute (counts/ms in position mode)
    QRadioButton* RadioButton2;  // counts/second
    QGroupBox* GroupBox3;        // time unit
    QRadioButton* RadioButton3;  // millisecond
    QRadioButton* RadioButton4;  // second
    QRadioButton* RadioButton5;  // minute
    QPushButton* Button2;        // Write
    QPushButton* Button1;        // Cancel

public slots:
    void FormActivate();
    void SpeedButton4Click();
    void SpeedButton2Click();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void Button2Click();
    void Button1Click();
    void done(int result) override;

private:
    // Shows a type: its stored values when the drive holds this type, else the time fields'
    // presets; its picture, fields and labels. False (the type stays) when the picture is
    // missing.
    bool showType(WaveType type);
    void showFields(const WaveFields& fields);
    void layOut(WaveType type);
    [[nodiscard]] WaveFields typedFields() const;
    [[nodiscard]] QString message(int n) const;
    [[nodiscard]] QToolButton* typeButton(WaveType type) const;

    WaveFormParts m_parts;
    WaveType m_type = WaveType::Constant;
};

}  // namespace zrd::tuning
