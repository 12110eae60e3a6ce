#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "scope/oscillogram.h"
#include "session/parameter_access.h"
#include "tuning/step_test.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zrd::scope {
class PortWatch;
}

namespace zrd::tuning {

class StepChart;

inline constexpr const char* kStepResponseCaption = "Step response";

// What the window works with; all of it lives for the whole run.
struct StepResponseParts {
    link::DriveLink& link;
    session::ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    const params::TypeTables& typeTables;
};

// One run of the series: the loop's settings and figures, and its record.
struct StepRunEntry {
    StepRunSummary summary;
    std::shared_ptr<const scope::Oscillogram> record;
};

// "Step response": a speed step made by the generator and recorded by the offline scope, its
// figures, and the runs of a tuning session overlaid and side by side. KPV, KIV and the filter
// slots can be changed here, so that a round is "change, Run, compare". The run listens to the
// port through readiness; the window stays usable meanwhile.
class TStepResponseForm : public QDialog {
    Q_OBJECT
public:
    TStepResponseForm(const StepResponseParts& parts, QWidget* parent);
    ~TStepResponseForm() override;

    // Shows the window with the loop's settings from the value table.
    void showWindow();
    // Abandons a run that listens (the program disconnects or closes); its settings go back.
    void cancelRun();
    [[nodiscard]] bool running() const { return m_test && m_test->listening(); }
    [[nodiscard]] const std::vector<StepRunEntry>& runs() const { return m_runs; }
    [[nodiscard]] std::optional<size_t> reference() const { return m_reference; }
    // Where "Export…" writes; a folder dialog unless a caller puts its own answer here (empty:
    // nothing written).
    std::function<QString()> chooseFolder;

    QLineEdit* StepAmplitude;  // rpm
    QLineEdit* StepBase;       // rpm
    QComboBox* StepTick;
    QComboBox* StepChannel4;
    QPushButton* StepRun;
    QPushButton* StepCancel;
    QLineEdit* StepStatus;
    QLineEdit* StepKPV;
    QLineEdit* StepKIV;
    std::array<QCheckBox*, kFilterSlots> StepFilter{};
    QTableWidget* StepRuns;     // one row per run, its box to overlay it
    QTableWidget* StepFigures;  // the runs' figures side by side
    QPushButton* StepReference;
    QPushButton* StepExport;
    QPushButton* StepClose;
    StepChart* Chart;

public slots:
    void StepRunClick();
    void StepCancelClick();
    void StepKPVEnter();
    void StepKIVEnter();
    void StepFilterClick(int slot);
    void StepReferenceClick();
    void StepExportClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    [[nodiscard]] QString message(int n) const;
    // Message n in the status line, in the interface language as it changes.
    void showMessage(int n);
    [[nodiscard]] QString messageText(const StepMessage& m) const;
    void fillChannels();
    void showLoopFromTable();
    void writeTyped(const char* mnemonic, QLineEdit* field);
    [[nodiscard]] StepSettings settingsShown() const;

    void onPortReadable();
    void onDeadline();
    void afterRunWork();
    void armDeadline();
    void showEnd();
    void addRun(const StepOutcome& outcome);
    void showRuns();
    void showFigures();
    void drawChecked();

    StepResponseParts m_parts;
    scope::PortWatch* m_watch;
    std::unique_ptr<StepTest> m_test;
    std::vector<StepRunEntry> m_runs;
    std::optional<size_t> m_reference;
    // The type each filter slot had when last on: what its switch puts back.
    std::array<int, kFilterSlots> m_filterTypes{};
    int m_runNumber = 0;
    bool m_showingRuns = false;
};

}  // namespace zrd::tuning
