#include "eeprom_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/os_error.h"

namespace zrd::sim {
namespace {

constexpr const char* kHeader = "# zrd-sim EEPROM image: drive index, raw value";

}  // namespace

bool writeEepromFile(const std::string& path, const RawMemory& image, std::string& error) {
    // Written beside the target and renamed over it, so a crash never leaves half an image.
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        if (!out) {
            error = "cannot write " + temporary + ": " + zrd::lastOsErrorText();
            return false;
        }
        out << kHeader << '\n';
        for (size_t i = 0; i < image.size(); ++i)
            out << i << ' ' << image[i] << '\n';
        out.flush();
        if (!out) {
            error = "cannot write " + temporary + ": " + zrd::lastOsErrorText();
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + zrd::lastOsErrorText();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool readEepromFile(const std::string& path, RawMemory& image, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path + ": " + zrd::lastOsErrorText();
        return false;
    }
    RawMemory read = image;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        long index = -1;
        long raw = -1;
        std::string rest;
        if (!(fields >> index >> raw) || (fields >> rest) || index < 0 ||
            index >= static_cast<long>(read.size()) || raw < 0 || raw > 0xFFFF) {
            error = path + " line " + std::to_string(number) +
                    ": expected \"INDEX RAW\" with "
                    "INDEX 0..255 and RAW 0..65535: " +
                    line;
            return false;
        }
        read[static_cast<size_t>(index)] = static_cast<uint16_t>(raw);
    }
    if (in.bad()) {
        error = "cannot read " + path + ": " + zrd::lastOsErrorText();
        return false;
    }
    image = read;
    return true;
}

}  // namespace zrd::sim
