#pragma once

// A program's help, written once and given out two ways: as the text of --help and as its
// manual page, so that the two never tell different stories.

#include <string>
#include <string_view>
#include <vector>

namespace zrd {

// One entry of a list: an option, a command, an exit status, a variable.
struct HelpItem {
    std::string term;  // "--port DEV"
    std::string text;  // may hold "\n" for further lines
};

// A titled part: paragraphs (separated by "\n\n") and then a list.
struct HelpSection {
    std::string title;  // "Options"; upper-cased for the manual page
    std::string text;
    std::vector<HelpItem> items;
};

struct ProgramHelp {
    std::string name;                   // "zrdctl"
    std::string summary;                // one line, starts lower case
    std::vector<std::string> synopsis;  // each after the program's name
    std::string description;            // paragraphs separated by "\n\n"
    std::vector<HelpSection> sections;
};

// The --help text: usage lines, summary, description, then each section with its list.
std::string plainHelp(const ProgramHelp& help);

// The manual page (section 1, troff with the man macros). No date, so that the page built from
// the same sources is the same file.
std::string manPage(const ProgramHelp& help, std::string_view version);

// Each line of the text broken at blanks into lines of at most 100 characters.
std::string wrappedText(std::string_view text);

// The items of a list laid out in two columns, the terms padded to the given width.
std::string itemList(const std::vector<HelpItem>& items, size_t termWidth);

}  // namespace zrd
