#include "tuning/frequency_response.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <numbers>

#include "../params/params_test_support.h"
#include "core/number_text.h"
#include "core/text_file.h"
#include "params/database_loader.h"
#include "recording_ui.h"
#include "tuning/biquad.h"

namespace zrd::tuning {
namespace {

constexpr double kPi = std::numbers::pi;
using Samples = std::array<double, kFftSize>;

// Uniform noise in −1..1, the same every run: it excites every bin.
Samples noise(uint32_t seed) {
    Samples x{};
    for (double& v : x) {
        seed = seed * 1664525U + 1013904223U;
        v = static_cast<double>(seed >> 8) / (1U << 23) - 1.0;
    }
    return x;
}

// Every bin 1..1023 at amplitude 1 with a random phase (a flat, periodic excitation).
Samples multisine() {
    const Samples phases = noise(9);
    Samples x{};
    for (int k = 1; k < kResponseBins; ++k) {
        for (int n = 0; n < kFftSize; ++n)
            x[static_cast<size_t>(n)] +=
                std::cos(2 * kPi * k * n / kFftSize + kPi * phases[static_cast<size_t>(k)]);
    }
    return x;
}

// The steady-state (periodic) response of a section to a periodic input: one period to settle,
// the second kept.
Samples filtered(const Biquad& q, const Samples& x) {
    Samples y{};
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t n = 0; n < x.size(); ++n) {
            const double out = q.b0 * x[n] + q.b1 * x1 + q.b2 * x2 - q.a1 * y1 - q.a2 * y2;
            x2 = x1, x1 = x[n], y2 = y1, y1 = out;
            y[n] = out;
        }
    }
    return y;
}

// A resonant low-pass section: f0 in Hz at the sampling rate fs, quality q.
Biquad resonance(double f0, double fs, double q) {
    const double w = 2 * kPi * f0 / fs;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    return {(1 - std::cos(w)) / 2 / a0, (1 - std::cos(w)) / a0, (1 - std::cos(w)) / 2 / a0,
            -2 * std::cos(w) / a0, (1 - alpha) / a0};
}

TEST(FrequencyResponse, KnownSignalsGiveTheirKnownResponse) {
    const Samples in = noise(7);
    constexpr int kDelay = 5;
    Samples delayed{};
    for (int n = 0; n < kFftSize; ++n)
        delayed[static_cast<size_t>(n)] =
            in[static_cast<size_t>((n - kDelay + kFftSize) % kFftSize)];
    struct Case {
        const char* name;
        Samples output;
        std::function<double(int)> db;
        std::function<double(int)> degrees;
    };
    for (const Case& c : {
             Case{"identical channels: 0 dB, 0 degrees", in, [](int) { return 0.0; },
                  [](int) { return 0.0; }},
             Case{"a delay of 5 samples: a linear phase", delayed, [](int) { return 0.0; },
                  [](int k) { return -360.0 * k * kDelay / kFftSize; }},
             Case{"half, inverted: -6 dB",
                  {},
                  [](int) { return 20 * std::log10(0.5); },
                  [](int) { return 180.0; }},
         }) {
        SCOPED_TRACE(c.name);
        Samples out = c.output;
        if (std::string_view(c.name).starts_with("half"))
            for (size_t n = 0; n < out.size(); ++n)
                out[n] = -0.5 * in[n];
        auto r = std::make_unique<FrequencyResponse>();
        computeFrequencyResponse(in, out, false, 0.001, *r);
        // The phase may sit a whole turn away where bin 0 started at ±180°.
        const double turn = std::round((r->phaseDeg[1] - c.degrees(1)) / 360.0) * 360.0;
        for (int k = 1; k < kResponseBins; ++k) {
            ASSERT_NEAR(r->magnitudeDb[static_cast<size_t>(k)], c.db(k), 1e-9) << k;
            ASSERT_NEAR(r->phaseDeg[static_cast<size_t>(k)] - turn, c.degrees(k), 1e-7) << k;
        }
    }

    // One channel: a sine of amplitude A at a bin frequency shows A there (2/N scaling).
    constexpr double kAmplitude = 3.25;
    constexpr int kBin = 37;
    Samples sine{};
    for (int n = 0; n < kFftSize; ++n)
        sine[static_cast<size_t>(n)] = kAmplitude * std::sin(2 * kPi * kBin * n / kFftSize + 0.4);
    auto r = std::make_unique<FrequencyResponse>();
    computeFrequencyResponse(sine, sine, true, 0.001, *r);
    EXPECT_NEAR(r->inputMagnitude[kBin], kAmplitude, 1e-9);
    EXPECT_NEAR(r->magnitudeDb[kBin], 20 * std::log10(kAmplitude), 1e-9);
    EXPECT_NEAR(std::hypot(r->outputRe[kBin], r->outputIm[kBin]), kAmplitude, 1e-9);
    EXPECT_NEAR(r->inputMagnitude[kBin + 1], 0.0, 1e-9);
}

TEST(FrequencyResponse, PhaseUnwrapsAndTheChartStopsAtTheLastBin) {
    std::vector<double> phase = {170 * kPi / 180, -170 * kPi / 180, 170 * kPi / 180};
    unwrapPhase(phase);
    EXPECT_NEAR(phase[1] * 180 / kPi, 190.0, 1e-9);
    EXPECT_NEAR(phase[2] * 180 / kPi, 170.0, 1e-9);

    auto r = std::make_unique<FrequencyResponse>();
    computeFrequencyResponse(noise(1), noise(2), false, 0.001, *r);
    EXPECT_EQ(r->df, 1.0 / 2.048);
    struct Case {
        double fmax;
        int lastBin;
    };
    for (const Case& c :
         {Case{400, 819}, Case{500, 1023}, Case{1000, 1023}, Case{0.2, 0}, Case{-5, -1}}) {
        SCOPED_TRACE(c.fmax);
        EXPECT_EQ(lastChartBin(*r, c.fmax), c.lastBin);
        const std::vector<ChartPoint> points = chartPoints(*r, c.fmax);
        ASSERT_EQ(static_cast<int>(points.size()), c.lastBin + 1);
        if (c.lastBin >= 0) {
            EXPECT_EQ(points.back().frequency, c.lastBin / 2.048);
            EXPECT_EQ(points.back().magnitudeDb, r->magnitudeDb[static_cast<size_t>(c.lastBin)]);
        }
    }
    EXPECT_NEAR(lastChartFrequency(*r, 1000), 499.51171875, 1e-9);
    EXPECT_FALSE(parseMaxFrequency("5OO").has_value());
}

TEST(FrequencyResponse, MarkersFindTheResonanceAndTheBandEndTheSectionHas) {
    constexpr double kTick = 0.001;
    const Biquad plant = resonance(50.0, 1 / kTick, 4.0);
    const Samples in = multisine();
    auto r = std::make_unique<FrequencyResponse>();
    computeFrequencyResponse(in, filtered(plant, in), false, kTick, *r);

    // The section's own response at the bins, and where it falls 3 dB below bin 1.
    const auto db = [&](double f) {
        return 20 * std::log10(std::abs(biquadResponse(plant, f, 1 / kTick)));
    };
    int peakBin = 1;
    for (int k = 1; k <= lastChartBin(*r, 500); ++k) {
        ASSERT_NEAR(r->magnitudeDb[static_cast<size_t>(k)], db(k * r->df), 1e-6) << k;
        if (db(k * r->df) > db(peakBin * r->df))
            peakBin = k;
    }
    double band = r->df;
    while (db(band) > db(r->df) - 3)
        band += 0.001;

    const auto peak = peakMarker(*r, 500);
    ASSERT_TRUE(peak.has_value());
    EXPECT_EQ(peak->bin, peakBin);
    EXPECT_EQ(peak->frequency, peakBin * r->df);
    const auto cutoff = cutoffMarker(*r, 500);
    ASSERT_TRUE(cutoff.has_value());
    EXPECT_NEAR(cutoff->frequency, band, 0.05);
    EXPECT_FALSE(cutoffMarker(*r, 40).has_value());
}

TEST(FrequencyResponse, FilesOverlayAndCancel) {
    test::TempDir dir;
    test::RecordingUserInterface ui;
    auto model = std::make_unique<params::ParameterModel>();
    auto messages = test::loadMessages(dir, ui);
    ASSERT_TRUE(params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod", *model,
                                     *messages, ui, false)
                    .ok());

    // The three files, replaced by each computation.
    auto r = std::make_unique<FrequencyResponse>();
    for (const uint32_t seed : {5U, 6U}) {
        computeFrequencyResponse(noise(seed), noise(seed + 10), false, 0.001, *r);
        ASSERT_TRUE(writeSpectrumFiles(dir.path(), *r).ok);
    }
    struct File {
        std::string_view name;
        size_t lines;
        const double* first;
        const double* second;
    };
    for (const File& f : {File{kInputSpectrumFile, 2048, r->inputRe.data(), r->inputIm.data()},
                          File{kOutputSpectrumFile, 2048, r->outputRe.data(), r->outputIm.data()},
                          File{kResponseFile, 1024, r->magnitudeDb.data(), r->phaseDeg.data()}}) {
        SCOPED_TRACE(f.name);
        const TextFile text = readTextFile(dir.file(std::string(f.name)));
        ASSERT_EQ(text.lines.size(), f.lines);
        for (const size_t k : {size_t{0}, size_t{17}, f.lines - 1}) {
            const std::string& line = text.lines[k];
            EXPECT_EQ(line, formatGeneral(f.first[k]) + "," + formatGeneral(f.second[k]));
        }
    }
    EXPECT_NE(writeSpectrumFiles(dir.file("none"), *r).error.find(dir.file("none/fft1.csv")),
              std::string::npos);

    // The drive's filters at the chart's frequencies: only slots that are on, multiplied.
    const auto set = [&](const char* name, double v) { model->setValue(*model->find(name), v); };
    const std::vector<double> f = {10.0, 100.0, 400.0};
    EXPECT_FALSE(filterOverlay(*model, f).has_value());
    const Biquad q = resonance(100.0, kFilterRate, 2.0);
    set("F2TYPE", 1);
    set("F2NUM0", q.b0), set("F2NUM1", q.b1), set("F2NUM2", q.b2);
    set("F2DEN1", q.a1), set("F2DEN2", q.a2);
    const auto overlay = filterOverlay(*model, f);
    ASSERT_TRUE(overlay.has_value());
    for (size_t i = 0; i < f.size(); ++i) {
        const std::complex<double> h = biquadResponse(q, f[i]);
        EXPECT_NEAR((*overlay)[i].magnitudeDb, 20 * std::log10(std::abs(h)), 1e-9);
        EXPECT_NEAR((*overlay)[i].phaseDeg, std::arg(h) * 180 / kPi, 1e-9);
    }

    // Cancel restores channels 1 and 2 after an online capture only.
    for (const double mode : {1.0, 0.0}) {
        auto osc = std::make_unique<scope::Oscillogram>();
        osc->backup.setValue(9999, 0, 4.0);
        osc->backup.setValue(9999, 2, 5.0);
        set("OSCMOD", mode);
        EXPECT_EQ(restoreAfterAnalysis(*osc, *model), mode == 1.0);
        EXPECT_EQ(osc->buffer.value(9999, 0), mode == 1.0 ? 4.0 : 0.0);
        EXPECT_EQ(osc->buffer.value(9999, 2), 0.0);
    }
}

}  // namespace
}  // namespace zrd::tuning
