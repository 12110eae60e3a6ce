#include "scope/oscillogram_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>

#include "core/os_error.h"
#include "core/text_file.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_settings.h"

namespace zrd::scope {

namespace pm = zrd::params;

namespace {

// Fields of a data line: index, four channels, the drive's sample index.
constexpr size_t kDataFields = 6;
constexpr std::string_view kBlanks = " \t";

bool validUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t follow = 0;
        if (c < 0x80)
            follow = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            follow = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            follow = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            follow = 3;
        else
            return false;
        if (i + follow >= bytes.size() && follow > 0)
            return false;
        for (size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += follow + 1;
    }
    return true;
}

// A byte-order mark decides; without one, text that is valid UTF-8 is UTF-8 (Windows-1251
// Cyrillic practically never is), anything else Windows-1251. Returns the bytes themselves when
// they need no decoding, else the decoded text kept in `decoded`.
std::string_view decodeBytes(std::string_view bytes, std::string& decoded) {
    if (bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
        bytes.starts_with("\xFE\xFF")) {
        decoded = decodeTextBytes(bytes);
        return decoded;
    }
    if (validUtf8(bytes))
        return bytes;
    decoded = cp1251ToUtf8(bytes);
    return decoded;
}

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A piece of the file quoted in an error: at most 40 bytes, control characters as "?".
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text.substr(0, 40))
        out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    return out + "\"";
}

// A number of the file: "." or "," as decimal separator, nothing else around it.
std::optional<double> number(std::string_view text) {
    std::array<char, 64> buffer{};
    if (text.empty() || text.size() > buffer.size())
        return std::nullopt;
    std::copy(text.begin(), text.end(), buffer.begin());
    std::replace(buffer.begin(), buffer.begin() + static_cast<long>(text.size()), ',', '.');
    const char* first = buffer.data();
    const char* last = buffer.data() + text.size();
    if (*first == '+')
        ++first;
    double value = 0;
    const auto r = std::from_chars(first, last, value);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Splits at blanks into at most `out.size()` fields; returns how many the line holds.
template <size_t N>
size_t splitFields(std::string_view line, std::array<std::string_view, N>& out) {
    size_t count = 0;
    size_t i = 0;
    while (i < line.size()) {
        if (blank(line[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < line.size() && !blank(line[i]))
            ++i;
        if (count < N)
            out[count] = line.substr(start, i - start);
        ++count;
    }
    return count;
}

// The field of a 20-character column, counted in characters (a name may be Cyrillic).
std::string_view columnField(std::string_view line, size_t column) {
    size_t chars = 0;
    size_t start = line.size();
    size_t end = line.size();
    for (size_t i = 0; i <= line.size(); ++i) {
        const bool boundary =
            i == line.size() || (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
        if (!boundary)
            continue;
        if (chars == column * kColumn)
            start = i;
        if (chars == (column + 1) * kColumn) {
            end = i;
            break;
        }
        ++chars;
    }
    return start >= end ? std::string_view() : trimmed(line.substr(start, end - start));
}

// The lines of the decoded text; CR LF, LF and CR end a line, a last line end adds none.
std::vector<std::string_view> textLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(text.size() / 100 + 16);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

struct Failure {
    size_t line = 0;  // index into the lines; reported from 1
    std::string what;
};

// What precedes the records, read whole before the oscillogram is touched.
struct DatHead {
    ScopeKind kind = ScopeKind::Online;
    OscillogramHeader header;
    std::string comments;
    std::array<std::string, kChannelCount> names{};
    size_t firstRecord = 0;  // index of the first data line
};

// The text after the separator of a line that begins with its label ("Tick = 0.001").
std::optional<std::string_view> after(std::string_view line, std::string_view label,
                                      char separator) {
    if (!line.starts_with(label))
        return std::nullopt;
    const size_t at = line.find(separator, label.size());
    if (at == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(at + 1));
}

std::optional<Failure> readHead(const std::vector<std::string_view>& lines, DatHead& head) {
    if (lines.empty())
        return Failure{0, "the file is empty"};
    const std::string_view kind = trimmed(lines[0]);
    if (kind.empty() || kind == "1")
        head.kind = ScopeKind::Online;
    else if (kind == "0")
        head.kind = ScopeKind::Offline;
    else
        return Failure{
            0, "the scope kind is " + quoted(kind) + ", where 1 (online) or 0 (offline) belongs"};

    struct Field {
        std::string_view label;
        char separator;
    };
    constexpr std::array<Field, 4> kHeaderLines = {
        {{"Start time", ':'}, {"Stop time", ':'}, {"Frequency", '='}, {"Tick", '='}}};
    std::array<std::string_view, kHeaderLines.size()> texts{};
    for (size_t i = 0; i < kHeaderLines.size(); ++i) {
        const size_t at = 1 + i;
        const Field& f = kHeaderLines[i];
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + string for an overlapping copy.
        std::string expected = "\"";
        expected.append(f.label).append(1, ' ').append(1, f.separator).append(" \" is expected");
        if (at >= lines.size())
            return Failure{at, "the file ends where " + expected};
        const auto text = after(lines[at], f.label, f.separator);
        if (!text)
            return Failure{at, expected};
        texts[i] = *text;
    }
    head.header.startStamp = std::string(texts[0].substr(0, kStampLength));
    head.header.stopStamp = std::string(texts[1].substr(0, kStampLength));
    for (const size_t i : {2u, 3u}) {
        const auto n = number(texts[i]);
        if (!n)
            return Failure{1 + i, quoted(texts[i]) + " is no number"};
        (i == 2 ? head.header.frequency : head.header.tick) = *n;
    }

    size_t at = 1 + kHeaderLines.size();
    while (at < lines.size() && lines[at].find("/*") == std::string_view::npos)
        ++at;
    if (at >= lines.size())
        return Failure{at, "the file ends before the comment block"};
    const size_t firstComment = at + 1;
    // The block ends at its own marker, so that a comment line holding "*/" stays a comment;
    // only a block without that marker ends at the first "*/".
    size_t end = firstComment;
    while (end < lines.size() && trimmed(lines[end]) != kCommentEnd)
        ++end;
    if (end >= lines.size()) {
        end = firstComment;
        while (end < lines.size() && lines[end].find("*/") == std::string_view::npos)
            ++end;
        if (end >= lines.size())
            return Failure{firstComment - 1, "the comment block has no end"};
    }
    // The writer ends the comments with one more line end: not a comment line of its own.
    size_t lastComment = end;
    if (lastComment > firstComment && trimmed(lines[lastComment - 1]).empty())
        --lastComment;
    for (size_t i = firstComment; i < lastComment; ++i)
        head.comments.append(lines[i]).append("\r\n");

    const size_t names = end + 1;
    if (names >= lines.size())
        return Failure{names, "the file ends before the column header"};
    for (size_t c = 0; c < kChannelCount; ++c)
        head.names[c] = std::string(columnField(lines[names], c + 1));
    if (columnField(lines[names], 0) != "N")
        return Failure{names, "the column header (\"N\" and the four channel names) is expected"};
    head.firstRecord = names + 1;
    return std::nullopt;
}

std::optional<Failure> readRecords(const std::vector<std::string_view>& lines, size_t first,
                                   int count, RecordTable& buffer, int& records) {
    std::array<std::string_view, kDataFields> fields{};
    for (int r = 0; r < count; ++r) {
        const size_t at = first + static_cast<size_t>(r);
        if (at >= lines.size())
            return Failure{at, "the file ends after " + std::to_string(r) + " of " +
                                   std::to_string(count) + " records"};
        const size_t n = splitFields(lines[at], fields);
        if (n != kDataFields)
            return Failure{at, std::to_string(kDataFields) +
                                   " numbers (index, four channels, sample index) are expected, "
                                   "not " +
                                   std::to_string(n)};
        std::array<double, kDataFields> values{};
        for (size_t f = 0; f < kDataFields; ++f) {
            const auto v = number(fields[f]);
            if (!v)
                return Failure{at, quoted(fields[f]) + " is no number"};
            values[f] = *v;
        }
        for (int c = 0; c < kChannelCount; ++c)
            buffer.setValue(r, c, values[static_cast<size_t>(c) + 1]);
        buffer.setValue(r, kSampleIndexSlot, std::trunc(values[kDataFields - 1]));
        buffer.setValue(r, kTickSlot, 0.0);
        records = r + 1;
    }
    return std::nullopt;
}

std::optional<Failure> readParameters(const std::vector<std::string_view>& lines, size_t marker,
                                      std::array<double, pm::kParameterCount>& values) {
    if (marker >= lines.size())
        return Failure{marker, "the file ends before the parameter block"};
    if (lines[marker].find("/*") == std::string_view::npos)
        return Failure{marker, "the parameter block's marker is expected after the last record"};
    std::array<std::string_view, 2> fields{};
    for (size_t p = 0; p < values.size(); ++p) {
        const size_t at = marker + 1 + p;
        if (at >= lines.size())
            return Failure{at, "the file ends after " + std::to_string(p) + " of " +
                                   std::to_string(values.size()) + " parameters"};
        const auto value = splitFields(lines[at], fields) >= 2 ? number(fields[1]) : std::nullopt;
        if (!value || !number(fields[0]))
            return Failure{at, "a parameter line (index, value, mnemonic, name) is expected"};
        values[p] = *value;
    }
    return std::nullopt;
}

// The signal whose mnemonic the channel name is: entries 1..99 of the list; "N" is none.
std::optional<int> matchSignal(const pm::ParameterModel& model, const std::string& name) {
    if (name == kNoChannel)
        return 0;
    const int last = std::min(model.scopeSignalCount(), kSignalsMatched);
    for (int signal = 1; signal < last; ++signal) {
        if (channelOfSignal(model, signal).name == name)
            return signal;
    }
    return std::nullopt;
}

// The channel selection parameters of a kind, channel by channel.
constexpr std::array<std::string_view, kChannelCount> kOnlineSelection = {"MDTYP1", "MDTYP2", "",
                                                                          ""};
constexpr std::array<std::string_view, kChannelCount> kOfflineSelection = {"CH1SEL", "CH2SEL",
                                                                           "CH3SEL", "CH4SEL"};

std::string errorText(const std::string& name, size_t line, const std::string& what) {
    return name + ": line " + std::to_string(line + 1) + ": " + what;
}

}  // namespace

DatReadResult readDatBytes(std::string_view bytes, const std::string& name,
                           Oscillogram& oscillogram, const pm::ParameterModel* model) {
    DatReadResult result;
    std::string decoded;
    const std::vector<std::string_view> lines = textLines(decodeBytes(bytes, decoded));
    const auto fail = [&](const Failure& f) {
        result.error = errorText(name, f.line, f.what);
        result.errorLine = static_cast<int>(f.line + 1);
        return result;
    };

    DatHead head;
    if (const auto f = readHead(lines, head))
        return fail(*f);

    result.changed = true;
    result.kind = head.kind;
    oscillogram.kind = head.kind;
    oscillogram.header = head.header;
    oscillogram.comments = std::move(head.comments);
    for (int c = 1; c <= kChannelCount; ++c) {
        DatChannel& channel = result.channels.at(static_cast<size_t>(c - 1));
        channel.name = head.names.at(static_cast<size_t>(c - 1));
        ChannelSelection& selection = oscillogram.channel(c);
        if (model) {
            channel.signal = matchSignal(*model, channel.name);
            channel.bitHints = channelBitHints(*model, channel.name);
        }
        if (channel.signal)
            selection = channelOfSignal(*model, *channel.signal);
        selection.name = channel.name;
    }

    oscillogram.buffer.zeroAll();
    const int count = recordCount(head.kind);
    if (const auto f =
            readRecords(lines, head.firstRecord, count, oscillogram.buffer, result.records))
        return fail(*f);

    std::array<double, pm::kParameterCount> values{};
    if (const auto f = readParameters(lines, head.firstRecord + static_cast<size_t>(count), values))
        return fail(*f);
    result.parameters = values;
    return result;
}

DatReadResult readDatFile(const std::string& path, Oscillogram& oscillogram,
                          const pm::ParameterModel* model) {
    const auto cannot = [&](int error) {
        DatReadResult result;
        result.error = "cannot read " + path + ": " + osErrorText(error);
        return result;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return cannot(errno);
    constexpr size_t kChunk = 65536;
    struct stat info {};
    std::string bytes;
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        bytes.reserve(static_cast<size_t>(info.st_size) + kChunk);
    for (;;) {
        const size_t done = bytes.size();
        bytes.resize(done + kChunk);
        const ssize_t n = ::read(fd, bytes.data() + done, kChunk);
        bytes.resize(done + static_cast<size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return cannot(error);
        }
        if (n == 0)
            break;
    }
    ::close(fd);
    return readDatBytes(bytes, path, oscillogram, model);
}

void storeChannelSignals(const DatReadResult& result, pm::ParameterModel& model) {
    if (!result.changed)
        return;
    const auto& names = result.kind == ScopeKind::Online ? kOnlineSelection : kOfflineSelection;
    for (size_t c = 0; c < names.size(); ++c) {
        const std::optional<int>& signal = result.channels.at(c).signal;
        if (names.at(c).empty() || !signal)
            continue;
        if (const auto position = model.find(names.at(c)))
            model.setValue(*position, *signal);
    }
}

void takeOverParameters(const std::array<double, pm::kParameterCount>& values,
                        pm::ParameterModel& model, UserInterface& ui) {
    for (int p = 0; p < pm::kParameterCount; ++p) {
        model.setKnownValue(p, values.at(static_cast<size_t>(p)));
        if (model.hasPageRow(p))
            ui.updatePageRow(p, pm::valueText(model.value(p)));
    }
    model.setParameterSetState(pm::ParameterSetState::Osc);
}

StampParts splitStamp(std::string_view stamp) {
    constexpr std::string_view kSeparator = " / ";
    const size_t at = stamp.find(kSeparator);
    if (at == std::string_view::npos)
        return {std::string(trimmed(stamp)), {}};
    return {std::string(trimmed(stamp.substr(0, at))),
            std::string(trimmed(stamp.substr(at + kSeparator.size())))};
}

}  // namespace zrd::scope
