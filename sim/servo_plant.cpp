#include "servo_plant.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zrd::sim {
namespace {

constexpr double kRpmPerRadS = 60.0 / kTwoPi;
// A drive that was paused longer than this (a stopped debugger, a suspended laptop) does not
// replay the whole pause: it catches up this much and forgets the rest.
constexpr std::chrono::nanoseconds kLongestCatchUp = std::chrono::seconds(10);
// The analog input's drift: a slow wave and some noise, as a real potentiometer line shows.
constexpr double kAnalogDriftMv = 3.0;
constexpr double kAnalogDriftPeriodS = 20.0;
constexpr double kAnalogNoiseMv = 0.7;
constexpr double kSpeedNoiseRpm = 0.4;
constexpr double kCurrentNoiseA = 0.01;
constexpr double kCurrentNoiseShare = 0.005;
constexpr double kPulseJitterKHz = 0.004;
constexpr double kAmbientC = 25.0;
constexpr double kMotorRiseAtContinuousC = 80.0;
constexpr double kDriveIdleC = 30.0;
constexpr double kDriveRiseAtContinuousC = 15.0;
constexpr double kStandstillRadS = 1e-3;
// The analog scales ("AINSCV", "AINSCI") are stated for 10 V.
constexpr double kAnalogFullScaleMv = 10000.0;
// An unstable filter saturates here, as the drive's fixed-point arithmetic does, instead of
// running off to infinity; the current limit then cuts its output.
constexpr double kFilterSaturationA = 1000.0;

// The share of a step that a first-order lag of time constant tau closes.
double lagShare(double tauS, double dt) {
    return tauS <= 0.0 ? 1.0 : 1.0 - std::exp(-dt / tauS);
}

int64_t roundCounts(double counts) {
    return static_cast<int64_t>(std::llround(counts));
}

}  // namespace

void ServoPlant::setSettings(const PlantSettings& s) {
    for (size_t i = 0; i < kFilterSlots; ++i)
        if (s.filters[i] != m_settings.filters[i])
            m_filterStates[i] = {};
    m_settings = s;
}

double ServoPlant::filtered(double current) {
    double x = current;
    for (size_t i = 0; i < kFilterSlots; ++i) {
        if (!m_settings.filters[i])
            continue;
        const Biquad& c = *m_settings.filters[i];
        FilterState& z = m_filterStates[i];
        double y = c.b0 * x + c.b1 * z.x1 + c.b2 * z.x2 - c.a1 * z.y1 - c.a2 * z.y2;
        if (!std::isfinite(y))
            y = 0.0;
        y = std::clamp(y, -kFilterSaturationA, kFilterSaturationA);
        z.x2 = z.x1;
        z.x1 = x;
        z.y2 = z.y1;
        z.y1 = y;
        x = y;
    }
    return x;
}

void ServoPlant::setInputs(const PlantInputs& in) {
    // Enabling takes over the axis where it stands: no jump of the position or speed command.
    if (in.enabled && !m_inputs.enabled) {
        m_integral = 0.0;
        m_state.speedReferenceRpm = m_state.trueSpeedRpm;
        m_positionCommand = m_positionActual;
    }
    m_inputs = in;
}

double ServoPlant::gauss(double sigma) {
    if (sigma <= 0.0)
        return 0.0;
    std::normal_distribution<double> d(0.0, sigma);
    return d(m_random);
}

double ServoPlant::command() const {
    const PlantSettings& s = m_settings;
    const bool current = m_inputs.mode == ControlMode::Current;
    switch (m_inputs.source) {
        case CommandSource::Internal:
            return m_inputs.internalCommand;
        case CommandSource::Analog: {
            double mv = m_state.analogInputMv - s.analogOffsetMv;
            const double band = std::max(0.0, s.analogDeadBandMv);
            mv = std::abs(mv) <= band ? 0.0 : mv - std::copysign(band, mv);
            return mv / kAnalogFullScaleMv * (current ? s.analogCurrentAt10V : s.analogSpeedAt10V);
        }
        case CommandSource::Pulse: {
            if (current || s.countsPerRev <= 0.0 || s.gearDenominator <= 0.0)
                return 0.0;
            const double countsPerS =
                m_state.pulseInputKHz * 1000.0 * s.gearNumerator / s.gearDenominator;
            return countsPerS / s.countsPerRev * 60.0;
        }
    }
    return 0.0;
}

double ServoPlant::rampTowards(double reference, double target) const {
    const double diff = target - reference;
    const bool speedingUp = (reference >= 0.0 && diff > 0.0) || (reference <= 0.0 && diff < 0.0);
    const double ms = speedingUp ? m_settings.accelerationMs : m_settings.decelerationMs;
    if (ms <= 0.0)
        return target;
    // The times are stated for 1000 rpm.
    const double maxStep = 1000.0 / (ms / 1000.0) * kStepSeconds;
    return reference + std::clamp(diff, -maxStep, maxStep);
}

void ServoPlant::stepInputs(double dt) {
    const PlantSettings& s = m_settings;
    const double drift = kAnalogDriftMv * std::sin(kTwoPi * m_state.timeS / kAnalogDriftPeriodS) +
                         gauss(kAnalogNoiseMv * s.noise);
    const double analog = m_inputs.analogLevelMv + s.noise * drift;
    m_analogFiltered += (analog - m_analogFiltered) * lagShare(s.analogFilterMs / 1000.0, dt);
    m_state.analogInputMv = m_analogFiltered;

    const double pulse = m_inputs.pulseKHz;
    m_state.pulseInputKHz = pulse == 0.0 ? 0.0 : pulse + gauss(kPulseJitterKHz * s.noise);
    m_pulseCount += pulse * 1000.0 * dt;
    m_state.pulseCount = roundCounts(m_pulseCount);
}

void ServoPlant::stepController(double dt, double cmd) {
    const PlantSettings& s = m_settings;
    PlantState& st = m_state;
    const double posLimit = std::max(0.0, s.positiveCurrentLimitA);
    const double negLimit = std::max(0.0, s.negativeCurrentLimitA);
    const double speedLimit = std::max(0.0, s.speedLimitRpm);
    st.currentLimited = false;

    if (m_inputs.mode == ControlMode::Current) {
        st.speedCommandRpm = 0.0;
        st.speedReferenceRpm = st.trueSpeedRpm;
        const double limited = std::clamp(cmd, -negLimit, posLimit);
        st.currentLimited = m_inputs.enabled && limited != cmd;
        st.currentCommandA = m_inputs.enabled ? limited : 0.0;
        return;
    }

    st.speedCommandRpm = std::clamp(cmd, -speedLimit, speedLimit);
    if (!m_inputs.enabled) {
        // A disabled axis coasts; the commands follow it so that enabling starts from here.
        st.currentCommandA = 0.0;
        st.speedReferenceRpm = st.trueSpeedRpm;
        m_integral = 0.0;
        m_filterStates = {};
        return;
    }

    if (m_inputs.mode == ControlMode::Position) {
        m_positionCommand += st.speedCommandRpm / 60.0 * s.countsPerRev * dt;
        const double errorRev =
            s.countsPerRev > 0.0 ? (m_positionCommand - m_positionActual) / s.countsPerRev : 0.0;
        const double ref =
            s.positionGainPerS * errorRev * 60.0 + s.speedFeedForward * st.speedCommandRpm;
        st.speedReferenceRpm = std::clamp(ref, -speedLimit, speedLimit);
    } else {
        st.speedReferenceRpm = m_inputs.generator
                                   ? st.speedCommandRpm
                                   : rampTowards(st.speedReferenceRpm, st.speedCommandRpm);
        m_positionCommand += st.speedReferenceRpm / 60.0 * s.countsPerRev * dt;
    }

    const double error = st.speedReferenceRpm - m_speedFiltered;
    const double integral =
        s.speedIntegralMs > 0.0 ? m_integral + error * dt / (s.speedIntegralMs / 1000.0) : 0.0;
    const double current = filtered(s.speedGainAPerRpm * (error + integral));
    // Conditional integration: the integral does not wind up while the current is limited.
    if (current > posLimit) {
        st.currentCommandA = posLimit;
        st.currentLimited = true;
        if (error < 0.0)
            m_integral = integral;
    } else if (current < -negLimit) {
        st.currentCommandA = -negLimit;
        st.currentLimited = true;
        if (error > 0.0)
            m_integral = integral;
    } else {
        st.currentCommandA = current;
        m_integral = integral;
    }
}

void ServoPlant::stepMotor(double dt) {
    const PlantSettings& s = m_settings;
    PlantState& st = m_state;
    st.trueSpeedRpm = m_speedRadS * kRpmPerRadS;
    // The current loop closes much faster than the speed loop: a first-order lag stands for it.
    m_trueCurrent = m_inputs.enabled ? m_trueCurrent + (st.currentCommandA - m_trueCurrent) *
                                                           lagShare(s.currentLagMs / 1000.0, dt)
                                     : 0.0;

    const double torqueNm = m_trueCurrent * s.torqueConstantNcmPerA / 100.0;
    const double frictionNm = s.frictionNcmPerKrpm / 100.0 * st.trueSpeedRpm / 1000.0;
    const double loadNm =
        std::abs(m_inputs.loadTorqueNcm) / 100.0 + std::max(0.0, s.coulombFrictionNm);
    const double rotor = std::max(1e-9, s.rotorInertiaKgCm2 * 1e-4);
    double load = rotor * std::max(0.0, s.inertiaRatio);
    const bool coupled = s.resonanceHz > 0.0 && load > 0.0;
    const bool secondMode = coupled && s.secondResonanceHz > 0.0;
    if (secondMode)
        load *= 1.0 - kSecondModeLoadShare;

    // The shaft that carries the load's dry friction: the load behind the spring, or the one
    // rigid body.
    double& shaft = coupled ? m_loadSpeedRadS : m_speedRadS;
    double drive = torqueNm - frictionNm;
    double shaftInertia = rotor + load;
    if (coupled) {
        // Two masses: the spring's stiffness and the damper follow from the resonance of the
        // pair, ω² = k (Jm + Jl) / (Jm Jl), and its damping ratio, c = 2 ζ ω Jm Jl / (Jm + Jl).
        const double reduced = rotor * load / (rotor + load);
        const double omega = kTwoPi * s.resonanceHz;
        const double spring =
            omega * omega * reduced * m_twistRad +
            2.0 * s.resonanceDamping * omega * reduced * (m_speedRadS - m_loadSpeedRadS);
        // Semi-implicit: the speeds move with the spring of the present twist, the twist with
        // the new speeds, so that the undamped oscillation neither grows nor decays.
        const double second = secondMode ? stepSecondMode(dt, rotor, load) : 0.0;
        m_speedRadS += (drive - spring - second) / rotor * dt;
        drive = spring;
        shaftInertia = load;
    }
    // The load brakes like dry friction: against the motion, and at standstill it holds the
    // shaft until the torque on it exceeds it.
    double accel = 0.0;
    if (std::abs(shaft) < kStandstillRadS) {
        accel = std::abs(drive) <= loadNm ? -shaft / dt
                                          : (drive - std::copysign(loadNm, drive)) / shaftInertia;
    } else {
        accel = (drive - std::copysign(loadNm, shaft)) / shaftInertia;
    }
    const double before = shaft;
    shaft += accel * dt;
    // The load stops the shaft; it never turns it round.
    if (std::signbit(before) != std::signbit(shaft) && std::abs(drive) <= loadNm)
        shaft = 0.0;
    if (secondMode) {
        m_secondTwistRad += (m_speedRadS - m_secondSpeedRadS) * dt;
    } else {
        m_secondSpeedRadS = m_speedRadS;
        m_secondTwistRad = 0.0;
    }
    if (coupled) {
        m_twistRad += (m_speedRadS - m_loadSpeedRadS) * dt;
    } else {
        m_loadSpeedRadS = m_speedRadS;
        m_twistRad = 0.0;
    }
    m_positionActual += m_speedRadS / kTwoPi * s.countsPerRev * dt;
    st.trueSpeedRpm = m_speedRadS * kRpmPerRadS;

    const double smoothed =
        s.speedFilterHz > 0.0 ? m_speedFiltered + (st.trueSpeedRpm - m_speedFiltered) *
                                                      lagShare(1.0 / (kTwoPi * s.speedFilterHz), dt)
                              : st.trueSpeedRpm;
    m_speedFiltered = smoothed;
    st.speedRpm = smoothed + gauss(kSpeedNoiseRpm * s.noise);
}

// The second branch's speed moves with the spring of the present twist, as the first one's does
// (its twist follows with the new speeds); returns the torque the branch puts on the motor.
double ServoPlant::stepSecondMode(double dt, double rotor, double firstLoad) {
    const PlantSettings& s = m_settings;
    const double mass = firstLoad / (1.0 - kSecondModeLoadShare) * kSecondModeLoadShare;
    const double reduced = rotor * mass / (rotor + mass);
    const double omega = kTwoPi * s.secondResonanceHz;
    const double spring =
        omega * omega * reduced * m_secondTwistRad +
        2.0 * s.secondResonanceDamping * omega * reduced * (m_speedRadS - m_secondSpeedRadS);
    m_secondSpeedRadS += spring / mass * dt;
    return spring;
}

void ServoPlant::stepDerived(double dt) {
    const PlantSettings& s = m_settings;
    PlantState& st = m_state;
    // Without a position loop the command stands where the axis is: no following error.
    if (!m_inputs.enabled || m_inputs.mode == ControlMode::Current)
        m_positionCommand = m_positionActual;
    const int64_t command = roundCounts(m_positionCommand);
    const int64_t actual = roundCounts(m_positionActual);
    // The increments span the last millisecond, as the drive reports them, whatever the cycle.
    const size_t oldest = m_stepCount % kStepsPerMs;
    st.commandIncrement = static_cast<int32_t>(command - m_commandHistory[oldest]);
    st.actualIncrement = static_cast<int32_t>(actual - m_actualHistory[oldest]);
    m_commandHistory[oldest] = command;
    m_actualHistory[oldest] = actual;
    ++m_stepCount;
    st.positionCommand = command;
    st.positionActual = actual;
    st.followingError = command - actual;

    const double iq = m_trueCurrent;
    st.currentA = iq + gauss((kCurrentNoiseA + kCurrentNoiseShare * std::abs(iq)) * s.noise);
    st.torqueCommandNcm = st.currentCommandA * s.torqueConstantNcmPerA;
    st.torqueNcm = st.currentA * s.torqueConstantNcmPerA;

    const double turns = s.countsPerRev > 0.0 ? m_positionActual / s.countsPerRev : 0.0;
    double angle = std::fmod(turns * s.polePairs * 360.0, 360.0);
    if (angle < 0.0)
        angle += 360.0;
    st.electricalAngleDeg = angle;
    const double theta = angle / 180.0 * std::numbers::pi;
    st.fluxCurrentA = gauss(kCurrentNoiseA * s.noise);
    st.phaseCurrentUA = -st.currentA * std::sin(theta);
    st.phaseCurrentVA = -st.currentA * std::sin(theta - kTwoPi / 3.0);
    st.voltageQV = s.resistanceOhm * iq + s.backEmfVPerKrpm * st.trueSpeedRpm / 1000.0;
    st.voltageDV = -0.05 * iq * std::abs(st.trueSpeedRpm) / 1000.0;
    st.busVoltageV = s.busVoltageV - 0.5 * std::abs(iq) + gauss(0.5 * s.noise);

    const double ratio = s.continuousCurrentA > 0.0 ? iq / s.continuousCurrentA : 0.0;
    m_thermal += (ratio * ratio - m_thermal) * lagShare(s.thermalTimeS, dt);
    st.loadPercent = 100.0 * m_thermal;
    st.motorTemperatureC = kAmbientC + kMotorRiseAtContinuousC * m_thermal;
    st.driveTemperatureC = kDriveIdleC + kDriveRiseAtContinuousC * m_thermal;
    st.timeS += dt;
}

void ServoPlant::step() {
    stepInputs(kStepSeconds);
    stepController(kStepSeconds, command());
    stepMotor(kStepSeconds);
    stepDerived(kStepSeconds);
}

int ServoPlant::advance(std::chrono::nanoseconds elapsed) {
    m_pending =
        std::min(m_pending + std::max(elapsed, std::chrono::nanoseconds(0)), kLongestCatchUp);
    int steps = 0;
    while (m_pending >= kStep) {
        step();
        m_pending -= kStep;
        ++steps;
    }
    return steps;
}

}  // namespace zrd::sim
