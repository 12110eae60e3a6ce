#include "function_generator.h"

#include <cmath>

#include "servo_plant.h"

namespace zrd::sim {
namespace {

constexpr double kSecondsPerMinute = 60.0;
constexpr double kMillisecond = 1e-3;
// One record of the offline recorder: 2048 samples of 0.25 ms × 2^code.
constexpr double kRecordSamples = 2048.0;
constexpr double kBaseTickS = 0.25e-3;
constexpr int kLastTickCode = 9;

}  // namespace

double timeUnitSeconds(int flag) {
    switch (flag) {
        case 1:
            return 1.0;
        case 2:
            return kSecondsPerMinute;
        default:
            return kMillisecond;
    }
}

double recordSeconds(int tickCode) {
    const int code = tickCode < 0 ? 0 : (tickCode > kLastTickCode ? kLastTickCode : tickCode);
    return kRecordSamples * kBaseTickS * static_cast<double>(1 << code);
}

void FunctionGenerator::start(const GeneratorSettings& settings) {
    m_settings = settings;
    m_timeS = 0.0;
    m_running = true;
}

double FunctionGenerator::cycleSeconds() const {
    switch (m_settings.type) {
        case SignalType::Square:
        case SignalType::Sine:
            return m_settings.periodS;
        case SignalType::Chirp:
            return m_settings.sweepS;
        case SignalType::Constant:
            break;
    }
    return 0.0;
}

double FunctionGenerator::signalAt(double t) const {
    const GeneratorSettings& s = m_settings;
    const double cycle = cycleSeconds();
    const double inCycle = cycle > 0.0 ? std::fmod(t, cycle) : 0.0;
    switch (s.type) {
        case SignalType::Constant:
            return s.amplitude;
        case SignalType::Square:
            if (cycle <= 0.0)
                return s.offset;
            return inCycle < s.widthS ? s.offset + s.amplitude : s.offset - s.amplitude;
        case SignalType::Sine:
            if (cycle <= 0.0)
                return s.offset;
            return s.offset + s.amplitude * std::sin(kTwoPi * inCycle / cycle);
        case SignalType::Chirp: {
            if (cycle <= 0.0)
                return s.offset;
            // Linear sweep: the frequency grows from startHz to endHz over the cycle, so the
            // phase is the integral of f(t) = startHz + (endHz − startHz) t / cycle.
            const double phase = kTwoPi * (s.startHz * inCycle + (s.endHz - s.startHz) * inCycle *
                                                                     inCycle / (2.0 * cycle));
            return s.offset + s.amplitude * std::sin(phase);
        }
    }
    return 0.0;
}

double FunctionGenerator::step(double dt) {
    if (!m_running)
        return 0.0;
    const double value = signalAt(m_timeS);
    m_timeS += dt;
    const double cycle = cycleSeconds();
    // Compared with a margin of a thousandth of a step, so that rounding in the sum of steps
    // does not add a step to the last repeat.
    if (m_settings.repeat > 0 && cycle > 0.0 && m_timeS >= m_settings.repeat * cycle - dt * 1e-3)
        m_running = false;
    return value;
}

}  // namespace zrd::sim
