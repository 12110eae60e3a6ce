// The parameter file reader on arbitrary text against the shipped database: every line is taken,
// skipped or ends the reading with an issue that can be told; nothing lands past the table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/text_file.h"
#include "params/parameter_file.h"
#include "shipped_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace pm = zrd::params;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const pm::ParameterModel& model = zrd::fuzz::shippedModel();
    const pm::ParameterFileLoad load =
        pm::readParameterLines(zrd::splitLines(zrd::decodeTextBytes(bytes)), model);
    for (const pm::ParameterFileIssue& issue : load.issues)
        (void)pm::issueText(issue, "fuzz.prm", model);
    pm::ParameterModel copy = model;
    pm::ParameterFileLoad stored = load;
    pm::storeParameterFile(stored, copy);
    return 0;
}
