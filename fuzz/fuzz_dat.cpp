// The oscillogram file reader on arbitrary bytes: a file of any shape is read or refused, and
// nothing is written past the sample buffer or the parameter block.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "scope/oscillogram_file_reader.h"
#include "shipped_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace sc = zrd::scope;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const zrd::params::ParameterModel& model = zrd::fuzz::shippedModel();
    auto oscillogram = std::make_unique<sc::Oscillogram>();
    const sc::DatReadResult result = sc::readDatBytes(bytes, "fuzz.dat", *oscillogram, &model);
    if (result.ok()) {
        zrd::params::ParameterModel copy = model;
        sc::storeChannelSignals(result, copy);
    }
    (void)sc::splitStamp(bytes);
    return 0;
}
