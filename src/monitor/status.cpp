#include "monitor/status.h"

namespace zrd::monitor {

namespace pm = zrd::params;

void FrameBits::decode(int column, uint8_t low, uint8_t high) {
    const int base = column * pm::kBitsPerWord;
    for (int b = 0; b < 8; ++b) {
        bits.at(base + b) = (low >> b) & 1;
        bits.at(base + 8 + b) = (high >> b) & 1;
    }
    words.at(column) = static_cast<uint16_t>(low | high << 8);
}

void FrameBits::clear(int column) {
    for (int b = 0; b < pm::kBitsPerWord; ++b)
        bits.at(column * pm::kBitsPerWord + b) = 0;
    words.at(column) = 0;
}

std::vector<std::string> setBitNames(const FrameBits& frame, int column,
                                     const pm::ParameterModel::BitTable& names,
                                     std::string_view language) {
    std::vector<std::string> out;
    for (int b = 0; b < pm::kBitsPerWord; ++b) {
        if (!frame.bit(column, b))
            continue;
        out.push_back(pm::description(names.at(column * pm::kBitsPerWord + b), language));
    }
    return out;
}

std::vector<SetBit> setBits(const FrameBits& frame, int column,
                            const pm::ParameterModel::BitTable& names, std::string_view language) {
    std::vector<SetBit> out;
    for (int b = 0; b < pm::kBitsPerWord; ++b) {
        if (!frame.bit(column, b))
            continue;
        const pm::Tstate& name = names.at(column * pm::kBitsPerWord + b);
        SetBit bit{b, name.Pname, pm::description(name, language)};
        if (bit.text.empty())
            bit.text = "bit " + std::to_string(b);
        out.push_back(std::move(bit));
    }
    return out;
}

std::string countText(int n, bool errors, const pm::MessageTable& messages,
                      std::string_view language) {
    const std::string number = std::to_string(n);
    if (n == 1) {
        // The singular is always the message in the interface language.
        return number + " " + messages.text(errors ? kMsgOneError : kMsgOneWarning, language);
    }
    if (language == "Rus") {
        if (!errors)
            return " " + number + " Предупр.";
        return " " + number + (n >= 2 && n <= 4 ? " ошибки" : " ошибок");
    }
    return number + " " + messages.text(errors ? kMsgErrors : kMsgWarnings, language);
}

std::optional<std::string> setStateText(int state) {
    if (const auto text = pm::parameterSetStateText(state))
        return std::string(*text);
    return std::nullopt;
}

uint16_t inversionValue(const std::array<bool, 16>& boxes) {
    uint16_t v = 0;
    for (int k = 0; k < 16; ++k)
        if (boxes[k])
            v = static_cast<uint16_t>(v | (1u << k));
    return v;
}

}  // namespace zrd::monitor
