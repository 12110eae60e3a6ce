// The language: the start-up translation and the switch from Special functions.

#include <QAction>
#include <QComboBox>
#include <QLineEdit>

#include "app/language_switch.h"
#include "app/main_form.h"
#include "core/ui/window_translator.h"
#include "monitor/ui/drive_state.h"
#include "session/ui/control_area.h"

namespace zrd::app {

void TMainForm::createLanguage() {
    m_language = new TLanguageSwitch(*this);
    connect(Language1, &QAction::triggered, m_language, &TLanguageSwitch::Language1Click);
    // Motor and drive names come from the type tables, not from the dictionary.
    for (QWidget* data : std::initializer_list<QWidget*>{
             m_controls->ComboBox6, m_driveState->Motor_sel, m_driveState->Dr_Num})
        ui::markDataText(data);
}

}  // namespace zrd::app
