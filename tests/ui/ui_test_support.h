#pragma once

#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/block_diagram.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/qt_user_interface.h"
#include "core/ui/colors.h"
#include "core/ui/lamp.h"
#include "event_bound.h"
#include "link/serial_port.h"
#include "monitor/ui/drive_state.h"
#include "monitor/ui/monitor_panel.h"
#include "monitor/ui/state_frame.h"
#include "monitor/ui/status_page.h"
#include "params/ui/param_frame.h"
#include "params/ui/param_pages.h"
#include "session/ui/com_cfg.h"
#include "session/ui/control_area.h"
#include "session/ui/drive_session.h"
#include "session/ui/edit_par_form.h"
#include "sim_server.h"
#include "temp_dir.h"

// The bound of every wait on the simulated drive or a timer in the window tests.
inline constexpr int kWaitMs = zrd::test::kEventBoundMs;

namespace zrd::test {

// The windows' classes live in their modules; the tests name them all.
using params::kRowsPerPage;
using params::TParamFrame;
using session::kFunctionLineHeight;
using session::TEdit_par_Form;
using ui::stateColour;
namespace colors = ui::colors;

// The Qt hook with its message boxes recorded instead of shown, and pauses that only let the
// event loop run once, so that no test waits on a person or a clock.
class RecordingQtUserInterface : public app::QtUserInterface {
public:
    struct Box {
        std::string caption;
        std::string text;
    };
    void showMessage(const std::string& caption, const std::string& text) override {
        boxes.push_back({caption, text});
    }
    void waitMs(int ms) override {
        waits.push_back(ms);
        QApplication::processEvents();
    }
    // Questions are recorded and answered with `yes`.
    bool askYesNo(const std::string& caption, const std::string& text) override {
        questions.push_back({caption, text});
        return yes;
    }
    // Text questions are recorded and answered from `answers` in turn, then with `textAnswer`
    // when one is set (nullopt: cancelled), else with the preset.
    std::optional<std::string> askText(const std::string& title, const std::string& prompt,
                                       const std::string& preset) override {
        asked.push_back(title);
        textQuestions.push_back({title, prompt, preset});
        if (!answers.empty()) {
            std::string answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        }
        return textAnswer ? textAnswer : std::optional<std::string>(preset);
    }
    struct TextQuestion {
        std::string title;
        std::string prompt;
        std::string preset;
    };
    std::vector<Box> boxes;
    std::vector<Box> questions;
    std::vector<TextQuestion> textQuestions;
    std::optional<std::string> textAnswer;
    std::vector<int> waits;
    bool yes = false;
    std::vector<std::string> answers;
    std::vector<std::string> asked;
};

// One parameter line of a test database.
struct TestParameter {
    std::string name;
    int index = 1;
    std::string pType = "R-W";
    int minVal = 0;
    int maxVal = 100;
    std::string scale = "1";
    std::string defValue = "0";
    int group = 1;
    int modeMes = 0;
    std::string unit = "u";
    int updateCon = 0;
    std::string vType = "UINT";
    std::string description = "";  // empty: "Description of " + name
};

// Builds Param_base.mod texts: [Group] and [Subgroup] sections and parameter lines.
class DatabaseText {
public:
    explicit DatabaseText(const std::string& language = "Eng");
    DatabaseText& group(const std::string& name);
    DatabaseText& subgroup(const std::string& name);
    DatabaseText& parameter(const TestParameter& p);
    // n parameters named prefix0, prefix1, ... with indexes from firstIndex.
    DatabaseText& parameters(const std::string& prefix, int n, int firstIndex, int group);
    // The status words the status poll reads, read-only, in the given group.
    DatabaseText& statusWords(int group);
    [[nodiscard]] std::string text() const;

private:
    std::vector<std::string> m_lines;
    int m_key = 0;
};

// A message file whose message n reads "M<n>", except the few the shell tests look at.
std::string messageFileText();

// The program's own parameter database from the source tree's data folder; empty when missing.
std::string programDatabase();
// The drive index of a parameter of the program's table.
uint8_t driveIndexOf(const params::ParameterModel& model, std::string_view mnemonic);

// Puts a simulated drive into speed mode on internal commands and switches its servo on, so
// that the generator may drive it; false when the servo did not come on.
bool runSpeedLoop(sim::SimDrive& drive, const params::ParameterModel& model);

// A program and its main window on a data folder of its own.
class ProgramFixture {
public:
    ProgramFixture();
    ~ProgramFixture();

    // Writes a data file into the folder.
    void writeData(const std::string& name, const std::string& bytes) { dir.write(name, bytes); }
    // Writes a 120 x 80 picture file into the folder.
    void writePicture(const std::string& name);
    // The program state and the window (made on first use, after the data files are in place).
    app::Program& program();
    app::TMainForm& form();
    // Runs start-up and waits until the window is shown; false when start-up ended it.
    bool startUp();
    // startUp() on the shipped database with these pictures beside it; false when the database
    // is missing or start-up ended the program.
    bool startUpShipped(std::span<const char* const> pictures = {});
    // Starts the simulated drive on the program's database (prepared by `prepare`) and opens
    // the program's link on it at `baud` as a connected drive; false when either fails.
    bool connectToSim(sim::SimServer& sim, const std::function<void(sim::SimDrive&)>& prepare = {},
                      int baud = 115200);

    TempDir dir;
    RecordingQtUserInterface ui;
    // Start options of the program, set before its first use: the settings file (none: nothing
    // remembered) and the version the About box shows.
    std::string settingsFile;
    std::string versionText;

private:
    std::unique_ptr<app::Program> m_program;
    std::unique_ptr<app::TMainForm> m_form;
};

}  // namespace zrd::test
