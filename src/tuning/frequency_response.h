#pragma once

// The frequency response ("AFR and PFR") of a recorded oscillogram: the spectra of an input and
// an output channel over 2048 samples, the magnitude ratio in dB and the unwrapped phase
// difference in degrees, the chart points up to a maximum frequency, the markers of the largest
// peak and the −3 dB point, the response of the drive's filter slots at the same frequencies,
// and the three spectrum files.
//
// How the windows use it:
// - TPar_AFC_Form "OK": parseMaxFrequency(Edit1) (a text that is no number stops with the
//   general error report); computeFrequencyResponse(oscillogram.buffer, input, output,
//   oscillogram.header.tick, response) with the channels of the radio buttons (1..4);
//   writeSpectrumFiles(folder, response) into writableFolder(programFolder()) (a failure stops
//   with its error text); then TAFC_Form gets chartPoints(response, fmax) for the magnitude
//   (dB) and phase (degrees) series, axis maximum lastChartFrequency(response, fmax),
//   peakMarker/cutoffMarker for the legend, and filterOverlay(model, frequencies) for the
//   dashed curves (nullopt: no filter slot is on; nothing to draw).
// - TPar_AFC_Form "Cancel" and closing: restoreAfterAnalysis(oscillogram, model).

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "scope/oscillogram_file.h"

namespace zrd::tuning {

// Samples transformed, and bins of the half spectrum that the response covers.
inline constexpr int kFftSize = 2048;
inline constexpr int kResponseBins = kFftSize / 2;
inline constexpr double kDefaultMaxFrequency = 500.0;
// Files written by every computation (replacing the last ones).
inline constexpr std::string_view kInputSpectrumFile = "fft1.csv";
inline constexpr std::string_view kOutputSpectrumFile = "fft2.csv";
inline constexpr std::string_view kResponseFile = "bode_m.csv";
// The markers count only bins whose input magnitude reaches this share of the largest one: where
// the excitation has no energy, the ratio is noise over noise.
inline constexpr double kExcitedShare = 0.1;
// The level below the lowest excited bin that marks the band's end.
inline constexpr double kCutoffDb = -3.0;

// In-place radix-2 complex FFT, decimation in frequency with the indices bit-reversed at the
// end, unscaled: bin k holds Σ x[n]·e^(−2πjkn/N). Both spans have the same power-of-two length.
void fft(std::span<double> re, std::span<double> im);

struct FrequencyResponse {
    double tick = 0.001;  // s
    double df = 0;        // Hz between bins: 1 / (2048 · tick)
    bool sameChannel = false;
    // Spectra scaled by 2/N.
    std::array<double, kFftSize> inputRe{};
    std::array<double, kFftSize> inputIm{};
    std::array<double, kFftSize> outputRe{};
    std::array<double, kFftSize> outputIm{};
    std::array<double, kResponseBins> inputMagnitude{};
    // Output over input (or the one channel's own spectrum) per bin.
    std::array<double, kResponseBins> magnitudeDb{};
    std::array<double, kResponseBins> phaseDeg{};  // unwrapped
};

// Bin spacing for the sample interval: the bins lie at exactly k / (N · T).
[[nodiscard]] double binSpacing(double tick);

// The response of two channels' first 2048 samples. The same channel as input and output gives
// that channel's own spectrum in dB and its phase. An exactly zero real part keeps the previous
// bin's phase, a zero magnitude or ratio the previous bin's dB (0 before bin 0).
void computeFrequencyResponse(std::span<const double, kFftSize> input,
                              std::span<const double, kFftSize> output, bool sameChannel,
                              double tick, FrequencyResponse& response);
// The same from the buffer's records 0..2047; channels 1..4.
void computeFrequencyResponse(const scope::RecordTable& buffer, int inputChannel, int outputChannel,
                              double tick, FrequencyResponse& response);

// Phase unwrapping in place (radians): each step between neighbours is brought within ±π.
void unwrapPhase(std::span<double> phase);

// The chart's maximum frequency as typed; nullopt when the text is no number.
[[nodiscard]] std::optional<double> parseMaxFrequency(std::string_view text);

// The last bin charted: P = round(fmax / df), never past bin 1023 (−1 for a negative fmax).
[[nodiscard]] int lastChartBin(const FrequencyResponse& response, double fmax);
[[nodiscard]] double lastChartFrequency(const FrequencyResponse& response, double fmax);

struct ChartPoint {
    double frequency = 0;  // Hz
    double magnitudeDb = 0;
    double phaseDeg = 0;
};
// Bins 0..lastChartBin at k · df.
[[nodiscard]] std::vector<ChartPoint> chartPoints(const FrequencyResponse& response, double fmax);
// The response at any frequency of the half spectrum, interpolated linearly between the two
// neighbouring bins; nullopt below 0 or past bin 1023.
[[nodiscard]] std::optional<ChartPoint> responseAt(const FrequencyResponse& response,
                                                   double frequency);

struct Marker {
    int bin = 0;
    double frequency = 0;  // Hz
    double magnitudeDb = 0;
};
// The largest magnitude among the excited bins 1..lastChartBin.
[[nodiscard]] std::optional<Marker> peakMarker(const FrequencyResponse& response, double fmax);
// Where the magnitude first falls 3 dB below that of the lowest excited bin (interpolated
// between bins; `bin` is the first bin past it); nullopt when it never does on the chart.
[[nodiscard]] std::optional<Marker> cutoffMarker(const FrequencyResponse& response, double fmax);

// The response of the drive's filter slots 1 and 2 (those switched on) at the frequencies,
// magnitude in dB and phase in degrees unwrapped along them; nullopt when no slot is on or the
// table lacks the slots' parameters.
[[nodiscard]] std::optional<std::vector<ChartPoint>> filterOverlay(
    const params::ParameterModel& model, std::span<const double> frequencies);

// "fft1.csv", "fft2.csv" (2048 lines: real and imaginary part of a bin) and "bode_m.csv" (1024
// lines: dB and degrees) in the folder, numbers as shortest general texts, CR LF.
[[nodiscard]] scope::FileResult writeSpectrumFiles(const std::string& folder,
                                                   const FrequencyResponse& response);

// Cancel of the parameter window: when "OSCMOD" is 1 (an online capture) channels 1 and 2 of
// every record come back from the channel backup, undoing the move of the analysed samples.
// True when they did.
bool restoreAfterAnalysis(scope::Oscillogram& oscillogram, const params::ParameterModel& model);

}  // namespace zrd::tuning
