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
#include "tuning/bode_overlays.h"
#include "tuning/frequency_response.h"
#include "tuning/loop_analysis.h"
#include "tuning/ui/bode_chart.h"

class QChartView;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
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
    // "Notch…": the filter calculator opened on a band-stop at this frequency.
    std::function<void(double frequencyHz)> notch;
    // "Auto tuning...": the tuner's window, in place of this one.
    std::function<void()> autoTuning;
};

// The chart window: magnitude and phase over frequency with a cursor and zoom, the filters'
// dashed response, the markers of the largest magnitude and the band's end, the list of
// resonances and anti-resonances (each a "Notch…" away from the filter calculator), the
// responses kept side by side ("Overlays", one of them the reference), and the open loop of a
// closed speed loop with its margins.
class TAFC_Form : public QDialog {
    Q_OBJECT
public:
    TAFC_Form(const AfcParts& parts, QWidget* parent);

    struct Style {
        bool logarithmic = true;
        QColor magnitude;
        QColor phase;
    };
    // Adds the response up to fmax to the overlays (as `name`, numbered in the order of
    // measurement) and shows it as the current one.
    void showResponse(const FrequencyResponse& response, double fmax, const Style& style,
                      const QString& name = {});
    // "Add file…" and "Save…" (the current response) without their dialogs; false, with the
    // reason told, when the file was refused or could not be written.
    bool addFile(const QString& path);
    bool saveCurrent(const QString& path);

    // Of the current response (the one selected in "Overlays", else the last one).
    [[nodiscard]] const std::optional<Marker>& peak() const { return m_peak; }
    [[nodiscard]] const std::optional<Marker>& cutoff() const { return m_cutoff; }
    [[nodiscard]] const std::vector<Resonance>& resonances() const { return m_resonances; }
    [[nodiscard]] bool filterShown() const { return m_filterShown; }
    [[nodiscard]] const OverlayList& overlays() const { return m_overlays; }
    [[nodiscard]] std::optional<size_t> current() const;
    // The open loop's margins while "Open loop from closed loop" is on.
    [[nodiscard]] const std::optional<LoopMargins>& margins() const { return m_margins; }

    BodeChart* Bode;
    QChartView* Chart1;  // magnitude
    QChartView* Chart2;  // phase
    QPushButton* PrintMagnitude;
    QPushButton* PrintPhase;
    QListWidget* ResonanceList;  // one line a resonance or anti-resonance
    QPushButton* Notch;          // the filter calculator on the selected resonance
    QPushButton* AutoTuning;     // the tuner's window
    QListWidget* Overlays;       // one line a response: visibility, colour, name
    QPushButton* AddFile;
    QPushButton* SaveResponse;
    QPushButton* MakeReference;
    QPushButton* RemoveOverlay;
    QCheckBox* Difference;  // each response minus the reference
    QCheckBox* OpenLoop;    // L = T / (1 - T) of the current response
    QLabel* MarginsLabel;

public slots:
    void PrintMagnitudeClick();
    void PrintPhaseClick();
    void NotchClick();
    void AutoTuningClick();
    void AddFileClick();
    void SaveResponseClick();
    void MakeReferenceClick();
    void RemoveOverlayClick();

private:
    void addOverlay(Overlay overlay);
    void listOverlays();
    void currentChanged();
    void listResonances();
    [[nodiscard]] static QString resonanceLine(const Resonance& r);
    // The lists, curves and marks in the interface language after a switch.
    void showInLanguage();
    void redraw();
    void addOpenLoop(std::vector<BodeCurve>& curves, std::vector<BodeMark>& marks);
    void say(const std::string& text) const;

    AfcParts m_parts;
    OverlayList m_overlays;
    bool m_logarithmic = true;
    int m_measurements = 0;
    // The drive's filters at the last measurement's frequencies.
    std::optional<std::vector<ChartPoint>> m_filter;
    std::optional<Marker> m_peak;
    std::optional<Marker> m_cutoff;
    bool m_filterShown = false;
    std::vector<Resonance> m_resonances;
    std::optional<LoopMargins> m_margins;
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
