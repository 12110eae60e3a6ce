#include "session/ui/parameter_files.h"

#include <QFileDialog>
#include <memory>

#include "formula/own_limits.h"
#include "params/parameter_comparison.h"
#include "params/parameter_file.h"
#include "params/ui/compare_form.h"
#include "session/ui/drive_session.h"

namespace zrd::session {
namespace {

constexpr const char* kFileFilter = "Parameter files (*.prm *.txt);;All files (*)";

}  // namespace

TParameterFiles::TParameterFiles(params::ParameterModel& model,
                                 const params::MessageTable& messages, UserInterface& ui,
                                 TDriveSession& session, QWidget* window)
    : QObject(window),
      m_model(model),
      m_messages(messages),
      m_ui(ui),
      m_session(session),
      m_window(window) {
    chooseFile = [this](bool saving) {
        return saving ? QFileDialog::getSaveFileName(m_window, "Save parameters to file", {},
                                                     kFileFilter)
                      : QFileDialog::getOpenFileName(m_window, "Reading parameters from file", {},
                                                     kFileFilter);
    };
}

void TParameterFiles::say(const std::string& text) const {
    m_messages.showText(m_ui, text, m_model.language());
}

void TParameterFiles::Saveparameterstofile1Click() {
    const QString file = chooseFile(true);
    if (file.isEmpty())
        return;
    const std::string path = file.toStdString();
    if (!params::saveParameterFile(path, m_model))
        say(params::fileFailureText(path, true, m_model));
}

void TParameterFiles::Readingparametersfromfile1Click() {
    const QString file = chooseFile(false);
    if (file.isEmpty())
        return;
    const std::string path = file.toStdString();
    auto load =
        std::make_shared<params::ParameterFileLoad>(params::readParameterFile(path, m_model));
    if (!load->opened) {
        say(params::fileFailureText(path, false, m_model));
        return;
    }
    // Lines of another database's parameters are no fault of the file; the rest is told.
    std::string faults;
    for (const params::ParameterFileIssue& issue : load->issues) {
        if (issue.fault != params::FileLineFault::UnknownName)
            faults += params::issueText(issue, path, m_model) + "\n";
    }
    if (!faults.empty())
        say(faults);
    const params::Comparison c = formula::compareSets(m_model, params::programSource(m_model),
                                                      params::fileSource(*load, path));
    delete m_comparison;
    m_comparison = new params::TCompare_Form(c, file, m_window);
    // Nothing changes before OK; the window stays live meanwhile.
    connect(m_comparison, &QDialog::accepted, this, [this, load] {
        params::storeParameterFile(*load, m_model);
        ReadAllResult shown;
        shown.ran = true;
        shown.positions = m_model.lastParameter() + 1;
        m_session.showValuesRead(shown);
    });
    m_comparison->open();
}

}  // namespace zrd::session
