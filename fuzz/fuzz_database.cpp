// The parameter database loader, the parameter file reader and the type-table words on
// arbitrary text: never writes past a table, never crashes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/text_file.h"
#include "params/database_loader.h"
#include "params/type_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto lines = zrd::splitLines(zrd::decodeTextBytes(bytes));
    zrd::SilentUserInterface ui;
    zrd::params::MessageTable messages;
    zrd::params::ParameterModel model;
    (void)zrd::params::loadDatabaseLines(lines, model, messages, ui, false);
    (void)model.scopeSelectorItems(zrd::params::ScopeListStyle::Load);
    for (const auto& line : lines)
        (void)zrd::params::splitWords(line);
    return 0;
}
