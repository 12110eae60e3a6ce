#include "params/database_loader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "core/parse_int.h"
#include "core/text_file.h"
#include "params/message_numbers.h"
#include "params/utf8_text.h"

namespace zrd::params {
namespace {

// Line 1 holds the language setting after its first "=".
constexpr size_t kLanguageLine = 1;
// The text that ends the scan before any record has been read.
constexpr std::string_view kInitialEndText = ".";
// Bit lines record this many characters of their mnemonic as the end text.
constexpr size_t kBitEndTextLength = 3;

constexpr std::string_view kGroupLine = "[Group]";
constexpr std::string_view kSubgroupLine = "[Subgroup]";
constexpr std::array<std::string_view, 2> kGroupKeys = {"Name_group=", "name_group="};
constexpr std::array<std::string_view, 2> kSubgroupKeys = {"Name_subgroup=", "Name_Subgroup="};

constexpr std::array<std::string_view, 2> kStateBitPrefixes = {"Col", "col"};
constexpr std::array<std::string_view, 1> kApplicationBitPrefixes = {"App"};
constexpr std::array<std::string_view, 1> kScopeBitPrefixes = {"osc"};

// Why a line was refused, in English and Russian; shown after message 1 and the line.
struct Reason {
    const char* eng;
    const char* rus;
};
constexpr Reason kParameterTableFull = {
    "The parameter table holds 300 parameters; this line is not loaded.",
    "Таблица параметров вмещает 300 параметров; эта строка не загружена."};
constexpr Reason kCalculatedTableFull = {
    "The calculated-parameter table holds 300 entries; this line is not loaded.",
    "Таблица вычисляемых параметров вмещает 300 записей; эта строка не загружена."};
constexpr Reason kBitOutOfRange = {"The bit number must be 0..15; this line is not loaded.",
                                   "Номер бита должен быть от 0 до 15; эта строка не загружена."};
constexpr Reason kScopeListFull = {
    "The scope signal list holds 127 signals; this parameter is not offered as a signal.",
    "Список сигналов осциллографа вмещает 127 сигналов; этот параметр не включён в список."};
constexpr Reason kNoSuchParameter = {
    "No parameter line before it has this mnemonic; this line is not loaded.",
    "Ни одна строка параметра перед ней не имеет этой мнемоники; эта строка не загружена."};
constexpr Reason kFieldDoesNotConvert = {
    "A field of this line does not convert; loading stops.",
    "Поле этой строки не преобразуется; загрузка остановлена."};
constexpr Reason kIndexOutOfRange = {
    "The drive index must be 0..255; loading stops.",
    "Индекс привода должен быть от 0 до 255; загрузка остановлена."};
constexpr Reason kLimitOutOfRange = {
    "Minimum, maximum and default must be 16-bit raw values (-32768..32767 for INT, else "
    "0..65535); loading stops.",
    "Минимум, максимум и значение по умолчанию должны быть 16-битными (-32768..32767 для INT, "
    "иначе 0..65535); загрузка остановлена."};
constexpr Reason kNoParameters = {"The file holds no parameter line.",
                                  "В файле нет ни одной строки параметра."};

// Refused lines shown one by one; the rest are counted in one closing message.
constexpr size_t kRefusalsShown = 10;

// A line that does not convert: the load stops there.
struct BadLine {
    const Reason* reason = &kFieldDoesNotConvert;
};

// Hands out the comma-separated fields of a line in order. A missing field is an empty text.
class Fields {
public:
    explicit Fields(std::string_view text) : m_rest(text) {}

    std::string_view next() {
        if (m_done)
            return {};
        const size_t comma = m_rest.find(',');
        if (comma == std::string_view::npos) {
            m_done = true;
            return m_rest;
        }
        const std::string_view field = m_rest.substr(0, comma);
        m_rest.remove_prefix(comma + 1);
        return field;
    }

    // The last field runs to the end of the line, commas included.
    std::string_view rest() {
        if (m_done)
            return {};
        m_done = true;
        return m_rest;
    }

    std::string text() { return std::string(next()); }

private:
    std::string_view m_rest;
    bool m_done = false;
};

// An optional "+" is taken as well as "-"; nothing else around the digits.
std::string_view withoutPlus(std::string_view field) {
    if (field.size() > 1 && field[0] == '+' && field[1] != '-')
        field.remove_prefix(1);
    return field;
}

int32_t toInt(std::string_view field) {
    const auto v = parseInteger(field, IntegerBase::Decimal, std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max());
    if (!v)
        throw BadLine{};
    return static_cast<int32_t>(*v);
}

double toReal(std::string_view field) {
    field = withoutPlus(field);
    double v = 0;
    const auto [end, ec] =
        std::from_chars(field.data(), field.data() + field.size(), v, std::chars_format::general);
    if (field.empty() || ec != std::errc{} || end != field.data() + field.size() ||
        !std::isfinite(v))
        throw BadLine{};
    return v;
}

// The wire carries the drive index in 8 bits; a larger one would name another parameter.
uint8_t toIndex(std::string_view field) {
    const int32_t index = toInt(field);
    if (index < 0 || index > std::numeric_limits<uint8_t>::max())
        throw BadLine{&kIndexOutOfRange};
    return static_cast<uint8_t>(index);
}

double toScale(std::string_view field) {
    const double scale = toReal(field);
    return scale == 0 ? 1.0 : scale;
}

// Splits "key=rest"; a line without "=" does not convert.
std::string_view splitKey(std::string_view line, std::string& key) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        throw BadLine{};
    key = std::string(line.substr(0, eq));
    return line.substr(eq + 1);
}

template <size_t N>
bool startsWithAny(std::string_view line, const std::array<std::string_view, N>& prefixes) {
    for (const auto p : prefixes) {
        if (line.starts_with(p))
            return true;
    }
    return false;
}

TPar parseParameter(std::string_view line, const std::string& group, const std::string& subgroup) {
    TPar p;
    Fields f(splitKey(line, p.Numpar));
    p.Pname = f.text();
    p.Index = toIndex(f.next());
    p.vType = f.text();
    p.pType = f.text();
    p.MinVal = toInt(f.next());
    p.MaxVal = toInt(f.next());
    p.scale = toScale(f.next());
    p.units_rus = f.text();
    p.units_eng = f.text();
    p.DefValue = toReal(f.next());
    p.EngName = f.text();
    p.RusName = f.text();
    p.Mode_mes = toInt(f.next());
    p.update_con = toInt(f.next());
    p.IndexGroup = toInt(f.rest());
    p.NameGroup = group;
    p.NameSubgroup = subgroup;
    // Limits and default travel as 16-bit raw values: one beyond them would wrap on the wire.
    if (!fitsRaw(p, p.MinVal) || !fitsRaw(p, p.MaxVal) || !fitsRaw(p, p.DefValue))
        throw BadLine{&kLimitOutOfRange};
    return p;
}

// The record after the key; the caller has checked that the key begins with "P".
TParR parseCalculated(std::string typeD, std::string_view keyed) {
    TParR r;
    r.typeD = std::move(typeD);
    Fields f(splitKey(keyed, r.Numpar));
    r.Pname = f.text();
    r.Index = toIndex(f.next());
    r.vType = f.text();
    r.pType = f.text();
    r.MinVal = f.text();
    r.MaxVal = f.text();
    r.scale = toScale(f.next());
    r.units_rus = f.text();
    r.units_eng = f.text();
    r.DefValue = f.text();
    r.EngName = f.text();
    r.RusName = f.text();
    r.Mode_mes = toInt(f.next());
    r.update_con = toInt(f.next());
    r.IndexGroup = toInt(f.next());
    r.prior_calc = toInt(f.next());
    r.reason_calc = toInt(f.next());
    r.type_calc = toInt(f.rest());
    return r;
}

Tstate parseBit(std::string_view line) {
    Tstate s;
    std::string key;
    Fields f(splitKey(line, key));
    s.Pname = f.text();
    s.Index = toIndex(f.next());
    s.nBit = toInt(f.next());
    s.pType = f.text();
    s.EngName = f.text();
    s.RusName = f.text();
    s.Mode_mes = toInt(f.next());
    s.IndexGroup = toInt(f.rest());
    return s;
}

// The name after "key=" up to the first ","; no comma gives an empty name.
std::string sectionName(std::string_view line) {
    const size_t eq = line.find('=');
    const size_t comma = line.find(',', eq + 1);
    if (comma == std::string_view::npos)
        return {};
    return std::string(line.substr(eq + 1, comma - eq - 1));
}

enum class BitKind { State, Application, Scope };

class Loader {
public:
    Loader(const std::vector<std::string>& lines, ParameterModel& model,
           const MessageTable& messages, UserInterface& ui, std::string_view source)
        : m_lines(lines), m_model(model), m_messages(messages), m_ui(ui), m_source(source) {}

    LoadResult run(bool keepLanguage) {
        for (TPar& p : m_model.parameters())
            p.Pname.clear();
        for (TParR& r : m_model.calculated())
            r.typeD.clear();
        m_model.setLastParameter(-1);
        m_model.setLastCalculated(-1);
        // Values of an earlier load belong to other records now; so do positions and signals.
        m_model.forgetValues();
        m_model.setFormulaBasis({});
        m_model.clearCachedPositions();
        m_model.resetScopeSignals(emptyScopeSignal(m_messages));
        if (!keepLanguage)
            m_model.setLanguage(languageSetting());

        m_result.status = LoadStatus::Ok;
        if (!scan()) {
            m_result.status = LoadStatus::Stopped;
            summariseRefusals();
            return m_result;
        }
        if (m_result.parameters == 0) {
            // Every command would "succeed" on such a table while doing nothing.
            m_result.status = LoadStatus::Empty;
            summariseRefusals();
            m_messages.showText(m_ui, m_source + ": " + reasonText(kNoParameters), language());
            return m_result;
        }
        m_model.cachePositions();
        for (const int position :
             m_model.buildScopeSignals(emptyScopeSignal(m_messages), kScopeSignalPagesAtLoad)) {
            const int line = m_lineOfPosition[static_cast<size_t>(position)];
            refuse(line, kScopeListFull);
        }
        summariseRefusals();
        m_result.scopeSignals = m_model.scopeSignalCount();
        m_model.setRowValuesToDefaults();
        // The limits of the file stand for its default motor and drive type.
        m_model.setFormulaBasis({typeDefault(KnownParameter::MT), typeDefault(KnownParameter::DT)});
        return m_result;
    }

private:
    std::optional<double> typeDefault(KnownParameter which) const {
        const std::optional<int> position = m_model.knownPosition(which);
        if (!position)
            return std::nullopt;
        return defaultDisplay(m_model.parameter(*position));
    }

    std::string languageSetting() const {
        if (m_lines.size() <= kLanguageLine)
            return {};
        const std::string& line = m_lines[kLanguageLine];
        const size_t eq = line.find('=');
        return eq == std::string::npos ? line : line.substr(eq + 1);
    }

    // False when a line did not convert.
    bool scan() {
        std::string endText(kInitialEndText);
        for (size_t i = 0; i < m_lines.size(); ++i) {
            const std::string& line = m_lines[i];
            if (line == endText) {
                m_result.endLine = static_cast<int>(i) + 1;
                return true;
            }
            if (line == kGroupLine || line == kSubgroupLine) {
                const bool group = line == kGroupLine;
                ++(group ? m_result.groups : m_result.subgroups);
                // The name line is consumed whatever its key.
                if (++i < m_lines.size()) {
                    const std::string& next = m_lines[i];
                    if (group ? startsWithAny(next, kGroupKeys)
                              : startsWithAny(next, kSubgroupKeys))
                        (group ? m_group : m_subgroup) = sectionName(next);
                }
                continue;
            }
            try {
                if (readLine(static_cast<int>(i), line, endText))
                    continue;
            } catch (const BadLine& bad) {
                m_result.stoppedAtLine = static_cast<int>(i) + 1;
                m_result.badLine = line;
                m_messages.showText(m_ui, lineMessage(static_cast<int>(i), *bad.reason),
                                    language());
                return false;
            }
        }
        return true;
    }

    // Reads one record line; false for a line of no listed kind.
    bool readLine(int number, const std::string& line, std::string& endText) {
        if (line.empty())
            return false;
        switch (line[0]) {
            case 'p':
            case 'P':
                readParameter(number, line);
                break;
            case 'r':
            case 'R':
                if (!readCalculated(number, line))
                    return false;
                break;
            case 'c':
            case 'C':
                if (!startsWithAny(line, kStateBitPrefixes))
                    return false;
                return readBit(number, line, BitKind::State, endText);
            case 'a':
            case 'A':
                if (!startsWithAny(line, kApplicationBitPrefixes))
                    return false;
                return readBit(number, line, BitKind::Application, endText);
            case 'o':
            case 'O':
                if (!startsWithAny(line, kScopeBitPrefixes))
                    return false;
                return readBit(number, line, BitKind::Scope, endText);
            default:
                return false;
        }
        endText = line;
        return true;
    }

    void readParameter(int number, const std::string& line) {
        TPar p = parseParameter(line, m_group, m_subgroup);
        const int position = m_model.lastParameter() + 1;
        if (position >= kParameterCount) {
            refuse(number, kParameterTableFull);
            return;
        }
        m_model.parameter(position) = std::move(p);
        m_model.setLastParameter(position);
        m_lineOfPosition[static_cast<size_t>(position)] = number;
        m_result.parameters = position + 1;
    }

    // False when the line carries no record (no key beginning with "P").
    bool readCalculated(int number, const std::string& line) {
        const size_t comma = line.find(',');
        if (comma == std::string::npos || comma + 1 >= line.size() ||
            (line[comma + 1] != 'P' && line[comma + 1] != 'p')) {
            ++m_result.calculatedWithoutKey;
            return false;
        }
        TParR r =
            parseCalculated(line.substr(1, comma - 1), std::string_view(line).substr(comma + 1));
        const int position = m_model.lastCalculated() + 1;
        if (position >= kCalculatedCount) {
            refuse(number, kCalculatedTableFull);
            return true;
        }
        // Linked against the parameters read so far; without one it would take over the limits
        // of position 0.
        const std::optional<int> linked = m_model.find(r.Pname);
        if (!linked) {
            refuse(number, kNoSuchParameter);
            return true;
        }
        r.num = *linked;
        m_model.calculated()[static_cast<size_t>(position)] = std::move(r);
        m_model.setLastCalculated(position);
        m_result.calculated = position + 1;
        return true;
    }

    bool readBit(int number, const std::string& line, BitKind kind, std::string& endText) {
        Tstate s = parseBit(line);
        endText = utf8Prefix(s.Pname, kBitEndTextLength);
        const std::optional<size_t> base = slotBase(kind, s.Index);
        if (!base)
            return true;
        if (s.nBit < 0 || s.nBit >= kBitsPerWord) {
            refuse(number, kBitOutOfRange);
            return true;
        }
        const size_t slot = *base + static_cast<size_t>(s.nBit);
        switch (kind) {
            case BitKind::State:
                m_model.stateBits().at(slot) = std::move(s);
                ++m_result.stateBits;
                break;
            case BitKind::Application:
                m_model.applicationBits().at(slot) = std::move(s);
                ++m_result.applicationBits;
                break;
            case BitKind::Scope:
                m_model.scopeBits().at(slot) = std::move(s);
                ++m_result.scopeBits;
                break;
        }
        return true;
    }

    // First slot of the word in its bit table; nullopt when the table keeps no such word.
    static std::optional<size_t> slotBase(BitKind kind, uint8_t index) {
        if (kind == BitKind::Scope) {
            if (index != kScopeBitIndex)
                return std::nullopt;
            return 0;
        }
        const auto& words = kind == BitKind::State ? kStateBitWords : kApplicationBitWords;
        for (size_t w = 0; w < words.size(); ++w) {
            if (words[w] == index)
                return w * kBitsPerWord;
        }
        return std::nullopt;
    }

    void refuse(int number, const Reason& reason) {
        m_result.refused.push_back({number + 1, m_lines.at(static_cast<size_t>(number))});
        if (m_result.refused.size() <= kRefusalsShown)
            m_messages.showText(m_ui, lineMessage(number, reason), language());
    }

    // One message for the refusals beyond the first ones, instead of one each.
    void summariseRefusals() {
        if (m_result.refused.size() <= kRefusalsShown)
            return;
        const std::string more = std::to_string(m_result.refused.size() - kRefusalsShown);
        const std::string text = isEnglish(language())
                                     ? "… and " + more + " more refused lines of " + m_source
                                     : "… и ещё " + more + " отклонённых строк файла " + m_source;
        m_messages.showText(m_ui, text, language());
    }

    // Message 1, the line, then where it stands (1-based, as an editor shows it) and why.
    std::string lineMessage(int number, const Reason& reason) const {
        const std::string where = m_source + (isEnglish(language()) ? ", line " : ", строка ") +
                                  std::to_string(number + 1);
        return m_messages.text(kMsgBadDatabaseLine, language()) +
               m_lines.at(static_cast<size_t>(number)) + "\n" + where + ": " + reasonText(reason);
    }

    const char* reasonText(const Reason& reason) const {
        return isEnglish(language()) ? reason.eng : reason.rus;
    }

    const std::string& language() const { return m_model.language(); }

    const std::vector<std::string>& m_lines;
    ParameterModel& m_model;
    const MessageTable& m_messages;
    UserInterface& m_ui;
    std::string m_source;
    LoadResult m_result;
    std::string m_group;
    std::string m_subgroup;
    std::array<int, kParameterCount> m_lineOfPosition{};
};

}  // namespace

TPar emptyScopeSignal(const MessageTable& messages) {
    TPar p;
    p.EngName = messages.record(kMsgNoScopeSignal).mess_eng;
    p.RusName = messages.record(kMsgNoScopeSignal).mess_rus;
    return p;
}

LoadResult loadDatabaseLines(const std::vector<std::string>& lines, ParameterModel& model,
                             const MessageTable& messages, UserInterface& ui, bool keepLanguage,
                             std::string_view source) {
    Loader loader(lines, model, messages, ui, source.empty() ? kDatabaseFileName : source);
    return loader.run(keepLanguage);
}

LoadResult loadDatabase(const std::string& path, ParameterModel& model,
                        const MessageTable& messages, UserInterface& ui, bool keepLanguage) {
    const TextFile file = readTextFile(path);
    if (file.status != TextFileStatus::Ok) {
        LoadResult result;
        result.status =
            file.status == TextFileStatus::Missing ? LoadStatus::Missing : LoadStatus::Unreadable;
        return result;
    }
    return loadDatabaseLines(file.lines, model, messages, ui, keepLanguage, path);
}

}  // namespace zrd::params
