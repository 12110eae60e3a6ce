#include "tuning/biquad.h"

#include <cmath>
#include <numbers>
#include <string>

namespace zrd::tuning {

std::complex<double> biquadResponse(const Biquad& q, double f, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * f / fs);
    const std::complex<double> z2 = z1 * z1;
    return (q.b0 + q.b1 * z1 + q.b2 * z2) / (1.0 + q.a1 * z1 + q.a2 * z2);
}

bool biquadStable(const Biquad& q) {
    // Jury's conditions for z² + a1 z + a2.
    return std::abs(q.a2) < 1.0 && std::abs(q.a1) < 1.0 + q.a2;
}

std::optional<FilterSlot> filterSlotFromTable(const params::ParameterModel& model, int slot) {
    if (slot < 1 || slot > kFilterSlots)
        return std::nullopt;
    const auto value = [&](const char* suffix) -> std::optional<double> {
        std::string mnemonic = "F";
        mnemonic.append(std::to_string(slot)).append(suffix);
        const auto position = model.find(mnemonic);
        if (!position)
            return std::nullopt;
        return model.value(*position);
    };
    const auto type = value("TYPE");
    const auto b0 = value("NUM0");
    const auto b1 = value("NUM1");
    const auto b2 = value("NUM2");
    const auto a1 = value("DEN1");
    const auto a2 = value("DEN2");
    if (!type || !b0 || !b1 || !b2 || !a1 || !a2)
        return std::nullopt;
    const int t = static_cast<int>(std::lround(*type));
    const FilterType ft = t >= 1 && t <= 4 ? static_cast<FilterType>(t) : FilterType::Off;
    return FilterSlot{ft, {*b0, *b1, *b2, *a1, *a2}};
}

}  // namespace zrd::tuning
