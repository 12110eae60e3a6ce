#pragma once

// The plant of the speed loop measured with the loop closed: from offline records of the speed
// command VSET (the reference r, the instrument), the current command ISET (u) and the actual
// speed VACT (y), P = S_ry / S_ru — unbiased by the noise the loop feeds back, where plain Y/U is
// not. Welch averaging (Hann window, overlapping segments) over one or more records; records of
// other ticks or bands merge onto one frequency list. Each bin carries the smaller of the two
// coherences of r with u and with y; bins below kMinCoherence are masked.
//
// How the front ends use it: the tuner records r, u and y during a chirp of the generator (one
// record per band), passes them as LoopRecords to estimatePlant, and hands an Ok estimate to
// fitPlant; a TooLittleExcitation result is shown with estimateStatusText and the chirp is run
// again with a larger amplitude.

#include <complex>
#include <span>
#include <string_view>
#include <vector>

namespace zrd::tuning {

// Bins whose coherence falls below this carry no information the fit may use.
inline constexpr double kMinCoherence = 0.8;
// An estimate needs at least this many coherent bins.
inline constexpr int kMinCoherentBins = 12;
inline constexpr int kDefaultWelchSegment = 512;

// One record of the closed loop. Records of one tick and band average together; a band of 0 Hz
// at either end extends to the record's lowest bin or to its Nyquist frequency.
struct LoopRecord {
    double tickS = 0.0;
    std::span<const double> referenceRpm;  // VSET
    std::span<const double> currentA;      // ISET
    std::span<const double> speedRpm;      // VACT
    double fromHz = 0.0;
    double toHz = 0.0;
};

struct EstimateOptions {
    int segment = kDefaultWelchSegment;  // samples per Welch segment, a power of two
    double overlap = 0.5;                // share of a segment shared with the next
    double minCoherence = kMinCoherence;
};

struct PlantBin {
    double hz = 0.0;
    std::complex<double> response;  // rpm/A: VACT over ISET
    double coherence = 0.0;         // min(γ²(r, u), γ²(r, y))
    bool coherent = false;          // coherence ≥ the options' minimum
};

enum class EstimateStatus {
    Ok,
    // A record shorter than one segment, channels of unequal length, or a tick that is no time.
    UnusableRecord,
    // Fewer than kMinCoherentBins bins are coherent: the excitation is buried in noise.
    TooLittleExcitation,
};

struct PlantEstimate {
    EstimateStatus status = EstimateStatus::Ok;
    std::vector<PlantBin> bins;  // in the order of frequency, masked ones included
    int coherentBins = 0;
};

// The estimate from the records; bins of a finer resolution take the band they cover from
// records of a coarser one.
[[nodiscard]] PlantEstimate estimatePlant(std::span<const LoopRecord> records,
                                          const EstimateOptions& options = {});

// What the user reads for a status ("" for Ok).
[[nodiscard]] std::string_view estimateStatusText(EstimateStatus status);

}  // namespace zrd::tuning
