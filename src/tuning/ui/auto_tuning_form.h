#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "session/parameter_access.h"
#include "tuning/speed_loop_tuner.h"
#include "tuning/tune_report.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTableWidget;

namespace zrd::scope {
class PortWatch;
}

namespace zrd::tuning {

class BodeChart;
class StepChart;

inline constexpr const char* kAutoTuningCaption = "Auto tuning";
// The stiffness slider's positions, soft to stiff; the middle one holds the tuner's defaults.
inline constexpr int kStiffnessSteps = 5;
inline constexpr int kDefaultStiffness = 2;

// What the window works with; all of it lives for the whole run.
struct AutoTuningParts {
    link::DriveLink& link;
    session::ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    const params::TypeTables& typeTables;
    // The program, drive and port the report names (its date the window adds).
    std::function<TuneReportInfo()> reportInfo;
};

// The margins a stiffness position asks for.
struct StiffnessTargets {
    double phaseMarginDeg;
    double gainMarginDb;
};
[[nodiscard]] StiffnessTargets stiffnessTargets(int position);

// "Auto tuning": the speed-loop tuner behind one window. Start measures the plant with the loop
// closed, fits a model and proposes gains and notches without writing any of them; Apply runs
// the tuner again with the proposal written, measured and verified; Undo writes back what was
// there before Apply. The run listens to the port through readiness and a timer for its
// deadline: the window repaints and Cancel answers at once throughout.
class TAutoTuningForm : public QDialog {
    Q_OBJECT
public:
    TAutoTuningForm(const AutoTuningParts& parts, QWidget* parent);
    ~TAutoTuningForm() override;

    void showWindow();
    // Abandons a run (the program disconnects or closes); the tuner puts its settings back.
    void cancelRun();
    [[nodiscard]] bool running() const { return m_tuner && m_tuner->active(); }
    // The last run's tuner (nullptr before the first).
    [[nodiscard]] const SpeedLoopTuner* tuner() const { return m_tuner.get(); }
    // An applied tuning that Undo can take back.
    [[nodiscard]] bool undoable() const { return m_undo.has_value(); }
    // Where "Save report..." writes; a file dialog unless a caller puts its own answer here
    // (empty: nothing written).
    std::function<QString()> chooseFile;

    QSlider* TuneStiffness;
    QLineEdit* TunePhaseMargin;  // °
    QLineEdit* TuneGainMargin;   // dB
    QCheckBox* TuneAutoCrossover;
    QLineEdit* TuneCrossover;  // Hz
    QSpinBox* TuneFilters;
    QLineEdit* TuneAmplitude;  // rpm
    QPushButton* TuneStart;
    QPushButton* TuneCancel;
    QPushButton* TuneApply;
    QPushButton* TuneUndo;
    QPushButton* TuneReport;
    QPushButton* TuneClose;
    QProgressBar* TuneProgress;
    QLineEdit* TuneStatus;
    QLineEdit* TuneInertia;     // kg·cm²
    QLineEdit* TuneJratio;      // %
    QLineEdit* TuneDamping;     // N·cm/krpm
    QLineEdit* TuneResidual;    // dB
    QTableWidget* TuneModes;    // one row a mode
    QTableWidget* TuneLoop;     // KPV, KIV, the filter slots: before and proposed
    QTableWidget* TuneFigures;  // before, proposed (predicted) and measured
    QListWidget* TuneChecks;
    BodeChart* Bode;
    StepChart* Step;

public slots:
    void TuneStiffnessChange(int position);
    void TuneStartClick();
    void TuneCancelClick();
    void TuneApplyClick();
    void TuneUndoClick();
    void TuneReportClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Applied {
        TuneResult result;
        std::vector<std::pair<std::string, double>> backup;
    };
    void buildLayout();
    [[nodiscard]] QString messageText(const StepMessage& m) const;
    void say(const QString& text) const;
    [[nodiscard]] TuneSettings settingsShown(bool apply) const;
    void startRun(bool apply);
    // Runs a step of the tuner with the port's watch paused; a cancel asked meanwhile follows it.
    void callTuner(const std::function<void()>& work);
    void onPortReadable();
    void onDeadline();
    void afterRunWork();
    void armDeadline();
    void showEnd();
    void showResult();
    void showModel(const TuneResult& r);
    void showLoop(const TuneResult& r);
    void showFigures(const TuneResult& r);
    void drawBode(const TuneResult& r);
    void drawStep(const TuneResult& r);
    void enableButtons();

    AutoTuningParts m_parts;
    scope::PortWatch* m_watch;
    std::unique_ptr<SpeedLoopTuner> m_tuner;
    // The last run that ended with a proposal (the report's content).
    std::optional<TuneResult> m_shown;
    std::optional<Applied> m_undo;
    bool m_proposed = false;  // the last run was a dry run with a proposal
    bool m_applying = false;  // the last run wrote its proposal
    bool m_inTuner = false;   // the tuner runs its exchanges
    bool m_cancelWanted = false;
};

}  // namespace zrd::tuning
