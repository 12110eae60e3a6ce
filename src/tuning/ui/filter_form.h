#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"
#include "tuning/filter_design.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zrd::tuning {

inline constexpr const char* kFilterCaption = "Filter calculation";
// Slots the window offers of the drive's four.
inline constexpr int kVisibleFilterSlots = 2;

// What the window works with; all of it lives for the whole run.
struct FilterFormParts {
    link::DriveLink& link;
    session::ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    // The full path of a data file (the pictures of the filter types).
    std::function<std::string(const std::string&)> dataFile;
    // True while the servo is switched on ("On" pressed).
    std::function<bool()> servoOn;
};

// "Filter calculation": a slot's type, frequency, quality and gain, the coefficients computed
// and quantised from them, a plot of what quantisation does to the response, and "Write".
class TFilter_Form : public QDialog {
    Q_OBJECT
public:
    TFilter_Form(const FilterFormParts& parts, QWidget* parent);

    // Loads the chosen slot from the value table and shows the window; returns at once.
    void showModal();
    // Shows the window on a band-stop at this frequency in the chosen slot, the other fields at
    // their defaults, ready for "Calculate".
    void presetBandStop(double frequencyHz);
    // The question before a risky write (caption, text); true: write. A message box unless a
    // caller puts its own answer here.
    std::function<bool(const QString&, const QString&)> askToWrite;

    [[nodiscard]] int slot() const;
    [[nodiscard]] const std::optional<FilterCalculation>& calculation() const { return m_calc; }

    QComboBox* ComboBox1;                    // "Filter 1".."Filter 4"
    std::array<QRadioButton*, 5> RadioType;  // types 0..4
    QLabel* Image1;
    QLineEdit* Edit1;                    // frequency
    QLineEdit* Edit2;                    // quality
    QLineEdit* Edit3;                    // gain (dB)
    std::array<QLineEdit*, 5> EditCoef;  // b0 b1 b2 a1 a2
    QLabel* Label10;                     // what the last calculation says
    QPushButton* Button5;                // Calculate
    QPushButton* Button7;                // Write
    QPushButton* Button1;                // Close
    QChartView* Chart1;

public slots:
    void ComboBox1Change();
    void RadioTypeClick(int type);
    void Button5Click();
    void Button7Click();

private:
    void showFields(const FilterFields& fields);
    [[nodiscard]] FilterFields fieldsShown() const;
    void showPicture(FilterType type);
    void plot(const FilterCalculation& calc);
    void say(const std::string& text) const;

    FilterFormParts m_parts;
    FilterFields m_fields;
    std::optional<FilterCalculation> m_calc;
};

}  // namespace zrd::tuning
