#include "scope/oscillogram_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "core/number_text.h"
#include "core/os_error.h"
#include "core/text_file.h"

namespace zrd::scope {

namespace pm = zrd::params;

namespace {

constexpr size_t kNameColumn = 100;
constexpr std::string_view kLineEnd = "\r\n";

// Appends the text left-justified in a column of the width (longer texts stay whole, as
// printf's "%-20s" leaves them).
void column(std::string& out, std::string_view text, size_t width = kColumn) {
    out += text;
    if (text.size() < width)
        out.append(width - text.size(), ' ');
}

// "%-20.3f", with "." whatever the locale.
void fixed3(std::string& out, double value) {
    std::array<char, 352> buffer{};
    const auto r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::fixed, 3);
    column(out, std::string_view(buffer.data(), static_cast<size_t>(r.ptr - buffer.data())));
}

// "%-20d"
void integer(std::string& out, long long value) {
    column(out, std::to_string(value));
}

long long slotInteger(double value) {
    return std::isfinite(value) ? static_cast<long long>(std::clamp(value, -9e18, 9e18)) : 0;
}

std::string lowerExtension(std::string_view path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

FileResult failure(const std::string& path, int error) {
    return {false, "cannot write " + path + ": " + osErrorText(error)};
}

}  // namespace

FileResult writeFileBytes(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return failure(path, errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            return failure(path, error);
        }
        done += static_cast<size_t>(n);
    }
    // A file system may report a failed write only when the file is closed.
    if (::close(fd) != 0)
        return failure(path, errno);
    return {true, {}};
}

std::string commentLines(std::string_view comments) {
    std::string out;
    out.reserve(comments.size() + 2);
    for (size_t i = 0; i < comments.size(); ++i) {
        const char c = comments[i];
        if (c == '\r' || c == '\n') {
            out += kLineEnd;
            if (c == '\r' && i + 1 < comments.size() && comments[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    if (!out.empty() && !out.ends_with(kLineEnd))
        out += kLineEnd;
    return out;
}

std::optional<OscillogramFormat> formatOfPath(std::string_view path) {
    const std::string ext = lowerExtension(path);
    if (ext == ".dat")
        return OscillogramFormat::Dat;
    if (ext == ".csv")
        return OscillogramFormat::Csv;
    return std::nullopt;
}

std::string datText(const Oscillogram& oscillogram, const pm::ParameterModel& model) {
    const int records = oscillogram.records();
    std::string out;
    out.reserve(static_cast<size_t>(records + pm::kParameterCount) * 140);
    out += oscillogram.kind == ScopeKind::Online ? "1" : "0";
    out += kLineEnd;
    out += utf8ToCp1251(oscillogram.headerText());
    out += kLineEnd;
    out += kLineEnd;
    out += kCommentStart;
    out += kLineEnd;
    // The comment lines and one more line end, which the reader drops again.
    out += utf8ToCp1251(commentLines(oscillogram.comments));
    out += kLineEnd;
    out += kCommentEnd;
    out += kLineEnd;

    column(out, "N");
    for (int c = 1; c <= kChannelCount; ++c)
        column(out, utf8ToCp1251(oscillogram.channel(c).name));
    out += kLineEnd;

    for (int r = 0; r < records; ++r) {
        integer(out, r);
        for (int c = 1; c <= kChannelCount; ++c)
            fixed3(out, oscillogram.buffer.channel(r, c));
        integer(out, slotInteger(oscillogram.buffer.value(r, kSampleIndexSlot)));
        out += kLineEnd;
    }

    out += kParameterStart;
    out += kLineEnd;
    for (int i = 0; i < pm::kParameterCount; ++i) {
        const pm::TPar& p = model.parameter(i);
        integer(out, i);
        fixed3(out, model.value(i));
        column(out, utf8ToCp1251(p.Pname));
        column(out, utf8ToCp1251(p.EngName), kNameColumn);
        out += kLineEnd;
    }
    return out;
}

std::string csvText(const Oscillogram& oscillogram) {
    std::string out;
    out.reserve(static_cast<size_t>(kCsvLines) * 40);
    for (int r = 0; r < kCsvLines; ++r) {
        for (int c = 1; c <= kChannelCount; ++c) {
            if (c > 1)
                out += ',';
            out += formatGeneral(oscillogram.buffer.channel(r, c));
        }
        out += kLineEnd;
    }
    return out;
}

FileResult writeDatFile(const std::string& path, const Oscillogram& oscillogram,
                        const pm::ParameterModel& model) {
    return writeFileBytes(path, datText(oscillogram, model));
}

FileResult writeCsvFile(const std::string& path, const Oscillogram& oscillogram) {
    return writeFileBytes(path, csvText(oscillogram));
}

FileResult writeOscillogramFile(const std::string& path, const Oscillogram& oscillogram,
                                const pm::ParameterModel& model) {
    const std::optional<OscillogramFormat> format = formatOfPath(path);
    if (!format)
        return {false, "cannot write " + path + ": an oscillogram file is named *.dat or *.csv"};
    return *format == OscillogramFormat::Dat ? writeDatFile(path, oscillogram, model)
                                             : writeCsvFile(path, oscillogram);
}

}  // namespace zrd::scope
