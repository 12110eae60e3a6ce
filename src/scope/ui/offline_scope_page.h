#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/offline_capture.h"
#include "scope/oscillogram.h"
#include "session/parameter_access.h"

class QAbstractButton;
class QAction;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace zrd::scope {

class PortWatch;
class TOscillOff;
class TTriggerPanel;

// The core objects the page works with; all live for the whole run.
struct OfflineScopeParts {
    link::DriveLink& link;
    session::ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    Oscillogram& oscillogram;
    const bool& generatorRunning;  // "Start FG" was accepted and not stopped since
    // A capture that ended by itself (the drive fell silent): the text is shown and goes to the
    // action log.
    std::function<void(const std::string&)> reportEnd;
};

// What the page touches of the main window.
struct OfflineScopeWindows {
    QLineEdit* date;  // the clock fields, copied into the start stamp
    QLineEdit* time;
    QAction* saveOscillogram;  // "Save oscillogram to file"
    QPushButton* monitor;      // "Start monitor", held while a capture runs
    QPushButton* stopMonitor;
    QTimer* monitorTimer;             // stopped once the scope mode has been written
    QPushButton* onlineStart;         // the online page's "Start oscillogram"
    QAbstractButton* internalSource;  // "Internal" and "External" of the command source
    QAbstractButton* externalSource;
    TOscillOff* viewer;
};

// The page "Oscilloscope offline": the tick and the four channels the drive records, the
// trigger, and the record's start, stop, read-back and viewing. An armed capture listens to
// the port through readiness and a timer for its deadline: the window stays usable meanwhile.
class TOfflineScopePage : public QWidget {
    Q_OBJECT
public:
    TOfflineScopePage(const OfflineScopeParts& parts, const OfflineScopeWindows& windows,
                      QWidget* parent = nullptr);
    ~TOfflineScopePage() override;

    // The channel selectors' lines, from the scope signal list of the loaded database.
    // The selectors offer the scope signal list in the style given; after a language switch the
    // channels keep their signals and show them by the new language.
    void fillChannelSelectors(params::ScopeListStyle style = params::ScopeListStyle::Load);
    // The start-up state: the fastest tick; Stop, View and Reset disabled.
    void applyDefaults();
    // The page switch: entering this page writes the scope mode "OSCMOD" = 0; every page but the
    // block diagram shows the drive's offline settings from the value table.
    void synchronise(bool enteringThisPage);
    // Tick, channels and trigger from the value table. A channel selector shows the signal, or
    // with `prompt` the invitation to choose one.
    void showDriveSettings(bool prompt);

    // A capture listens to the port (armed, or reading the record back).
    [[nodiscard]] bool listening() const { return m_capture && m_capture->listening(); }
    // An armed capture whose record the generator's motion starts: "Start FG" goes out under
    // its hold of the link.
    [[nodiscard]] bool armedForGenerator() const;
    // Armed so, and the drive has acknowledged the start frame.
    [[nodiscard]] bool waitingForGenerator() const;
    // "Start FG" for the armed capture: takes the start frame's acknowledge first when it has
    // not come yet, then shows the record length and runs the start exchange with the capture's
    // watch of the port paused, so that the answer reaches the exchange. `sendStart` does not
    // run when the capture ended meanwhile (the drive refused the start, the port went away).
    void startGenerator(const std::function<void()>& sendStart);
    // Abandons a capture that listens (the program closes or disconnects).
    void cancelCapture();
    [[nodiscard]] const std::optional<OfflineCapture>& capture() const { return m_capture; }
    // The record length text: message 79, " = ", tick × 2048 in seconds, message 80.
    [[nodiscard]] QString recordLengthText() const;

    std::array<QRadioButton*, kOfflineTickCodes> Freq_off{};  // Freq1_off..Freq10_off
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox4;
    QComboBox* ComboBox5;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit6;
    QLineEdit* Edit7;
    QPushButton* Button5;  // Start oscillogram
    QPushButton* Button1;  // Stop oscillogram
    QPushButton* Button2;  // View oscillogram
    QPushButton* Button4;  // Reset Oscilloscope
    QProgressBar* Gauge1;
    QLabel* TriggerWaitLabel;  // "Waiting for trigger" while a record is armed
    QLineEdit* Edit14;         // status line
    QLineEdit* Edit2;          // sample index of the last record (hidden)
    QLineEdit* MaskEdit5;
    QLineEdit* MaskEdit6;
    QLineEdit* MaskEdit7;
    QLineEdit* MaskEdit8;
    TTriggerPanel* Trigger;

signals:
    // A channel got a new signal: the viewer's caption and bit rows follow its name.
    void channelSelected(int channel);

public slots:
    void FreqClick(int tickCode);       // Freq1_offClick..Freq10_offClick
    void ComboBoxCloseUp(int channel);  // ComboBox2CloseUp..ComboBox5CloseUp
    void Button5Click();
    void Button1Click();
    void Button2Click();
    void Button4Click();

    // Sends the start frame and hands an armed capture to the port's readiness.
    void StartOscillOff();
    // The end of a capture, by how it ended.
    void StopOscillOff();
    void ClrOscillOff();

private:
    void buildLayout();
    [[nodiscard]] bool connected() const { return m_parts.link.state().connected != 0; }
    [[nodiscard]] QString message(int n) const;
    [[nodiscard]] std::array<QComboBox*, kChannelCount> selectors() const;
    [[nodiscard]] std::array<QLineEdit*, kChannelCount> nameFields() const;
    void selectTick(int tickCode);
    void showChannel(int channel, int signal, bool prompt);
    void showRecordLength();

    // The capture's drive: the port's data, the deadline, the end.
    void onPortReadable();
    void onDeadline();
    // After the capture worked: the deadline anew while it listens, else its end.
    void afterCaptureWork();
    void watchPort();
    void armDeadline();
    void showProgress();
    void showArmedWait();
    void releaseMonitor();

    OfflineScopeParts m_parts;
    OfflineScopeWindows m_windows;
    QButtonGroup* m_ticks;
    PortWatch* m_watch;
    std::optional<OfflineCapture> m_capture;
    // The trigger the record in the buffer was made with (the viewer marks its sample).
    TriggerType m_recordTrigger = TriggerType::None;
    // The record is being read after "Stop oscillogram".
    bool m_stopAsked = false;
};

}  // namespace zrd::scope
