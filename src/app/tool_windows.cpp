#include "app/tool_windows.h"

#include <QAction>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>

#include "app/main_menu.h"
#include "app/program.h"
#include "core/paths.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/osc_dat_rec_form.h"
#include "scope/ui/oscillogram_files.h"
#include "scope/ui/trace_viewer.h"
#include "session/ui/control_area.h"
#include "tuning/ui/afc_form.h"
#include "tuning/ui/auto_tuning_form.h"
#include "tuning/ui/filter_form.h"
#include "tuning/ui/step_response_form.h"

namespace zrd::app {
namespace {

tuning::TuneReportInfo tuneReportInfo(const Program& p) {
    tuning::TuneReportInfo info;
    info.program = std::string(kApplicationTitle) + " " + p.options.versionText;
    info.port = p.connection.device;
    return info;
}

}  // namespace

void TToolWindows::createToolWindows(const ToolWindowParts& parts) {
    Program& p = parts.program;
    QWidget* parent = parts.parent;
    TMainMenu& menu = parts.menu;
    session::TControlArea& controls = parts.controls;
    scope::TOscill& online = parts.onlineViewer;
    scope::TOscillOff& offline = parts.offlineViewer;

    Filter_Form =
        new tuning::TFilter_Form({p.link, p.access, p.model, p.messages,
                                  [&p](const std::string& name) { return p.dataFile(name); },
                                  [&controls] { return controls.Enable_button->isChecked(); }},
                                 parent);
    QObject::connect(menu.Filtercalculator1, &QAction::triggered, Filter_Form,
                     &tuning::TFilter_Form::showModal);
    StepResponse_Form = new tuning::TStepResponseForm(
        {p.link, p.access, p.model, p.messages, p.typeTables}, parent);
    QObject::connect(menu.Stepresponse1, &QAction::triggered, StepResponse_Form,
                     &tuning::TStepResponseForm::showWindow);
    AutoTuning_Form = new tuning::TAutoTuningForm(
        {p.link, p.access, p.model, p.messages, p.typeTables, [&p] { return tuneReportInfo(p); }},
        parent);
    QObject::connect(menu.Autotuning1, &QAction::triggered, AutoTuning_Form,
                     &tuning::TAutoTuningForm::showWindow);

    OscillogramFiles = new scope::TOscillogramFiles(
        {*p.oscillogram, p.model, p.messages, p.ui, p.actionLog},
        {parent, controls.MaskEdit3, controls.MaskEdit4, controls.show_state_par, menu.N20,
         &parts.onlineScope, &parts.offlineScope, &online, &offline},
        parent);
    QObject::connect(menu.N20, &QAction::triggered, OscillogramFiles,
                     &scope::TOscillogramFiles::N20Click);
    QObject::connect(menu.N21, &QAction::triggered, OscillogramFiles,
                     &scope::TOscillogramFiles::N21Click);

    // The analysis files go where the action log goes.
    const auto folder = [&p] {
        return p.options.logDir.empty() ? writableFolder(programFolder()) : p.options.logDir;
    };
    const auto print = [&p, &online](const QPixmap& picture, const QString& name) {
        (void)scope::printPicture(picture, {p.messages, p.model, p.ui, online.pictureOpener(),
                                            online.oscillogramFile(), name});
    };
    tuning::TFilter_Form* filter = Filter_Form;
    tuning::TAutoTuningForm* tuning = AutoTuning_Form;
    const auto notch = [filter](double frequencyHz) { filter->presetBandStop(frequencyHz); };
    const auto autoTuning = [tuning] { tuning->showWindow(); };
    Par_AFC_Form = new tuning::TPar_AFC_Form(
        {*p.oscillogram, p.model, p.messages, p.ui, folder, print, notch, autoTuning}, parent);
    tuning::TPar_AFC_Form* afc = Par_AFC_Form;
    online.setFrequencyResponse([afc](int channels) { afc->showFor(channels); });
    offline.setFrequencyResponse([afc](int channels) { afc->showFor(channels); });
    // The online buffer got its measured values back: the viewer shows them again.
    QObject::connect(afc, &tuning::TPar_AFC_Form::restored, &online, [&online] {
        online.DrawOscill();
        online.DrawGraph();
    });
    // Opening the online viewer ends a replay.
    QObject::connect(&parts.onlineScope, &scope::TOnlineScopePage::viewRequested,
                     &parts.onlineScope, &scope::TOnlineScopePage::abortReplay);

    scope::TOfflineScopePage* offlinePage = &parts.offlineScope;
    OscDatRec_Form = new scope::TOscDatRec_Form(
        [offlinePage]() -> const scope::RawRecords* {
            const auto& capture = offlinePage->capture();
            return capture ? &capture->raw() : nullptr;
        },
        *p.oscillogram, parent);
    QObject::connect(menu.SeeOscDatRec, &QAction::triggered, OscDatRec_Form,
                     &scope::TOscDatRec_Form::showRecord);
}

void TToolWindows::cancelToolRuns() {
    StepResponse_Form->cancelRun();
    AutoTuning_Form->cancelRun();
}

void TToolWindows::deleteToolRuns() {
    delete StepResponse_Form;
    StepResponse_Form = nullptr;
    delete AutoTuning_Form;
    AutoTuning_Form = nullptr;
}

}  // namespace zrd::app
