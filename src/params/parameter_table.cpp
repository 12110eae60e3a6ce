#include "params/parameter_table.h"

#include "core/number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "link/frame_codec.h"

namespace zrd::params {
namespace {

static_assert(static_cast<size_t>(KnownParameter::DT) + 1 == kKnownMnemonics.size(),
              "every known parameter has its mnemonic");

constexpr std::array<std::string_view, 7> kSetStateTexts = {"Init", "Default", "EEPROM", "RAM",
                                                            "OSC",  "FILE",    "ZERO"};

}  // namespace

std::optional<std::string_view> parameterSetStateText(int code) {
    const int slot = code - static_cast<int>(ParameterSetState::Init);
    if (slot < 0 || slot >= static_cast<int>(kSetStateTexts.size()))
        return std::nullopt;
    return kSetStateTexts[static_cast<size_t>(slot)];
}

bool isSigned(const TPar& p) {
    return p.vType == kSignedType;
}

int32_t rawMin(bool isSigned) {
    return isSigned ? std::numeric_limits<int16_t>::min() : 0;
}

int32_t rawMax(bool isSigned) {
    return isSigned ? std::numeric_limits<int16_t>::max() : std::numeric_limits<uint16_t>::max();
}

bool fitsRaw(const TPar& p, double number) {
    // NaN fails both comparisons.
    return number >= rawMin(isSigned(p)) && number <= rawMax(isSigned(p));
}

double rawToDisplay(const TPar& p, uint16_t raw) {
    return link::rawToNumber(raw, isSigned(p)) * p.scale;
}

std::optional<int32_t> displayToNumber(const TPar& p, double value) {
    // The default rounding mode of the FPU is to nearest with ties to even.
    const double rounded = std::nearbyint(value / p.scale);
    if (!fitsRaw(p, rounded))
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

std::optional<uint16_t> displayToRaw(const TPar& p, double value) {
    const std::optional<int32_t> number = displayToNumber(p, value);
    if (!number)
        return std::nullopt;
    return static_cast<uint16_t>(*number & 0xFFFF);
}

std::optional<int32_t> defaultNumber(const TPar& p) {
    const double whole = std::trunc(p.DefValue);
    if (!fitsRaw(p, whole))
        return std::nullopt;
    return static_cast<int32_t>(whole);
}

double minDisplay(const TPar& p) {
    return p.MinVal * p.scale;
}
double maxDisplay(const TPar& p) {
    return p.MaxVal * p.scale;
}
double defaultDisplay(const TPar& p) {
    return p.DefValue * p.scale;
}

bool inDisplayRange(const TPar& p, double value) {
    const std::optional<int32_t> number = displayToNumber(p, value);
    return number && *number >= p.MinVal && *number <= p.MaxVal;
}

bool getsPageRow(const TPar& p) {
    return !p.Pname.empty() && p.Mode_mes == 0 && p.IndexGroup >= kFirstPageGroup &&
           p.IndexGroup <= kLastPageGroup;
}

std::string valueText(double value) {
    // The same general format as the formulas compute in, so a value reads alike everywhere.
    return formatGeneral(value);
}

bool isMotorType(const TPar& p) {
    return p.Pname == kKnownMnemonics[static_cast<size_t>(KnownParameter::MT)];
}

bool isDriveType(const TPar& p) {
    return p.Pname == kKnownMnemonics[static_cast<size_t>(KnownParameter::DT)];
}

const std::string& units(const TPar& p, std::string_view language) {
    return isEnglish(language) ? p.units_eng : p.units_rus;
}

std::optional<int> ParameterModel::find(std::string_view mnemonic) const {
    if (mnemonic.empty())
        return std::nullopt;
    for (int i = 0; i < kParameterCount; ++i) {
        if (m_parameters[static_cast<size_t>(i)].Pname == mnemonic)
            return i;
    }
    return std::nullopt;
}

std::optional<int> ParameterModel::statusWordPosition(int word) const {
    const auto it = std::find(kStatusWords.begin(), kStatusWords.end(), word);
    if (it == kStatusWords.end())
        return std::nullopt;
    return m_statusWordPositions[static_cast<size_t>(it - kStatusWords.begin())];
}

std::optional<int> ParameterModel::knownPosition(KnownParameter which) const {
    return m_knownPositions.at(static_cast<size_t>(which));
}

void ParameterModel::cachePositions() {
    clearCachedPositions();
    for (size_t w = 0; w < kStatusWords.size(); ++w) {
        for (int i = 0; i < kParameterCount; ++i) {
            const TPar& p = m_parameters[static_cast<size_t>(i)];
            // Free positions keep stale fields; only loaded records count.
            if (!p.Pname.empty() && p.Index == kStatusWords[w]) {
                m_statusWordPositions[w] = i;
                break;
            }
        }
    }
    for (size_t k = 0; k < kKnownMnemonics.size(); ++k)
        m_knownPositions[k] = find(kKnownMnemonics[k]);
}

void ParameterModel::clearCachedPositions() {
    m_statusWordPositions.fill(std::nullopt);
    m_knownPositions.fill(std::nullopt);
}

const TPar& ParameterModel::scopeSignal(int entry) const {
    if (entry < 0 || entry >= m_scopeSignalCount)
        throw std::out_of_range("scope signal entry");
    return m_scopeSignals[static_cast<size_t>(entry)];
}

void ParameterModel::resetScopeSignals(const TPar& emptySignal) {
    m_scopeSignals[0] = emptySignal;
    m_scopeSignalCount = 1;
}

bool ParameterModel::addScopeSignal(const TPar& signal) {
    if (m_scopeSignalCount >= kScopeSignalCount)
        return false;
    m_scopeSignals[static_cast<size_t>(m_scopeSignalCount++)] = signal;
    return true;
}

std::vector<int> ParameterModel::buildScopeSignals(const TPar& emptySignal, int pages) {
    const auto first = kScopeSignalPages.begin();
    const auto last = first + std::clamp(pages, 0, static_cast<int>(kScopeSignalPages.size()));
    resetScopeSignals(emptySignal);
    std::vector<int> refused;
    for (int i = 0; i < kParameterCount; ++i) {
        const TPar& p = m_parameters[static_cast<size_t>(i)];
        if (p.Pname.empty() || std::find(first, last, p.NameSubgroup) == last)
            continue;
        if (!addScopeSignal(p))
            refused.push_back(i);
    }
    return refused;
}

std::vector<SelectorItem> ParameterModel::scopeSelectorItems(ScopeListStyle style) const {
    std::vector<SelectorItem> items;
    for (int e = 0; e < m_scopeSignalCount; ++e) {
        const TPar& s = m_scopeSignals[static_cast<size_t>(e)];
        const std::string number = std::to_string(e);
        if (style == ScopeListStyle::LanguageSwitch) {
            items.push_back({e, description(s, m_language) + number});
            continue;
        }
        if (s.EngName.starts_with(kReservedSignal))
            continue;
        items.push_back({e, description(s, m_language) + "-" + number});
    }
    return items;
}

void ParameterModel::setRowValuesToDefaults() {
    for (size_t i = 0; i < m_parameters.size(); ++i) {
        if (!getsPageRow(m_parameters[i]))
            continue;
        m_values[i] = defaultDisplay(m_parameters[i]);
        m_previous[i] = m_values[i];
        m_known[i] = false;
    }
}

int ParameterModel::knownCount() const {
    return static_cast<int>(std::count(m_known.begin(), m_known.end(), true));
}

bool ParameterModel::hasPageRow(int position) const {
    const int frame = parameter(position).indexFrame;
    return frame >= 0 && frame < kPageFrameCount;
}

}  // namespace zrd::params
