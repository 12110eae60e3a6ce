#pragma once

#include <string>

#include "sim_drive.h"

namespace zrd::sim {

// The simulated drive's EEPROM image on disk: a comment line, then one line "INDEX RAW" per
// drive index 0..255, decimal.

// Writes the image, replacing the file only once the new one is complete; false with the
// reason in error.
[[nodiscard]] bool writeEepromFile(const std::string& path, const RawMemory& image,
                                   std::string& error);
// Reads an image; false with the reason (and the line) in error. Indexes the file does not
// list keep their values in image.
[[nodiscard]] bool readEepromFile(const std::string& path, RawMemory& image, std::string& error);

}  // namespace zrd::sim
