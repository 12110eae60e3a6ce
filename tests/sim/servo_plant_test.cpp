#include "servo_plant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace zrd::sim {
namespace {

PlantSettings exact() {
    PlantSettings s;
    s.noise = 0.0;
    return s;
}

PlantInputs speedCommand(double rpm) {
    PlantInputs in;
    in.enabled = true;
    in.mode = ControlMode::Speed;
    in.internalCommand = rpm;
    return in;
}

void run(ServoPlant& p, int ms) {
    for (int i = 0; i < ms * ServoPlant::kStepsPerMs; ++i)
        p.step();
}

TEST(ServoPlantStepResponse, SpeedSettlesOnTheCommand) {
    struct Case {
        const char* name;
        double command;
        double settles;  // the speed limit of 4500 rpm cuts larger commands
    };
    for (const Case& c : {Case{"slow", 100, 100}, Case{"medium", 1000, 1000},
                          Case{"reverse", -1500, -1500}, Case{"fast", 4000, 4000},
                          Case{"beyond the limit", 6000, 4500}, Case{"standstill", 0, 0}}) {
        ServoPlant p;
        p.setSettings(exact());
        p.setInputs(speedCommand(c.command));
        // The ramp needs 100 ms per 1000 rpm; the loop settles well within a second after it.
        run(p, static_cast<int>(std::abs(c.settles) / 10.0) + 1000);
        const PlantState& st = p.state();
        EXPECT_NEAR(st.speedRpm, c.settles, 0.001 * std::abs(c.settles) + 0.05) << c.name;
        EXPECT_DOUBLE_EQ(st.speedCommandRpm, c.settles) << c.name;
        // What is left is the friction: a small current in the direction of motion.
        EXPECT_LT(std::abs(st.currentCommandA), 0.2) << c.name;
        if (c.settles != 0) {
            EXPECT_GT(st.currentCommandA * c.settles, 0.0) << c.name;
        }
        EXPECT_FALSE(st.currentLimited) << c.name;
    }
}

TEST(ServoPlantStepResponse, RampTakesTheAccelerationAndDecelerationTimes) {
    struct Case {
        const char* name;
        double accelerationMs;
        double decelerationMs;
        double from;
        double to;
        int afterMs;
        double reference;
    };
    for (const Case& c : {Case{"accelerating", 200, 50, 0, 1000, 100, 500},
                          Case{"decelerating", 200, 50, 1000, 0, 20, 600},
                          // 25 ms down to zero at 20 rpm/ms, then 5 ms up at 5 rpm/ms.
                          Case{"through zero", 200, 50, 500, -1000, 30, -25},
                          Case{"no ramp", 0, 0, 0, 2000, 1, 2000}}) {
        ServoPlant p;
        PlantSettings s = exact();
        s.accelerationMs = c.accelerationMs;
        s.decelerationMs = c.decelerationMs;
        p.setSettings(s);
        p.setInputs(speedCommand(c.from));
        run(p, 3000);
        p.setInputs(speedCommand(c.to));
        run(p, c.afterMs);
        EXPECT_NEAR(p.state().speedReferenceRpm, c.reference, 1e-6) << c.name;
    }
}

TEST(ServoPlantStepResponse, CurrentModeAcceleratesByTorqueOverInertia) {
    struct Case {
        const char* name;
        double command;
        double current;  // after the limit
        bool limited;
    };
    for (const Case& c :
         {Case{"within the limit", 2.0, 2.0, false}, Case{"negative", -1.0, -1.0, false},
          Case{"beyond the limit", 20.0, 13.2, true}}) {
        ServoPlant p;
        PlantSettings s = exact();
        s.frictionNcmPerKrpm = 0;
        // The whole inertia moves as one: a rigid coupling, without the spring's swing.
        s.resonanceHz = 0;
        p.setSettings(s);
        PlantInputs in;
        in.enabled = true;
        in.mode = ControlMode::Current;
        in.internalCommand = c.command;
        p.setInputs(in);
        run(p, 10);
        const double speed10 = p.state().trueSpeedRpm;
        run(p, 10);
        EXPECT_NEAR(p.state().currentA, c.current, 1e-6) << c.name;
        EXPECT_EQ(p.state().currentLimited, c.limited) << c.name;
        // Torque = current × torque constant; the speed grows by torque / inertia.
        const double inertia = s.rotorInertiaKgCm2 * 1e-4 * (1.0 + s.inertiaRatio);
        const double radPerS2 = c.current * s.torqueConstantNcmPerA / 100.0 / inertia;
        const double rpmIn10Ms = radPerS2 * 0.010 * 60.0 / (2.0 * std::numbers::pi);
        EXPECT_NEAR(p.state().trueSpeedRpm - speed10, rpmIn10Ms, 0.01 * std::abs(rpmIn10Ms))
            << c.name;
    }
}

TEST(ServoPlantStepResponse, CurrentLimitDoesNotWindUpTheIntegral) {
    ServoPlant p;
    PlantSettings s = exact();
    s.positiveCurrentLimitA = 0.5;
    s.accelerationMs = 0;
    p.setSettings(s);
    p.setInputs(speedCommand(2000));
    double peak = 0;
    bool wasLimited = false;
    for (int i = 0; i < 3000 * ServoPlant::kStepsPerMs; ++i) {
        p.step();
        wasLimited = wasLimited || p.state().currentLimited;
        peak = std::max(peak, p.state().speedRpm);
    }
    EXPECT_TRUE(wasLimited);
    EXPECT_LT(peak, 2000 * 1.03);
    EXPECT_NEAR(p.state().speedRpm, 2000, 1.0);
}

TEST(ServoPlantStepResponse, LoadIsCarriedByTheIntegral) {
    ServoPlant p;
    const PlantSettings s = exact();
    p.setSettings(s);
    PlantInputs in = speedCommand(1000);
    in.loadTorqueNcm = 54.0;
    p.setInputs(in);
    run(p, 2000);
    EXPECT_NEAR(p.state().speedRpm, 1000, 0.5);
    // 54 N·cm at 54 N·cm/A, plus the friction.
    EXPECT_NEAR(p.state().currentA, 1.0, 0.05);
}

TEST(ServoPlantPosition, JogThenStopEndsAtTheCommandedPosition) {
    ServoPlant p;
    const PlantSettings s = exact();
    p.setSettings(s);
    PlantInputs in;
    in.enabled = true;
    in.mode = ControlMode::Position;
    in.internalCommand = 600;  // rpm: 10 rev/s
    p.setInputs(in);
    run(p, 1000);
    EXPECT_NEAR(static_cast<double>(p.state().positionCommand), 10 * s.countsPerRev, 1.0);
    EXPECT_GT(std::abs(static_cast<double>(p.state().followingError)), 0.0);
    in.internalCommand = 0;
    p.setInputs(in);
    run(p, 1500);
    EXPECT_NEAR(static_cast<double>(p.state().positionCommand), 10 * s.countsPerRev, 1.0);
    EXPECT_LE(std::abs(p.state().followingError), 2);
    EXPECT_NEAR(p.state().speedRpm, 0.0, 1.0);
}

TEST(ServoPlantInputs, AnalogInputScalesToTheCommand) {
    struct Case {
        const char* name;
        ControlMode mode;
        double offsetMv;
        double deadBandMv;
        double levelMv;
        double command;  // rpm, or A in current mode
    };
    for (const Case& c : {Case{"half scale", ControlMode::Speed, 0, 0, 5000, 2250},
                          Case{"negative", ControlMode::Speed, 0, 0, -2000, -900},
                          Case{"inside the dead band", ControlMode::Speed, 50, 100, 140, 0},
                          Case{"past the dead band", ControlMode::Speed, 50, 100, 5150, 2250},
                          Case{"current", ControlMode::Current, 0, 0, 10000, 13.2}}) {
        ServoPlant p;
        PlantSettings s = exact();
        s.analogSpeedAt10V = 4500;
        s.analogCurrentAt10V = 13.2;
        s.analogOffsetMv = c.offsetMv;
        s.analogDeadBandMv = c.deadBandMv;
        s.analogFilterMs = 0;
        p.setSettings(s);
        PlantInputs in;
        in.enabled = true;
        in.mode = c.mode;
        in.source = CommandSource::Analog;
        in.analogLevelMv = c.levelMv;
        p.setInputs(in);
        run(p, 2);
        EXPECT_DOUBLE_EQ(p.state().analogInputMv, c.levelMv) << c.name;
        const double got =
            c.mode == ControlMode::Current ? p.state().currentCommandA : p.state().speedCommandRpm;
        EXPECT_NEAR(got, c.command, 1e-9) << c.name;
    }
}

TEST(ServoPlantInputs, PulseInputFollowsTheGear) {
    struct Case {
        const char* name;
        double kHz;
        double numerator;
        double denominator;
        double rpm;
    };
    for (const Case& c : {Case{"one to one", 100, 1, 1, 100000.0 / 16384 * 60},
                          Case{"geared up", 100, 2, 1, 200000.0 / 16384 * 60},
                          Case{"reverse, geared down", -50, 1, 4, -12500.0 / 16384 * 60}}) {
        ServoPlant p;
        PlantSettings s = exact();
        s.gearNumerator = c.numerator;
        s.gearDenominator = c.denominator;
        p.setSettings(s);
        PlantInputs in;
        in.enabled = true;
        in.source = CommandSource::Pulse;
        in.pulseKHz = c.kHz;
        p.setInputs(in);
        run(p, 1000);
        EXPECT_NEAR(p.state().speedCommandRpm, c.rpm, 1e-9) << c.name;
        EXPECT_EQ(p.state().pulseCount, static_cast<int64_t>(c.kHz * 1000)) << c.name;
        EXPECT_DOUBLE_EQ(p.state().pulseInputKHz, c.kHz) << c.name;
    }
}

TEST(ServoPlantEnable, DisabledAxisCoastsAndEnablingStartsWhereItStands) {
    ServoPlant p;
    p.setSettings(exact());
    p.setInputs(speedCommand(1000));
    run(p, 1000);
    PlantInputs off = speedCommand(1000);
    off.enabled = false;
    p.setInputs(off);
    run(p, 200);
    const PlantState& st = p.state();
    EXPECT_EQ(st.currentCommandA, 0.0);
    EXPECT_EQ(st.currentA, 0.0);
    // Only the friction slows it: still turning, slower than before.
    EXPECT_GT(st.speedRpm, 700);
    EXPECT_LT(st.speedRpm, 1000);
    EXPECT_EQ(st.followingError, 0);

    const double coasting = st.trueSpeedRpm;
    p.setInputs(speedCommand(1000));
    p.step();
    // The ramp starts from the speed the axis has, not from zero: 10 rpm a millisecond.
    EXPECT_NEAR(p.state().speedReferenceRpm, coasting + 10.0 / ServoPlant::kStepsPerMs, 0.5);
}

TEST(ServoPlantEnable, LoadDoesNotTurnADisabledAxis) {
    ServoPlant p;
    p.setSettings(exact());
    PlantInputs in;
    in.loadTorqueNcm = 100;
    p.setInputs(in);
    run(p, 500);
    EXPECT_EQ(p.state().trueSpeedRpm, 0.0);
    EXPECT_EQ(p.state().positionActual, 0);
}

TEST(ServoPlantTime, AdvanceRunsWholeStepsAndKeepsTheRest) {
    using std::chrono::microseconds;
    ServoPlant p;
    EXPECT_EQ(p.advance(microseconds(2500)), 20);
    EXPECT_EQ(p.advance(microseconds(100)), 0);
    EXPECT_EQ(p.advance(microseconds(25)), 1);
    EXPECT_NEAR(p.state().timeS, 0.002625, 1e-12);
    EXPECT_EQ(p.advance(microseconds(-5000)), 0);
    // A pause of a minute is caught up for ten seconds only.
    EXPECT_EQ(p.advance(std::chrono::minutes(1)), 10 * 1000 * ServoPlant::kStepsPerMs);
}

TEST(ServoPlantNoise, MeasurementsScatterAroundTheTrueValues) {
    ServoPlant p;
    p.setSettings(PlantSettings{});
    PlantInputs in = speedCommand(1500);
    in.analogLevelMv = 1000;
    p.setInputs(in);
    run(p, 1500);
    double sum = 0;
    double squares = 0;
    bool differs = false;
    constexpr int kSamples = 2000 * ServoPlant::kStepsPerMs;
    for (int i = 0; i < kSamples; ++i) {
        p.step();
        const double e = p.state().speedRpm - 1500;
        sum += e;
        squares += e * e;
        differs = differs || p.state().speedRpm != p.state().trueSpeedRpm;
        EXPECT_NEAR(p.state().analogInputMv, 1000, 6.0);
    }
    EXPECT_TRUE(differs);
    EXPECT_NEAR(sum / kSamples, 0.0, 0.2);
    EXPECT_LT(std::sqrt(squares / kSamples), 2.0);
}

}  // namespace
}  // namespace zrd::sim
