#pragma once

// The service commands (EEPROM store and load, the data-area commands, reset, drive
// initialisation, servo on and off) and the operating-mode and command-source buttons: short
// fixed sequences of command frames and parameter writes with bounded waits.
//
// How the windows use it (TMainForm): one ServiceCommands lives beside the link and the model;
// the window keeps one DriveControls (what its buttons show) and passes it in. After each call
// it shows the buttons from the controls and acts on the result's flags; the messages have
// been shown through the UserInterface already.
//   "Save parameters to EEPROM" (N4)      storeInEeprom(logReport, progress)
//   "Write" (Button6)                     writeButton(controls)
//   65 00 / 65 01 / 66                    saveDataArea(0 or 1), loadDataArea()
//   "RESET (67)" / "RESET"                r = reset(controls, ResetKind::Forced / Checked)
//   "Drive Initialization"                r = initialise(controls)
//       then, when r.readAllDueMs >= 0: a single-shot timer of that length, and in its handler
//       completeReset(progress) (read-all; message 72 after an initialisation). Nothing may
//       sleep in a handler; the link stays taken until completeReset or abandonReset.
//   Enable_button / Desable_button        servoOn(controls) / servoOff(controls)
//   SpeedButton4/5/6                      selectOperatingMode(controls, 1/2/3)
//   SpeedButton1/2                        selectCommandSource(controls, Internal/External)

#include <cstdint>
#include <optional>
#include <string>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"
#include "session/sweeps.h"

namespace zrd::session {

// The drive's time for an EEPROM write before it answers 0x65 or 0x66: added to the reply
// bound, so the answer is awaited, not slept for.
inline constexpr int kEepromWriteMs = 100;
// A reset drive starts again before it answers a read.
inline constexpr int kResetPauseMs = 1500;
// Display factor of the oscilloscope in current mode, and in speed and position mode.
inline constexpr double kCurrentDisplayFactor = 0.01;
inline constexpr double kDefaultDisplayFactor = 1.0;
// "INST" values: internal, external with Position, external otherwise.
inline constexpr int kSourceInternal = 1;
inline constexpr int kSourceExternalPosition = 2;
inline constexpr int kSourceExternal = 3;
// Operating modes as "OPMOD" numbers them.
inline constexpr int kModeCurrent = 1;
inline constexpr int kModeSpeed = 2;
inline constexpr int kModePosition = 3;

// The box when "ENMOD" = 0 forbids the PC to switch the servo.
inline constexpr const char* kEnmodCaptionEng = "Attention";
inline constexpr const char* kEnmodTextEng = "Software solution for the drive is not allowed";
inline constexpr const char* kEnmodCaptionRus = "Внимание";
inline constexpr const char* kEnmodTextRus = "Запрещено программное включение привода";

// What the main window's drive buttons show, and the flags that go with them. Program-wide:
// one instance, kept by the front end.
struct DriveControls {
    bool servoOn = false;           // "On" pressed; else "Off"
    bool generatorRunning = false;  // the generator-running flag ("Start FG" down)
    int operatingMode = kModeSpeed;
    double displayFactor = kDefaultDisplayFactor;
    bool internalSource = false;  // the internal-source flag ("Internal" pressed)
};

// How a command or sequence ended.
enum class ServiceOutcome {
    Done,        // acknowledged (the drive's status is not 3), or the write accepted
    NotRun,      // the link was busy, no drive, or nothing to send: nothing went out
    Refused,     // refused before sending (message 40, "ENMOD" 0) or by the drive
    NotWritten,  // a frame could not be written (message 10, 7 for 0x6F)
    NoAnswer,    // no acknowledge within the time bound
    Foreign,     // bytes came, but no acknowledge frame
    HungUp,      // the port went away (the link has said so)
};
[[nodiscard]] const char* outcomeText(ServiceOutcome outcome);

struct ServiceResult {
    ServiceOutcome outcome = ServiceOutcome::NotRun;
    std::optional<uint8_t> status;  // the last acknowledge status
    int message = 0;                // numbered message shown at the end; 0 none
    bool enmodRefused = false;      // the "ENMOD" box was shown
    // Enable the oscilloscope setting groups (GroupBox2, Panel1, Panel19, GroupBox3, Panel27).
    bool enableScopeGroups = false;
    // Enable the offline "Start oscillogram" (Button5); ...ByTrigger: only when the trigger
    // mode is 1, 2 or 4.
    bool enableOfflineStart = false;
    bool enableOfflineStartByTrigger = false;
    // A reset went out: completeReset is due after this many ms (−1: none).
    int readAllDueMs = -1;
    // "Save parameters to EEPROM": the write-all before the store.
    std::optional<WriteAllResult> writeAll;
    [[nodiscard]] bool ok() const;
};

// Results of the mode and source buttons.
struct ControlResult {
    ServiceOutcome outcome = ServiceOutcome::NotRun;
    // The link was busy (or no drive, for the source): the click is undone; show the buttons of
    // the controls again (and `caption` for the mode).
    bool undone = false;
    std::string caption;  // the `Control` caption to show; empty: leave it
    uint8_t verdict = 0;  // the parameter write's reply ("P", "Q", 0)
    bool enableWriteButton = false;
    std::optional<bool> generatorPanel;  // enabled in its colour / disabled and grey
    std::optional<bool> servoPanel;      // enabled
    ServiceResult commands;              // the generator stop and servo off of "External"
};

enum class ResetKind {
    Forced,   // "RESET (67)"
    Checked,  // "RESET": refused with message 40 while the servo is on
};

class ServiceCommands {
public:
    ServiceCommands(link::DriveLink& link, ParameterAccess& access, params::ParameterModel& model,
                    const params::MessageTable& messages)
        : m_link(link), m_access(access), m_model(model), m_messages(messages) {}

    // "Save parameters to EEPROM": nothing while the value origin is −1 (message 53); else
    // write-all, then WritePar. Not run when the link is busy.
    ServiceResult storeInEeprom(const WriteReport& report = {}, const SweepProgress& progress = {});
    // 0x6F with the long wait: message 7 (not written), 8 (status 3), 9 and state "EEPROM"
    // (done). Nothing without a drive or with the link busy.
    ServiceResult WritePar();
    // "Write": message 40 while the servo is on, else WritePar.
    ServiceResult writeButton(const DriveControls& controls);

    // 0x65 with argument 0 or 1 (message 72 for status 1 of 0x65 1), 0x66.
    ServiceResult saveDataArea(uint8_t argument);
    ServiceResult loadDataArea();

    // 0x67, no answer awaited. Done: the link stays taken, readAllDueMs says when completeReset
    // is due.
    ServiceResult reset(DriveControls& controls, ResetKind kind);
    // 0x65 1, 0x6F, 0x67; the same pending read-all, then message 72.
    ServiceResult initialise(DriveControls& controls);
    // Frees the link after a reset's pause and runs read-all (ran = false when none was due).
    ReadAllResult completeReset(const SweepProgress& progress = {});
    // Frees the link without a read-all (a front end that does not wait for the drive).
    void abandonReset();
    [[nodiscard]] bool resetPending() const { return m_pending != Pending::None; }

    // "On": refused with the "ENMOD" box when its value is 0; 0x6D, then "On" stays only on an
    // acknowledge.
    ServiceResult servoOn(DriveControls& controls);
    // "Off": the same refusal; 0x61 (generator stop), then 0x6E.
    ServiceResult servoOff(DriveControls& controls);

    // "Current"/"Speed"/"Position": writes "OPMOD" = mode with SetParam; a write that fails
    // puts the previous mode back.
    ControlResult selectOperatingMode(DriveControls& controls, int mode);
    enum class Source { Internal, External };
    // "Internal" writes "INST" 1; "External" 2 with Position, 3 otherwise, then stops a
    // running generator and switches a running servo off.
    ControlResult selectCommandSource(DriveControls& controls, Source source);

    // The caption of a mode in the `Control` field: fixed texts (current, position) and
    // message 18 (speed) after a click; messages 74, 18, 73 when a click is undone.
    [[nodiscard]] std::string modeCaption(int mode, bool undone) const;

private:
    struct Exchange {
        ServiceOutcome outcome = ServiceOutcome::NotRun;
        std::optional<uint8_t> status;
    };
    enum class Wait { Short, Long };
    enum class Pending { None, Reset, Initialisation };

    bool take();
    void release();
    // Sends a command and awaits its acknowledge. A frame not written shows writeFailMessage.
    Exchange command(uint8_t code, uint8_t argument, Wait wait, int writeFailMessage);
    // WritePar's exchange, the link held by the caller.
    ServiceResult storeWorkingParameters();
    // Sends the reset; on success the drive restarts (servo and generator off) and the read-all
    // is due after the pause, as `pending`. A failed write clears the generator flag too.
    [[nodiscard]] bool sendReset(DriveControls& controls, ServiceResult& r, Pending pending);
    // Shows the message of a failed exchange (none after a hang-up, which the link told).
    void reportFailure(const Exchange& e, ServiceResult& r) const;
    void show(int message) const;
    void showEnmodRefusal() const;
    [[nodiscard]] bool enmodForbids() const;
    // "ENMOD" forbids switching the servo: shows why and marks the result refused.
    [[nodiscard]] bool refusedByEnmod(ServiceResult& r) const;
    [[nodiscard]] double enmod() const;
    // Writes one parameter by mnemonic with SetParam; nullopt when the table lacks it.
    std::optional<uint8_t> writeParameter(std::string_view mnemonic, double value);
    // "External"'s generator stop and servo off.
    void stopForExternal(DriveControls& controls, ServiceResult& r);

    link::DriveLink& m_link;
    ParameterAccess& m_access;
    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    Pending m_pending = Pending::None;
};

}  // namespace zrd::session
