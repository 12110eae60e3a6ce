#pragma once

// The filter calculator: the design of a drive filter slot by the bilinear transform, its
// quantisation to the resolution of the slot's coefficient parameters, and the slot's nine
// parameters loaded from and written to the drive.
//
// How the windows use it (TFilter_Form):
//   activation, "Filter n":  fields = loadFilterSlot(model, n); show them (type picks the radio)
//   radio button of type t:  fields.type = t; for type 0 set fields.coefficients = Biquad{}
//   "Calculate" (Button5):   calc = calculateFilter(inputsOf(fields),
//                                                   coefficientFactors(model, slot));
//                            nullopt: leave the fields; else show calc->quantised, plot
//                            responseCurve(calc->designed) beside responseCurve(calc->quantised),
//                            and warn when !calc->stable ("Write" then asks first)
//   "Write" (Button7):       writeFilterSlot(link, access, model, slot, fields)

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "link/drive_link.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"
#include "tuning/biquad.h"

namespace zrd::tuning {

// The window's defaults of the input fields.
inline constexpr double kDefaultFilterFrequency = 250.0;
inline constexpr double kDefaultFilterQuality = 0.707;
inline constexpr double kDefaultFilterGainDb = 1.0;
// |N − D| at zero frequency from which a1 is corrected: types 1..3, and type 4.
inline constexpr double kDcTolerance = 0.00099;
inline constexpr double kDcToleranceBoost = 0.001;

// The nine parameters of a slot, in the order of the form's fields; "F" + slot + suffix.
enum class FilterRole { Type, Frequency, Quality, Gain, B0, B1, B2, A1, A2 };
inline constexpr std::array<std::string_view, 9> kFilterRoleSuffixes = {
    "TYPE", "FRE", "QUA", "GL", "NUM0", "NUM1", "NUM2", "DEN1", "DEN2"};
// "F1NUM0" for slot 1 and role B0.
[[nodiscard]] std::string filterMnemonic(int slot, FilterRole role);

// What the design takes: type, frequency (Hz), quality and gain (dB) as the type uses them.
struct FilterInputs {
    FilterType type = FilterType::Off;
    double frequency = kDefaultFilterFrequency;
    double quality = kDefaultFilterQuality;
    double gainDb = kDefaultFilterGainDb;
};

// The coefficients of the type at sampling rate fs; nullopt when nothing is computed: type 0,
// Q = 0 for types 2..4, a normaliser of 0, or inputs that give no finite coefficient.
[[nodiscard]] std::optional<Biquad> designFilter(const FilterInputs& in, double fs = kFilterRate);

// Multipliers of b0, b1, b2, a1, a2: a coefficient is quantised to whole multiples of 1/factor.
using CoefficientFactors = std::array<double, 5>;
// 1/scale, or 1 for scale 0.
[[nodiscard]] double quantisationFactor(double scale);
// The factors of a slot's coefficient parameters (the first table position of each mnemonic);
// a coefficient whose parameter is missing takes the factor before it (1 for b0).
[[nodiscard]] CoefficientFactors coefficientFactors(const params::ParameterModel& model, int slot);
// Each coefficient to the nearest whole multiple of 1/factor, ties to even.
[[nodiscard]] Biquad quantise(const Biquad& q, const CoefficientFactors& factors);
// Unit gain at zero frequency: when |D − N| (D = 1 + a1 + a2, N = b0 + b1 + b2) is at least the
// type's tolerance, a1 gets N − D added.
[[nodiscard]] Biquad correctDcGain(const Biquad& q, FilterType type);

struct FilterCalculation {
    Biquad designed;   // as computed
    Biquad quantised;  // after quantisation and the zero-frequency correction
    bool dcCorrected = false;
    bool stable = true;  // the quantised filter's poles lie inside the unit circle
};
// "Calculate": design, quantisation, correction, stability; nullopt when nothing is computed.
[[nodiscard]] std::optional<FilterCalculation> calculateFilter(const FilterInputs& in,
                                                               const CoefficientFactors& factors,
                                                               double fs = kFilterRate);

// The form's fields of a slot.
struct FilterFields {
    FilterType type = FilterType::Off;
    double frequency = kDefaultFilterFrequency;
    double quality = kDefaultFilterQuality;
    double gainDb = kDefaultFilterGainDb;
    Biquad coefficients;  // type 0 shows 1 0 0 0 0
};
[[nodiscard]] FilterInputs inputsOf(const FilterFields& fields);

// A slot parameter found in the table.
struct SlotParameter {
    FilterRole role = FilterRole::Type;
    int position = 0;
};
// The slot's parameters present in the table, in table order.
[[nodiscard]] std::vector<SlotParameter> slotParameters(const params::ParameterModel& model,
                                                        int slot);
// The fields loaded from the value table in table order: the type rounded (a number outside
// 0..4 counts as 0); type 0 sets the coefficients to 1 0 0 0 0, as its radio button does, when
// it comes before them.
[[nodiscard]] FilterFields loadFilterSlot(const params::ParameterModel& model, int slot);

struct FilterWriteResult {
    bool ran = false;  // false: the link was busy, nothing sent
    // Each write in table order with the drive's verdict ("P", "Q", 0 for none).
    struct Write {
        FilterRole role;
        int position;
        double value;
        uint8_t verdict;
    };
    std::vector<Write> writes;
    [[nodiscard]] bool allAccepted() const;
};
// "Write": each of the slot's parameters in table order with SetParam (the type as a number,
// the others from the fields), under the link-busy flag. A refused or unanswered write is
// reported by SetParam and does not stop the rest; a hang-up does. Between the writes the
// drive runs a mix of old and new coefficients (a1 new, a2 old), which may be unstable: with
// the servo on that can trip the drive, so the window says to switch it off first.
FilterWriteResult writeFilterSlot(link::DriveLink& link, session::ParameterAccess& access,
                                  params::ParameterModel& model, int slot,
                                  const FilterFields& fields);

// One point of a response plot.
struct ResponsePoint {
    double frequency = 0;  // Hz
    double magnitudeDb = 0;
    double phaseDeg = 0;  // −180..180
};
// The response at `points` frequencies spaced evenly on a log scale from fromHz to toHz.
[[nodiscard]] std::vector<ResponsePoint> responseCurve(const Biquad& q, double fromHz = 1.0,
                                                       double toHz = 3990.0, int points = 400,
                                                       double fs = kFilterRate);

}  // namespace zrd::tuning
