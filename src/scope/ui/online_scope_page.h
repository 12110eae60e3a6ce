#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/online_capture.h"
#include "scope/oscillogram.h"
#include "scope/replay.h"
#include "session/parameter_access.h"

class QAction;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSocketNotifier;
class QTimer;
class QToolButton;

namespace zrd::scope {

// The core objects the page works with; all live for the whole run.
struct OnlineScopeParts {
    link::DriveLink& link;
    session::ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    Oscillogram& oscillogram;
    const int& cpuSpeedClass;  // measured at start-up, after the page is made
    // A capture that ended by itself (the drive fell silent): the text is shown and goes to the
    // action log.
    std::function<void(const std::string&)> reportEnd;
};

// What the page touches of the main window.
struct OnlineScopeWindows {
    QWidget* window;  // the offline page's "Start oscillogram" is found by name
    QLineEdit* date;  // the clock fields, copied into the start stamp
    QLineEdit* time;
    QAction* saveOscillogram;  // "Save oscillogram to file"
    QPushButton* monitor;      // "Start monitor", held while a capture runs
    QPushButton* stopMonitor;
    QTimer* monitorTimer;  // stopped once the scope mode has been written
};

// A widget that shows the page's preview picture.
class PreviewBox : public QWidget {
public:
    PreviewBox(const QImage& image, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& m_image;
};

// The page "Oscilloscope online": rate and channel choice written to the drive, the capture
// with its live preview, and the buttons around it. The capture runs from readiness of the
// port and from a timer for the silent end: the window stays live while the drive streams.
class TOnlineScopePage : public QWidget {
    Q_OBJECT
public:
    TOnlineScopePage(const OnlineScopeParts& parts, const OnlineScopeWindows& windows,
                     QWidget* parent = nullptr);
    ~TOnlineScopePage() override;

    // The channel selectors' lines, from the scope signal list of the loaded database.
    // The selectors offer the scope signal list in the style given; after a language switch the
    // channels keep their signals and show them by the new language.
    void fillChannelSelectors(params::ScopeListStyle style = params::ScopeListStyle::Load);
    // The start-up state: 1000 Hz, signals 7 and 8, scales 1.0; Stop, View and Reset disabled.
    void applyDefaults();
    // The page switch: entering this page writes the scope mode "OSCMOD" = 1; every page but the
    // block diagram makes a new preview and shows the drive's settings from the value table.
    void synchronise(bool enteringThisPage);
    // Rate and channels from "MDFRQ", "MDTYP1" and "MDTYP2" of the value table. A channel
    // selector shows the signal, or with `prompt` the invitation to choose one.
    void showDriveSettings(bool prompt);

    [[nodiscard]] bool capturing() const { return m_capture && m_capture->running(); }
    // The capture that runs or ran last; nullopt before the first.
    [[nodiscard]] const std::optional<OnlineCapture>& capture() const { return m_capture; }
    [[nodiscard]] const QImage& preview() const { return m_preview; }
    [[nodiscard]] const Replay& replay() const { return m_replay; }

    QRadioButton* freq1;
    QRadioButton* freq2;
    QRadioButton* freq3;
    QRadioButton* freq4;
    QComboBox* ComboBox7;
    QComboBox* ComboBox8;
    QLineEdit* Edit8;
    QLineEdit* Edit9;
    QPushButton* Button3;
    QPushButton* Button18;
    QPushButton* Button21;
    QPushButton* Button23;
    QToolButton* Replay_start;
    QToolButton* Replay_stop;
    QProgressBar* Gauge2;
    QLabel* CaptureLabel;  // "Capturing… n samples" while a capture runs
    QLabel* AliasLabel;    // the generator's signal runs above half the rate
    QLineEdit* MaskEdit11;
    QLineEdit* MaskEdit12;
    QLineEdit* MaskEdit13;
    QLineEdit* MaskEdit14;
    PreviewBox* PaintBox1;

signals:
    // "Start oscillogram": a viewer still open beside the program closes before the buffer
    // changes.
    void captureStarting();
    // "View oscillogram": the online viewer opens on the buffer.
    void viewRequested();
    // A channel got a new signal: the viewer's caption and bit rows follow its name.
    void channelSelected(int channel);

public slots:
    void freq1Click();
    void freq2Click();
    void freq3Click();
    void freq4Click();
    void ComboBox7CloseUp();
    void ComboBox8CloseUp();
    void Button3Click();
    void Button18Click();
    void Button21Click();
    void Button23Click();

    // Sends the start frame and hands the capture to the port's readiness; returns at once.
    void StartOscill();
    // The end of a capture that filled the buffer.
    void StopOscill();
    // Clears the buffer's channels and the capture's display.
    void ClrOscill();
    // Plays channels 1 and 2 of the buffer into the preview, one step per timer shot.
    void Replay_startClick();
    void Replay_stopClick();
    // A running replay ends after its next step (the online viewer opens, the scope resets).
    void abortReplay();
    // "Replay" down and "Stop replay" enabled while a replay runs; up and disabled otherwise.
    void showReplayRunning(bool running);

private:
    void buildLayout();
    [[nodiscard]] bool connected() const { return m_parts.link.state().connected != 0; }
    [[nodiscard]] QString message(int n) const;
    void rateClicked(int rateIndex);
    void channelSelectorClosed(int channel);
    void showChannel(int channel, int signal, bool prompt);
    void selectRateButton(int rateIndex);

    // The capture's drive: the port's data, the silent bound, the end.
    void onPortReadable();
    void onSilenceTimer();
    void armSilenceTimer();
    void endCapture();
    void showProgress();
    void showAliasWarning();
    void releaseMonitor();
    void showStopStamp();

    // The preview picture.
    void clearPreviewWithAxes();
    void drawPreviewSteps();
    void onRepaintTimer();
    void resetPreview();
    void onReplayTimer();
    void armReplayTimer();

    OnlineScopeParts m_parts;
    OnlineScopeWindows m_windows;
    QButtonGroup* m_rates;
    std::optional<OnlineCapture> m_capture;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_silenceTimer;
    QTimer* m_repaintTimer;
    QTimer* m_batchTimer;  // lets the notifier fire again once a batch of bytes has gathered
    QImage m_preview;
    Replay m_replay;
    QTimer* m_replayTimer;
    bool m_previewDirty = false;
    // The capture is inside the core (feeding bytes, or in the pauses of a frame it sends):
    // a stop asked for meanwhile waits until it returns.
    bool m_inCapture = false;
    bool m_stopAsked = false;
};

}  // namespace zrd::scope
