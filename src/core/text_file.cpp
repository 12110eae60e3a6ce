#include "core/text_file.h"

#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zrd {
namespace {

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](size_t i) -> char32_t {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

// iconv conversion that replaces what cannot be converted instead of failing.
std::string convert(std::string_view in, const char* to, const char* from, char replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in);
    std::string out(in.size() * 4 + 8, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // Skip one undecodable input unit (a whole UTF-8 sequence when going from UTF-8).
        size_t skip = 1;
        if (std::string_view(from) == "UTF-8") {
            while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80)
                ++skip;
        }
        src += skip;
        srcLeft -= skip;
        if (dstLeft == 0)
            break;
        *dst++ = replacement;
        --dstLeft;
    }
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace

std::string cp1251ToUtf8(std::string_view bytes) {
    return convert(bytes, "UTF-8", "CP1251", '?');
}

std::string utf8ToCp1251(std::string_view utf8) {
    return convert(utf8, "CP1251", "UTF-8", '?');
}

std::string decodeTextBytes(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return std::string(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return utf16ToUtf8(bytes.substr(2), true);
    return cp1251ToUtf8(bytes);
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

TextFile readTextFile(const std::string& path) {
    TextFile result;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return result;
    std::ifstream in(path, std::ios::binary);
    if (!in || !std::filesystem::is_regular_file(path, ec)) {
        result.status = TextFileStatus::ReadError;
        return result;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        result.status = TextFileStatus::ReadError;
        return result;
    }
    result.status = TextFileStatus::Ok;
    result.lines = splitLines(decodeTextBytes(buffer.str()));
    return result;
}

}  // namespace zrd
