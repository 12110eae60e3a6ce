// The window dictionary and the function-name lists on arbitrary text: every line is a pair or
// skipped, and each translation gives back a text of the table or the text itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_lines.h"
#include "params/dictionary.h"
#include "params/function_names.h"
#include "params/message_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace pm = zrd::params;
    const auto lines = zrd::fuzz::decodedLines(data, size);
    pm::Dictionary dictionary;
    dictionary.setLines(lines);
    if (dictionary.size() > lines.size())
        std::abort();
    for (const auto& line : lines) {
        const size_t equals = line.find('=');
        const std::string_view english = std::string_view(line).substr(0, equals);
        (void)dictionary.translate(english, "Rus");
        (void)dictionary.translate(line, pm::kEnglish);
    }
    for (const char* language : {pm::kEnglish, "Rus"})
        if (pm::functionNamesFromLines(lines, language).size() > lines.size())
            std::abort();
    return 0;
}
