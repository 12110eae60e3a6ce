#include "tuning/filter_design.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "session/link_busy_guard.h"

namespace zrd::tuning {

namespace pm = zrd::params;

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

bool finite(const Biquad& q) {
    return std::isfinite(q.b0) && std::isfinite(q.b1) && std::isfinite(q.b2) &&
           std::isfinite(q.a1) && std::isfinite(q.a2);
}

// b0 b1 b2 a1 a2 of the form's order.
std::array<double*, 5> members(Biquad& q) {
    return {&q.b0, &q.b1, &q.b2, &q.a1, &q.a2};
}

}  // namespace

std::string filterMnemonic(int slot, FilterRole role) {
    std::string mnemonic = "F";
    mnemonic.append(std::to_string(slot)).append(kFilterRoleSuffixes.at(static_cast<size_t>(role)));
    return mnemonic;
}

std::optional<Biquad> designFilter(const FilterInputs& in, double fs) {
    const double w = kTwoPi * in.frequency / fs;
    const double k = std::tan(w / 2.0);
    const double k2 = k * k;
    const double q = in.quality;
    Biquad out;
    double norm = 0;
    switch (in.type) {
        case FilterType::Off:
            return std::nullopt;
        case FilterType::LowPass: {
            // The gain at the corner frequency plays the role of the quality.
            const double v = std::pow(10.0, in.gainDb / 20.0);
            norm = 1.0 + k / v + k2;
            if (norm == 0)
                return std::nullopt;
            out = {k2 / norm, 2.0 * k2 / norm, k2 / norm, 2.0 * (k2 - 1.0) / norm,
                   (1.0 - k / v + k2) / norm};
            break;
        }
        case FilterType::BandStop: {
            if (q == 0)
                return std::nullopt;
            const double t = std::tan(w / (2.0 * q));
            norm = 1.0 + t;
            if (norm == 0)
                return std::nullopt;
            const double c = -2.0 * std::cos(w) / norm;
            out = {1.0 / norm, c, 1.0 / norm, c, (1.0 - t) / norm};
            break;
        }
        case FilterType::EqualiserCut: {
            if (q == 0)
                return std::nullopt;
            const double v = std::pow(10.0, -in.gainDb / 20.0);
            norm = 1.0 + v * k / q + k2;
            if (norm == 0)
                return std::nullopt;
            out = {(1.0 + k / q + k2) / norm, 2.0 * (k2 - 1.0) / norm, (1.0 - k / q + k2) / norm,
                   2.0 * (k2 - 1.0) / norm, (1.0 - v * k / q + k2) / norm};
            break;
        }
        case FilterType::EqualiserBoost: {
            if (q == 0)
                return std::nullopt;
            const double v = std::pow(10.0, in.gainDb / 20.0);
            norm = 1.0 + k / q + k2;
            if (norm == 0)
                return std::nullopt;
            out = {(1.0 + v * k / q + k2) / norm, 2.0 * (k2 - 1.0) / norm,
                   (1.0 - v * k / q + k2) / norm, 2.0 * (k2 - 1.0) / norm,
                   (1.0 - k / q + k2) / norm};
            break;
        }
    }
    if (!finite(out))
        return std::nullopt;
    return out;
}

double quantisationFactor(double scale) {
    return scale == 0 ? 1.0 : 1.0 / scale;
}

CoefficientFactors coefficientFactors(const pm::ParameterModel& model, int slot) {
    constexpr std::array<FilterRole, 5> roles = {FilterRole::B0, FilterRole::B1, FilterRole::B2,
                                                 FilterRole::A1, FilterRole::A2};
    CoefficientFactors factors{};
    double previous = 1.0;
    for (size_t i = 0; i < roles.size(); ++i) {
        if (const auto position = model.find(filterMnemonic(slot, roles[i])))
            previous = quantisationFactor(model.parameter(*position).scale);
        factors[i] = previous;
    }
    return factors;
}

Biquad quantise(const Biquad& q, const CoefficientFactors& factors) {
    Biquad out = q;
    const auto m = members(out);
    for (size_t i = 0; i < m.size(); ++i)
        // nearbyint rounds halves to even in the default rounding mode.
        *m[i] = std::nearbyint(*m[i] * factors[i]) / factors[i];
    return out;
}

Biquad correctDcGain(const Biquad& q, FilterType type) {
    const double d = 1.0 + q.a1 + q.a2;
    const double n = q.b0 + q.b1 + q.b2;
    const double tolerance = type == FilterType::EqualiserBoost ? kDcToleranceBoost : kDcTolerance;
    Biquad out = q;
    if (std::abs(d - n) >= tolerance)
        out.a1 += n - d;
    return out;
}

std::optional<FilterCalculation> calculateFilter(const FilterInputs& in,
                                                 const CoefficientFactors& factors, double fs) {
    const std::optional<Biquad> designed = designFilter(in, fs);
    if (!designed)
        return std::nullopt;
    FilterCalculation c;
    c.designed = *designed;
    const Biquad quantised = quantise(*designed, factors);
    c.quantised = correctDcGain(quantised, in.type);
    c.dcCorrected = c.quantised.a1 != quantised.a1;
    c.stable = biquadStable(c.quantised);
    return c;
}

FilterInputs inputsOf(const FilterFields& fields) {
    return {fields.type, fields.frequency, fields.quality, fields.gainDb};
}

std::vector<SlotParameter> slotParameters(const pm::ParameterModel& model, int slot) {
    std::vector<SlotParameter> found;
    for (size_t r = 0; r < kFilterRoleSuffixes.size(); ++r) {
        const auto role = static_cast<FilterRole>(r);
        if (const auto position = model.find(filterMnemonic(slot, role)))
            found.push_back({role, *position});
    }
    std::sort(found.begin(), found.end(), [](const SlotParameter& a, const SlotParameter& b) {
        return a.position < b.position;
    });
    return found;
}

FilterFields loadFilterSlot(const pm::ParameterModel& model, int slot) {
    FilterFields f;
    for (const SlotParameter& s : slotParameters(model, slot)) {
        const double v = model.value(s.position);
        switch (s.role) {
            case FilterRole::Type: {
                const long t = std::lround(v);
                f.type = t >= 0 && t <= 4 ? static_cast<FilterType>(t) : FilterType::Off;
                if (f.type == FilterType::Off)
                    f.coefficients = Biquad{};
                break;
            }
            case FilterRole::Frequency:
                f.frequency = v;
                break;
            case FilterRole::Quality:
                f.quality = v;
                break;
            case FilterRole::Gain:
                f.gainDb = v;
                break;
            case FilterRole::B0:
                f.coefficients.b0 = v;
                break;
            case FilterRole::B1:
                f.coefficients.b1 = v;
                break;
            case FilterRole::B2:
                f.coefficients.b2 = v;
                break;
            case FilterRole::A1:
                f.coefficients.a1 = v;
                break;
            case FilterRole::A2:
                f.coefficients.a2 = v;
                break;
        }
    }
    return f;
}

bool FilterWriteResult::allAccepted() const {
    return ran && std::all_of(writes.begin(), writes.end(),
                              [](const Write& w) { return w.verdict == link::kReplyAccepted; });
}

FilterWriteResult writeFilterSlot(link::DriveLink& link, session::ParameterAccess& access,
                                  pm::ParameterModel& model, int slot, const FilterFields& fields) {
    FilterWriteResult result;
    const session::LinkBusyGuard hold(link);
    if (!hold)
        return result;
    result.ran = true;
    const Biquad& c = fields.coefficients;
    const std::array<double, 9> values = {static_cast<double>(fields.type),
                                          fields.frequency,
                                          fields.quality,
                                          fields.gainDb,
                                          c.b0,
                                          c.b1,
                                          c.b2,
                                          c.a1,
                                          c.a2};
    for (const SlotParameter& s : slotParameters(model, slot)) {
        if (link.state().hungUp)
            break;
        const double value = values.at(static_cast<size_t>(s.role));
        model.setPreviousValue(s.position, model.value(s.position));
        model.setValue(s.position, value);
        model.setCurrentParameter(s.position);
        access.SetParam();
        // A reply time-out frees the link for the timers; the write still owns it.
        link.state().linkBusy = true;
        result.writes.push_back({s.role, s.position, value, access.lastReply()});
    }
    return result;
}

std::vector<ResponsePoint> responseCurve(const Biquad& q, double fromHz, double toHz, int points,
                                         double fs) {
    std::vector<ResponsePoint> curve;
    if (points < 2 || fromHz <= 0 || toHz <= fromHz)
        return curve;
    curve.reserve(static_cast<size_t>(points));
    const double ratio = std::log(toHz / fromHz) / (points - 1);
    for (int i = 0; i < points; ++i) {
        const double f = fromHz * std::exp(ratio * i);
        const std::complex<double> h = biquadResponse(q, f, fs);
        curve.push_back(
            {f, 20.0 * std::log10(std::abs(h)), std::arg(h) * 180.0 / std::numbers::pi});
    }
    return curve;
}

}  // namespace zrd::tuning
