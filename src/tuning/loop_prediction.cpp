#include "tuning/loop_prediction.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "tuning/frequency_response.h"

namespace zrd::tuning {
namespace {

using Complex = std::complex<double>;

constexpr double kTwoPiLoop = 2.0 * std::numbers::pi;
constexpr double kRpmPerRadSLoop = 60.0 / kTwoPiLoop;
constexpr double kDegreesPerRadianLoop = 180.0 / std::numbers::pi;
constexpr double kMsPerS = 1000.0;
constexpr double kBandwidthLevelDb = -3.0;

double decibelsOf(double ratio) {
    return 20.0 * std::log10(std::max(ratio, 1e-300));
}

// A second-order section run sample by sample (direct form I).
class LoopSection {
public:
    explicit LoopSection(const Biquad& q) : m_q(q) {}
    double run(double x) {
        const double y = m_q.b0 * x + m_q.b1 * m_x1 + m_q.b2 * m_x2 - m_q.a1 * m_y1 - m_q.a2 * m_y2;
        m_x2 = m_x1;
        m_x1 = x;
        m_y2 = m_y1;
        m_y1 = y;
        return y;
    }

private:
    Biquad m_q;
    double m_x1 = 0.0, m_x2 = 0.0, m_y1 = 0.0, m_y2 = 0.0;
};

// (n2 s² + n1 s + n0) / (d2 s² + d1 s + d0) by the bilinear transform s = c (1 − z⁻¹)/(1 + z⁻¹).
Biquad bilinearSection(std::array<double, 3> n, std::array<double, 3> d, double c) {
    const auto z = [c](const std::array<double, 3>& p) {
        return std::array<double, 3>{p[2] * c * c + p[1] * c + p[0], 2.0 * (p[0] - p[2] * c * c),
                                     p[2] * c * c - p[1] * c + p[0]};
    };
    const auto nz = z(n);
    const auto dz = z(d);
    return {nz[0] / dz[0], nz[1] / dz[0], nz[2] / dz[0], dz[1] / dz[0], dz[2] / dz[0]};
}

// The plant model as sections at the cycle, each resonance prewarped to its own frequency.
std::vector<LoopSection> plantSections(const PlantModel& m, double cycleS) {
    const double c = 2.0 / cycleS;
    const double gain = m.torqueConstantNmPerA * kRpmPerRadSLoop / m.inertiaKgM2;
    const double beta = m.viscousNmsPerRad / m.inertiaKgM2;
    std::vector<LoopSection> out;
    out.emplace_back(bilinearSection({gain, 0.0, 0.0}, {beta, 1.0, 0.0}, c));
    // The lags as the drive runs them: y += (x − y)(1 − e^(−T/τ)).
    const auto lag = [cycleS](double tau) {
        const double share = tau > 0.0 ? 1.0 - std::exp(-cycleS / tau) : 1.0;
        return Biquad{share, 0.0, 0.0, share - 1.0, 0.0};
    };
    out.emplace_back(lag(m.currentLagS));
    if (m.speedFilterHz > 0.0)
        out.emplace_back(lag(1.0 / (kTwoPiLoop * m.speedFilterHz)));
    for (const PlantMode& p : m.modes) {
        const double wa = kTwoPiLoop * p.antiResonanceHz;
        const double wr = kTwoPiLoop * p.resonanceHz;
        const double warped = wr / std::tan(wr * cycleS / 2.0);
        out.emplace_back(bilinearSection({1.0, 2.0 * p.antiResonanceDamping / wa, 1.0 / (wa * wa)},
                                         {1.0, 2.0 * p.resonanceDamping / wr, 1.0 / (wr * wr)},
                                         warped));
    }
    return out;
}

// A speed step at the middle of the record, through the drive's loop as it runs each cycle:
// error from the last cycle's speed, PI with conditional integration, filters, current limit.
std::optional<StepFigures> simulateStep(const LoopSetup& setup, const PredictionOptions& o,
                                        std::optional<StepCurve>& curve) {
    const double t = setup.cycleS;
    const auto samples = static_cast<size_t>(std::max(4.0, std::round(o.stepRecordS / t)));
    const double kp = setup.gains.kpvMaPerRpm / kMsPerS;
    const double ti = setup.gains.kivMs / kMsPerS;
    const double limit = setup.currentLimitA.value_or(std::numeric_limits<double>::infinity());
    std::vector<LoopSection> filters;
    for (const Biquad& q : setup.filters)
        filters.emplace_back(q);
    std::vector<LoopSection> plant = plantSections(setup.plant, t);
    const auto delay = static_cast<size_t>(std::max(0.0, std::round(setup.plant.delayS / t)));
    std::vector<double> line(delay + 1, 0.0);
    std::vector<double> command(samples), actual(samples), current(samples);
    double integral = 0.0;
    double measured = 0.0;
    for (size_t k = 0; k < samples; ++k) {
        command[k] = k >= samples / 2 ? o.stepRpm : 0.0;
        const double error = command[k] - measured;
        const double next = ti > 0.0 ? integral + error * t / ti : 0.0;
        double u = kp * (error + next);
        for (LoopSection& f : filters)
            u = f.run(u);
        if (u > limit) {
            u = limit;
            if (error < 0.0)
                integral = next;
        } else if (u < -limit) {
            u = -limit;
            if (error > 0.0)
                integral = next;
        } else {
            integral = next;
        }
        current[k] = u;
        std::rotate(line.rbegin(), line.rbegin() + 1, line.rend());
        line[0] = u;
        double y = line[delay];
        for (LoopSection& p : plant)
            y = p.run(y);
        actual[k] = y;
        measured = y;
    }
    std::optional<StepFigures> figures =
        measureStep(command, actual, current, t, setup.currentLimitA);
    curve = StepCurve{t, std::move(command), std::move(actual)};
    return figures;
}

}  // namespace

Complex openLoopAt(const LoopSetup& setup, double hz) {
    const double t = setup.cycleS;
    const Complex delay = std::polar(1.0, -kTwoPiLoop * hz * t);
    const double kp = setup.gains.kpvMaPerRpm / kMsPerS;
    const double ti = setup.gains.kivMs / kMsPerS;
    Complex c = kp;
    if (ti > 0.0)
        c *= 1.0 + t / ti / (1.0 - delay);
    for (const Biquad& q : setup.filters)
        c *= biquadResponse(q, hz, 1.0 / t);
    return c * delay * plantResponse(setup.plant, hz);
}

std::vector<double> predictionGrid(const PredictionOptions& o) {
    std::vector<double> hz(static_cast<size_t>(std::max(2, o.points)));
    const double ratio = std::log(o.toHz / o.fromHz) / static_cast<double>(hz.size() - 1);
    for (size_t i = 0; i < hz.size(); ++i)
        hz[i] = o.fromHz * std::exp(ratio * static_cast<double>(i));
    return hz;
}

std::vector<ChartPoint> openLoopChart(std::span<const double> hz,
                                      std::span<const Complex> openLoop) {
    std::vector<ChartPoint> points(hz.size());
    std::vector<double> phase(hz.size());
    for (size_t i = 0; i < hz.size(); ++i) {
        points[i] = {hz[i], decibelsOf(std::abs(openLoop[i])), 0.0};
        phase[i] = std::arg(openLoop[i]);
    }
    unwrapPhase(phase);
    // One branch for the whole curve: the first point's phase in (−360, 0].
    const double shift =
        phase.empty() ? 0.0 : -360.0 * std::ceil(phase[0] * kDegreesPerRadianLoop / 360.0);
    for (size_t i = 0; i < hz.size(); ++i)
        points[i].phaseDeg = phase[i] * kDegreesPerRadianLoop + shift;
    return points;
}

LoopMargins marginsOf(std::span<const ChartPoint> points) {
    LoopMargins m = loopMargins(points);
    if (!m.crossoverHz)
        return m;
    // Every crossing of −180° + n·360° past the crossover counts; the smallest margin is it.
    m.gainMarginDb.reset();
    m.phaseCrossoverHz.reset();
    const auto turn = [](double deg) { return std::floor((deg + 180.0) / 360.0); };
    for (size_t i = 1; i < points.size(); ++i) {
        const ChartPoint& a = points[i - 1];
        const ChartPoint& b = points[i];
        if (b.frequency <= *m.crossoverHz || turn(a.phaseDeg) == turn(b.phaseDeg))
            continue;
        const double level = 360.0 * std::max(turn(a.phaseDeg), turn(b.phaseDeg)) - 180.0;
        const double share = (level - a.phaseDeg) / (b.phaseDeg - a.phaseDeg);
        const double margin = -(a.magnitudeDb + share * (b.magnitudeDb - a.magnitudeDb));
        if (!m.gainMarginDb || margin < *m.gainMarginDb) {
            m.gainMarginDb = margin;
            m.phaseCrossoverHz = a.frequency + share * (b.frequency - a.frequency);
        }
    }
    return m;
}

LoopPrediction predictLoop(const LoopSetup& setup, const PredictionOptions& options) {
    LoopPrediction out;
    const std::vector<double> hz = predictionGrid(options);
    std::vector<Complex> l(hz.size());
    std::vector<double> closedPhase(hz.size());
    for (size_t i = 0; i < hz.size(); ++i) {
        l[i] = openLoopAt(setup, hz[i]);
        const Complex closed = l[i] / (1.0 + l[i]);
        const double closedDb = decibelsOf(std::abs(closed));
        out.closedLoop.push_back({hz[i], closedDb, 0.0});
        closedPhase[i] = std::arg(closed);
        out.closedLoopPeakDb = i == 0 ? closedDb : std::max(out.closedLoopPeakDb, closedDb);
        const double sensitivityDb = -decibelsOf(std::abs(1.0 + l[i]));
        out.sensitivityPeakDb =
            i == 0 ? sensitivityDb : std::max(out.sensitivityPeakDb, sensitivityDb);
        if (!out.bandwidthHz && i > 0 && closedDb < kBandwidthLevelDb) {
            const ChartPoint& a = out.closedLoop[i - 1];
            const double share = (kBandwidthLevelDb - a.magnitudeDb) / (closedDb - a.magnitudeDb);
            out.bandwidthHz = a.frequency + share * (hz[i] - a.frequency);
        }
    }
    unwrapPhase(closedPhase);
    for (size_t i = 0; i < hz.size(); ++i)
        out.closedLoop[i].phaseDeg = closedPhase[i] * kDegreesPerRadianLoop;
    out.openLoop = openLoopChart(hz, l);
    out.margins = marginsOf(out.openLoop);
    out.step = simulateStep(setup, options, out.stepCurve);
    return out;
}

}  // namespace zrd::tuning
