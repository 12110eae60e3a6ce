// The motor and drive type tables on arbitrary text, both filled from the same lines: nothing is
// stored past either table, and every lookup the selectors and the parameter pages make stays
// inside the lines held.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/number_text.h"
#include "fuzz_lines.h"
#include "params/type_tables.h"
#include "shipped_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace pm = zrd::params;
    const auto lines = zrd::fuzz::decodedLines(data, size);
    const pm::MessageTable messages;
    zrd::SilentUserInterface ui;
    pm::TypeTables tables;
    (void)tables.setLines(lines, lines, messages, ui, pm::kEnglish);
    if (tables.motorTypes().count() > pm::kMotorTypeLines ||
        tables.driveTypes().count() > pm::kDriveTypeLines)
        std::abort();
    (void)tables.motorSelectorItems();
    (void)tables.driveSelectorItems();
    (void)tables.motorMnemonics();
    for (int k = -1; k <= tables.motorTypes().count(); ++k)
        (void)tables.motorValues(k);
    for (const auto& line : lines)
        for (const auto& word : pm::splitWords(line)) {
            (void)tables.matchMotorLine(word);
            if (const auto value = zrd::parseNumber(word)) {
                (void)tables.motorSelectorText(*value);
                (void)tables.driveSelectorText(*value);
            }
        }
    (void)tables.matchMotorLineByDefault(zrd::fuzz::shippedModel());
    return 0;
}
