#pragma once
// The frequency response windows: the choice of channels and range, and the Bode chart.

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/user_interface.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "tuning/frequency_response.h"
#include "tuning/loop_analysis.h"

class QChartView;
class QComboBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace zrd::tuning {

inline constexpr const char* kParAfcCaption = "Parameters for calculate the AFR and PFR";
inline constexpr const char* kAfcCaption = "AFR and PFR";
// "Print" of the magnitude chart asks whether the whole window goes into the picture.
inline constexpr int kMsgPrintWholeWindow = 99;

// What the windows work with; all of it lives for the whole run.
struct AfcParts {
    scope::Oscillogram& oscillogram;
    const params::ParameterModel& model;
    const params::MessageTable& messages;
    UserInterface& ui;
    // Where the spectrum files go.
    std::function<std::string()> folder;
    // "Print": the picture to the clipboard and to a file the desktop shows; `name` names it.
    std::function<void(const QPixmap& picture, const QString& name)> print;
};

// The chart window: magnitude and phase over frequency, the filters' dashed response, the
// markers of the largest magnitude and the band's end, and the list of resonances and
// anti-resonances.
class TAFC_Form : public QDialog {
    Q_OBJECT
public:
    TAFC_Form(const AfcParts& parts, QWidget* parent);

    struct Style {
        bool logarithmic = true;
        QColor magnitude;
        QColor phase;
    };
    // Fills both charts from the response, up to fmax.
    void showResponse(const FrequencyResponse& response, double fmax, const Style& style);

    [[nodiscard]] const std::optional<Marker>& peak() const { return m_peak; }
    [[nodiscard]] const std::optional<Marker>& cutoff() const { return m_cutoff; }
    [[nodiscard]] bool filterShown() const { return m_filterShown; }
    [[nodiscard]] const std::vector<Resonance>& resonances() const { return m_resonances; }

    QChartView* Chart1;  // magnitude
    QChartView* Chart2;  // phase
    QPushButton* PrintMagnitude;
    QPushButton* PrintPhase;
    QListWidget* ResonanceList;  // one line a resonance or anti-resonance

public slots:
    void PrintMagnitudeClick();
    void PrintPhaseClick();

private:
    void listResonances(std::vector<Resonance> found);

    AfcParts m_parts;
    std::optional<Marker> m_peak;
    std::optional<Marker> m_cutoff;
    bool m_filterShown = false;
    std::vector<Resonance> m_resonances;
};

// The parameter window: input and output channel, axis kind, maximum frequency and colours.
// "OK" computes and shows the chart; "Cancel" and closing give the online buffer back.
class TPar_AFC_Form : public QDialog {
    Q_OBJECT
public:
    TPar_AFC_Form(const AfcParts& parts, QWidget* parent);

    // Opened from a viewer that offers this many channels (2 online, 4 offline); returns at once.
    void showFor(int channels);

    QRadioButton* RadioButton1;                                // linear axis
    QRadioButton* RadioButton2;                                // logarithmic axis
    std::array<QRadioButton*, scope::kChannelCount> Input{};   // RadioButton3..6
    std::array<QRadioButton*, scope::kChannelCount> Output{};  // RadioButton7..10
    QLineEdit* Edit1;                                          // maximum frequency
    QComboBox* ColorBox1;
    QComboBox* ColorBox2;
    QFrame* Shape1;
    QFrame* Shape2;
    QPushButton* Button1;  // OK
    QPushButton* Button2;  // Cancel
    TAFC_Form* AFC_Form;

signals:
    // The online buffer got its measured channels back: the viewer draws again.
    void restored();

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void done(int result) override;

private:
    [[nodiscard]] static int checkedChannel(
        const std::array<QRadioButton*, scope::kChannelCount>& buttons);

    AfcParts m_parts;
    FrequencyResponse m_response;
};

}  // namespace zrd::tuning
