#include "tuning/frequency_response.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>

#include "core/number_text.h"
#include "tuning/biquad.h"

namespace zrd::tuning {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegrees = 180.0 / kPi;
constexpr std::string_view kLineEnd = "\r\n";
// The scope mode of an online capture, whose samples the viewer moved for the analysis.
constexpr double kOnlineScopeMode = 1.0;

double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

// Phase of a bin, or the previous bin's when the real part is exactly 0.
double phaseOf(double re, double im, double previous) {
    return re == 0.0 ? previous : std::atan2(im, re);
}

void transform(std::span<const double, kFftSize> samples, std::array<double, kFftSize>& re,
               std::array<double, kFftSize>& im) {
    std::copy(samples.begin(), samples.end(), re.begin());
    im.fill(0.0);
    fft(re, im);
    constexpr double kScale = 2.0 / kFftSize;
    for (size_t k = 0; k < re.size(); ++k) {
        re[k] *= kScale;
        im[k] *= kScale;
    }
}

std::string pairLines(std::span<const double> first, std::span<const double> second) {
    std::string text;
    text.reserve(first.size() * 44);
    for (size_t k = 0; k < first.size(); ++k) {
        text += formatGeneral(first[k]);
        text += ',';
        text += formatGeneral(second[k]);
        text += kLineEnd;
    }
    return text;
}

// The lowest bin whose input carries energy, and the test for the others.
struct Excitation {
    double floor = 0;
    bool excited(const FrequencyResponse& r, int bin) const {
        return r.sameChannel || r.inputMagnitude.at(static_cast<size_t>(bin)) >= floor;
    }
};

Excitation excitation(const FrequencyResponse& r, int last) {
    double largest = 0;
    for (int k = 1; k <= last; ++k)
        largest = std::max(largest, r.inputMagnitude.at(static_cast<size_t>(k)));
    return {largest * kExcitedShare};
}

}  // namespace

void fft(std::span<double> re, std::span<double> im) {
    const size_t n = re.size();
    if (im.size() != n || !std::has_single_bit(n))
        throw std::invalid_argument("fft: two spans of one power-of-two length");
    for (size_t length = n; length >= 2; length /= 2) {
        const size_t half = length / 2;
        const double theta = kPi / static_cast<double>(half);
        const std::complex<double> step(std::cos(theta), -std::sin(theta));
        std::complex<double> w(1.0, 0.0);
        for (size_t m = 0; m < half; ++m) {
            for (size_t b = m; b < n; b += length) {
                const std::complex<double> u(re[b], im[b]);
                const std::complex<double> v(re[b + half], im[b + half]);
                const std::complex<double> sum = u + v;
                const std::complex<double> difference = (u - v) * w;
                re[b] = sum.real();
                im[b] = sum.imag();
                re[b + half] = difference.real();
                im[b + half] = difference.imag();
            }
            w *= step;
        }
    }
    const int bits = std::countr_zero(n);
    for (size_t i = 0; i < n; ++i) {
        size_t reversed = 0;
        for (int b = 0; b < bits; ++b)
            reversed |= ((i >> b) & 1U) << (bits - 1 - b);
        if (reversed > i) {
            std::swap(re[i], re[reversed]);
            std::swap(im[i], im[reversed]);
        }
    }
}

double binSpacing(double tick) {
    return 1.0 / (kFftSize * tick);
}

void unwrapPhase(std::span<double> phase) {
    if (phase.empty())
        return;
    double offset = 0;
    double previous = phase[0];
    for (size_t k = 1; k < phase.size(); ++k) {
        double d = phase[k] + offset - previous;
        while (d > kPi) {
            offset -= 2 * kPi;
            d -= 2 * kPi;
        }
        while (d < -kPi) {
            offset += 2 * kPi;
            d += 2 * kPi;
        }
        phase[k] += offset;
        previous = phase[k];
    }
}

void computeFrequencyResponse(std::span<const double, kFftSize> input,
                              std::span<const double, kFftSize> output, bool sameChannel,
                              double tick, FrequencyResponse& r) {
    r.tick = tick;
    r.df = binSpacing(tick);
    r.sameChannel = sameChannel;
    transform(input, r.inputRe, r.inputIm);
    transform(output, r.outputRe, r.outputIm);

    double phaseIn = 0;
    double phaseOut = 0;
    double ratio = 0;
    double db = 0;
    double phase = 0;
    for (size_t k = 0; k < kResponseBins; ++k) {
        const double magnitudeIn = std::hypot(r.inputRe[k], r.inputIm[k]);
        r.inputMagnitude[k] = magnitudeIn;
        phaseIn = phaseOf(r.inputRe[k], r.inputIm[k], phaseIn);
        if (sameChannel) {
            phase = phaseIn;
            if (magnitudeIn != 0.0)
                db = decibels(magnitudeIn);
        } else {
            phaseOut = phaseOf(r.outputRe[k], r.outputIm[k], phaseOut);
            if (magnitudeIn != 0.0)
                ratio = std::hypot(r.outputRe[k], r.outputIm[k]) / magnitudeIn;
            if (ratio != 0.0)
                db = decibels(ratio);
            phase = phaseOut - phaseIn;
        }
        r.magnitudeDb[k] = db;
        r.phaseDeg[k] = phase;
    }
    unwrapPhase(r.phaseDeg);
    for (double& p : r.phaseDeg)
        p *= kDegrees;
}

void computeFrequencyResponse(const scope::RecordTable& buffer, int inputChannel, int outputChannel,
                              double tick, FrequencyResponse& response) {
    if (inputChannel < 1 || inputChannel > scope::kChannelCount || outputChannel < 1 ||
        outputChannel > scope::kChannelCount)
        throw std::out_of_range("frequency response: channels are 1..4");
    std::array<double, kFftSize> input{};
    std::array<double, kFftSize> output{};
    for (int k = 0; k < kFftSize; ++k) {
        input.at(static_cast<size_t>(k)) = buffer.channel(k, inputChannel);
        output.at(static_cast<size_t>(k)) = buffer.channel(k, outputChannel);
    }
    computeFrequencyResponse(input, output, inputChannel == outputChannel, tick, response);
}

std::optional<double> parseMaxFrequency(std::string_view text) {
    const std::optional<double> value = parseNumber(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

int lastChartBin(const FrequencyResponse& response, double fmax) {
    const double points = std::round(fmax / response.df);
    if (!(points >= 0))
        return -1;
    return static_cast<int>(std::min(points, static_cast<double>(kResponseBins - 1)));
}

double lastChartFrequency(const FrequencyResponse& response, double fmax) {
    return std::max(lastChartBin(response, fmax), 0) * response.df;
}

std::vector<ChartPoint> chartPoints(const FrequencyResponse& response, double fmax) {
    std::vector<ChartPoint> points;
    const int last = lastChartBin(response, fmax);
    points.reserve(static_cast<size_t>(last + 1));
    for (int k = 0; k <= last; ++k) {
        const auto i = static_cast<size_t>(k);
        points.push_back({k * response.df, response.magnitudeDb.at(i), response.phaseDeg.at(i)});
    }
    return points;
}

std::optional<ChartPoint> responseAt(const FrequencyResponse& response, double frequency) {
    const double position = frequency / response.df;
    if (!(position >= 0) || position > kResponseBins - 1)
        return std::nullopt;
    const auto below = static_cast<size_t>(std::min<double>(position, kResponseBins - 2));
    const double t = position - static_cast<double>(below);
    const auto mix = [&](const std::array<double, kResponseBins>& v) {
        return v.at(below) + t * (v.at(below + 1) - v.at(below));
    };
    return ChartPoint{frequency, mix(response.magnitudeDb), mix(response.phaseDeg)};
}

std::optional<Marker> peakMarker(const FrequencyResponse& response, double fmax) {
    const int last = lastChartBin(response, fmax);
    const Excitation e = excitation(response, last);
    std::optional<Marker> peak;
    for (int k = 1; k <= last; ++k) {
        const double db = response.magnitudeDb.at(static_cast<size_t>(k));
        if (e.excited(response, k) && (!peak || db > peak->magnitudeDb))
            peak = Marker{k, k * response.df, db};
    }
    return peak;
}

std::optional<Marker> cutoffMarker(const FrequencyResponse& response, double fmax) {
    const int last = lastChartBin(response, fmax);
    const Excitation e = excitation(response, last);
    std::optional<double> level;
    int previous = 0;
    for (int k = 1; k <= last; ++k) {
        if (!e.excited(response, k))
            continue;
        const double db = response.magnitudeDb.at(static_cast<size_t>(k));
        if (!level) {
            level = db + kCutoffDb;
        } else if (db <= *level) {
            const double before = response.magnitudeDb.at(static_cast<size_t>(previous));
            const double t = db == before ? 0.0 : (*level - before) / (db - before);
            const double f = (previous + t * (k - previous)) * response.df;
            return Marker{k, f, *level};
        }
        previous = k;
    }
    return std::nullopt;
}

std::optional<std::vector<ChartPoint>> filterOverlay(const params::ParameterModel& model,
                                                     std::span<const double> frequencies) {
    std::vector<Biquad> active;
    for (const int slot : {1, 2}) {
        const std::optional<FilterSlot> s = filterSlotFromTable(model, slot);
        if (s && s->type != FilterType::Off)
            active.push_back(s->coefficients);
    }
    if (active.empty())
        return std::nullopt;
    std::vector<ChartPoint> points;
    std::vector<double> phase;
    points.reserve(frequencies.size());
    phase.reserve(frequencies.size());
    for (const double f : frequencies) {
        std::complex<double> h(1.0, 0.0);
        for (const Biquad& q : active)
            h *= biquadResponse(q, f);
        points.push_back({f, decibels(std::abs(h)), 0});
        phase.push_back(std::arg(h));
    }
    unwrapPhase(phase);
    for (size_t i = 0; i < points.size(); ++i)
        points[i].phaseDeg = phase[i] * kDegrees;
    return points;
}

scope::FileResult writeSpectrumFiles(const std::string& folder, const FrequencyResponse& r) {
    const auto path = [&](std::string_view name) { return folder + "/" + std::string(name); };
    if (auto result =
            scope::writeFileBytes(path(kInputSpectrumFile), pairLines(r.inputRe, r.inputIm));
        !result)
        return result;
    if (auto result =
            scope::writeFileBytes(path(kOutputSpectrumFile), pairLines(r.outputRe, r.outputIm));
        !result)
        return result;
    return scope::writeFileBytes(path(kResponseFile), pairLines(r.magnitudeDb, r.phaseDeg));
}

bool restoreAfterAnalysis(scope::Oscillogram& oscillogram, const params::ParameterModel& model) {
    const std::optional<int> mode = model.find("OSCMOD");
    if (!mode || model.value(*mode) != kOnlineScopeMode)
        return false;
    for (int slot = 0; slot < scope::kOnlineChannelCount; ++slot)
        oscillogram.buffer.copySlot(oscillogram.backup, slot);
    return true;
}

}  // namespace zrd::tuning
