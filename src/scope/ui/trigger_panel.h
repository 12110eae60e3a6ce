#pragma once

#include <QGroupBox>
#include <array>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/offline_capture.h"
#include "scope/oscillogram.h"
#include "scope/trigger.h"
#include "session/parameter_access.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace zrd::scope {

class Ttrig_val_bit_sig_Form;

// What the trigger panel works with; all of it lives for the whole run.
struct TriggerParts {
    link::DriveLink& link;
    session::ParameterAccess& access;
    params::ParameterModel& model;
    Oscillogram& oscillogram;
    const bool& generatorRunning;
    QAbstractButton* internalSource;  // "Internal" of the command source
};

// The panel "Trigger" of the offline page: the trigger type and source as radio buttons, the
// level in the source channel's units and the pre-trigger position, all written to the drive.
class TTriggerPanel : public QGroupBox {
    Q_OBJECT
public:
    TTriggerPanel(const TriggerParts& parts, QWidget* parent);

    [[nodiscard]] TriggerType type() const { return m_type; }
    [[nodiscard]] int source() const { return m_source; }
    [[nodiscard]] double levelScale() const { return m_levelScale; }

    // The drive's trigger from the value table: its button, the level in the source's units
    // and the position. With external commands the generator's button is disabled instead.
    void showDriveSettings(const TriggerSettings& trigger, bool externalSource);
    // A channel got a new signal: while an edge on it triggers, the level text follows its
    // scale (the drive-side level stays) and its unit.
    void channelChanged(int channel);

    QRadioButton* No_trigger;
    std::array<QRadioButton*, kChannelCount> Rising_trigger{};   // Rising_trigger1..4
    std::array<QRadioButton*, kChannelCount> Falling_trigger{};  // Falling_trigger1..4
    QRadioButton* Full_buffer_trigger;
    QRadioButton* RadioButton1;  // "Pre-defined motion Start FG"
    QLineEdit* trglev;
    QLabel* Lab_trigger_level;
    QLabel* Label84;
    QLineEdit* trgpos;
    QLabel* Lab_preposition;
    Ttrig_val_bit_sig_Form* trig_val_bit_sig_Form;

signals:
    // Whether "Start oscillogram" may be pressed with this trigger.
    void startAllowed(bool allowed);
    // The full buffer was chosen: the page shows the record length.
    void recordLengthWanted();

public slots:
    void No_triggerClick();
    void Rising_triggerClick(int channel);
    void Falling_triggerClick(int channel);
    void Full_buffer_triggerClick();
    void RadioButton1Click();
    void trglevClick();
    void trglevEnter();
    void trglevExit();
    void trgposEnter();
    void trgposExit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The drive cannot take a trigger now: the button in force is selected again.
    [[nodiscard]] bool refuse();
    void edgeClicked(TriggerType type, int channel);
    void showLevelControls(bool shown);
    void selectButton(QAbstractButton* button);
    [[nodiscard]] QAbstractButton* buttonOf(TriggerType type, int source) const;
    [[nodiscard]] double typedLevel() const;

    TriggerParts m_parts;
    QButtonGroup* m_buttons;
    TriggerType m_type = TriggerType::None;
    int m_source = 1;
    double m_levelScale = 0.0;
};

}  // namespace zrd::scope
