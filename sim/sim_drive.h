#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drive_map.h"
#include "function_generator.h"
#include "offline_recorder.h"
#include "recalculation.h"
#include "servo_plant.h"

namespace zrd::params {
class ParameterModel;
}

namespace zrd::sim {

// What the drive knows about one of its indexes when it has a parameter database.
struct SimParameter {
    bool known = false;  // unknown indexes accept every write
    bool isSigned = false;
    bool readOnly = false;
    int32_t minVal = 0;
    int32_t maxVal = 0;
};

// The word the drive reports at index 240 when idle with an internal command source: ready
// (bit 7), at standstill (bit 3), servo off, no error or warning.
inline constexpr uint16_t kIdleStateWord = 0x0088;
// The hardware version it reports as "HVER" when the database gives it no default.
inline constexpr uint16_t kHardwareVersion = 210;

// Bits of the state word 240 as the drive sets them.
enum StateBit : int {
    kStateServoOn = 0,
    kStateErrors = 1,
    kStateWarnings = 2,
    kStateSpeedZero = 3,
    kStateInPosition = 4,
    kStateGenerator = 5,
    kStateCurrentLimit = 6,
    kStateReady = 7,
    kStateExternalControl = 9,
    kStateBrakeReleased = 11,
    kStatePcEnable = 14,
    kStateEnableInput = 15,
};
// Bits of the application word 243.
enum AppBit : int {
    kAppMains = 0,
    kAppDriveOn = 1,
    kAppMotion = 2,
    kAppBrakeOutput = 6,
    kAppTargetReached = 7,
    kAppSpeedReached = 8,
    kAppTorqueLimit = 9,
    kAppPulseInput = 10,
    kAppAnalogCommand = 11,
    kAppHeartbeat = 15,
};
// Errors (word 241) and warnings (word 242) that the drive raises by itself.
inline constexpr int kErrorFollowing = 7;
inline constexpr int kErrorOverspeed = 8;
inline constexpr int kWarningFollowing = 5;
// Functions of the digital inputs ("DIN1".."DIN8" = line of the input function list).
inline constexpr int kInputServoEnable = 1;
inline constexpr int kInputFaultReset = 2;
inline constexpr int kInputCount = 16;
inline constexpr int kFunctionInputs = 8;

// "ENMOD": who may switch the servo on.
enum class EnableMode { InputOnly = 0, Pc = 1, InputAndPc = 2 };

// The bit lists that the drive reports and a test or the control channel can raise.
enum class BitList { Errors, Warnings, AppendixErrors };

// Failure modes of the simulated drive, applied to the replies it sends.
enum class FaultKind {
    None,
    Silent,     // answer nothing
    Delay,      // answer after `value` ms
    Drop,       // drop byte number `value` of the reply
    Corrupt,    // flip the bits of byte number `value`
    Refuse,     // answer writes with "Q"
    Busy,       // answer commands with "p" status 3
    Split,      // send the first `at` bytes, pause `value` ms, send the rest
    HangUp,     // after `value` more frames, close the line instead of answering
    Cut,        // send only the first `value` bytes, never the end byte
    Late,       // send the reply `value` ms late while the drive goes on listening
    Duplicate,  // send the reply again `value` ms later
    Noise,      // send `bytes` before the reply
};

struct Fault {
    FaultKind kind = FaultKind::None;
    int value = 0;
    int at = 4;
    // Number of frames it applies to; negative: every frame from now on.
    int count = -1;
    std::vector<uint8_t> bytes{};  // the stray bytes of a noise fault
};

// Parses "silent", "delay=200", "drop=2", "corrupt=3", "refuse", "busy", "split=40",
// "split=40@2", "hangup", "hangup=3", "cut=4", "late=80", "duplicate=30" or "noise=30,E1,30"
// (hex bytes, also "30E130"); nullopt on anything else.
std::optional<Fault> parseFault(const std::string& text);

// The acknowledge status of a command done.
inline constexpr uint8_t kAckDone = 0;
// The bits a corrupting fault flips in a byte.
inline constexpr uint8_t kCorruptMask = 0x5A;

// Parameters of one filter slot n: "FnTYPE", "FnNUM0".."FnNUM2", "FnDEN1", "FnDEN2".
inline constexpr size_t kFilterParameterCount = 6;

// Rate codes of the online oscilloscope: 1, 2, 3, 4 sample every 1, 2, 4, 8 ms.
inline constexpr uint8_t kFirstScopeRate = 1;
inline constexpr uint8_t kLastScopeRate = 4;
// The sample period of a rate code 1..4 (0 for any other code).
std::chrono::microseconds scopePeriod(uint8_t rate);
// Entries of the scope signal list the drive keeps, entry 0 (no signal) included.
inline constexpr size_t kScopeSignalSlots = 128;

// The online oscilloscope's stream as the drive runs it.
struct ScopeStream {
    bool streaming = false;
    uint8_t rate = 0;  // rate code of the running (or the last) stream
    uint8_t ch1 = 0;   // signal numbers of the two channels
    uint8_t ch2 = 0;
    uint64_t samples = 0;     // samples taken since its start frame
    uint64_t frames = 0;      // sample frames put on the line (a muted stream puts none)
    uint64_t starts = 0;      // start frames that began a stream: a new one restarts the clock
    uint64_t startCycle = 0;  // the drive cycle of the start frame: sample k is taken k periods on
};

// The control channel's orders to the stream.
struct ScopeFaults {
    bool refuse = false;  // answer the start frame with status 3
    int badEndEvery = 0;  // every N-th sample frame closes with a wrong byte; 0: none
    bool mute = false;    // go on streaming without sending a byte
};

// A reply as the drive sends it: the bytes and the pause before a second piece.
struct SimReply {
    std::vector<uint8_t> bytes;
    int delayMs = 0;     // before the first byte; the drive hears nothing meanwhile
    size_t splitAt = 0;  // 0: no split
    int splitPauseMs = 0;
    int lateMs = 0;          // sent this late while the drive answers further frames
    int repeatAfterMs = -1;  // sent once more this long after the first time
    bool hangUp = false;     // no reply: the line is closed
};

using RawMemory = std::array<uint16_t, 256>;

// The drive: raw parameter memory, its state (servo, errors, inputs, EEPROM) and the servo
// plant behind it, and the answer to each request frame.
//
// Without a database the drive is bare memory: status words and process values stay as they
// are set. Loading a database makes it live: every cycle of advance() runs the plant and
// writes the process values and status words into memory in the database's units.
class SimDrive {
public:
    static constexpr size_t kIndexCount = 256;

    // Answers one unescaped frame (command byte first, without start and end byte);
    // nullopt when the drive stays silent.
    std::optional<SimReply> answer(const std::vector<uint8_t>& frame);

    void setRaw(uint8_t index, uint16_t value) { m_raw[index] = value; }
    [[nodiscard]] uint16_t raw(uint8_t index) const { return m_raw[index]; }

    // Limits and access of one index; writes outside them are refused with "Q".
    void setParameter(uint8_t index, const SimParameter& p) { m_params[index] = p; }
    [[nodiscard]] const SimParameter& parameter(uint8_t index) const { return m_params[index]; }
    // Takes limits, access and defaults from a loaded database (the first record of each
    // index counts), sets the status words to an idle drive and "HVER" to the version. The
    // drive is live from then on, and its EEPROM holds these defaults.
    void loadParameters(const params::ParameterModel& model);
    // True when the drive takes this raw value for the index.
    [[nodiscard]] bool accepts(uint8_t index, uint16_t raw) const;
    [[nodiscard]] bool live() const { return m_live; }
    // A drive index given as a number (decimal or 0x hex) or as a mnemonic of the database.
    [[nodiscard]] std::optional<uint8_t> indexOf(std::string_view nameOrNumber) const;
    // True when the raw value of the index is signed ("INT").
    [[nodiscard]] bool isSigned(uint8_t index) const { return m_params[index].isSigned; }

    // Runs the drive's cycles (ServoPlant::kStep) for the elapsed time; a bare drive counts
    // them without running the plant.
    void advance(std::chrono::nanoseconds elapsed);
    // Cycles run since the drive was made, and the time since the last of them: the drive's own
    // clock, on which everything it records is taken.
    [[nodiscard]] uint64_t cycles() const { return m_cycles; }
    [[nodiscard]] std::chrono::nanoseconds sinceLastCycle() const { return m_pending; }
    [[nodiscard]] const ServoPlant& plant() const { return m_plant; }
    // Scale of the plant's measurement noise; 0 makes the values exact.
    void setNoise(double scale);
    // The seed of the noise, whose sequence starts again with every measurement (a record, a
    // stream or the generator starting), so that a measurement repeats exactly.
    void setNoiseSeed(uint32_t seed) { m_plant.setSeed(seed); }
    // The mechanical resonance of the load's coupling: frequency (0: rigid) and damping ratio.
    void setResonance(double hz, double damping);
    [[nodiscard]] double resonanceHz() const { return m_resonanceHz; }
    [[nodiscard]] double resonanceDamping() const { return m_resonanceDamping; }
    // A second mode of the load (0 Hz: none), as PlantSettings describes it.
    void setSecondResonance(double hz, double damping);
    // Dry friction on the load, N·m.
    void setCoulombFriction(double newtonMetres);
    // The function generator as it runs: 0x60 starts it with the "IIP*", "PCRT" and "RCFREQ"
    // values of that moment; it drives the internal command until 0x61, a reset, the servo
    // going off, or the end of its repeats.
    [[nodiscard]] const FunctionGenerator& functionGenerator() const { return m_functionGenerator; }

    // Servo state.
    [[nodiscard]] bool servoOn() const { return m_servoOn; }
    [[nodiscard]] bool pcEnabled() const { return m_pcEnable; }
    [[nodiscard]] bool generatorRunning() const { return m_generator; }

    // Raised bits show in their word (241, 242, 246); an error also switches the servo off.
    // False (nothing changed) for a bit outside 0..15.
    [[nodiscard]] bool raise(BitList list, int bit);
    [[nodiscard]] bool clear(BitList list, int bit);
    void clearAll(BitList list);
    [[nodiscard]] uint16_t bits(BitList list) const;

    // Digital input 1..16 at the terminal (before the "DINLEV" inversion); false for another
    // number.
    [[nodiscard]] bool setInput(int number, bool on);
    [[nodiscard]] uint16_t terminalInputs() const { return m_terminal; }
    // Signals at the analog and pulse inputs, and the load on the shaft.
    void setAnalogInput(double millivolts);
    void setPulseInput(double kiloHertz);
    void setLoad(double newtonCentimetres);

    // Reads of the index get no answer, or answer this raw value; normal() undoes both.
    void setSilent(uint8_t index);
    void setAnswer(uint8_t index, uint16_t raw);
    void setNormal(uint8_t index);
    [[nodiscard]] bool silent(uint8_t index) const { return m_silent.test(index); }
    [[nodiscard]] std::optional<uint16_t> answerOverride(uint8_t index) const {
        return m_answers[index];
    }

    // The EEPROM image. With a file, every store also writes it there.
    [[nodiscard]] const RawMemory& eeprom() const { return m_eeprom; }
    void setEepromFile(std::string path) { m_eepromFile = std::move(path); }
    // Reads the image from a file and loads its parameters as a power-up does; false with
    // the reason in error.
    [[nodiscard]] bool loadEepromFile(const std::string& path, std::string& error);

    // Where the drive reports what went wrong on its side (an EEPROM file not written).
    void setReporter(std::function<void(const std::string&)> report) {
        m_report = std::move(report);
    }

    // Adds a fault; faults apply in the order added, each until its count is used up. A
    // hang-up is not queued: it counts the frames it lets pass by itself.
    void addFault(const Fault& fault);
    void clearFaults();
    // Faults of the frames the drive streams by itself (online samples, offline record pieces),
    // queued like the reply faults: a silent frame is not sent, a delayed one holds the stream
    // back, a hang-up closes the line after `value` more frames.
    void addStreamFault(const Fault& fault) { m_streamFaults.push_back(fault); }
    void clearStreamFaults() { m_streamFaults.clear(); }
    // A streamed frame as the stream faults leave it.
    SimReply streamed(std::vector<uint8_t> bytes);

    // The online oscilloscope. The start frame (0x63 rate ch1 ch2) begins a stream while
    // "OSCMOD" is 1 (always on a bare drive); the server's clock then takes one sample per
    // period with takeScopeSample(); the stop frame (0x64) ends it.
    [[nodiscard]] const ScopeStream& scope() const { return m_scope; }
    [[nodiscard]] ScopeFaults& scopeFaults() { return m_scopeFaults; }
    [[nodiscard]] const ScopeFaults& scopeFaults() const { return m_scopeFaults; }
    // The next sample frame from the memory as it stands, start to end byte with the data
    // escaped; empty while muted.
    std::vector<uint8_t> takeScopeSample();
    // Ends the stream without a word, as when the line is gone.
    void endScope() { m_scope.streaming = false; }
    // The drive index that a signal number samples; nullopt for signal 0 and unknown numbers.
    // Without a database there is no signal list: signal n is index n.
    [[nodiscard]] std::optional<uint8_t> scopeSignalIndex(int signal) const;

    // The offline recorder. While "OSCMOD" is 0 the start and stop frames are its own; it
    // samples in the drive's cycle and the server sends what takeRecord() gives.
    [[nodiscard]] OfflineRecorder& offline() { return m_offline; }
    [[nodiscard]] const OfflineRecorder& offline() const { return m_offline; }

    // CALCPARA: refused while the servo is on or when the control channel says so; else the
    // derived limits and ratings are recalculated.
    [[nodiscard]] Recalculation& recalculation() { return m_recalculation; }
    [[nodiscard]] const Recalculation& recalculation() const { return m_recalculation; }

    [[nodiscard]] int framesAnswered() const { return m_framesAnswered; }
    [[nodiscard]] int framesSeen() const { return m_framesSeen; }
    // Frames seen whose first byte (the command code) is this: what a test
    // asks to know that nothing but reads came.
    [[nodiscard]] int framesOf(uint8_t first) const { return m_framesOf[first]; }

private:
    std::vector<uint8_t> replyTo(const std::vector<uint8_t>& frame, bool refuse, bool busy);
    uint8_t runCommand(const std::vector<uint8_t>& frame);
    uint8_t startScope(const std::vector<uint8_t>& frame);
    uint8_t startGenerator();
    uint8_t prepareChirp() const;
    // "OSCMOD" 0: the offline scope (never on a bare drive).
    [[nodiscard]] bool offlineMode() const;
    // The trigger and channel settings of the memory, for the recorder's start.
    [[nodiscard]] RecorderSettings offlineSettings() const;
    void useUpFaults();
    // Shapes a reply (or a streamed frame) by a fault's kind.
    static void applyFault(const Fault& active, SimReply& reply);
    [[nodiscard]] bool restoredFromEeprom(size_t index) const;
    [[nodiscard]] bool storeEeprom(bool programPartOnly);
    void loadEeprom();
    void report(const std::string& text) const;

    // The drive's cycle (drive_state.cpp).
    void cycle();
    void updateServo();
    void writeProcessValues();
    void updateStatusWords();
    void stateChanged();
    [[nodiscard]] double value(Slot s, double fallback) const;
    [[nodiscard]] double value(const DriveMap::Entry& e, double fallback) const;
    [[nodiscard]] GeneratorSettings generatorSettings() const;
    // The internal command of this cycle from the generator; false when it does not run.
    bool generatorCommand(bool current, double& command);
    void write(Slot s, double value);
    void writeCounts(Slot s, int64_t counts);
    [[nodiscard]] PlantSettings plantSettings() const;
    [[nodiscard]] EnableMode enableMode() const;
    [[nodiscard]] bool commandExternal() const;
    [[nodiscard]] uint16_t logicalInputs() const;
    [[nodiscard]] bool inputWithFunction(int function, bool& assigned) const;
    void enableFromPc(bool on);

    RawMemory m_raw{};
    std::array<SimParameter, kIndexCount> m_params{};
    DriveMap m_map;
    bool m_live = false;
    // Set once the drive's state has been used: from then on it writes the status words.
    bool m_ownsStatusWords = false;

    ServoPlant m_plant;
    double m_noise = 1.0;
    double m_resonanceHz = kDefaultResonanceHz;
    double m_resonanceDamping = kDefaultResonanceDamping;
    double m_secondResonanceHz = 0.0;
    double m_secondResonanceDamping = kDefaultResonanceDamping;
    double m_coulombFrictionNm = 0.0;
    double m_analogMv = 0.0;
    double m_pulseKHz = 0.0;
    double m_loadNcm = 0.0;

    bool m_servoOn = false;
    bool m_pcEnable = false;
    bool m_generator = false;
    FunctionGenerator m_functionGenerator;
    // The generator drove the command in the last cycle: when it stops, the command returns to 0.
    bool m_generatorDrove = false;
    // The generator's parameters (in the order of kGeneratorMnemonics) and the filters' (type
    // and five coefficients of each slot), as the database places them.
    std::array<DriveMap::Entry, kGeneratorMnemonics.size()> m_generatorEntries{};
    std::array<DriveMap::Entry, kFilterSlots * kFilterParameterCount> m_filterEntries{};
    uint16_t m_errors = 0;
    uint16_t m_warnings = 0;
    uint16_t m_autoWarnings = 0;
    uint16_t m_appendixErrors = 0;
    uint16_t m_terminal = 0;
    bool m_resetInputBefore = false;
    std::chrono::nanoseconds m_pending{0};
    uint64_t m_cycles = 0;

    std::bitset<kIndexCount> m_silent;
    std::array<std::optional<uint16_t>, kIndexCount> m_answers{};

    RawMemory m_eeprom{};
    std::string m_eepromFile;
    std::function<void(const std::string&)> m_report;

    // Drive index of each entry of the scope signal list (entry 0 unused).
    std::array<uint8_t, kScopeSignalSlots> m_scopeIndexes{};
    int m_scopeSignalCount = 0;
    ScopeStream m_scope;
    ScopeFaults m_scopeFaults;
    OfflineRecorder m_offline;
    Recalculation m_recalculation;

    std::vector<Fault> m_faults;
    std::vector<Fault> m_streamFaults;
    std::optional<int> m_framesBeforeHangUp;
    int m_framesAnswered = 0;
    int m_framesSeen = 0;
    std::array<int, 256> m_framesOf{};
};

}  // namespace zrd::sim
