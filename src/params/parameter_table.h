#pragma once

// The parameter model: the drive's parameters as the database describes them, their values,
// the calculated parameters, the status-bit names and the scope signal list.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "params/message_table.h"

namespace zrd::params {

inline constexpr int kParameterCount = 300;
inline constexpr int kCalculatedCount = 300;
inline constexpr int kBitsPerWord = 16;
// Three status words of 16 bits each per bit table.
inline constexpr int kBitTableSlots = 48;
inline constexpr int kScopeBitSlots = 16;
// Entry 0 (no signal) included.
inline constexpr int kScopeSignalCount = 128;
// Frame slots of the parameter pages; an `indexFrame` outside them means "no row".
inline constexpr int kPageFrameCount = 200;
inline constexpr int kNoFrame = -1;

// Drive indexes of the six status words.
inline constexpr std::array<int, 6> kStatusWords = {240, 241, 242, 243, 244, 246};
// Words of the state and application bit tables, in slot order (16 slots each).
inline constexpr std::array<int, 3> kStateBitWords = {240, 241, 242};
inline constexpr std::array<int, 3> kApplicationBitWords = {243, 244, 246};
// Scope bit lines are stored only for this drive index.
inline constexpr int kScopeBitIndex = 0;

// `vType` of a signed raw value; `pType` texts with a behaviour of their own.
inline constexpr std::string_view kSignedType = "INT";
inline constexpr std::string_view kReadWrite = "R-W";
inline constexpr std::string_view kReadOnly = "R";
inline constexpr std::string_view kNeverRead = "-";

// Groups shown on the parameter pages, and the status and application pages.
inline constexpr int kFirstPageGroup = 1;
inline constexpr int kLastPageGroup = 5;
inline constexpr int kStatusPageGroup = 6;
inline constexpr int kApplicationPageGroup = 7;

// Subgroups whose parameters are the scope signals, in order.
inline constexpr std::array<std::string_view, 6> kScopeSignalPages = {
    "Signals_osc_page1", "Signals_osc_page2", "Signals_osc_page3",
    "Signals_osc_page4", "Signals_osc_page5", "Signals_osc_page6"};
// The language switch rebuilds the list from the first four pages only.
inline constexpr int kScopeSignalPagesAtLoad = 6;
inline constexpr int kScopeSignalPagesAtLanguageSwitch = 4;
// Signals whose English description begins so keep their number but are not offered.
inline constexpr std::string_view kReservedSignal = "Reserved";

// One parameter of the drive (one parameter line of the database).
struct TPar {
    std::string Pname;  // empty: free table position
    uint8_t Index = 0;  // drive index sent on the wire
    std::string vType;
    std::string pType;
    int32_t MinVal = 0;  // raw units
    int32_t MaxVal = 0;  // raw units
    double scale = 1.0;  // display = raw × scale; never 0
    std::string units_rus;
    std::string units_eng;
    double DefValue = 0;  // raw units
    std::string EngName;
    std::string RusName;
    int32_t Mode_mes = 0;  // 0: gets a page row
    int32_t IndexGroup = 0;
    std::string Numpar;  // line key, "P12"
    std::string NameGroup;
    std::string NameSubgroup;
    int32_t indexFrame = kNoFrame;  // page frame slot of its row, set by the page builder
    int32_t update_con = 0;
    int32_t ind_of_change = 0;  // bits: 0 MinVal, 1 MaxVal, 2 DefValue set by a formula
};

// A calculated parameter: limits and default as numbers or formulas.
struct TParR {
    std::string typeD;  // "f": formula entry; empty: free table position
    std::string Pname;
    uint8_t Index = 0;
    std::string vType;
    std::string pType;
    std::string MinVal;
    std::string MaxVal;
    double scale = 1.0;
    std::string units_rus;
    std::string units_eng;
    std::string DefValue;
    std::string EngName;
    std::string RusName;
    int32_t Mode_mes = 0;
    int32_t IndexGroup = 0;
    std::string Numpar;
    std::string NameGroup;
    std::string NameSubgroup;
    int32_t indexFrame = kNoFrame;
    int32_t update_con = 0;
    int32_t num = 0;  // table position of the TPar of the same Pname; 0 when none
    int32_t prior_calc = 0;
    int32_t reason_calc = 0;
    int32_t type_calc = 0;
};

// The name of one bit of a status word.
struct Tstate {
    std::string Pname;
    uint8_t Index = 0;  // drive index of the status word
    int32_t nBit = 0;
    std::string pType;
    std::string EngName;
    std::string RusName;
    int32_t Mode_mes = 0;
    int32_t IndexGroup = 0;  // 6 status page, 7 application page
    int32_t checked = 0;
};

// Parameters whose positions are looked up once after loading.
enum class KnownParameter {
    ENMOD,
    DINLEV,
    IACT,
    TSET,
    ENCR,
    TACT,
    THETA,
    PRREV,
    PRCTS,
    PFREV,
    PFCTS,
    PINFRQ,
    ISET,
    VSET,
    VACT,
    PRINC,
    PFINC,
    PERR,
    AINVOL,
    OSCTRG,
    HVER,
    MT,
    DT,
};
inline constexpr std::array<std::string_view, 23> kKnownMnemonics = {
    "ENMOD", "DINLEV", "IACT",   "TSET",   "ENCR", "TACT", "THETA", "PRREV",
    "PRCTS", "PFREV",  "PFCTS",  "PINFRQ", "ISET", "VSET", "VACT",  "PRINC",
    "PFINC", "PERR",   "AINVOL", "OSCTRG", "HVER", "MT",   "DT"};

// Where the values on screen came from.
enum class ParameterSetState : int {
    Init = -1,
    Default = 0,
    Eeprom = 1,
    Ram = 2,
    Osc = 3,
    File = 4,
    Zero = 5,
};
// "Init", "Default", "EEPROM", "RAM", "OSC", "FILE", "ZERO"; nullopt for other codes.
std::optional<std::string_view> parameterSetStateText(int code);

inline constexpr int kValueOriginStartup = -1;

// True when the raw value of the parameter is signed ("INT").
bool isSigned(const TPar& p);
// The numbers a 16-bit raw value can stand for: −32768..32767 when signed, else 0..65535.
int32_t rawMin(bool isSigned);
int32_t rawMax(bool isSigned);
// True when the number is one of the parameter's 16-bit raw values.
bool fitsRaw(const TPar& p, double number);
// The 16-bit raw value as a display value: signed or unsigned by `vType`, times `scale`.
double rawToDisplay(const TPar& p, uint16_t raw);
// value ÷ scale rounded to nearest, halves to even; nullopt when that is no finite number or
// lies outside the parameter's raw range (nothing ever wraps).
std::optional<int32_t> displayToNumber(const TPar& p, double value);
// The same as the 16 bits sent on the wire (two's complement for negatives).
std::optional<uint16_t> displayToRaw(const TPar& p, double value);
// trunc(DefValue), the raw value that stands in for one outside the limits; nullopt when the
// default is no raw value of the parameter.
std::optional<int32_t> defaultNumber(const TPar& p);
double minDisplay(const TPar& p);
double maxDisplay(const TPar& p);
double defaultDisplay(const TPar& p);
// MinVal ≤ raw ≤ MaxVal for the raw value the display value is sent as: compared in raw units,
// so that 0.3 with scale 0.1 is the raw 3 it stands for.
bool inDisplayRange(const TPar& p, double value);
// True when the parameter gets a row on the parameter pages (group 1..5, Mode_mes 0).
bool getsPageRow(const TPar& p);
// The motor type and the drive type parameter: exactly "MT" and "DT", never a mnemonic that
// merely begins so ("DTCOMP").
bool isMotorType(const TPar& p);
bool isDriveType(const TPar& p);

// Shortest general text of a value: at most 15 significant digits, exponent only where
// needed, "." as decimal separator whatever the locale.
std::string valueText(double value);

// Description and unit in the language of the setting ("Eng" English, else Russian).
template <class Record>
const std::string& description(const Record& r, std::string_view language) {
    return isEnglish(language) ? r.EngName : r.RusName;
}
const std::string& units(const TPar& p, std::string_view language);

// One line of a selector: its text and the entry it stands for.
struct SelectorItem {
    int entry = 0;
    std::string text;
};

// How the channel selectors list the scope signals: after a load ("desc-N", reserved signals
// left out) or after a language switch ("descN", all of them).
enum class ScopeListStyle { Load, LanguageSwitch };

// All parameter tables of the program, with the language setting, the current parameter and
// the parameter-set state. One instance lives for the whole run.
class ParameterModel {
public:
    using ParameterTable = std::array<TPar, kParameterCount>;
    using ValueTable = std::array<double, kParameterCount>;
    using CalculatedTable = std::array<TParR, kCalculatedCount>;
    using BitTable = std::array<Tstate, kBitTableSlots>;
    using ScopeBitTable = std::array<Tstate, kScopeBitSlots>;

    // Table positions outside 0..299 throw std::out_of_range.
    TPar& parameter(int position) { return m_parameters.at(static_cast<size_t>(position)); }
    const TPar& parameter(int position) const {
        return m_parameters.at(static_cast<size_t>(position));
    }
    ParameterTable& parameters() { return m_parameters; }
    const ParameterTable& parameters() const { return m_parameters; }
    // Position of the last loaded record (count − 1; −1 when none).
    int lastParameter() const { return m_lastParameter; }
    void setLastParameter(int position) { m_lastParameter = position; }

    // Value table and previous-value table, display units.
    double value(int position) const { return m_values.at(static_cast<size_t>(position)); }
    void setValue(int position, double v) { m_values.at(static_cast<size_t>(position)) = v; }
    double previousValue(int position) const {
        return m_previous.at(static_cast<size_t>(position));
    }
    void setPreviousValue(int position, double v) {
        m_previous.at(static_cast<size_t>(position)) = v;
    }
    ValueTable& values() { return m_values; }
    const ValueTable& values() const { return m_values; }

    // Whether the value-table entry of a position is known: read from the drive, loaded from a
    // file, entered and accepted by the drive, or computed by a formula and shown. Defaults
    // and whatever a stopped load left are not; write-all sends known values only.
    bool isKnown(int position) const { return m_known.at(static_cast<size_t>(position)); }
    void setKnown(int position, bool known) { m_known.at(static_cast<size_t>(position)) = known; }
    // Stores a value that is known from now on.
    void setKnownValue(int position, double v) {
        setValue(position, v);
        setKnown(position, true);
    }
    // Every value unknown (a database load).
    void forgetValues() { m_known.fill(false); }
    int knownCount() const;

    // The motor and drive type values that the formula limits stand for: the database defaults
    // after a load, the values the formulas saw after an evaluation. Read-all evaluates the
    // formulas again when the drive reports other types.
    struct TypeBasis {
        std::optional<double> motorType;
        std::optional<double> driveType;
    };
    const TypeBasis& formulaBasis() const { return m_formulaBasis; }
    void setFormulaBasis(const TypeBasis& basis) { m_formulaBasis = basis; }
    ValueTable& previousValues() { return m_previous; }
    const ValueTable& previousValues() const { return m_previous; }

    CalculatedTable& calculated() { return m_calculated; }
    const CalculatedTable& calculated() const { return m_calculated; }
    int lastCalculated() const { return m_lastCalculated; }
    void setLastCalculated(int position) { m_lastCalculated = position; }

    BitTable& stateBits() { return m_stateBits; }
    const BitTable& stateBits() const { return m_stateBits; }
    BitTable& applicationBits() { return m_applicationBits; }
    const BitTable& applicationBits() const { return m_applicationBits; }
    ScopeBitTable& scopeBits() { return m_scopeBits; }
    const ScopeBitTable& scopeBits() const { return m_scopeBits; }

    // First position 0..299 whose `Pname` equals the text exactly; never an empty name.
    std::optional<int> find(std::string_view mnemonic) const;
    // Cached position of status word 240..244 or 246 (nullopt for other words or none).
    std::optional<int> statusWordPosition(int word) const;
    std::optional<int> knownPosition(KnownParameter which) const;
    // Looks up the status words and the known mnemonics once after loading.
    void cachePositions();
    void clearCachedPositions();

    // The scope signal list: entry 0 is the empty signal, at most 128 entries.
    int scopeSignalCount() const { return m_scopeSignalCount; }
    const TPar& scopeSignal(int entry) const;
    // Starts the list anew with the empty-signal entry.
    void resetScopeSignals(const TPar& emptySignal);
    // Adds one entry; false (nothing stored) when the list is full.
    [[nodiscard]] bool addScopeSignal(const TPar& signal);
    // Rebuilds the list from the table: entry 0, then the records of the first `pages`
    // signal pages in table order. Returns the positions that found no room.
    std::vector<int> buildScopeSignals(const TPar& emptySignal, int pages);
    // The items of the oscilloscope's channel selectors in the given style and language.
    std::vector<SelectorItem> scopeSelectorItems(ScopeListStyle style) const;

    // Value and previous value of every parameter with a page row set to its default (which is
    // not a known value).
    void setRowValuesToDefaults();
    // True when the parameter's `indexFrame` names an existing frame slot.
    bool hasPageRow(int position) const;

    const std::string& language() const { return m_language; }
    void setLanguage(std::string language) { m_language = std::move(language); }
    bool english() const { return isEnglish(m_language); }

    // The table position on which ReadParam and SetParam act.
    int currentParameter() const { return m_currentParameter; }
    void setCurrentParameter(int position) { m_currentParameter = position; }

    ParameterSetState parameterSetState() const { return m_setState; }
    void setParameterSetState(ParameterSetState state) { m_setState = state; }

    // −1 at start-up, 0 after a status poll or a file load, 1 after read-all or write-all.
    int valueOrigin() const { return m_valueOrigin; }
    void setValueOrigin(int origin) { m_valueOrigin = origin; }

private:
    ParameterTable m_parameters{};
    ValueTable m_values{};
    ValueTable m_previous{};
    std::array<bool, kParameterCount> m_known{};
    TypeBasis m_formulaBasis;
    CalculatedTable m_calculated{};
    BitTable m_stateBits{};
    BitTable m_applicationBits{};
    ScopeBitTable m_scopeBits{};
    std::array<TPar, kScopeSignalCount> m_scopeSignals{};
    int m_scopeSignalCount = 0;
    int m_lastParameter = -1;
    int m_lastCalculated = -1;
    std::array<std::optional<int>, kStatusWords.size()> m_statusWordPositions{};
    std::array<std::optional<int>, kKnownMnemonics.size()> m_knownPositions{};
    std::string m_language;
    int m_currentParameter = 0;
    ParameterSetState m_setState = ParameterSetState::Init;
    int m_valueOrigin = kValueOriginStartup;
};

}  // namespace zrd::params
