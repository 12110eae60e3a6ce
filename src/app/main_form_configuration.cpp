// The configuration dialog, CALCPARA and the formula tester: menus Services and Special
// functions.

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/main_form.h"
#include "formula/ui/test_formulas_form.h"
#include "monitor/ui/drive_state.h"
#include "monitor/ui/monitor_panel.h"
#include "params/ui/param_pages.h"
#include "session/calc_para.h"
#include "session/ui/control_area.h"
#include "session/ui/drive_session.h"
#include "session/ui/set_config_form.h"

namespace zrd::app {

void TMainForm::createConfiguration() {
    Program& p = m_program;
    set_config_Form =
        new session::Tset_config_Form({p.link, p.access, p.model, p.messages, p.typeTables}, this);
    set_config_Form->configured = [this](const session::ConfigurationResult& r) {
        for (const formula::ChangeMark& mark : r.marks)
            m_pages->markChanged(mark.position, mark.mark);
        if (r.driveChanged)
            m_driveState->Dr_Num->setText(QString::fromStdString(r.driveName));
        if (r.motorLine) {
            m_controls->selectMotorLine(*r.motorLine);
            m_driveState->Motor_sel->setText(m_controls->ComboBox6->currentText());
        }
        // A drive that did not answer may be watched again.
        if (r.calcPara.outcome == session::ServiceOutcome::NoAnswer)
            m_monitor->Monitor->setEnabled(true);
    };
    connect(Setconfiguration1, &QAction::triggered, this, [this] {
        set_config_Form->showFor(m_driveState->Dr_Num->text(), m_driveState->Motor_sel->text());
    });

    test_formulas_Form = new formula::Ttest_formulas_Form(this);
    connect(Testingformulas1, &QAction::triggered, test_formulas_Form, &QDialog::open);

    connect(CALCPARA1, &QAction::triggered, this, [this] {
        Program& program = m_program;
        const session::CalcParaResult r = session::sendCalcPara(
            program.link, program.model, program.messages, m_controls->Enable_button->isChecked());
        if (r.outcome == session::ServiceOutcome::NoAnswer)
            m_monitor->Monitor->setEnabled(true);
        if (r.outcome == session::ServiceOutcome::Done)
            m_controls->showGeneratorPanel(true);
        if (r.readAllDueMs >= 0)
            QTimer::singleShot(r.readAllDueMs, this, [this] { m_session->ReadParamAll(); });
    });
}

}  // namespace zrd::app
