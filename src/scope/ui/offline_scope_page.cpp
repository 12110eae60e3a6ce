#include "scope/ui/offline_scope_page.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "core/ui/run_time_text.h"
#include "params/message_numbers.h"
#include "scope/capture_notes.h"
#include "scope/scope_settings.h"
#include "scope/trigger.h"
#include "scope/ui/scope_page_controls.h"
#include "scope/ui/trace_viewer.h"
#include "scope/ui/trigger_panel.h"
#include "session/link_busy_guard.h"

namespace zrd::scope {
namespace {

namespace pm = zrd::params;

constexpr const char* kRecorderModeParameter = "OSCMOD";
constexpr const char* kTickParameter = "RCFREQ";
constexpr const char* kTriggerSampleParameter = "OSCTRG";
constexpr std::array<const char*, kChannelCount> kOfflineChannelParameters = {"CH1SEL", "CH2SEL",
                                                                              "CH3SEL", "CH4SEL"};
constexpr int kOfflineMode = 0;
// The status line after a record read on "Stop oscillogram"; other languages take message 39.
constexpr const char* kDataReadEnglish = "      Data is read successfully";

// The tick buttons' captions, fastest first.
constexpr std::array<const char*, kOfflineTickCodes> kTickCaptions = {
    "0.25ms (4000 Hz)", "0.5 ms (2000 Hz)", "1ms (1000 Hz)",  "2ms (500 Hz)",
    "4ms (250 Hz)",     "8ms (125 Hz)",     "16ms (62.5 Hz)", "32ms (31.25 Hz)",
    "64ms (15.625 Hz)", "128ms (7.8125 Hz)"};

}  // namespace

TOfflineScopePage::TOfflineScopePage(const OfflineScopeParts& parts,
                                     const OfflineScopeWindows& windows, QWidget* parent)
    : QWidget(parent),
      m_parts(parts),
      m_windows(windows),
      m_ticks(new QButtonGroup(this)),
      m_watch(new PortWatch([this] { onPortReadable(); }, [this] { onDeadline(); }, this)) {
    setObjectName("TabPage7");
    buildLayout();

    connect(m_ticks, &QButtonGroup::idClicked, this, &TOfflineScopePage::FreqClick);
    const std::array<QComboBox*, kChannelCount> combos = selectors();
    for (int c = 1; c <= kChannelCount; ++c) {
        // A channel is chosen when the list closes on a line, not while browsing it.
        connect(combos.at(static_cast<size_t>(c - 1)), qOverload<int>(&QComboBox::activated), this,
                [this, c] { ComboBoxCloseUp(c); });
    }
    // A right click on the first selector applies its choice again.
    ComboBox2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ComboBox2, &QComboBox::customContextMenuRequested, this,
            [this] { ComboBoxCloseUp(1); });
    connect(Button5, &QPushButton::clicked, this, &TOfflineScopePage::Button5Click);
    connect(Button1, &QPushButton::clicked, this, &TOfflineScopePage::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TOfflineScopePage::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &TOfflineScopePage::Button4Click);
    // A trigger choice offers the start; without a drive there is nothing to start.
    connect(Trigger, &TTriggerPanel::startAllowed, Button5,
            [this](bool allowed) { Button5->setEnabled(allowed && connected()); });
    connect(Trigger, &TTriggerPanel::recordLengthWanted, this,
            &TOfflineScopePage::showRecordLength);
}

TOfflineScopePage::~TOfflineScopePage() = default;

void TOfflineScopePage::buildLayout() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);
    root->setSpacing(6);
    auto* top = new QHBoxLayout;
    top->setSpacing(10);

    auto* ticks = new QGroupBox("Tick (frequency)", this);
    ticks->setObjectName("GroupBoxTick");
    auto* tickColumn = new QVBoxLayout(ticks);
    tickColumn->setSpacing(1);
    for (int code = 0; code < kOfflineTickCodes; ++code) {
        auto* b = new QRadioButton(kTickCaptions.at(static_cast<size_t>(code)), ticks);
        b->setObjectName(QString("Freq%1_off").arg(code + 1));
        m_ticks->addButton(b, code);
        tickColumn->addWidget(b);
        Freq_off.at(static_cast<size_t>(code)) = b;
    }
    top->addWidget(ticks);

    auto* middle = new QVBoxLayout;
    auto* channels = new QGroupBox("Channels", this);
    channels->setObjectName("GroupBoxChannelsOff");
    auto* grid = new QGridLayout(channels);
    const auto channelRow = [&](int row, QComboBox** combo, const char* comboName, QLineEdit** name,
                                const char* nameField) {
        grid->addWidget(new QLabel(QString("Channel %1").arg(row + 1), channels), row, 0);
        *combo = new QComboBox(channels);
        (*combo)->setObjectName(comboName);
        (*combo)->setMinimumWidth(240);
        grid->addWidget(*combo, row, 1);
        *name = readOnlyField(nameField, channels, 200);
        grid->addWidget(*name, row, 2);
    };
    channelRow(0, &ComboBox2, "ComboBox2", &Edit3, "Edit3");
    channelRow(1, &ComboBox3, "ComboBox3", &Edit4, "Edit4");
    channelRow(2, &ComboBox4, "ComboBox4", &Edit6, "Edit6");
    channelRow(3, &ComboBox5, "ComboBox5", &Edit7, "Edit7");
    middle->addWidget(channels);
    Trigger = new TTriggerPanel({m_parts.link, m_parts.access, m_parts.model, m_parts.oscillogram,
                                 m_parts.generatorRunning, m_windows.internalSource},
                                this);
    middle->addWidget(Trigger);
    top->addLayout(middle, 1);

    auto* buttons = new QVBoxLayout;
    Button5 = pageButton("Button5", "Start oscillogram", this);
    Button1 = pageButton("Button1", "Stop oscillogram", this);
    Button2 = pageButton("Button2", "View oscillogram", this);
    Button4 = pageButton("Button4", "Reset Oscilloscope", this);
    for (QPushButton* b : {Button5, Button1, Button2, Button4})
        buttons->addWidget(b);
    buttons->addStretch();
    top->addLayout(buttons);
    root->addLayout(top);

    auto* stamps = new QHBoxLayout;
    const StampFields start = addStamp(stamps, this, "Date and time of start", "Label_start_off",
                                       "MaskEdit5", "MaskEdit6");
    const StampFields finish = addStamp(stamps, this, "Date and time of finish", "Label_finish_off",
                                        "MaskEdit7", "MaskEdit8");
    MaskEdit5 = start.date;
    MaskEdit6 = start.time;
    MaskEdit7 = finish.date;
    MaskEdit8 = finish.time;
    Edit2 = readOnlyField("Edit2", this);
    Edit2->hide();
    stamps->addWidget(Edit2);
    TriggerWaitLabel = new QLabel(this);
    TriggerWaitLabel->setObjectName("TriggerWaitLabel");
    stamps->addWidget(TriggerWaitLabel);
    stamps->addStretch();
    root->addLayout(stamps);

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName("Gauge1");
    Gauge1->setRange(1, kOfflineSamples);
    Gauge1->reset();
    root->addWidget(Gauge1);
    Edit14 = readOnlyField("Edit14", this, 600);
    root->addWidget(Edit14);
    root->addStretch();
}

QString TOfflineScopePage::message(int n) const {
    return qs(m_parts.messages.text(n, m_parts.model.language()));
}

std::array<QComboBox*, kChannelCount> TOfflineScopePage::selectors() const {
    return {ComboBox2, ComboBox3, ComboBox4, ComboBox5};
}

std::array<QLineEdit*, kChannelCount> TOfflineScopePage::nameFields() const {
    return {Edit3, Edit4, Edit6, Edit7};
}

void TOfflineScopePage::fillChannelSelectors(pm::ScopeListStyle style) {
    for (QComboBox* combo : selectors())
        fillChannelSelector(combo, m_parts.model, m_parts.messages, style);
    if (style != pm::ScopeListStyle::LanguageSwitch)
        return;
    const pm::ParameterModel& model = m_parts.model;
    int channel = 1;
    for (QLineEdit* name : nameFields()) {
        const int signal = m_parts.oscillogram.channel(channel++).signal;
        if (signal >= 0 && signal < model.scopeSignalCount())
            name->setText(qs(pm::description(model.scopeSignal(signal), model.language())));
    }
}

void TOfflineScopePage::applyDefaults() {
    m_parts.oscillogram.tickCode = 0;
    Freq_off[0]->setChecked(true);
    for (QPushButton* b : {Button1, Button2, Button4})
        b->setEnabled(false);
}

QString TOfflineScopePage::recordLengthText() const {
    // The texts come with their own spaces around the number, or without.
    return message(pm::kMsgRecordLength).trimmed() + " = " +
           qs(pm::valueText(recordSeconds(m_parts.oscillogram.tickCode))) + " " +
           message(pm::kMsgSeconds).trimmed();
}

void TOfflineScopePage::showRecordLength() {
    ui::showText(Edit14, [this] { return recordLengthText(); });
}

// ---- Tick and channels ------------------------------------------------------------------

void TOfflineScopePage::FreqClick(int tickCode) {
    // The drive cannot take a tick now (a capture holds the link, or no drive listens): the
    // button of the tick in force stays selected.
    if (m_parts.link.state().linkBusy || !connected()) {
        selectTick(m_parts.oscillogram.tickCode);
        return;
    }
    m_parts.oscillogram.tickCode = tickCode;
    selectTick(tickCode);
    (void)writeScopeParameter(m_parts.link, m_parts.access, m_parts.model, kTickParameter,
                              tickCode);
    showRecordLength();
}

void TOfflineScopePage::selectTick(int tickCode) {
    if (QAbstractButton* b = m_ticks->button(tickCode))
        b->setChecked(true);
}

void TOfflineScopePage::ComboBoxCloseUp(int channel) {
    if (m_parts.link.state().linkBusy || !connected())
        return;
    const auto i = static_cast<size_t>(channel - 1);
    ChannelSelection& selection = m_parts.oscillogram.channel(channel);
    selection = selectorChoice(selectors().at(i), nameFields().at(i), m_parts.model);
    emit channelSelected(channel);
    Trigger->channelChanged(channel);
    (void)writeScopeParameter(m_parts.link, m_parts.access, m_parts.model,
                              kOfflineChannelParameters.at(i), selection.signal, WriteRule::Always);
}

void TOfflineScopePage::synchronise(bool enteringThisPage) {
    // The controls describe the running capture until it ends.
    if (listening())
        return;
    if (enteringThisPage && connected() && !m_parts.link.state().linkBusy) {
        if (writeScopeParameter(m_parts.link, m_parts.access, m_parts.model, kRecorderModeParameter,
                                kOfflineMode))
            m_windows.monitorTimer->stop();
    }
    showDriveSettings(true);
}

void TOfflineScopePage::showDriveSettings(bool prompt) {
    const auto [tickCode, channelSignals] = offlineFromTable(m_parts.model);
    if (tickCode) {
        m_parts.oscillogram.tickCode = *tickCode;
        selectTick(*tickCode);
    }
    for (int c = 1; c <= kChannelCount; ++c) {
        if (const std::optional<int> signal = channelSignals.at(static_cast<size_t>(c - 1)))
            showChannel(c, *signal, prompt);
    }
    Trigger->showDriveSettings(triggerFromTable(m_parts.model),
                               m_windows.externalSource->isChecked());
}

void TOfflineScopePage::showChannel(int channel, int signal, bool prompt) {
    const auto i = static_cast<size_t>(channel - 1);
    const std::optional<ChannelSelection> shown =
        showSignal(selectors().at(i), nameFields().at(i), m_parts.model, signal, prompt);
    if (!shown)
        return;
    m_parts.oscillogram.channel(channel) = *shown;
    emit channelSelected(channel);
}

// ---- The capture ------------------------------------------------------------------------

void TOfflineScopePage::Button5Click() {
    if (m_parts.link.state().linkBusy || !connected() || listening())
        return;
    Oscillogram& o = m_parts.oscillogram;
    o.header.startStamp = stampFrom({MaskEdit5, MaskEdit6}, m_windows.date, m_windows.time);
    o.header.stopStamp.clear();
    MaskEdit7->clear();
    MaskEdit8->clear();
    Gauge1->reset();
    Edit2->clear();
    Edit14->clear();
    if (Trigger->type() == TriggerType::FullBuffer)
        showRecordLength();
    Button1->setEnabled(true);
    for (QPushButton* b : {Button5, Button4, Button2})
        b->setEnabled(false);
    m_windows.saveOscillogram->setEnabled(true);
    m_windows.monitor->setEnabled(false);
    // A viewer kept open beside the program shows the buffer this capture rewrites.
    m_windows.viewer->close();
    StartOscillOff();
}

void TOfflineScopePage::StartOscillOff() {
    m_stopAsked = false;
    m_recordTrigger = Trigger->type();
    m_capture.emplace(m_parts.link, m_parts.oscillogram, m_parts.model, m_parts.messages);
    const bool started =
        m_capture->start({m_recordTrigger, m_parts.generatorRunning}, CaptureClock::now());
    if (!started) {
        StopOscillOff();
        return;
    }
    if (m_recordTrigger == TriggerType::Generator)
        ui::showText(Edit14, [this] { return message(pm::kMsgWaitGenerator); });
    watchPort();
    afterCaptureWork();
}

void TOfflineScopePage::afterCaptureWork() {
    showArmedWait();
    if (listening()) {
        armDeadline();
        return;
    }
    // Without a trigger the drive records on its own once it took the start, and the link is
    // free until "Stop oscillogram".
    if (m_capture->phase() == OfflinePhase::Recording) {
        m_watch->stop();
        return;
    }
    StopOscillOff();
}

bool TOfflineScopePage::armedForGenerator() const {
    return m_capture && m_capture->phase() == OfflinePhase::Armed &&
           (isEdge(m_recordTrigger) || m_recordTrigger == TriggerType::Generator);
}

bool TOfflineScopePage::waitingForGenerator() const {
    return armedForGenerator() && m_capture->startAcknowledged();
}

void TOfflineScopePage::startGenerator(const std::function<void()>& sendStart) {
    m_watch->setPaused(true);
    // A click soon after the start frame may come before its acknowledge was read: the
    // generator's command would take that acknowledge for its own. A wait that fails leaves the
    // port's failure to the command, which reports it.
    (void)awaitStartAcknowledge(*m_capture, m_parts.link.port());
    if (armedForGenerator()) {
        showRecordLength();
        sendStart();
    }
    m_watch->setPaused(false);
    afterCaptureWork();
}

void TOfflineScopePage::watchPort() {
    m_watch->watch(m_parts.link.port().nativeHandle());
    armDeadline();
}

void TOfflineScopePage::armDeadline() {
    using namespace std::chrono;
    const std::optional<CaptureClock::time_point> due = m_capture->deadline();
    if (!due) {
        m_watch->armDeadline(std::nullopt);
        return;
    }
    // One millisecond past the deadline, so that the check never comes early.
    const auto left = duration_cast<milliseconds>(*due - CaptureClock::now()).count() + 1;
    m_watch->armDeadline(static_cast<int>(std::clamp<milliseconds::rep>(left, 1, INT32_MAX)));
}

void TOfflineScopePage::onPortReadable() {
    if (!listening())
        return;
    m_capture->onReadable(CaptureClock::now());
    showProgress();
    afterCaptureWork();
}

void TOfflineScopePage::onDeadline() {
    if (!listening())
        return;
    m_capture->checkDeadline(CaptureClock::now());
    afterCaptureWork();
}

void TOfflineScopePage::showProgress() {
    if (!m_capture)
        return;
    Gauge1->setValue(std::clamp(m_capture->records() + 1, 1, kOfflineSamples));
    Edit2->setText(QString::number(m_capture->lastSampleIndex()));
}

void TOfflineScopePage::Button1Click() {
    if (!m_capture)
        return;
    const OfflinePhase phase = m_capture->phase();
    if (phase != OfflinePhase::Recording && phase != OfflinePhase::Armed) {
        // A second stop while the record is read (or the drive answers busy) abandons it.
        if (listening()) {
            m_capture->cancel();
            StopOscillOff();
        }
        return;
    }
    m_parts.oscillogram.header.stopStamp = stampNow({MaskEdit7, MaskEdit8});
    Button1->setEnabled(false);
    // Nothing was recorded yet for a generator that never started: the drive just stops.
    if (phase == OfflinePhase::Armed && m_recordTrigger == TriggerType::Generator &&
        !m_parts.generatorRunning) {
        m_capture->cancel();
        StopOscillOff();
        return;
    }
    ui::showText(Edit14, [this] { return message(pm::kMsgReadingRecord); });
    m_stopAsked = true;
    TriggerWaitLabel->clear();
    if (!m_capture->stop(CaptureClock::now())) {
        StopOscillOff();
        return;
    }
    watchPort();
    afterCaptureWork();
}

void TOfflineScopePage::showArmedWait() {
    const bool armed = m_capture && m_capture->phase() == OfflinePhase::Armed;
    ui::showText(TriggerWaitLabel, [this, armed] {
        return armed ? qs(waitingForTriggerText(m_parts.model.language())) : QString();
    });
}

void TOfflineScopePage::StopOscillOff() {
    m_watch->stop();
    showArmedWait();
    showProgress();
    const OfflineEnd end = m_capture ? m_capture->end() : OfflineEnd::None;
    const bool recorded = m_capture && m_capture->records() > 0;
    const bool startAllowed = !(m_recordTrigger == TriggerType::Generator &&
                                m_parts.generatorRunning && m_windows.internalSource->isChecked());
    Button1->setEnabled(false);
    switch (end) {
        case OfflineEnd::Complete:
            m_parts.oscillogram.header.stopStamp = stampNow({MaskEdit7, MaskEdit8});
            ui::showText(Edit14, [this, stopped = m_stopAsked] {
                return !stopped                  ? message(pm::kMsgRecordRead)
                       : m_parts.model.english() ? QString(kDataReadEnglish)
                                                 : message(pm::kMsgDataRead);
            });
            Button2->setEnabled(true);
            Button4->setEnabled(true);
            Button5->setEnabled(startAllowed);
            break;
        case OfflineEnd::Cancelled:
            Edit14->clear();
            Button2->setEnabled(false);
            Button4->setEnabled(true);
            Button5->setEnabled(connected() && startAllowed);
            break;
        case OfflineEnd::HungUp:
            // The link told the user and went offline; what came before stays to be viewed.
            Button2->setEnabled(recorded);
            Button4->setEnabled(true);
            Button5->setEnabled(false);
            break;
        case OfflineEnd::Silent:
        case OfflineEnd::Busy:
        case OfflineEnd::Refused:
        case OfflineEnd::WriteFailed:
        case OfflineEnd::None:
            // The drive sent nothing more, refused, or the start never went out: a new start is
            // offered at once, and what arrived before can be viewed.
            Button2->setEnabled(recorded);
            Button4->setEnabled(true);
            Button5->setEnabled(connected() && startAllowed);
            break;
    }
    m_windows.saveOscillogram->setEnabled(recorded);
    m_stopAsked = false;
    releaseMonitor();
    // A record that ended short says why in the status line, not "Reading the record".
    const std::optional<int> why = offlineEndMessage(end);
    if (!why)
        return;
    const std::string text =
        pm::withArguments(m_parts.messages.text(*why, m_parts.model.language()),
                          {std::to_string(m_capture->records())});
    Edit14->setText(qs(text).trimmed());
    // Told once the buttons are back, so that the window behind the box shows the end.
    if (end == OfflineEnd::Silent && m_parts.reportEnd)
        m_parts.reportEnd(text);
}

void TOfflineScopePage::releaseMonitor() {
    m_windows.stopMonitor->setChecked(true);
    m_windows.monitor->setEnabled(connected());
}

void TOfflineScopePage::Button2Click() {
    std::optional<int> triggerSample;
    // The drive tells where the trigger fell in the record it sent last.
    const std::optional<int> position = m_parts.model.find(kTriggerSampleParameter);
    if (m_recordTrigger != TriggerType::None && m_recordTrigger != TriggerType::FullBuffer &&
        position && connected()) {
        session::LinkBusyGuard guard(m_parts.link);
        const pm::TPar& p = m_parts.model.parameter(*position);
        if (guard) {
            if (const std::optional<uint16_t> raw = m_parts.link.readIndex(p.Index)) {
                const double value = pm::rawToDisplay(p, *raw);
                m_parts.model.setKnownValue(*position, value);
                triggerSample = static_cast<int>(value);
            }
        }
    }
    m_windows.viewer->showFor(triggerSample);
}

void TOfflineScopePage::cancelCapture() {
    if (m_capture && (listening() || m_capture->phase() == OfflinePhase::Recording)) {
        m_capture->cancel();
        StopOscillOff();
    }
}

void TOfflineScopePage::Button4Click() {
    cancelCapture();
    ClrOscillOff();
}

void TOfflineScopePage::ClrOscillOff() {
    Gauge1->reset();
    if (m_capture)
        m_capture->clear();
    else
        m_parts.oscillogram.buffer.zeroChannels();
    m_recordTrigger = TriggerType::None;
    Edit14->clear();
    Edit2->clear();
    Button5->setEnabled(connected());
    m_windows.onlineStart->setEnabled(connected());
    for (QPushButton* b : {Button1, Button2, Button4})
        b->setEnabled(false);
    for (QLineEdit* e : {MaskEdit5, MaskEdit6, MaskEdit7, MaskEdit8})
        e->clear();
    m_parts.oscillogram.header.startStamp.clear();
    m_parts.oscillogram.header.stopStamp.clear();
    m_windows.saveOscillogram->setEnabled(false);
}

}  // namespace zrd::scope
