#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <numbers>
#include <optional>
#include <random>

namespace zrd::sim {

// What the drive controls: operating mode as "OPMOD" numbers it.
enum class ControlMode { Current = 1, Speed = 2, Position = 3 };
// Where the command comes from ("INST" 0/1, 2, 3).
enum class CommandSource { Internal, Pulse, Analog };

// A second-order digital filter H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) at the
// plant's cycle rate.
struct Biquad {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    bool operator==(const Biquad&) const = default;
};
inline constexpr size_t kFilterSlots = 4;
// Default mechanical resonance of the load coupling.
inline constexpr double kDefaultResonanceHz = 400.0;
inline constexpr double kDefaultResonanceDamping = 0.05;
// The cycle resolves (and integrates stably) resonances and damping ratios up to these.
inline constexpr double kMaxResonanceHz = 1000.0;
inline constexpr double kMaxResonanceDamping = 1.0;
// A second mode takes this share of the load's inertia on a spring of its own.
inline constexpr double kSecondModeLoadShare = 0.25;
// Coulomb friction the plant accepts (N·m).
inline constexpr double kMaxCoulombFrictionNm = 10.0;

// The seed of the measurement noise unless one is given.
inline constexpr uint32_t kDefaultNoiseSeed = 1;

// The plant's constants in engineering units, as the drive's parameters state them.
struct PlantSettings {
    // Speed loop: i = gain × (e + ∫e dt / Ti).
    double speedGainAPerRpm = 0.005;  // KPV
    double speedIntegralMs = 10.0;    // KIV; 0 leaves the integral out
    double speedLimitRpm = 4500.0;    // VLIM
    double accelerationMs = 100.0;    // ACC: time from 0 to 1000 rpm; 0 steps at once
    double decelerationMs = 100.0;    // DEC: time from 1000 rpm to 0
    double speedFilterHz = 1000.0;    // VFILT on the measured speed; 0 off
    // Current loop, seen from the speed loop as a first-order lag.
    double positiveCurrentLimitA = 13.2;  // min(IFL, ILIMP)
    double negativeCurrentLimitA = 13.2;  // min(IFL, ILIMN)
    double currentLagMs = 0.5;
    double continuousCurrentA = 4.4;  // ICONT: the 100 % of the i²t load
    // Motor and load.
    double torqueConstantNcmPerA = 54.0;  // MKT
    double rotorInertiaKgCm2 = 1.10;      // MJ
    double inertiaRatio = 1.0;            // JRATIO / 100: load inertia over rotor inertia
    double frictionNcmPerKrpm = 2.0;      // viscous friction
    // The load (inertia ratio × rotor inertia) hangs on the motor through a spring and a damper:
    // the two-mass system resonates at this frequency with this damping ratio. 0 Hz (or no
    // load inertia) couples it rigidly.
    double resonanceHz = kDefaultResonanceHz;
    double resonanceDamping = kDefaultResonanceDamping;
    // A second mode (0 Hz: none; only with the first): the load splits, kSecondModeLoadShare of
    // its inertia J2 hangs on the motor through a second spring and damper beside the first
    // branch J1 = (1 − share) × load. Each branch's spring k_i and damper c_i are set from its
    // frequency ω_i and damping ratio ζ_i as if it alone were on the motor:
    // k_i = ω_i² Jm J_i / (Jm + J_i), c_i = 2 ζ_i ω_i Jm J_i / (Jm + J_i). Torque to motor speed is
    // then 1 / (Jm s + B + Σ J_i s (c_i s + k_i) / (J_i s² + c_i s + k_i)): anti-resonances at
    // exactly √(k_i / J_i) with damping c_i / (2 √(k_i J_i)), and resonances where the coupled
    // branches put them (the roots of the denominator). The semi-implicit step raises each mode
    // a little: per cycle T a pair's eigenvalues have r² = 1 − 2ζωT and 2r·cos θ = 2 − 2ζωT − (ωT)²
    // (900 Hz at ζ 0.1 runs at 958 Hz).
    double secondResonanceHz = 0.0;
    double secondResonanceDamping = kDefaultResonanceDamping;
    // Dry (Coulomb) friction on the load, N·m: against the motion, holding the shaft at standstill
    // up to this torque, as the load torque of the inputs does (the two add).
    double coulombFrictionNm = 0.0;
    // The filters "F1".."F4" in series on the speed loop's current command; nullopt: off.
    std::array<std::optional<Biquad>, kFilterSlots> filters{};
    double backEmfVPerKrpm = 33.0;  // MKE
    double resistanceOhm = 0.6;     // MRES
    int polePairs = 4;              // MPOLES / 2
    double thermalTimeS = 1200.0;   // MTHTC
    // Position loop: speed = gain × error + feed forward × command speed.
    double countsPerRev = 16384.0;   // ENCR
    double positionGainPerS = 30.0;  // KPP
    double speedFeedForward = 0.8;   // KVFFP / 100
    // Command inputs.
    double analogOffsetMv = 0.0;       // AINOFF
    double analogDeadBandMv = 0.0;     // AINDB
    double analogFilterMs = 1.0;       // AINFLT
    double analogSpeedAt10V = 4500.0;  // AINSCV
    double analogCurrentAt10V = 13.2;  // AINSCI
    double gearNumerator = 1.0;        // GEARN
    double gearDenominator = 1.0;      // GEARD
    double busVoltageV = 560.0;        // DVBUS
    // Scale of the measurement noise and the analog drift; 0 gives exact values.
    double noise = 1.0;
};

// What drives the plant from outside, step by step.
struct PlantInputs {
    bool enabled = false;
    ControlMode mode = ControlMode::Speed;
    CommandSource source = CommandSource::Internal;
    // The internal command: rpm, or A in current mode.
    double internalCommand = 0.0;
    // The internal command comes from the function generator: it enters behind the ramp, as an
    // excitation has to.
    bool generator = false;
    double analogLevelMv = 0.0;  // the voltage applied to the analog input
    double pulseKHz = 0.0;       // pulse input frequency, signed by the direction
    double loadTorqueNcm = 0.0;  // braking torque of the load (dry friction)
};

// Everything the drive reports about the plant, in engineering units.
struct PlantState {
    double timeS = 0.0;
    double speedCommandRpm = 0.0;    // VSET: the command of the speed loop before the ramp
    double speedReferenceRpm = 0.0;  // after the ramp (position mode: the position loop output)
    double speedRpm = 0.0;           // VACT: measured, filtered
    double trueSpeedRpm = 0.0;
    double currentCommandA = 0.0;  // ISET
    double currentA = 0.0;         // IACT
    double torqueCommandNcm = 0.0;
    double torqueNcm = 0.0;
    bool currentLimited = false;
    int64_t positionCommand = 0;  // counts
    int64_t positionActual = 0;
    int64_t followingError = 0;    // command − actual
    int32_t commandIncrement = 0;  // counts in the last millisecond
    int32_t actualIncrement = 0;
    double analogInputMv = 0.0;  // AINVOL: the filtered analog input
    double pulseInputKHz = 0.0;  // PINFRQ
    int64_t pulseCount = 0;      // PINCNT
    double electricalAngleDeg = 0.0;
    double phaseCurrentUA = 0.0;
    double phaseCurrentVA = 0.0;
    double fluxCurrentA = 0.0;
    double voltageDV = 0.0;
    double voltageQV = 0.0;
    double busVoltageV = 0.0;
    double motorTemperatureC = 25.0;
    double driveTemperatureC = 30.0;
    double loadPercent = 0.0;  // i²t load of the motor
};

// A servo axis on a 125 µs cycle (8 kHz, the rate the drive's filters are designed for):
// command inputs, position and speed loops, the filters on the current command, current loop
// as a lag, a load coupled through a spring. Pure: time advances only through step() and
// advance().
class ServoPlant {
public:
    static constexpr std::chrono::microseconds kStep{125};
    static constexpr int kStepsPerMs = 8;

    explicit ServoPlant(uint32_t seed = kDefaultNoiseSeed) : m_seed(seed), m_random(seed) {}

    // The measurement noise begins its sequence again from the seed: a measurement that
    // starts here sees the same noise on every run, however long the drive ran before.
    void restartNoise() { m_random.seed(m_seed); }
    void setSeed(uint32_t seed) {
        m_seed = seed;
        restartNoise();
    }

    // A filter whose coefficients change (or that is switched) starts from a cleared state.
    void setSettings(const PlantSettings& s);
    [[nodiscard]] const PlantSettings& settings() const { return m_settings; }
    void setInputs(const PlantInputs& in);
    [[nodiscard]] const PlantInputs& inputs() const { return m_inputs; }
    [[nodiscard]] const PlantState& state() const { return m_state; }

    // One cycle of kStep.
    void step();
    // Runs the cycles that fit into the elapsed time; the rest is kept for the next call.
    // Returns the number of cycles run.
    int advance(std::chrono::nanoseconds elapsed);

private:
    [[nodiscard]] double command() const;
    [[nodiscard]] double rampTowards(double reference, double target) const;
    void stepInputs(double dt);
    void stepController(double dt, double command);
    [[nodiscard]] double filtered(double current);
    void stepMotor(double dt);
    [[nodiscard]] double stepSecondMode(double dt, double rotor, double load);
    void stepDerived(double dt);
    [[nodiscard]] double gauss(double sigma);

    PlantSettings m_settings;
    PlantInputs m_inputs;
    PlantState m_state;
    double m_integral = 0.0;         // ∫e dt / Ti of the speed loop, rpm
    double m_speedRadS = 0.0;        // the motor's
    double m_loadSpeedRadS = 0.0;    // the load's, behind the spring
    double m_twistRad = 0.0;         // motor angle − load angle
    double m_secondSpeedRadS = 0.0;  // the second mode's mass
    double m_secondTwistRad = 0.0;
    // Past inputs and outputs of each filter (direct form I).
    struct FilterState {
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    };
    std::array<FilterState, kFilterSlots> m_filterStates{};
    // The measured speed, rpm, as the loop sees it. The noise is added to what the drive
    // reports only: the loop's state then depends on the commands alone, and a measurement
    // repeats exactly however long the axis stood before it.
    double m_speedFiltered = 0.0;
    double m_trueCurrent = 0.0;     // A, without the measurement noise
    double m_positionActual = 0.0;  // counts, fractional
    double m_positionCommand = 0.0;
    double m_pulseCount = 0.0;
    double m_analogFiltered = 0.0;
    double m_thermal = 0.0;  // filtered (i / continuous)²
    // The positions of the last millisecond's cycles, for the increments.
    std::array<int64_t, kStepsPerMs> m_commandHistory{};
    std::array<int64_t, kStepsPerMs> m_actualHistory{};
    size_t m_stepCount = 0;
    std::chrono::nanoseconds m_pending{0};
    uint32_t m_seed;
    std::mt19937 m_random;
};

// The plant's cycle in seconds, and a full turn in radians.
inline constexpr double kStepSeconds = std::chrono::duration<double>(ServoPlant::kStep).count();
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;

}  // namespace zrd::sim
