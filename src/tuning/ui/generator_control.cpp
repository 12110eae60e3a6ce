#include "tuning/ui/generator_control.h"

#include <QToolButton>

#include "scope/ui/offline_scope_page.h"
#include "session/ui/control_area.h"
#include "tuning/function_generator.h"

namespace zrd::tuning {

TGeneratorControl::TGeneratorControl(link::DriveLink& link, const params::ParameterModel& model,
                                     const params::MessageTable& messages, bool& generatorRunning,
                                     session::TControlArea& controls,
                                     scope::TOfflineScopePage& offlineScope, QObject* parent)
    : QObject(parent),
      m_link(link),
      m_model(model),
      m_messages(messages),
      m_running(generatorRunning),
      m_controls(controls),
      m_offlineScope(offlineScope) {
    connect(m_controls.SpeedButton3, &QToolButton::clicked, this,
            &TGeneratorControl::SpeedButton3Click);
    connect(m_controls.SpeedButton7, &QToolButton::clicked, this,
            &TGeneratorControl::SpeedButton7Click);
}

void TGeneratorControl::SpeedButton3Click() {
    // An armed offline capture holds the link for the generator's motion: the start goes out
    // under its hold. Any other exchange keeps the generator where it is.
    const bool coupled = m_offlineScope.armedForGenerator();
    if (m_link.state().linkBusy && !coupled) {
        m_controls.SpeedButton7->setChecked(true);
        return;
    }
    if (const std::optional<int> refusal = generatorStartRefusal(
            m_controls.Enable_button->isChecked(), m_controls.SpeedButton1->isChecked())) {
        m_messages.show(m_link.ui(), *refusal, m_model.language());
        m_controls.SpeedButton7->setChecked(true);
        return;
    }
    CommandOutcome outcome = CommandOutcome::Busy;
    if (coupled) {
        m_offlineScope.startGenerator(
            [&] { outcome = startGenerator(m_link, m_model, m_messages, true); });
    } else {
        outcome = startGenerator(m_link, m_model, m_messages);
    }
    // The frame went out: the generator counts as running unless the drive refused it.
    m_running = outcome == CommandOutcome::Accepted || outcome == CommandOutcome::NoAnswer;
    if (!m_running)
        m_controls.SpeedButton7->setChecked(true);
}

void TGeneratorControl::SpeedButton7Click() {
    const CommandOutcome outcome = stopGenerator(m_link, m_model, m_messages);
    if (outcome == CommandOutcome::Accepted)
        m_running = false;
    // A stop that did not go through leaves the generator's button as it was.
    if (m_running)
        m_controls.SpeedButton3->setChecked(true);
}

}  // namespace zrd::tuning
