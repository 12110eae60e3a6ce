#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zrd {

enum class TextFileStatus { Ok, Missing, ReadError };

struct TextFile {
    TextFileStatus status = TextFileStatus::Missing;
    std::vector<std::string> lines;  // UTF-8, without line ends
};

// Decodes raw file bytes to UTF-8: a byte-order mark selects UTF-8, UTF-16LE or UTF-16BE;
// without one the bytes are Windows-1251 (the ANSI code page of the drive family's files).
std::string decodeTextBytes(std::string_view bytes);

// The text without the blanks, tabs and line ends around it.
std::string_view trimmed(std::string_view text);

// Splits text at CR LF, LF or CR. A final line end does not make an extra empty line.
std::vector<std::string> splitLines(std::string_view text);

// Reads a whole data file and decodes it as above.
TextFile readTextFile(const std::string& path);

// Windows-1251 from UTF-8; characters the code page lacks become '?'.
std::string utf8ToCp1251(std::string_view utf8);
std::string cp1251ToUtf8(std::string_view bytes);

}  // namespace zrd
