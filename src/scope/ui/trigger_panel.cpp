#include "scope/ui/trigger_panel.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "core/ui/key_filter.h"
#include "params/parameter_table.h"
#include "scope/scope_settings.h"
#include "scope/ui/scope_page_controls.h"
#include "scope/ui/trig_bit_dialog.h"
#include "session/parameter_edit.h"

namespace zrd::scope {

namespace {

constexpr int kFieldWidth = 80;

QRadioButton* radio(const QString& name, const QString& caption, QButtonGroup* group,
                    QWidget* parent) {
    auto* b = new QRadioButton(caption, parent);
    b->setObjectName(name);
    group->addButton(b);
    return b;
}

QString numberText(double value) {
    return qs(params::valueText(value));
}

}  // namespace

TTriggerPanel::TTriggerPanel(const TriggerParts& parts, QWidget* parent)
    : QGroupBox("Trigger", parent),
      trig_val_bit_sig_Form(new Ttrig_val_bit_sig_Form(this)),
      m_parts(parts),
      m_buttons(new QButtonGroup(this)) {
    setObjectName("GroupBoxTrigger");
    auto* grid = new QGridLayout(this);
    No_trigger = radio("No_trigger", "No trigger", m_buttons, this);
    No_trigger->setChecked(true);
    grid->addWidget(No_trigger, 0, 0, 1, 5);
    grid->addWidget(new QLabel("Rising edge trigger", this), 1, 0);
    grid->addWidget(new QLabel("Falling edge trigger", this), 2, 0);
    for (int c = 1; c <= kChannelCount; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        Rising_trigger[i] =
            radio(QString("Rising_trigger%1").arg(c), QString("Ch%1").arg(c), m_buttons, this);
        Falling_trigger[i] =
            radio(QString("Falling_trigger%1").arg(c), QString("Ch%1").arg(c), m_buttons, this);
        grid->addWidget(Rising_trigger[i], 1, c);
        grid->addWidget(Falling_trigger[i], 2, c);
        connect(Rising_trigger[i], &QRadioButton::clicked, this,
                [this, c] { Rising_triggerClick(c); });
        connect(Falling_trigger[i], &QRadioButton::clicked, this,
                [this, c] { Falling_triggerClick(c); });
    }
    Full_buffer_trigger = radio("Full_buffer_trigger", "Full buffer", m_buttons, this);
    RadioButton1 = radio("RadioButton1", "Pre-defined motion Start FG", m_buttons, this);
    grid->addWidget(Full_buffer_trigger, 3, 0, 1, 5);
    grid->addWidget(RadioButton1, 4, 0, 1, 5);

    Lab_trigger_level = new QLabel("Trigger level", this);
    Lab_trigger_level->setObjectName("Lab_trigger_level");
    trglev = new QLineEdit("0", this);
    trglev->setObjectName("trglev");
    trglev->setFixedWidth(kFieldWidth);
    Label84 = new QLabel(this);
    Label84->setObjectName("Label84");
    Lab_preposition = new QLabel("Pre-position trigger", this);
    Lab_preposition->setObjectName("Lab_preposition");
    trgpos = new QLineEdit("0", this);
    trgpos->setObjectName("trgpos");
    trgpos->setFixedWidth(kFieldWidth);
    grid->addWidget(Lab_trigger_level, 5, 0);
    grid->addWidget(trglev, 5, 1, 1, 2);
    grid->addWidget(Label84, 5, 3, 1, 2);
    grid->addWidget(Lab_preposition, 6, 0);
    grid->addWidget(trgpos, 6, 1, 1, 2);
    showLevelControls(false);

    for (QLineEdit* edit : {trglev, trgpos}) {
        edit->installEventFilter(new ui::KeyFilter(ui::KeyFilter::digitsAnd("-."), edit));
        edit->installEventFilter(this);
    }
    connect(trglev, &QLineEdit::editingFinished, this, &TTriggerPanel::trglevExit);
    connect(trgpos, &QLineEdit::editingFinished, this, &TTriggerPanel::trgposExit);
    connect(No_trigger, &QRadioButton::clicked, this, &TTriggerPanel::No_triggerClick);
    connect(Full_buffer_trigger, &QRadioButton::clicked, this,
            &TTriggerPanel::Full_buffer_triggerClick);
    connect(RadioButton1, &QRadioButton::clicked, this, &TTriggerPanel::RadioButton1Click);
    connect(trig_val_bit_sig_Form, &Ttrig_val_bit_sig_Form::bitChosen, this,
            [this](const QString& bit) {
                trglev->setText(bit);
                // The level goes to the drive when the field is left.
                trglev->setFocus();
            });
}

bool TTriggerPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == trglev)
            trglevEnter();
        else if (watched == trgpos)
            trgposEnter();
    } else if (event->type() == QEvent::MouseButtonRelease && watched == trglev) {
        trglevClick();
    }
    return QGroupBox::eventFilter(watched, event);
}

bool TTriggerPanel::refuse() {
    const link::LinkState& state = m_parts.link.state();
    if (!state.linkBusy && state.connected != 0)
        return false;
    selectButton(buttonOf(m_type, m_source));
    return true;
}

void TTriggerPanel::selectButton(QAbstractButton* button) {
    if (button != nullptr) {
        button->setChecked(true);
        return;
    }
    m_buttons->setExclusive(false);
    for (QAbstractButton* b : m_buttons->buttons())
        b->setChecked(false);
    m_buttons->setExclusive(true);
}

QAbstractButton* TTriggerPanel::buttonOf(TriggerType type, int source) const {
    const auto i = static_cast<size_t>(std::clamp(source, 1, kChannelCount) - 1);
    switch (type) {
        case TriggerType::None:
            return No_trigger;
        case TriggerType::Rising:
            return Rising_trigger.at(i);
        case TriggerType::Falling:
            return Falling_trigger.at(i);
        case TriggerType::FullBuffer:
            return Full_buffer_trigger;
        case TriggerType::Generator:
            return RadioButton1;
    }
    return nullptr;
}

void TTriggerPanel::showLevelControls(bool shown) {
    for (QWidget* w : std::initializer_list<QWidget*>{Lab_trigger_level, Lab_preposition, trglev,
                                                      trgpos, Label84})
        w->setVisible(shown);
}

double TTriggerPanel::typedLevel() const {
    // A text that is no number is the general error report's conversion error.
    return session::parseDisplayValue(trglev->text().toStdString());
}

void TTriggerPanel::No_triggerClick() {
    if (refuse())
        return;
    m_type = TriggerType::None;
    showLevelControls(false);
    (void)writeTriggerType(m_parts.link, m_parts.access, m_parts.model, m_type);
    emit startAllowed(true);
}

void TTriggerPanel::Full_buffer_triggerClick() {
    if (refuse())
        return;
    m_type = TriggerType::FullBuffer;
    showLevelControls(false);
    (void)writeTriggerType(m_parts.link, m_parts.access, m_parts.model, m_type);
    emit recordLengthWanted();
    emit startAllowed(true);
}

void TTriggerPanel::RadioButton1Click() {
    if (refuse())
        return;
    m_type = TriggerType::Generator;
    showLevelControls(false);
    (void)writeTriggerType(m_parts.link, m_parts.access, m_parts.model, m_type);
    // A generator that runs on internal commands starts the record itself.
    if (m_parts.generatorRunning && m_parts.internalSource->isChecked())
        emit startAllowed(false);
}

void TTriggerPanel::Rising_triggerClick(int channel) {
    edgeClicked(TriggerType::Rising, channel);
}

void TTriggerPanel::Falling_triggerClick(int channel) {
    edgeClicked(TriggerType::Falling, channel);
}

void TTriggerPanel::edgeClicked(TriggerType type, int channel) {
    if (refuse())
        return;
    const double typed = typedLevel();
    emit startAllowed(true);
    m_type = type;
    m_source = channel;
    const ChannelSelection& source = m_parts.oscillogram.channel(channel);
    const double shown = convertLevel(typed, m_levelScale, source.scale);
    m_levelScale = source.scale;
    trglev->setText(numberText(shown));
    showLevelControls(true);
    Label84->setText(qs(source.unit));
    (void)writeEdgeTrigger(m_parts.link, m_parts.access, m_parts.model, type, channel, shown,
                           m_levelScale);
}

void TTriggerPanel::channelChanged(int channel) {
    if (!isEdge(m_type) || channel != m_source)
        return;
    const ChannelSelection& source = m_parts.oscillogram.channel(channel);
    const double typed = typedLevel();
    trglev->setText(numberText(convertLevel(typed, m_levelScale, source.scale)));
    m_levelScale = source.scale;
    Label84->setText(qs(source.unit));
}

void TTriggerPanel::trglevEnter() {
    trglevExit();
}

void TTriggerPanel::trglevExit() {
    if (m_parts.link.state().linkBusy || m_parts.link.state().connected == 0)
        return;
    // Out of range: nothing is written, and nothing said.
    (void)writeTriggerLevel(m_parts.link, m_parts.access, m_parts.model, typedLevel(),
                            m_levelScale);
}

void TTriggerPanel::trgposEnter() {
    trgposExit();
}

void TTriggerPanel::trgposExit() {
    if (m_parts.link.state().linkBusy || m_parts.link.state().connected == 0)
        return;
    const double typed = session::parseDisplayValue(trgpos->text().toStdString());
    (void)writeTriggerPosition(m_parts.link, m_parts.access, m_parts.model, typed);
}

void TTriggerPanel::trglevClick() {
    if (!isEdge(m_type))
        return;
    const std::optional<std::array<std::string, kBitsPerWord>> bits =
        channelBitHints(m_parts.model, m_parts.oscillogram.channel(m_source).name);
    // Only a status word has bits to choose from.
    if (!bits)
        return;
    trig_val_bit_sig_Form->prepare(*bits, true);
    trig_val_bit_sig_Form->open();
}

void TTriggerPanel::showDriveSettings(const TriggerSettings& trigger, bool externalSource) {
    m_source = std::clamp(trigger.source, 1, kChannelCount);
    m_type = trigger.type;
    RadioButton1->setEnabled(!externalSource);
    const bool edge = isEdge(m_type);
    // The level is shown in the source channel's units; without an edge the last channel's
    // scale stands, as the table's channel parameters left it.
    m_levelScale = m_parts.oscillogram.channel(edge ? m_source : kChannelCount).scale;
    if (m_type == TriggerType::Generator && externalSource)
        selectButton(nullptr);
    else
        selectButton(buttonOf(m_type, m_source));
    showLevelControls(edge);
    if (edge)
        Label84->setText(qs(m_parts.oscillogram.channel(m_source).unit));
    trglev->setText(numberText(levelFromDrive(trigger.level, m_levelScale)));
    trgpos->setText(numberText(trigger.position));
}

}  // namespace zrd::scope
