#pragma once

class QWidget;

namespace zrd::scope {
class TOfflineScopePage;
class TOnlineScopePage;
class TOscDatRec_Form;
class TOscill;
class TOscillOff;
class TOscillogramFiles;
}  // namespace zrd::scope
namespace zrd::session {
class TControlArea;
}
namespace zrd::ui {
class SettingsFile;
}
namespace zrd::tuning {
class TAutoTuningForm;
class TFilter_Form;
class TPar_AFC_Form;
class TStepResponseForm;
}  // namespace zrd::tuning

namespace zrd::app {

struct Program;
class TMainMenu;

// What the tool windows are built on: the main window's parts they work with.
struct ToolWindowParts {
    Program& program;
    QWidget* parent;
    TMainMenu& menu;
    session::TControlArea& controls;
    scope::TOnlineScopePage& onlineScope;
    scope::TOfflineScopePage& offlineScope;
    scope::TOscill& onlineViewer;
    scope::TOscillOff& offlineViewer;
};

// The windows the menus open beside the pages: the filter calculator, the step test, the auto
// tuning, the oscillogram files, the viewers' frequency response and the data record. The main
// window holds them for the whole run; its menu items open them.
class TToolWindows {
public:
    tuning::TFilter_Form* Filter_Form = nullptr;
    tuning::TStepResponseForm* StepResponse_Form = nullptr;
    tuning::TAutoTuningForm* AutoTuning_Form = nullptr;
    scope::TOscillogramFiles* OscillogramFiles = nullptr;
    tuning::TPar_AFC_Form* Par_AFC_Form = nullptr;
    scope::TOscDatRec_Form* OscDatRec_Form = nullptr;

protected:
    // Builds the windows and connects them to the menu, the pages and the viewers.
    void createToolWindows(const ToolWindowParts& parts);
    // Ends a step test or a tuning run while the port is still open.
    void cancelToolRuns();
    // The runs go while the timers they hand back on the way out still exist.
    void deleteToolRuns();
};

}  // namespace zrd::app
