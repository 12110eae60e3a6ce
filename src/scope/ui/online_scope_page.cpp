#include "scope/ui/online_scope_page.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

#include "core/ui/controls.h"
#include "core/ui/run_time_text.h"
#include "params/message_numbers.h"
#include "scope/capture_notes.h"
#include "scope/scope_settings.h"
#include "scope/ui/scope_page_controls.h"

namespace zrd::scope {
namespace {

namespace pm = zrd::params;

// The offline page's "Start oscillogram", free again once the user stopped an online capture.
constexpr const char* kOfflineScopeStart = "Button5";
// Drive parameters of the page.
constexpr const char* kScopeModeParameter = "OSCMOD";
constexpr const char* kRateParameter = "MDFRQ";
constexpr std::array<const char*, kOnlineChannelCount> kOnlineChannelParameters = {"MDTYP1",
                                                                                   "MDTYP2"};
constexpr int kOnlineMode = 1;
// The picture a new preview starts with: red vertical axis, black centre line at 100.
constexpr int kResetAxisHeight = 200;
constexpr int kResetCentre = 100;
// While a capture runs the preview is repainted at most this often (when it changed); the steps
// in between are drawn into the picture only.
constexpr int kRepaintMs = 16;

QToolButton* replayButton(const char* name, const char* caption, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->hide();
    return b;
}

// A capture's empty strip: white, a black vertical axis and the centre line.
// The replay's strip: white, a red vertical axis and the black centre line.
void drawReplayAxes(QPainter& painter) {
    const QRect all(QPoint(0, 0), QSize(kPreviewWidth, kPreviewHeight));
    painter.fillRect(all, Qt::white);
    painter.setPen(QColor(255, 0, 0));
    painter.drawLine(0, 0, 0, 2 * kPreviewCentre);
    painter.setPen(Qt::black);
    painter.drawLine(kPreviewWidth, kPreviewCentre, 0, kPreviewCentre);
}

void drawCaptureAxes(QPainter& painter) {
    const QRect all(QPoint(0, 0), QSize(kPreviewWidth, kPreviewHeight));
    painter.fillRect(all, Qt::white);
    painter.setPen(Qt::black);
    painter.drawLine(0, 0, 0, 2 * kPreviewCentre);
    painter.drawLine(kPreviewWidth, kPreviewCentre, 0, kPreviewCentre);
}

}  // namespace

PreviewBox::PreviewBox(const QImage& image, QWidget* parent) : QWidget(parent), m_image(image) {
    setFixedSize(image.size());
}

void PreviewBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

TOnlineScopePage::TOnlineScopePage(const OnlineScopeParts& parts, const OnlineScopeWindows& windows,
                                   QWidget* parent)
    : QWidget(parent),
      m_parts(parts),
      m_windows(windows),
      m_rates(new QButtonGroup(this)),
      m_silenceTimer(new QTimer(this)),
      m_repaintTimer(new QTimer(this)),
      m_batchTimer(new QTimer(this)),
      m_preview(kPreviewWidth, kPreviewHeight, QImage::Format_RGB32),
      m_replayTimer(new QTimer(this)) {
    setObjectName("TabPage6");
    buildLayout();
    resetPreview();

    m_silenceTimer->setSingleShot(true);
    connect(m_silenceTimer, &QTimer::timeout, this, &TOnlineScopePage::onSilenceTimer);
    m_batchTimer->setSingleShot(true);
    m_batchTimer->setInterval(kReadBatchMs);
    connect(m_batchTimer, &QTimer::timeout, this, [this] {
        if (capturing() && m_notifier != nullptr)
            m_notifier->setEnabled(true);
    });
    m_repaintTimer->setInterval(kRepaintMs);
    connect(m_repaintTimer, &QTimer::timeout, this, &TOnlineScopePage::onRepaintTimer);

    connect(freq1, &QRadioButton::clicked, this, &TOnlineScopePage::freq1Click);
    connect(freq2, &QRadioButton::clicked, this, &TOnlineScopePage::freq2Click);
    connect(freq3, &QRadioButton::clicked, this, &TOnlineScopePage::freq3Click);
    connect(freq4, &QRadioButton::clicked, this, &TOnlineScopePage::freq4Click);
    // A channel is chosen when the list closes on a line, not while browsing it.
    connect(ComboBox7, qOverload<int>(&QComboBox::activated), this,
            &TOnlineScopePage::ComboBox7CloseUp);
    connect(ComboBox8, qOverload<int>(&QComboBox::activated), this,
            &TOnlineScopePage::ComboBox8CloseUp);
    connect(Button3, &QPushButton::clicked, this, &TOnlineScopePage::Button3Click);
    connect(Button18, &QPushButton::clicked, this, &TOnlineScopePage::Button18Click);
    connect(Button21, &QPushButton::clicked, this, &TOnlineScopePage::Button21Click);
    connect(Button23, &QPushButton::clicked, this, &TOnlineScopePage::Button23Click);
    connect(Replay_start, &QToolButton::clicked, this, &TOnlineScopePage::Replay_startClick);
    connect(Replay_stop, &QToolButton::clicked, this, &TOnlineScopePage::Replay_stopClick);
    // Each shot draws the steps that are due and sets the timer for the next one.
    m_replayTimer->setSingleShot(true);
    m_replayTimer->setTimerType(Qt::PreciseTimer);
    connect(m_replayTimer, &QTimer::timeout, this, &TOnlineScopePage::onReplayTimer);
}

TOnlineScopePage::~TOnlineScopePage() = default;

void TOnlineScopePage::buildLayout() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);
    root->setSpacing(6);
    auto* top = new QHBoxLayout;
    top->setSpacing(10);

    auto* rates = new QGroupBox("Frequency (Tick)", this);
    rates->setObjectName("GroupBoxFrequency");
    auto* rateColumn = new QVBoxLayout(rates);
    const std::array<QRadioButton**, kRates.size()> rateButtons = {&freq1, &freq2, &freq3, &freq4};
    for (size_t i = 0; i < kRates.size(); ++i) {
        const Rate& rate = kRates[i];
        auto* b = new QRadioButton(QString("%1 Hz (%2 ms)")
                                       .arg(static_cast<int>(rate.frequency))
                                       .arg(static_cast<int>(rate.tick * 1000)),
                                   rates);
        b->setObjectName(QString("freq%1").arg(i + 1));
        m_rates->addButton(b, static_cast<int>(i));
        rateColumn->addWidget(b);
        *rateButtons[i] = b;
    }
    top->addWidget(rates);

    auto* channels = new QGroupBox("Channels", this);
    channels->setObjectName("GroupBoxChannels");
    auto* grid = new QGridLayout(channels);
    const auto channelRow = [&](int row, const char* caption, QComboBox** combo,
                                const char* comboName, QLineEdit** name, const char* nameField) {
        grid->addWidget(new QLabel(caption, channels), row, 0);
        *combo = new QComboBox(channels);
        (*combo)->setObjectName(comboName);
        (*combo)->setMinimumWidth(260);
        grid->addWidget(*combo, row, 1);
        *name = readOnlyField(nameField, channels, 220);
        grid->addWidget(*name, row, 2);
    };
    channelRow(0, "Channel 1", &ComboBox7, "ComboBox7", &Edit8, "Edit8");
    channelRow(1, "Channel 2", &ComboBox8, "ComboBox8", &Edit9, "Edit9");
    top->addWidget(channels, 1);

    auto* buttons = new QGridLayout;
    Button3 = pageButton("Button3", "Start oscillogram", this);
    Button18 = pageButton("Button18", "Stop oscillogram", this);
    Button21 = pageButton("Button21", "View oscillogram", this);
    Button23 = pageButton("Button23", "Reset Oscilloscope", this);
    buttons->addWidget(Button3, 0, 0);
    buttons->addWidget(Button18, 1, 0);
    buttons->addWidget(Button21, 0, 1);
    buttons->addWidget(Button23, 1, 1);
    // "Replay" stays down while a replay runs; "Stop replay" acts only then.
    Replay_start = replayButton("Replay_start", "Replay", this);
    Replay_start->setCheckable(true);
    Replay_stop = replayButton("Replay_stop", "Stop replay", this);
    showReplayRunning(false);
    buttons->addWidget(Replay_start, 2, 0);
    buttons->addWidget(Replay_stop, 2, 1);
    top->addLayout(buttons);
    root->addLayout(top);

    auto* stamps = new QHBoxLayout;
    const StampFields start =
        addStamp(stamps, this, "Date and time of start", "Label_start", "MaskEdit11", "MaskEdit12");
    const StampFields finish = addStamp(stamps, this, "Date and time of finish", "Label_finish",
                                        "MaskEdit13", "MaskEdit14");
    MaskEdit11 = start.date;
    MaskEdit12 = start.time;
    MaskEdit13 = finish.date;
    MaskEdit14 = finish.time;
    CaptureLabel = new QLabel(this);
    CaptureLabel->setObjectName("CaptureLabel");
    stamps->addWidget(CaptureLabel);
    stamps->addStretch();
    root->addLayout(stamps);

    Gauge2 = new QProgressBar(this);
    Gauge2->setObjectName("Gauge2");
    Gauge2->setRange(1, kRecordCount);
    Gauge2->setFixedWidth(kPreviewWidth);
    Gauge2->reset();
    root->addWidget(Gauge2);
    AliasLabel = new QLabel(this);
    AliasLabel->setObjectName("AliasLabel");
    AliasLabel->setWordWrap(true);
    AliasLabel->setStyleSheet("color: #C00000;");
    AliasLabel->hide();
    root->addWidget(AliasLabel);

    PaintBox1 = new PreviewBox(m_preview, this);
    PaintBox1->setObjectName("PaintBox1");
    root->addWidget(PaintBox1);
    root->addStretch();
}

QString TOnlineScopePage::message(int n) const {
    return qs(m_parts.messages.text(n, m_parts.model.language()));
}

void TOnlineScopePage::fillChannelSelectors(pm::ScopeListStyle style) {
    for (QComboBox* combo : {ComboBox7, ComboBox8})
        fillChannelSelector(combo, m_parts.model, m_parts.messages, style);
    if (style != pm::ScopeListStyle::LanguageSwitch)
        return;
    const pm::ParameterModel& model = m_parts.model;
    int channel = 1;
    for (QLineEdit* name : std::array<QLineEdit*, kOnlineChannelCount>{Edit8, Edit9}) {
        const int signal = m_parts.oscillogram.channel(channel++).signal;
        if (signal >= 0 && signal < model.scopeSignalCount())
            name->setText(qs(pm::description(model.scopeSignal(signal), model.language())));
    }
}

void TOnlineScopePage::applyDefaults() {
    Oscillogram& o = m_parts.oscillogram;
    const Rate& rate = kRates[0];
    o.rateCode = rate.code;
    o.header.frequency = rate.frequency;
    o.header.tick = rate.tick;
    freq1->setChecked(true);
    o.channel(1).signal = 7;
    o.channel(2).signal = 8;
    for (ChannelSelection& channel : o.channels)
        channel.scale = 1.0;
    for (QPushButton* b : {Button18, Button21, Button23})
        b->setEnabled(false);
}

// ---- Rate and channels ------------------------------------------------------------------

void TOnlineScopePage::freq1Click() {
    rateClicked(0);
}

void TOnlineScopePage::freq2Click() {
    rateClicked(1);
}

void TOnlineScopePage::freq3Click() {
    rateClicked(2);
}

void TOnlineScopePage::freq4Click() {
    rateClicked(3);
}

void TOnlineScopePage::rateClicked(int rateIndex) {
    Oscillogram& o = m_parts.oscillogram;
    // The drive cannot take a rate now (a capture runs, or no drive listens): the button of the
    // rate in force stays selected.
    if (m_parts.link.state().linkBusy || !connected()) {
        const auto inForce = std::find_if(kRates.begin(), kRates.end(),
                                          [&](const Rate& r) { return r.code == o.rateCode; });
        selectRateButton(inForce == kRates.end() ? -1 : static_cast<int>(inForce - kRates.begin()));
        return;
    }
    const Rate& rate = kRates.at(static_cast<size_t>(rateIndex));
    o.rateCode = rate.code;
    o.header.frequency = rate.frequency;
    o.header.tick = rate.tick;
    selectRateButton(rateIndex);
    (void)writeScopeParameter(m_parts.link, m_parts.access, m_parts.model, kRateParameter,
                              rate.code);
    showAliasWarning();
}

void TOnlineScopePage::showAliasWarning() {
    const std::string warning =
        aliasingWarning(m_parts.model, m_parts.oscillogram.header.frequency);
    ui::showText(AliasLabel, [this] {
        return qs(aliasingWarning(m_parts.model, m_parts.oscillogram.header.frequency));
    });
    AliasLabel->setVisible(!warning.empty());
}

void TOnlineScopePage::selectRateButton(int rateIndex) {
    QAbstractButton* chosen = m_rates->button(rateIndex);
    if (chosen != nullptr) {
        chosen->setChecked(true);
        return;
    }
    // No rate of this page in force: none is selected.
    m_rates->setExclusive(false);
    for (QAbstractButton* b : m_rates->buttons())
        b->setChecked(false);
    m_rates->setExclusive(true);
}

void TOnlineScopePage::ComboBox7CloseUp() {
    channelSelectorClosed(1);
}

void TOnlineScopePage::ComboBox8CloseUp() {
    channelSelectorClosed(2);
}

void TOnlineScopePage::channelSelectorClosed(int channel) {
    if (m_parts.link.state().linkBusy || !connected())
        return;
    QComboBox* combo = channel == 1 ? ComboBox7 : ComboBox8;
    QLineEdit* name = channel == 1 ? Edit8 : Edit9;
    ChannelSelection& selection = m_parts.oscillogram.channel(channel);
    selection = selectorChoice(combo, name, m_parts.model);
    emit channelSelected(channel);
    (void)writeScopeParameter(m_parts.link, m_parts.access, m_parts.model,
                              kOnlineChannelParameters.at(static_cast<size_t>(channel - 1)),
                              selection.signal, WriteRule::Always);
}

void TOnlineScopePage::synchronise(bool enteringThisPage) {
    // The controls describe the running capture until it ends.
    if (capturing())
        return;
    if (enteringThisPage && connected() && !m_parts.link.state().linkBusy) {
        if (writeScopeParameter(m_parts.link, m_parts.access, m_parts.model, kScopeModeParameter,
                                kOnlineMode))
            m_windows.monitorTimer->stop();
    }
    resetPreview();
    showDriveSettings(true);
}

void TOnlineScopePage::showDriveSettings(bool prompt) {
    const pm::ParameterModel& model = m_parts.model;
    const auto valueOf = [&](const char* mnemonic) -> std::optional<int> {
        const std::optional<int> position = model.find(mnemonic);
        if (!position)
            return std::nullopt;
        return static_cast<int>(std::trunc(model.value(*position)));
    };
    if (const std::optional<int> code = valueOf(kRateParameter)) {
        if (const std::optional<Rate> rate = rateOfCode(*code)) {
            Oscillogram& o = m_parts.oscillogram;
            o.rateCode = rate->code;
            o.header.frequency = rate->frequency;
            o.header.tick = rate->tick;
            selectRateButton(rate->code - kRates[0].code);
        }
    }
    for (int channel = 1; channel <= kOnlineChannelCount; ++channel) {
        if (const std::optional<int> signal =
                valueOf(kOnlineChannelParameters.at(static_cast<size_t>(channel - 1))))
            showChannel(channel, *signal, prompt);
    }
    showAliasWarning();
}

void TOnlineScopePage::showChannel(int channel, int signal, bool prompt) {
    const std::optional<ChannelSelection> shown =
        showSignal(channel == 1 ? ComboBox7 : ComboBox8, channel == 1 ? Edit8 : Edit9,
                   m_parts.model, signal, prompt);
    if (!shown)
        return;
    m_parts.oscillogram.channel(channel) = *shown;
    emit channelSelected(channel);
}

// ---- The capture ------------------------------------------------------------------------

void TOnlineScopePage::Button3Click() {
    if (m_parts.link.state().linkBusy)
        return;
    Oscillogram& o = m_parts.oscillogram;
    o.header.startStamp = stampFrom({MaskEdit11, MaskEdit12}, m_windows.date, m_windows.time);
    o.header.stopStamp.clear();
    Gauge2->reset();
    clearPreviewWithAxes();
    PaintBox1->update();
    Button18->setEnabled(true);
    Button3->setEnabled(false);
    Button23->setEnabled(false);
    m_windows.saveOscillogram->setEnabled(true);
    m_windows.monitor->setEnabled(false);
    showAliasWarning();
    emit captureStarting();
    StartOscill();
}

void TOnlineScopePage::StartOscill() {
    m_stopAsked = false;
    m_capture.emplace(m_parts.link, m_parts.oscillogram, m_parts.model, m_parts.messages);
    m_inCapture = true;
    const bool started =
        m_capture->start(m_parts.cpuSpeedClass, CaptureClock::now()) && m_capture->running();
    m_inCapture = false;
    if (!started) {
        endCapture();
        return;
    }
    const int fd = m_parts.link.port().nativeHandle();
    if (fd >= 0) {
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TOnlineScopePage::onPortReadable);
    }
    armSilenceTimer();
    ui::showText(CaptureLabel,
                 [this] { return qs(captureProgressText(0, m_parts.model.language())); });
    m_repaintTimer->start();
    if (m_stopAsked)
        Button18Click();
}

void TOnlineScopePage::onPortReadable() {
    if (!capturing())
        return;
    // The capture may send its stop frame in here, and that frame's pauses let events run:
    // the notifier stays quiet until the capture is back.
    m_notifier->setEnabled(false);
    m_inCapture = true;
    m_capture->onReadable(CaptureClock::now());
    m_inCapture = false;
    showProgress();
    if (!m_capture->running()) {
        endCapture();
        return;
    }
    m_batchTimer->start();
    if (m_stopAsked)
        Button18Click();
}

void TOnlineScopePage::armSilenceTimer() {
    using namespace std::chrono;
    const auto left =
        duration_cast<milliseconds>(m_capture->silenceDeadline() - CaptureClock::now());
    // One millisecond past the deadline, so that the check never comes early.
    m_silenceTimer->start(static_cast<int>(std::max<milliseconds::rep>(left.count() + 1, 1)));
}

void TOnlineScopePage::onSilenceTimer() {
    if (!capturing())
        return;
    if (!m_inCapture) {
        m_capture->checkSilence(CaptureClock::now());
        if (!m_capture->running()) {
            endCapture();
            return;
        }
    }
    armSilenceTimer();
}

void TOnlineScopePage::Button18Click() {
    if (!capturing())
        return;
    if (m_inCapture) {
        // The capture is busy with the port; it stops as soon as it is back.
        m_stopAsked = true;
        return;
    }
    m_stopAsked = false;
    showStopStamp();
    ui::setEnabledByName(m_windows.window, kOfflineScopeStart, true);
    showReplayRunning(false);
    Replay_start->show();
    Replay_stop->show();
    Button18->setEnabled(false);
    if (m_notifier != nullptr)
        m_notifier->setEnabled(false);
    m_silenceTimer->stop();
    m_batchTimer->stop();
    m_inCapture = true;
    m_capture->stop();
    m_inCapture = false;
    endCapture();
}

void TOnlineScopePage::showStopStamp() {
    m_parts.oscillogram.header.stopStamp = stampNow({MaskEdit13, MaskEdit14});
}

void TOnlineScopePage::endCapture() {
    if (m_notifier != nullptr) {
        m_notifier->setEnabled(false);
        // It may be the sender of the slot that got here.
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_silenceTimer->stop();
    m_batchTimer->stop();
    drawPreviewSteps();
    m_repaintTimer->stop();
    CaptureLabel->clear();
    m_previewDirty = false;
    PaintBox1->update();
    showProgress();

    const CaptureEnd end = m_capture ? m_capture->end() : CaptureEnd::Idle;
    const bool captured = m_capture && m_capture->samples() > 0;
    Button18->setEnabled(false);
    switch (end) {
        case CaptureEnd::BufferFull:
            Replay_start->show();
            Replay_stop->show();
            StopOscill();
            break;
        case CaptureEnd::UserStop:
            for (QPushButton* b : {Button3, Button21, Button23})
                b->setEnabled(true);
            break;
        case CaptureEnd::Refused:
            Button3->setEnabled(true);
            Button23->setEnabled(true);
            break;
        case CaptureEnd::HungUp:
            // The link told the user and went offline; what came before stays to be viewed.
            Button21->setEnabled(captured);
            Button23->setEnabled(true);
            break;
        case CaptureEnd::Silent:
        case CaptureEnd::WriteFailed:
        case CaptureEnd::Idle:
        case CaptureEnd::Running:
            // The drive stopped sending, or the capture never began: a new start is offered
            // at once, and what arrived before can be viewed.
            Button3->setEnabled(connected());
            Button21->setEnabled(captured);
            Button23->setEnabled(captured);
            break;
    }
    releaseMonitor();
    // Told once the buttons are back, so that the window behind the box shows the end.
    if (end == CaptureEnd::Silent && m_parts.reportEnd)
        m_parts.reportEnd(pm::withArguments(
            m_parts.messages.text(pm::kMsgOnlineCaptureSilent, m_parts.model.language()),
            {std::to_string(m_capture->samples())}));
}

void TOnlineScopePage::releaseMonitor() {
    m_windows.stopMonitor->setChecked(true);
    m_windows.monitor->setEnabled(connected());
}

void TOnlineScopePage::showProgress() {
    if (!m_capture)
        return;
    Gauge2->setValue(std::clamp(m_capture->samples() + 1, 1, kRecordCount));
    if (m_capture->running())
        ui::showText(CaptureLabel, [this, samples = m_capture->samples()] {
            return qs(captureProgressText(samples, m_parts.model.language()));
        });
    drawPreviewSteps();
}

void TOnlineScopePage::StopOscill() {
    showStopStamp();
    for (QPushButton* b : {Button3, Button21, Button23})
        b->setEnabled(true);
    Button18->setEnabled(false);
}

void TOnlineScopePage::Button21Click() {
    emit viewRequested();
}

void TOnlineScopePage::Button23Click() {
    abortReplay();
    if (capturing())
        return;
    showReplayRunning(false);
    Replay_start->hide();
    Replay_stop->hide();
    resetPreview();
    ClrOscill();
}

void TOnlineScopePage::ClrOscill() {
    Gauge2->reset();
    m_parts.oscillogram.buffer.zeroChannels();
    for (QPushButton* b : {Button21, Button18, Button23})
        b->setEnabled(false);
    for (QLineEdit* e : {MaskEdit11, MaskEdit12, MaskEdit13, MaskEdit14})
        e->clear();
    m_parts.oscillogram.header.startStamp.clear();
    m_parts.oscillogram.header.stopStamp.clear();
    m_windows.saveOscillogram->setEnabled(false);
}

// ---- The preview ------------------------------------------------------------------------

void TOnlineScopePage::clearPreviewWithAxes() {
    QPainter painter(&m_preview);
    drawCaptureAxes(painter);
}

void TOnlineScopePage::resetPreview() {
    m_preview.fill(Qt::white);
    QPainter painter(&m_preview);
    painter.setPen(QColor(255, 0, 0));
    painter.drawLine(0, 0, 0, kResetAxisHeight);
    painter.setPen(Qt::black);
    painter.drawLine(m_preview.width(), kResetCentre, 0, kResetCentre);
    painter.end();
    PaintBox1->update();
}

void TOnlineScopePage::drawPreviewSteps() {
    if (!m_capture)
        return;
    const std::vector<PreviewStep> steps = m_capture->takePreview();
    if (steps.empty())
        return;
    const std::array<QColor, kOnlineChannelCount> colours = {QColor(255, 0, 0), QColor(0, 0, 255)};
    QPainter painter(&m_preview);
    for (const PreviewStep& step : steps) {
        if (step.restart)
            drawCaptureAxes(painter);
        for (size_t c = 0; c < colours.size(); ++c) {
            painter.setPen(colours[c]);
            painter.drawLine(step.column - 1, step.from[c], step.column, step.to[c]);
        }
    }
    m_previewDirty = true;
}

void TOnlineScopePage::onRepaintTimer() {
    if (!m_previewDirty)
        return;
    m_previewDirty = false;
    PaintBox1->update();
}

void TOnlineScopePage::Replay_startClick() {
    if (m_replay.running()) {
        // A second click leaves the running replay, and its button, as they are.
        showReplayRunning(true);
        return;
    }
    if (!m_replay.start(m_parts.link, m_parts.oscillogram.buffer, m_parts.oscillogram.rateCode,
                        CaptureClock::now())) {
        // The link is busy: nothing happens, and the buttons stay as they were.
        showReplayRunning(false);
        return;
    }
    showReplayRunning(true);
    Gauge2->setValue(Gauge2->minimum());
    {
        QPainter painter(&m_preview);
        drawReplayAxes(painter);
    }
    PaintBox1->update();
    armReplayTimer();
}

void TOnlineScopePage::Replay_stopClick() {
    m_replay.stop();
    m_replayTimer->stop();
    showReplayRunning(false);
}

void TOnlineScopePage::abortReplay() {
    if (!m_replay.running())
        return;
    m_replay.abort();
    // The step that sees the flag is drawn now, not at its time.
    m_replayTimer->start(0);
}

void TOnlineScopePage::armReplayTimer() {
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(m_replay.nextStepAt() - CaptureClock::now());
    m_replayTimer->start(std::max<int>(0, static_cast<int>(wait.count())));
}

void TOnlineScopePage::onReplayTimer() {
    const std::array<QColor, kOnlineChannelCount> colours = {QColor(0, 255, 0), QColor(0, 0, 255)};
    const std::optional<PreviewStep> step = m_replay.step(CaptureClock::now());
    if (step) {
        QPainter painter(&m_preview);
        if (step->restart)
            drawReplayAxes(painter);
        for (size_t c = 0; c < colours.size(); ++c) {
            painter.setPen(colours[c]);
            painter.drawLine(step->column - 1, step->from[c], step->column, step->to[c]);
        }
        painter.end();
        // The step that sees the abort flag moves no gauge: after a reset it stays reset.
        if (m_replay.end() != ReplayEnd::Aborted)
            Gauge2->setValue(std::clamp(m_replay.gauge(), Gauge2->minimum(), Gauge2->maximum()));
        PaintBox1->update();
    }
    if (m_replay.running()) {
        armReplayTimer();
        return;
    }
    showReplayRunning(false);
}

void TOnlineScopePage::showReplayRunning(bool running) {
    Replay_start->setChecked(running);
    Replay_stop->setEnabled(running);
}

}  // namespace zrd::scope
