// The message table (mess.dic) on arbitrary text: lines fill the fixed table from its first slot
// and never past its last; every message reads back with its arguments put in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_lines.h"
#include "params/message_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace pm = zrd::params;
    pm::MessageTable messages;
    messages.setLines(zrd::fuzz::decodedLines(data, size));
    const std::vector<std::string> arguments{"COM1", "%1", "9600"};
    zrd::SilentUserInterface ui;
    for (int n = -1; n <= pm::kMessageCount; ++n)
        for (const char* language : {pm::kEnglish, "Rus"}) {
            (void)pm::withArguments(messages.text(n, language), arguments);
            messages.show(ui, n, language);
        }
    return 0;
}
