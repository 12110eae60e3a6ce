// The simulated drive's state: servo enable, errors and warnings, inputs, the plant behind it
// and the status words it reports.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "link/frame_codec.h"
#include "params/parameter_table.h"
#include "sim_drive.h"

namespace zrd::sim {
namespace {

constexpr size_t kWordState = static_cast<size_t>(params::kStateBitWords[0]);
constexpr size_t kWordErrors = static_cast<size_t>(params::kStateBitWords[1]);
constexpr size_t kWordWarnings = static_cast<size_t>(params::kStateBitWords[2]);
constexpr size_t kWordApplication = static_cast<size_t>(params::kApplicationBitWords[0]);
constexpr size_t kWordInputs = static_cast<size_t>(params::kApplicationBitWords[1]);
constexpr size_t kWordAppendixErrors = static_cast<size_t>(params::kApplicationBitWords[2]);

constexpr int kSourcePulse = 2;
constexpr int kSourceAnalog = 3;
// The fallbacks when the database does not name a window.
constexpr double kZeroSpeedRpm = 10.0;
constexpr double kSpeedReachedRpm = 20.0;
constexpr double kInPositionCounts = 20.0;
// The program reads the status words every 2 s: a heartbeat of a 1 s period (or any divisor of
// 2 s) would show it the same phase at every poll. Toggling every 1.5 s, three polls in a row
// always see both phases.
constexpr double kHeartbeatHalfPeriodS = 1.5;

uint16_t bit(int b) {
    return static_cast<uint16_t>(1u << b);
}

// Positions in the generator's parameter list (kGeneratorMnemonics).
enum GeneratorParameter : size_t {
    kIIT,
    kIIP1V,
    kIIP2V,
    kIIP3V,
    kIIP4V,
    kIIP1U,
    kIIP2U,
    kIIP3U,
    kIIP4U,
    kPCRT,
    kRCFREQ,
};
// Current mode: the program writes the amplitude RMS-scaled in hundredths of an ampere and the
// offset in hundredths; the drive plays the peak.
constexpr double kRmsFactor = 0.7071;
constexpr double kCurrentStep = 0.01;
// Position mode: amplitude and offset in counts per millisecond (flag 0) or per second (1).
constexpr int kCountsPerSecondUnit = 1;
constexpr double kMsPerSecond = 1000.0;

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

double SimDrive::value(Slot s, double fallback) const {
    return value(m_map.entry(s), fallback);
}

double SimDrive::value(const DriveMap::Entry& e, double fallback) const {
    if (e.index < 0)
        return fallback;
    const uint16_t raw = m_raw[static_cast<size_t>(e.index)];
    return (e.isSigned ? static_cast<int16_t>(raw) : static_cast<double>(raw)) * e.scale;
}

void SimDrive::write(Slot s, double v) {
    const DriveMap::Entry& e = m_map.entry(s);
    if (e.index < 0 || e.scale == 0.0)
        return;
    // A value beyond the 16 bits shows as the nearest end, as a saturating drive reports it.
    const double raw = std::nearbyint(v / e.scale);
    const double lo = e.isSigned ? -32768.0 : 0.0;
    const double hi = e.isSigned ? 32767.0 : 65535.0;
    const auto n = static_cast<int32_t>(std::clamp(raw, lo, hi));
    m_raw[static_cast<size_t>(e.index)] = static_cast<uint16_t>(n);
}

void SimDrive::writeCounts(Slot s, int64_t counts) {
    const DriveMap::Entry& e = m_map.entry(s);
    if (e.index >= 0)
        // Counters wrap round their 16 bits like the drive's own.
        m_raw[static_cast<size_t>(e.index)] = static_cast<uint16_t>(counts & 0xFFFF);
}

EnableMode SimDrive::enableMode() const {
    const int mode = static_cast<int>(value(Slot::ENMOD, 1.0));
    if (mode == static_cast<int>(EnableMode::InputOnly))
        return EnableMode::InputOnly;
    if (mode == static_cast<int>(EnableMode::InputAndPc))
        return EnableMode::InputAndPc;
    return EnableMode::Pc;
}

bool SimDrive::commandExternal() const {
    const int source = static_cast<int>(value(Slot::INST, 0.0));
    return source == kSourcePulse || source == kSourceAnalog;
}

uint16_t SimDrive::logicalInputs() const {
    const auto inversion = static_cast<uint16_t>(value(Slot::DINLEV, 0.0));
    return static_cast<uint16_t>(m_terminal ^ inversion);
}

bool SimDrive::inputWithFunction(int function, bool& assigned) const {
    assigned = false;
    const uint16_t logical = logicalInputs();
    bool active = false;
    for (int n = 0; n < kFunctionInputs; ++n) {
        const auto slot = static_cast<Slot>(static_cast<int>(Slot::DIN1) + n);
        if (static_cast<int>(value(slot, 0.0)) != function)
            continue;
        assigned = true;
        active = active || (logical & bit(n)) != 0;
    }
    return active;
}

void SimDrive::enableFromPc(bool on) {
    m_pcEnable = on;
    stateChanged();
}

void SimDrive::updateServo() {
    bool assigned = false;
    const bool resetInput = inputWithFunction(kInputFaultReset, assigned);
    if (resetInput && !m_resetInputBefore)
        m_errors = 0;
    m_resetInputBefore = resetInput;

    // An input with the enable function must be on where "ENMOD" asks for the input; a drive
    // whose inputs have no such function cannot be enabled by input.
    const bool enableInput = inputWithFunction(kInputServoEnable, assigned);
    bool on = false;
    switch (enableMode()) {
        case EnableMode::InputOnly:
            on = enableInput;
            break;
        case EnableMode::Pc:
            on = m_pcEnable;
            break;
        case EnableMode::InputAndPc:
            on = m_pcEnable && enableInput;
            break;
    }
    // An error trips the servo; the PC's enable is gone with it and a reset is needed.
    if (m_errors != 0) {
        on = false;
        m_pcEnable = false;
    }
    if (!on)
        m_generator = false;
    m_servoOn = on;
}

void SimDrive::stateChanged() {
    m_ownsStatusWords = true;
    updateServo();
    updateStatusWords();
}

bool SimDrive::raise(BitList list, int b) {
    if (b < 0 || b > 15)
        return false;
    switch (list) {
        case BitList::Errors:
            m_errors |= bit(b);
            break;
        case BitList::Warnings:
            m_warnings |= bit(b);
            break;
        case BitList::AppendixErrors:
            m_appendixErrors |= bit(b);
            break;
    }
    stateChanged();
    return true;
}

bool SimDrive::clear(BitList list, int b) {
    if (b < 0 || b > 15)
        return false;
    const auto mask = static_cast<uint16_t>(~bit(b));
    switch (list) {
        case BitList::Errors:
            m_errors &= mask;
            break;
        case BitList::Warnings:
            m_warnings &= mask;
            break;
        case BitList::AppendixErrors:
            m_appendixErrors &= mask;
            break;
    }
    stateChanged();
    return true;
}

void SimDrive::clearAll(BitList list) {
    switch (list) {
        case BitList::Errors:
            m_errors = 0;
            break;
        case BitList::Warnings:
            m_warnings = 0;
            break;
        case BitList::AppendixErrors:
            m_appendixErrors = 0;
            break;
    }
    stateChanged();
}

uint16_t SimDrive::bits(BitList list) const {
    switch (list) {
        case BitList::Errors:
            return m_errors;
        case BitList::Warnings:
            return static_cast<uint16_t>(m_warnings | m_autoWarnings);
        case BitList::AppendixErrors:
            return m_appendixErrors;
    }
    return 0;
}

bool SimDrive::setInput(int number, bool on) {
    if (number < 1 || number > kInputCount)
        return false;
    const uint16_t b = bit(number - 1);
    m_terminal = static_cast<uint16_t>(on ? m_terminal | b : m_terminal & ~b);
    stateChanged();
    return true;
}

void SimDrive::setAnalogInput(double millivolts) {
    m_analogMv = millivolts;
}
void SimDrive::setPulseInput(double kiloHertz) {
    m_pulseKHz = kiloHertz;
}
void SimDrive::setLoad(double newtonCentimetres) {
    m_loadNcm = newtonCentimetres;
}
void SimDrive::setNoise(double scale) {
    m_noise = scale;
}
void SimDrive::setResonance(double hz, double damping) {
    m_resonanceHz = hz;
    m_resonanceDamping = damping;
}
void SimDrive::setSecondResonance(double hz, double damping) {
    m_secondResonanceHz = hz;
    m_secondResonanceDamping = damping;
}
void SimDrive::setCoulombFriction(double newtonMetres) {
    m_coulombFrictionNm = newtonMetres;
}

GeneratorSettings SimDrive::generatorSettings() const {
    const auto v = [this](GeneratorParameter p) { return value(m_generatorEntries[p], 0.0); };
    const auto flag = [&](GeneratorParameter p) { return static_cast<int>(v(p)); };
    GeneratorSettings g;
    const int type = flag(kIIT);
    g.type =
        type >= static_cast<int>(SignalType::Square) && type <= static_cast<int>(SignalType::Chirp)
            ? static_cast<SignalType>(type)
            : SignalType::Constant;
    const int mode = static_cast<int>(value(Slot::OPMOD, 2.0));
    if (mode == static_cast<int>(ControlMode::Current)) {
        g.amplitude = v(kIIP1V) / kRmsFactor * kCurrentStep;
        g.offset = v(kIIP2V) * kCurrentStep;
    } else if (mode == static_cast<int>(ControlMode::Position)) {
        // Counts per time unit as the speed in rpm that the position command integrates.
        const double perRev = std::max(1.0, value(Slot::ENCR, 16384.0));
        const auto rpm = [&](double counts, GeneratorParameter unit) {
            const double perSecond =
                flag(unit) == kCountsPerSecondUnit ? counts : counts * kMsPerSecond;
            return perSecond / perRev * 60.0;
        };
        g.amplitude = rpm(v(kIIP1V), kIIP1U);
        g.offset = rpm(v(kIIP2V), kIIP2U);
    } else {
        g.amplitude = v(kIIP1V);
        g.offset = v(kIIP2V);
    }
    g.periodS = v(kIIP3V) * timeUnitSeconds(flag(kIIP3U));
    g.widthS = v(kIIP4V) * timeUnitSeconds(flag(kIIP4U));
    // The chirp sweeps from "IIP4V" to "IIP3V" Hz once over an offline record, so that a record
    // started with the generator holds one sweep.
    g.startHz = v(kIIP4V);
    g.endHz = v(kIIP3V);
    g.sweepS = recordSeconds(flag(kRCFREQ));
    g.repeat = flag(kPCRT);
    return g;
}

uint8_t SimDrive::startGenerator() {
    // The generator drives the internal command of a running servo only.
    if (!m_servoOn || commandExternal())
        return link::kAckStatusRefused;
    m_functionGenerator.start(generatorSettings());
    m_generator = true;
    stateChanged();
    m_plant.restartNoise();
    m_offline.generatorStarted();
    return kAckDone;
}

uint8_t SimDrive::prepareChirp() const {
    // The sweep itself is laid out when the generator starts; the command needs the chirp chosen.
    return static_cast<int>(value(m_generatorEntries[kIIT], 0.0)) ==
                   static_cast<int>(SignalType::Chirp)
               ? kAckDone
               : link::kAckStatusRefused;
}

bool SimDrive::generatorCommand(bool current, double& command) {
    if (!m_generator)
        m_functionGenerator.stop();
    if (!m_functionGenerator.running()) {
        // A stopped generator leaves the axis at a zero command, not at its last value.
        if (m_generatorDrove) {
            m_generatorDrove = false;
            write(current ? Slot::ISET : Slot::VSET, 0.0);
            command = 0.0;
        }
        return false;
    }
    command = m_functionGenerator.step(kStepSeconds);
    m_generatorDrove = true;
    // The last repeat played: the state word's generator bit clears.
    if (!m_functionGenerator.running())
        m_generator = false;
    write(current ? Slot::ISET : Slot::VSET, command);
    return true;
}

PlantSettings SimDrive::plantSettings() const {
    PlantSettings s;
    s.speedGainAPerRpm = value(Slot::KPV, s.speedGainAPerRpm * 1000.0) / 1000.0;  // mA/rpm
    s.speedIntegralMs = value(Slot::KIV, s.speedIntegralMs);
    s.speedLimitRpm = value(Slot::VLIM, s.speedLimitRpm);
    s.accelerationMs = value(Slot::ACC, s.accelerationMs);
    s.decelerationMs = value(Slot::DEC, s.decelerationMs);
    s.speedFilterHz = value(Slot::VFILT, s.speedFilterHz);
    const double peak = value(Slot::IFL, s.positiveCurrentLimitA);
    s.positiveCurrentLimitA = std::min(peak, value(Slot::ILIMP, peak));
    s.negativeCurrentLimitA = std::min(peak, value(Slot::ILIMN, peak));
    s.continuousCurrentA = value(Slot::ICONT, s.continuousCurrentA);
    s.torqueConstantNcmPerA = value(Slot::MKT, s.torqueConstantNcmPerA);
    s.rotorInertiaKgCm2 = value(Slot::MJ, s.rotorInertiaKgCm2);
    s.inertiaRatio = value(Slot::JRATIO, s.inertiaRatio * 100.0) / 100.0;  // %
    s.backEmfVPerKrpm = value(Slot::MKE, s.backEmfVPerKrpm);
    s.resistanceOhm = value(Slot::MRES, s.resistanceOhm);
    s.polePairs = std::max(1, static_cast<int>(value(Slot::MPOLES, s.polePairs * 2.0)) / 2);
    s.thermalTimeS = value(Slot::MTHTC, s.thermalTimeS);
    s.countsPerRev = std::max(1.0, value(Slot::ENCR, s.countsPerRev));
    s.positionGainPerS = value(Slot::KPP, s.positionGainPerS);
    s.speedFeedForward = value(Slot::KVFFP, s.speedFeedForward * 100.0) / 100.0;  // %
    s.analogOffsetMv = value(Slot::AINOFF, s.analogOffsetMv);
    s.analogDeadBandMv = value(Slot::AINDB, s.analogDeadBandMv);
    s.analogFilterMs = value(Slot::AINFLT, s.analogFilterMs);
    s.analogSpeedAt10V = value(Slot::AINSCV, s.analogSpeedAt10V);
    s.analogCurrentAt10V = value(Slot::AINSCI, s.analogCurrentAt10V);
    s.gearNumerator = value(Slot::GEARN, s.gearNumerator);
    s.gearDenominator = value(Slot::GEARD, s.gearDenominator);
    s.busVoltageV = value(Slot::DVBUS, s.busVoltageV);
    s.noise = m_noise;
    s.resonanceHz = m_resonanceHz;
    s.resonanceDamping = m_resonanceDamping;
    s.secondResonanceHz = m_secondResonanceHz;
    s.secondResonanceDamping = m_secondResonanceDamping;
    s.coulombFrictionNm = m_coulombFrictionNm;
    for (size_t n = 0; n < kFilterSlots; ++n) {
        const DriveMap::Entry* e = &m_filterEntries[n * kFilterParameterCount];
        if (value(e[0], 0.0) == 0.0)
            continue;
        s.filters[n] = Biquad{value(e[1], 1.0), value(e[2], 0.0), value(e[3], 0.0),
                              value(e[4], 0.0), value(e[5], 0.0)};
    }
    return s;
}

void SimDrive::advance(std::chrono::nanoseconds elapsed) {
    // As the plant does: a long pause is not replayed in full.
    constexpr std::chrono::nanoseconds kLongestCatchUp = std::chrono::seconds(10);
    m_pending =
        std::min(m_pending + std::max(elapsed, std::chrono::nanoseconds(0)), kLongestCatchUp);
    if (m_pending < ServoPlant::kStep)
        return;
    if (m_live)
        m_plant.setSettings(plantSettings());
    while (m_pending >= ServoPlant::kStep) {
        if (m_live)
            cycle();
        ++m_cycles;
        m_pending -= ServoPlant::kStep;
    }
}

void SimDrive::cycle() {
    updateServo();
    PlantInputs in;
    in.enabled = m_servoOn;
    const int mode = static_cast<int>(value(Slot::OPMOD, 2.0));
    in.mode = mode == static_cast<int>(ControlMode::Current)    ? ControlMode::Current
              : mode == static_cast<int>(ControlMode::Position) ? ControlMode::Position
                                                                : ControlMode::Speed;
    const int source = static_cast<int>(value(Slot::INST, 0.0));
    in.source = source == kSourcePulse    ? CommandSource::Pulse
                : source == kSourceAnalog ? CommandSource::Analog
                                          : CommandSource::Internal;
    // The internal command is the memory of the mode's command value, where the PC (or the
    // function generator) puts it; the drive leaves it alone.
    const bool currentMode = in.mode == ControlMode::Current;
    in.internalCommand = currentMode ? value(Slot::ISET, 0.0) : value(Slot::VSET, 0.0);
    in.generator = generatorCommand(currentMode, in.internalCommand);
    in.analogLevelMv = m_analogMv;
    in.pulseKHz = m_pulseKHz;
    in.loadTorqueNcm = m_loadNcm;
    m_plant.setInputs(in);
    m_plant.step();

    const PlantState& st = m_plant.state();
    const bool position = in.mode == ControlMode::Position;
    if (m_servoOn) {
        const double overspeed = value(Slot::MOVSPD, 0.0);
        if (overspeed > 0.0 && std::abs(st.speedRpm) > overspeed)
            m_errors |= bit(kErrorOverspeed);
        const double limit = value(Slot::PERRMX, 0.0);
        if (position && limit > 0.0 && std::abs(static_cast<double>(st.followingError)) > limit)
            m_errors |= bit(kErrorFollowing);
    }
    const double warnAt = value(Slot::PERRWL, 0.0);
    m_autoWarnings = position && m_servoOn && warnAt > 0.0 &&
                             std::abs(static_cast<double>(st.followingError)) > warnAt
                         ? bit(kWarningFollowing)
                         : 0;
    // A fault found in this cycle switches the servo off at once.
    if (m_errors != 0)
        updateServo();

    const bool internal = in.source == CommandSource::Internal;
    const bool current = in.mode == ControlMode::Current;
    writeProcessValues();
    if (!internal || current)
        write(Slot::VSET, st.speedCommandRpm);
    if (!internal || !current)
        write(Slot::ISET, st.currentCommandA);
    updateStatusWords();
    m_offline.cycle(ServoPlant::kStep, m_raw);
}

void SimDrive::writeProcessValues() {
    const PlantState& st = m_plant.state();
    write(Slot::VACT, st.speedRpm);
    write(Slot::VERR, st.speedReferenceRpm - st.speedRpm);
    write(Slot::IACT, st.currentA);
    write(Slot::TSET, st.torqueCommandNcm);
    write(Slot::TACT, st.torqueNcm);
    write(Slot::IQ, st.currentA);
    write(Slot::ID, st.fluxCurrentA);
    write(Slot::IU, st.phaseCurrentUA);
    write(Slot::IV, st.phaseCurrentVA);
    write(Slot::UD, st.voltageDV);
    write(Slot::UQ, st.voltageQV);
    write(Slot::VBUS, st.busVoltageV);
    write(Slot::THETA, st.electricalAngleDeg);
    const auto perRev = static_cast<int64_t>(std::max(1.0, value(Slot::ENCR, 16384.0)));
    const int64_t commandRev = floorDiv(st.positionCommand, perRev);
    const int64_t actualRev = floorDiv(st.positionActual, perRev);
    writeCounts(Slot::PRREV, commandRev);
    write(Slot::PRCTS, static_cast<double>(st.positionCommand - commandRev * perRev));
    writeCounts(Slot::PFREV, actualRev);
    write(Slot::PFCTS, static_cast<double>(st.positionActual - actualRev * perRev));
    write(Slot::PRINC, st.commandIncrement);
    write(Slot::PFINC, st.actualIncrement);
    write(Slot::PERR, static_cast<double>(st.followingError));
    write(Slot::AINVOL, st.analogInputMv);
    write(Slot::PINFRQ, st.pulseInputKHz);
    writeCounts(Slot::PINCNT, st.pulseCount);
    write(Slot::TDRV, st.driveTemperatureC);
    write(Slot::TMOT, st.motorTemperatureC);
    write(Slot::I2T, st.loadPercent);
}

void SimDrive::updateStatusWords() {
    if (!m_ownsStatusWords)
        return;
    const PlantState& st = m_plant.state();
    const bool position =
        static_cast<int>(value(Slot::OPMOD, 2.0)) == static_cast<int>(ControlMode::Position);
    const double speed = std::abs(st.speedRpm);
    const bool standstill = speed <= value(Slot::VZERO, kZeroSpeedRpm);
    const bool inPosition =
        position && m_servoOn &&
        std::abs(static_cast<double>(st.followingError)) <= value(Slot::INPOSW, kInPositionCounts);
    const bool limited = m_servoOn && st.currentLimited;
    bool assigned = false;
    const bool enableInput = inputWithFunction(kInputServoEnable, assigned);
    const uint16_t warnings = bits(BitList::Warnings);

    uint16_t state = 0;
    const auto set = [](uint16_t& w, int b, bool on) {
        if (on)
            w = static_cast<uint16_t>(w | bit(b));
    };
    set(state, kStateServoOn, m_servoOn);
    set(state, kStateErrors, m_errors != 0);
    set(state, kStateWarnings, warnings != 0);
    set(state, kStateSpeedZero, standstill);
    set(state, kStateInPosition, inPosition);
    set(state, kStateGenerator, m_generator);
    set(state, kStateCurrentLimit, limited);
    set(state, kStateReady, m_errors == 0);
    set(state, kStateExternalControl, commandExternal());
    set(state, kStateBrakeReleased, m_servoOn);
    set(state, kStatePcEnable, m_pcEnable);
    set(state, kStateEnableInput, enableInput);

    uint16_t app = 0;
    set(app, kAppMains, true);
    set(app, kAppDriveOn, m_servoOn);
    set(app, kAppMotion, !standstill);
    set(app, kAppBrakeOutput, m_servoOn && value(Slot::MBRAKE, 0.0) != 0.0);
    set(app, kAppTargetReached, inPosition);
    set(app, kAppSpeedReached,
        m_servoOn && !position &&
            std::abs(st.speedCommandRpm - st.speedRpm) <= value(Slot::VREACH, kSpeedReachedRpm));
    set(app, kAppTorqueLimit, limited);
    set(app, kAppPulseInput, m_pulseKHz != 0.0);
    set(app, kAppAnalogCommand, static_cast<int>(value(Slot::INST, 0.0)) == kSourceAnalog);
    set(app, kAppHeartbeat, static_cast<int64_t>(st.timeS / kHeartbeatHalfPeriodS) % 2 == 1);

    m_raw[kWordState] = state;
    m_raw[kWordErrors] = m_errors;
    m_raw[kWordWarnings] = warnings;
    m_raw[kWordApplication] = app;
    m_raw[kWordInputs] = logicalInputs();
    m_raw[kWordAppendixErrors] = m_appendixErrors;
    writeCounts(Slot::APXSTA, app);
}

}  // namespace zrd::sim
