#include "tuning/plant_estimate.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>

#include "tuning/frequency_response.h"

namespace zrd::tuning {
namespace {

using Complex = std::complex<double>;

// The averaged auto and cross spectra of one tick and band, per bin of the half spectrum.
struct WelchSums {
    std::vector<double> rr, uu, yy;
    std::vector<Complex> ru, ry;
    explicit WelchSums(size_t bins) : rr(bins), uu(bins), yy(bins), ru(bins), ry(bins) {}
};

bool usableRecord(const LoopRecord& r, int segment) {
    const size_t n = r.referenceRpm.size();
    return r.tickS > 0.0 && std::isfinite(r.tickS) && r.currentA.size() == n &&
           r.speedRpm.size() == n && n >= static_cast<size_t>(segment);
}

std::vector<double> hannWindow(int segment) {
    std::vector<double> w(static_cast<size_t>(segment));
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                    static_cast<double>(segment));
    return w;
}

// The windowed spectrum of one segment, its mean removed (the base speed).
std::vector<Complex> segmentSpectrum(std::span<const double> x, std::span<const double> window) {
    double mean = 0.0;
    for (const double v : x)
        mean += v;
    mean /= static_cast<double>(x.size());
    std::vector<double> re(x.size());
    std::vector<double> im(x.size(), 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        re[i] = std::isfinite(x[i]) ? (x[i] - mean) * window[i] : 0.0;
    fft(re, im);
    std::vector<Complex> out(x.size() / 2);
    for (size_t k = 0; k < out.size(); ++k)
        out[k] = {re[k], im[k]};
    return out;
}

void accumulateSegments(const LoopRecord& rec, const EstimateOptions& o,
                        std::span<const double> window, WelchSums& sums) {
    const auto segment = static_cast<size_t>(o.segment);
    const auto hop = std::max<size_t>(
        1, static_cast<size_t>(std::lround(static_cast<double>(segment) * (1.0 - o.overlap))));
    for (size_t at = 0; at + segment <= rec.referenceRpm.size(); at += hop) {
        const auto r = segmentSpectrum(rec.referenceRpm.subspan(at, segment), window);
        const auto u = segmentSpectrum(rec.currentA.subspan(at, segment), window);
        const auto y = segmentSpectrum(rec.speedRpm.subspan(at, segment), window);
        for (size_t k = 0; k < r.size(); ++k) {
            sums.rr[k] += std::norm(r[k]);
            sums.uu[k] += std::norm(u[k]);
            sums.yy[k] += std::norm(y[k]);
            sums.ru[k] += std::conj(r[k]) * u[k];
            sums.ry[k] += std::conj(r[k]) * y[k];
        }
    }
}

double coherenceOf(const Complex& cross, double a, double b) {
    return a > 0.0 && b > 0.0 ? std::norm(cross) / (a * b) : 0.0;
}

struct BandKey {
    double tickS, fromHz, toHz;
    auto operator<=>(const BandKey&) const = default;
};

struct WelchBand {
    double df = 0.0;
    std::vector<PlantBin> bins;
};

WelchBand binsOf(const BandKey& key, const WelchSums& s, const EstimateOptions& o) {
    WelchBand band;
    band.df = 1.0 / (key.tickS * o.segment);
    const double top = key.toHz > 0.0 ? key.toHz : 0.5 / key.tickS;
    for (size_t k = 1; k < s.rr.size(); ++k) {
        const double hz = static_cast<double>(k) * band.df;
        if (hz < key.fromHz || hz > top || std::abs(s.ru[k]) == 0.0)
            continue;
        const double coherence = std::min(coherenceOf(s.ru[k], s.rr[k], s.uu[k]),
                                          coherenceOf(s.ry[k], s.rr[k], s.yy[k]));
        band.bins.push_back({hz, s.ry[k] / s.ru[k], coherence, coherence >= o.minCoherence});
    }
    return band;
}

}  // namespace

PlantEstimate estimatePlant(std::span<const LoopRecord> records, const EstimateOptions& options) {
    PlantEstimate out;
    if (records.empty() || options.segment < 8 || !std::has_single_bit(unsigned(options.segment)) ||
        !(options.overlap >= 0.0 && options.overlap < 1.0)) {
        out.status = EstimateStatus::UnusableRecord;
        return out;
    }
    const std::vector<double> window = hannWindow(options.segment);
    std::map<BandKey, WelchSums> groups;
    for (const LoopRecord& rec : records) {
        if (!usableRecord(rec, options.segment)) {
            out.status = EstimateStatus::UnusableRecord;
            return out;
        }
        auto [it, added] = groups.try_emplace({rec.tickS, rec.fromHz, rec.toHz},
                                              static_cast<size_t>(options.segment / 2));
        accumulateSegments(rec, options, window, it->second);
    }
    std::vector<WelchBand> bands;
    for (const auto& [key, sums] : groups)
        bands.push_back(binsOf(key, sums, options));
    // The finest resolution first: each band keeps the bins outside the spans already taken.
    std::sort(bands.begin(), bands.end(),
              [](const WelchBand& a, const WelchBand& b) { return a.df < b.df; });
    std::vector<std::pair<double, double>> taken;
    for (const WelchBand& band : bands) {
        if (band.bins.empty())
            continue;
        for (const PlantBin& bin : band.bins) {
            const bool covered = std::any_of(taken.begin(), taken.end(), [&](const auto& span) {
                return bin.hz >= span.first && bin.hz <= span.second;
            });
            if (!covered)
                out.bins.push_back(bin);
        }
        taken.emplace_back(band.bins.front().hz, band.bins.back().hz);
    }
    std::sort(out.bins.begin(), out.bins.end(),
              [](const PlantBin& a, const PlantBin& b) { return a.hz < b.hz; });
    out.coherentBins = static_cast<int>(std::count_if(
        out.bins.begin(), out.bins.end(), [](const PlantBin& b) { return b.coherent; }));
    if (out.coherentBins < kMinCoherentBins)
        out.status = EstimateStatus::TooLittleExcitation;
    return out;
}

std::string_view estimateStatusText(EstimateStatus status) {
    switch (status) {
        case EstimateStatus::Ok:
            return "";
        case EstimateStatus::UnusableRecord:
            return "a record is shorter than one analysis segment or its channels differ in length";
        case EstimateStatus::TooLittleExcitation:
            return "too little excitation: the response is buried in noise; raise the amplitude";
    }
    return "";
}

}  // namespace zrd::tuning
