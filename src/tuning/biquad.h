#pragma once

// A second-order section as the drive's filter slots hold it:
// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2), run at kFilterRate.

#include <array>
#include <complex>
#include <optional>

#include "params/parameter_table.h"

namespace zrd::tuning {

// The drive runs its filters at this rate (Hz).
inline constexpr double kFilterRate = 8000.0;
// Filter slots of the drive ("F1*".."F4*"); the calculator offers the first two.
inline constexpr int kFilterSlots = 4;

// Filter types as "FnTYPE" numbers them.
enum class FilterType { Off = 0, LowPass = 1, BandStop = 2, EqualiserCut = 3, EqualiserBoost = 4 };

struct Biquad {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

// The complex response at frequency f (Hz) for sampling rate fs.
[[nodiscard]] std::complex<double> biquadResponse(const Biquad& q, double f,
                                                  double fs = kFilterRate);
// True when both poles lie strictly inside the unit circle.
[[nodiscard]] bool biquadStable(const Biquad& q);

// A slot as the value table holds it: type and the five coefficients (display values).
struct FilterSlot {
    FilterType type = FilterType::Off;
    Biquad coefficients;
};
// Slot 1..4 from the value table; nullopt when the table lacks its parameters.
[[nodiscard]] std::optional<FilterSlot> filterSlotFromTable(const params::ParameterModel& model,
                                                            int slot);

}  // namespace zrd::tuning
