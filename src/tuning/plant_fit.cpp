#include "tuning/plant_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

namespace zrd::tuning {
namespace {

using Complex = std::complex<double>;

constexpr double kTwoPiFit = 2.0 * std::numbers::pi;
constexpr double kRpmPerRadSFit = 60.0 / kTwoPiFit;
constexpr double kKgCm2PerKgM2 = 1e4;
constexpr double kNcmPerKrpmPerNmsPerRad = 100.0 * 1000.0 / kRpmPerRadSFit;
// Parameters: ln J, β = B / J (rad/s), the delay in units of kDelayUnitS, then per mode
// ln ωa, ln ζa, ln ωr, ln ζr. The delay may come out negative: the drive's lags run as
// first-order steps of its cycle, which lag half a cycle less than the continuous ones.
constexpr size_t kRigidParameters = 3;
constexpr size_t kModeParameters = 4;
constexpr double kDelayUnitS = 1e-4;
// Coherence weight γ²/(1 − γ²), capped: a noiseless bin must not outweigh all others.
constexpr double kMaxCoherenceWeight = 100.0;
// Damping ratios the fit keeps within, and what it starts from without a half-power width.
constexpr double kMinFitDamping = 0.002;
constexpr double kMaxFitDamping = 1.0;
constexpr double kInitialDamping = 0.05;
// The low band for J ends this far below the first peak or dip.
constexpr double kLowBandShare = 0.6;
constexpr size_t kMinLowBandBins = 3;
constexpr size_t kSmoothReach = 2;
constexpr double kExtremeProminenceDb = 3.0;
constexpr double kHalfPowerWidthDb = 3.0;
// The refinement takes a bin's noise from this many neighbours on either side: more than the
// bins of a lightly damped dip.
constexpr size_t kNoiseReach = 24;
// Levenberg–Marquardt.
constexpr int kMaxIterations = 200;
constexpr double kInitialLambda = 1e-3;
constexpr double kLambdaDown = 3.0;
constexpr double kLambdaUp = 4.0;
constexpr double kMaxLambda = 1e12;
constexpr double kRelativeTolerance = 1e-12;

struct FitPoint {
    double hz;
    Complex s;
    Complex measured;     // P̂
    Complex logMeasured;  // ln |P̂| + j·arg P̂
    Complex logKnown;     // ln of the torque constant and the drive's lags
    double sqrtWeight;
};

Complex modeQuadratic(Complex s, double omega, double zeta) {
    const Complex x = s / omega;
    return x * x + 2.0 * zeta * x + 1.0;
}

// ln P at a point for the parameter vector, and (when asked) its derivatives.
Complex logModel(std::span<const double> p, const FitPoint& x, std::span<Complex> derivative) {
    const Complex s = x.s;
    const double beta = p[1];
    Complex ln = x.logKnown - p[0] - std::log(s + beta) - s * (p[2] * kDelayUnitS);
    if (!derivative.empty()) {
        derivative[0] = -1.0;
        derivative[1] = -1.0 / (s + beta);
        derivative[2] = -s * kDelayUnitS;
    }
    for (size_t m = kRigidParameters; m + kModeParameters <= p.size(); m += kModeParameters) {
        for (size_t half = 0; half < 2; ++half) {
            const double omega = std::exp(p[m + 2 * half]);
            const double zeta = std::exp(p[m + 2 * half + 1]);
            const Complex q = modeQuadratic(s, omega, zeta);
            const double sign = half == 0 ? 1.0 : -1.0;
            ln += sign * std::log(q);
            if (!derivative.empty()) {
                const Complex r = s / omega;
                derivative[m + 2 * half] = sign * (-2.0 * r * r - 2.0 * zeta * r) / q;
                derivative[m + 2 * half + 1] = sign * (2.0 * zeta * r) / q;
            }
        }
    }
    return ln;
}

// The misfit of a bin: log magnitude, and phase brought within ±π.
Complex misfit(Complex model, Complex measured) {
    const Complex d = model - measured;
    return {d.real(), std::remainder(d.imag(), kTwoPiFit)};
}

// What a bin's misfit compares: the logarithms, robust from far initial values; or the responses
// themselves, where the measurement noise is zero-mean. Where noise is as large as the response
// (the bottom of a lightly damped dip) the mean of ln |P̂| lies above ln |P|, and a fit on the
// logarithms fills the dip in: its damping comes out high.
enum class Misfit { Log, Response };

// The bin's misfit, unweighted, and (when asked) its derivatives in place of those of ln P.
Complex misfitOf(std::span<const double> p, const FitPoint& x, std::span<Complex> derivative,
                 Misfit kind) {
    const Complex ln = logModel(p, x, derivative);
    if (kind == Misfit::Log)
        return misfit(ln, x.logMeasured);
    const Complex model = std::exp(ln);
    for (Complex& d : derivative)
        d *= model;
    return model - x.measured;
}

double fitCost(std::span<const double> p, std::span<const FitPoint> pts, Misfit kind) {
    double sum = 0.0;
    for (const FitPoint& x : pts)
        sum += std::norm(misfitOf(p, x, {}, kind)) * x.sqrtWeight * x.sqrtWeight;
    return sum;
}

// Solves A x = b in place by Gaussian elimination with partial pivoting; false when singular.
bool solveDense(std::vector<double>& a, std::vector<double>& b, size_t n) {
    for (size_t c = 0; c < n; ++c) {
        size_t pivot = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::abs(a[r * n + c]) > std::abs(a[pivot * n + c]))
                pivot = r;
        if (a[pivot * n + c] == 0.0)
            return false;
        if (pivot != c) {
            for (size_t k = 0; k < n; ++k)
                std::swap(a[c * n + k], a[pivot * n + k]);
            std::swap(b[c], b[pivot]);
        }
        for (size_t r = c + 1; r < n; ++r) {
            const double f = a[r * n + c] / a[c * n + c];
            for (size_t k = c; k < n; ++k)
                a[r * n + k] -= f * a[c * n + k];
            b[r] -= f * b[c];
        }
    }
    for (size_t c = n; c-- > 0;) {
        double v = b[c];
        for (size_t k = c + 1; k < n; ++k)
            v -= a[c * n + k] * b[k];
        b[c] = v / a[c * n + c];
    }
    return true;
}

void keepInBounds(std::vector<double>& p) {
    p[1] = std::max(0.0, p[1]);
    for (size_t m = kRigidParameters; m + kModeParameters <= p.size(); m += kModeParameters)
        for (const size_t z : {m + 1, m + 3})
            p[z] = std::clamp(p[z], std::log(kMinFitDamping), std::log(kMaxFitDamping));
}

int levenbergMarquardt(std::span<const FitPoint> pts, std::vector<double>& p, Misfit kind) {
    const size_t n = p.size();
    double lambda = kInitialLambda;
    double current = fitCost(p, pts, kind);
    std::vector<Complex> d(n);
    int iteration = 0;
    for (; iteration < kMaxIterations && lambda < kMaxLambda; ++iteration) {
        std::vector<double> normal(n * n, 0.0);
        std::vector<double> gradient(n, 0.0);
        for (const FitPoint& x : pts) {
            const Complex r = misfitOf(p, x, d, kind) * x.sqrtWeight;
            for (size_t i = 0; i < n; ++i) {
                const Complex di = d[i] * x.sqrtWeight;
                gradient[i] += di.real() * r.real() + di.imag() * r.imag();
                for (size_t j = 0; j <= i; ++j) {
                    const Complex dj = d[j] * x.sqrtWeight;
                    normal[i * n + j] += di.real() * dj.real() + di.imag() * dj.imag();
                }
            }
        }
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < i; ++j)
                normal[j * n + i] = normal[i * n + j];
        bool improved = false;
        while (!improved && lambda < kMaxLambda) {
            std::vector<double> a = normal;
            std::vector<double> step(n);
            for (size_t i = 0; i < n; ++i) {
                a[i * n + i] += lambda * std::max(normal[i * n + i], 1e-12);
                step[i] = -gradient[i];
            }
            if (!solveDense(a, step, n)) {
                lambda *= kLambdaUp;
                continue;
            }
            std::vector<double> trial = p;
            for (size_t i = 0; i < n; ++i)
                trial[i] += step[i];
            keepInBounds(trial);
            const double next = fitCost(trial, pts, kind);
            if (std::isfinite(next) && next < current) {
                const bool converged = current - next <= kRelativeTolerance * current;
                p = trial;
                current = next;
                lambda /= kLambdaDown;
                improved = true;
                if (converged)
                    return iteration + 1;
            } else {
                lambda *= kLambdaUp;
            }
        }
    }
    return iteration;
}

// --- initial values ---------------------------------------------------------------------------

std::vector<double> smoothedDb(std::span<const double> v) {
    std::vector<double> out(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        const size_t from = i >= kSmoothReach ? i - kSmoothReach : 0;
        const size_t to = std::min(v.size() - 1, i + kSmoothReach);
        double sum = 0.0;
        for (size_t j = from; j <= to; ++j)
            sum += v[j];
        out[i] = sum / static_cast<double>(to - from + 1);
    }
    return out;
}

// How far v[i] stands above the lowest point before a higher one, on the side of `step`.
double prominenceTowards(std::span<const double> v, size_t i, int step) {
    double lowest = v[i];
    for (auto j = static_cast<std::ptrdiff_t>(i) + step;
         j >= 0 && j < static_cast<std::ptrdiff_t>(v.size()); j += step) {
        if (v[static_cast<size_t>(j)] > v[i])
            break;
        lowest = std::min(lowest, v[static_cast<size_t>(j)]);
    }
    return v[i] - lowest;
}

struct FitExtreme {
    size_t index;
    double prominence;
};

std::vector<FitExtreme> fitPeaks(std::span<const double> v) {
    std::vector<FitExtreme> out;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
        if (!(v[i] >= v[i - 1] && v[i] > v[i + 1]))
            continue;
        const double p = std::min(prominenceTowards(v, i, -1), prominenceTowards(v, i, 1));
        if (p >= kExtremeProminenceDb)
            out.push_back({i, p});
    }
    return out;
}

// (f2 − f1) / (2 f0) at kHalfPowerWidthDb below the extreme at i of v (a dip: of −v).
std::optional<double> halfPowerDamping(std::span<const double> hz, std::span<const double> v,
                                       size_t i) {
    const double level = v[i] - kHalfPowerWidthDb;
    std::optional<double> edges[2];
    for (int side = 0; side < 2; ++side) {
        const int step = side == 0 ? -1 : 1;
        for (auto j = static_cast<std::ptrdiff_t>(i) + step;
             j >= 0 && j < static_cast<std::ptrdiff_t>(v.size()); j += step) {
            const auto at = static_cast<size_t>(j);
            if (v[at] <= level) {
                const auto prev = static_cast<size_t>(j - step);
                const double share = (v[prev] - level) / (v[prev] - v[at]);
                edges[side] = hz[prev] + share * (hz[at] - hz[prev]);
                break;
            }
        }
    }
    if (!edges[0] || !edges[1])
        return std::nullopt;
    return (*edges[1] - *edges[0]) / (2.0 * hz[i]);
}

double medianOf(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

std::vector<double> initialParameters(std::span<const PlantBin> bins, const PlantModel& known,
                                      int maxModes) {
    std::vector<double> hz;
    std::vector<double> inverseInertia;  // |P̂| ω / Kt with the lags taken out: 1/J where rigid
    for (const PlantBin& b : bins) {
        hz.push_back(b.hz);
        inverseInertia.push_back(std::abs(b.response / knownResponse(known, b.hz)) * kTwoPiFit *
                                 b.hz);
    }
    std::vector<double> db(hz.size());
    for (size_t i = 0; i < db.size(); ++i)
        db[i] = 20.0 * std::log10(std::max(inverseInertia[i], 1e-300));
    const std::vector<double> up = smoothedDb(db);
    std::vector<double> down(up.size());
    std::transform(up.begin(), up.end(), down.begin(), [](double v) { return -v; });
    std::vector<FitExtreme> peaks = fitPeaks(up);
    const std::vector<FitExtreme> dips = fitPeaks(down);

    double firstHz = hz.back();
    if (!peaks.empty())
        firstHz = std::min(firstHz, hz[peaks.front().index]);
    if (!dips.empty())
        firstHz = std::min(firstHz, hz[dips.front().index]);
    std::vector<double> low;
    for (size_t i = 0;
         i < hz.size() && (hz[i] < kLowBandShare * firstHz || low.size() < kMinLowBandBins); ++i)
        low.push_back(inverseInertia[i]);

    std::vector<double> p = {-std::log(medianOf(low)), 0.0, 0.0};
    std::sort(peaks.begin(), peaks.end(),
              [](const FitExtreme& a, const FitExtreme& b) { return a.prominence > b.prominence; });
    peaks.resize(std::min(peaks.size(), static_cast<size_t>(std::max(0, maxModes))));
    std::sort(peaks.begin(), peaks.end(),
              [](const FitExtreme& a, const FitExtreme& b) { return a.index < b.index; });
    size_t after = 0;
    for (const FitExtreme& peak : peaks) {
        const double resonanceHz = hz[peak.index];
        const double resonanceDamping = std::clamp(
            halfPowerDamping(hz, up, peak.index).value_or(kInitialDamping), kMinFitDamping, 0.5);
        // The anti-resonance: the lowest point between the last peak and this one.
        double antiHz = resonanceHz / std::numbers::sqrt2;
        if (peak.index > after) {
            const auto lowest =
                std::min_element(up.begin() + static_cast<std::ptrdiff_t>(after),
                                 up.begin() + static_cast<std::ptrdiff_t>(peak.index));
            antiHz = hz[static_cast<size_t>(lowest - up.begin())];
        }
        antiHz = std::min(antiHz, 0.95 * resonanceHz);
        const double omegaA = kTwoPiFit * antiHz;
        const double omegaR = kTwoPiFit * resonanceHz;
        // Two masses: ζa = ζr · ωa / ωr.
        p.insert(p.end(), {std::log(omegaA), std::log(resonanceDamping * antiHz / resonanceHz),
                           std::log(omegaR), std::log(resonanceDamping)});
        after = peak.index + 1;
    }
    keepInBounds(p);
    return p;
}

// The points of the refinement on the responses: each coherent bin weighted by the inverse of its
// noise variance |P̂|²(1 − γ²)/γ² — the median of its neighbours', since the noise varies slowly
// with frequency where the response dips and a bin's own coherence falls with the response — and
// by its share of the log-frequency axis.
std::vector<FitPoint> responsePoints(std::span<const PlantBin> used, const PlantModel& known) {
    std::vector<double> variance;
    for (const PlantBin& b : used) {
        const double g = std::min(b.coherence, 1.0);
        const double ratio = std::max((1.0 - g) / g, 1.0 / kMaxCoherenceWeight);
        variance.push_back(std::norm(b.response) * ratio);
    }
    std::vector<FitPoint> points;
    double total = 0.0;
    for (size_t i = 0; i < used.size(); ++i) {
        const size_t from = i >= kNoiseReach ? i - kNoiseReach : 0;
        const size_t to = std::min(used.size() - 1, i + kNoiseReach);
        const double noise =
            medianOf(std::vector<double>(variance.begin() + static_cast<std::ptrdiff_t>(from),
                                         variance.begin() + static_cast<std::ptrdiff_t>(to) + 1));
        const double lo = used[i == 0 ? 0 : i - 1].hz;
        const double hi = used[std::min(used.size() - 1, i + 1)].hz;
        const double span =
            std::max(std::log(hi / lo) / (i == 0 || i + 1 == used.size() ? 1 : 2), 1e-6);
        const double w = span / std::max(noise, 1e-300);
        total += w;
        const PlantBin& b = used[i];
        points.push_back({b.hz,
                          {0.0, kTwoPiFit * b.hz},
                          b.response,
                          {std::log(std::abs(b.response)), std::arg(b.response)},
                          std::log(knownResponse(known, b.hz)),
                          w});
    }
    for (FitPoint& x : points)
        x.sqrtWeight = std::sqrt(x.sqrtWeight / total);
    return points;
}

}  // namespace

Complex knownResponse(const PlantModel& model, double hz) {
    const Complex s{0.0, kTwoPiFit * hz};
    const double t = model.cycleS;
    const Complex back = std::exp(-s * t);  // z⁻¹
    // A first-order lag as the drive runs it each cycle: y += (x − y)(1 − e^(−T/τ)).
    const auto lag = [&](double tau) -> Complex {
        if (tau <= 0.0)
            return 1.0;
        if (t <= 0.0)
            return 1.0 / (1.0 + s * tau);
        const double share = 1.0 - std::exp(-t / tau);
        return share / (1.0 - (1.0 - share) * back);
    };
    Complex k = model.torqueConstantNmPerA * kRpmPerRadSFit * lag(model.currentLagS);
    if (model.speedFilterHz > 0.0)
        k *= lag(1.0 / (kTwoPiFit * model.speedFilterHz));
    return k;
}

Complex plantResponse(const PlantModel& model, double hz) {
    const Complex s{0.0, kTwoPiFit * hz};
    Complex p = knownResponse(model, hz) / (model.inertiaKgM2 * s + model.viscousNmsPerRad) *
                std::exp(-s * model.delayS);
    for (const PlantMode& m : model.modes)
        p *= modeQuadratic(s, kTwoPiFit * m.antiResonanceHz, m.antiResonanceDamping) /
             modeQuadratic(s, kTwoPiFit * m.resonanceHz, m.resonanceDamping);
    return p;
}

PlantFit fitPlant(const PlantEstimate& estimate, const PlantKnowns& knowns) {
    PlantFit fit;
    std::vector<PlantBin> bins;
    for (const PlantBin& b : estimate.bins)
        if (b.coherent && b.hz > 0.0 && std::abs(b.response) > 0.0)
            bins.push_back(b);
    if (estimate.status != EstimateStatus::Ok || bins.size() < kMinLowBandBins) {
        fit.status = FitStatus::NoEstimate;
        return fit;
    }
    PlantModel& m = fit.model;
    m.torqueConstantNmPerA = knowns.torqueConstantNcmPerA / 100.0;
    m.currentLagS = knowns.currentLagMs / 1000.0;
    m.speedFilterHz = knowns.speedFilterHz;
    m.cycleS = knowns.cycleS;

    // Weights per bin: coherence, and the bin's share of the log-frequency axis, so that the
    // many bins of a decade at high frequency do not outweigh the few of the low one.
    std::vector<FitPoint> points;
    double total = 0.0;
    for (size_t i = 0; i < bins.size(); ++i) {
        const double lo = bins[i == 0 ? 0 : i - 1].hz;
        const double hi = bins[std::min(bins.size() - 1, i + 1)].hz;
        const double span =
            std::max(std::log(hi / lo) / (i == 0 || i + 1 == bins.size() ? 1 : 2), 1e-6);
        const double g = bins[i].coherence;
        const double w = std::min(g / std::max(1.0 - g, 1e-12), kMaxCoherenceWeight) * span;
        total += w;
        points.push_back({bins[i].hz,
                          {0.0, kTwoPiFit * bins[i].hz},
                          bins[i].response,
                          {std::log(std::abs(bins[i].response)), std::arg(bins[i].response)},
                          std::log(knownResponse(m, bins[i].hz)),
                          w});
    }
    for (FitPoint& x : points)
        x.sqrtWeight = std::sqrt(x.sqrtWeight / total);

    std::vector<double> p = initialParameters(bins, m, knowns.maxModes);
    fit.iterations = levenbergMarquardt(points, p, Misfit::Log);
    // The logarithms bring the parameters close; the responses settle the depth of the dips. A
    // mode the refinement moves out of the measured span is noise it fitted: the logarithms' stand.
    std::vector<double> refined = p;
    const int refinedIterations =
        levenbergMarquardt(responsePoints(bins, m), refined, Misfit::Response);
    bool inSpan = true;
    for (size_t i = kRigidParameters; i + kModeParameters <= refined.size(); i += kModeParameters)
        for (const size_t at : {i, i + 2}) {
            const double hz = std::exp(refined[at]) / kTwoPiFit;
            inSpan = inSpan && hz >= bins.front().hz && hz <= bins.back().hz;
        }
    if (inSpan) {
        p = std::move(refined);
        fit.iterations += refinedIterations;
    }

    m.inertiaKgM2 = std::exp(p[0]);
    m.viscousNmsPerRad = p[1] * m.inertiaKgM2;
    m.delayS = p[2] * kDelayUnitS;
    for (size_t i = kRigidParameters; i + kModeParameters <= p.size(); i += kModeParameters)
        m.modes.push_back({std::exp(p[i]) / kTwoPiFit, std::exp(p[i + 1]),
                           std::exp(p[i + 2]) / kTwoPiFit, std::exp(p[i + 3])});
    std::sort(m.modes.begin(), m.modes.end(),
              [](const PlantMode& a, const PlantMode& b) { return a.resonanceHz < b.resonanceHz; });

    fit.inertiaKgCm2 = m.inertiaKgM2 * kKgCm2PerKgM2;
    fit.inertiaRatioPercent = knowns.rotorInertiaKgCm2 > 0.0
                                  ? 100.0 * (fit.inertiaKgCm2 / knowns.rotorInertiaKgCm2 - 1.0)
                                  : 0.0;
    fit.viscousNcmPerKrpm = m.viscousNmsPerRad * kNcmPerKrpmPerNmsPerRad;
    double squares = 0.0;
    for (const PlantBin& b : bins) {
        const double db = 20.0 * std::log10(std::abs(plantResponse(m, b.hz) / b.response));
        squares += db * db;
    }
    fit.residualDb = std::sqrt(squares / static_cast<double>(bins.size()));
    return fit;
}

}  // namespace zrd::tuning
