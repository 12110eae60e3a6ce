#include "core/help_text.h"

#include <algorithm>
#include <cctype>

namespace zrd {
namespace {

constexpr size_t kTermWidth = 26;
constexpr size_t kLineWidth = 100;
constexpr const char* kIndent = "  ";

std::vector<std::string> splitAtNewlines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// One line of text broken at blanks into lines of at most `width` characters (a longer word
// stands alone); lines after the first start with `indent`.
std::string wrapped(const std::string& line, size_t width, const std::string& indent) {
    std::string out;
    size_t column = 0;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos)
            end = line.size();
        const std::string word = line.substr(start, end - start);
        if (column > 0 && column + 1 + word.size() > width) {
            out += "\n" + indent;
            column = 0;
        } else if (column > 0 || start > 0) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        start = end + 1;
    }
    return out;
}

// Text for troff: backslashes and hyphens escaped (options stay minus signs, so that a copied
// command works), and a line that would start with a control character is protected.
std::string troff(std::string_view text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

// Paragraphs as man macros: blank lines start a new paragraph, a line end breaks the line; lines
// that begin with blanks are shown as they are (commands to type).
std::string manParagraphs(std::string_view text) {
    std::string out;
    bool literal = false;
    for (const std::string& line : splitAtNewlines(text)) {
        const bool indented = line.starts_with(" ");
        if (line.empty()) {
            if (literal)
                out += ".fi\n.RE\n";
            literal = false;
            out += ".PP\n";
            continue;
        }
        if (indented && !literal) {
            out += ".RS 4\n.nf\n";
            literal = true;
        } else if (!indented && literal) {
            out += ".fi\n.RE\n";
            literal = false;
        } else if (!literal && !out.empty() && !out.ends_with(".PP\n")) {
            out += ".br\n";
        }
        out += troff(indented ? std::string_view(line).substr(line.find_first_not_of(' '))
                              : std::string_view(line)) +
               "\n";
    }
    if (literal)
        out += ".fi\n.RE\n";
    return out;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::string wrappedText(std::string_view text) {
    std::string out;
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict, a false alarm) about a literal
    // put in front of a string.
    for (const std::string& line : splitAtNewlines(text)) {
        if (!out.empty())
            out += '\n';
        out += wrapped(line, kLineWidth, "");
    }
    return out;
}

std::string itemList(const std::vector<HelpItem>& items, size_t termWidth) {
    std::string out;
    const std::string continuation(std::string(kIndent).size() + termWidth, ' ');
    for (const HelpItem& item : items) {
        out += kIndent + item.term;
        const std::vector<std::string> lines = splitAtNewlines(item.text);
        if (item.text.empty()) {
            out += "\n";
            continue;
        }
        // A long term puts its text on the next line, in the text column.
        if (item.term.size() + 1 > termWidth) {
            out += '\n';
            out += continuation;
        } else {
            out += std::string(termWidth - item.term.size(), ' ');
        }
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                out += '\n';
                out += continuation;
            }
            out += wrapped(lines[i], kLineWidth - continuation.size(), continuation);
        }
        out += '\n';
    }
    return out;
}

std::string plainHelp(const ProgramHelp& help) {
    std::string out;
    const std::string indent(std::string("usage: ").size() + help.name.size() + 1, ' ');
    for (size_t i = 0; i < help.synopsis.size(); ++i)
        out += std::string(i == 0 ? "usage: " : "       ") + help.name + " " +
               wrapped(help.synopsis[i], kLineWidth - indent.size(), indent) + "\n";
    out += "\n" + help.name + ": " + help.summary + "\n";
    if (!help.description.empty()) {
        out += '\n';
        out += wrappedText(help.description);
        out += '\n';
    }
    for (const HelpSection& section : help.sections) {
        out += '\n';
        out += section.title;
        out += ":\n";
        if (!section.text.empty()) {
            out += wrappedText(section.text);
            out += '\n';
        }
        out += itemList(section.items, kTermWidth);
    }
    return out;
}

std::string manPage(const ProgramHelp& help, std::string_view version) {
    std::string out = ".TH " + upper(help.name) + " 1 \"\" \"QX Torvanta " + std::string(version) +
                      "\" \"User Commands\"\n";
    out += ".SH NAME\n" + troff(help.name) + " \\- " + troff(help.summary) + "\n";
    out += ".SH SYNOPSIS\n";
    for (size_t i = 0; i < help.synopsis.size(); ++i)
        out += std::string(i == 0 ? "" : ".br\n") + ".B " + troff(help.name) + "\n" +
               troff(help.synopsis[i]) + "\n";
    if (!help.description.empty())
        out += ".SH DESCRIPTION\n" + manParagraphs(help.description);
    for (const HelpSection& section : help.sections) {
        out += ".SH " + troff(upper(section.title)) + "\n";
        if (!section.text.empty())
            out += manParagraphs(section.text);
        for (const HelpItem& item : section.items) {
            out += ".TP\n.B " + troff(item.term) + "\n";
            out += manParagraphs(item.text);
        }
    }
    return out;
}

}  // namespace zrd
