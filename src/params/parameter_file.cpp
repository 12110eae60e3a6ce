#include "params/parameter_file.h"

#include <fstream>

#include "core/text_file.h"

namespace zrd::params {

namespace {

std::string padded(std::string_view text) {
    std::string out(text);
    if (out.size() < kParameterFileField)
        out.append(kParameterFileField - out.size(), ' ');
    return out;
}

std::string_view trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The whole text must be a decimal number with "." as separator.
bool toNumber(std::string_view text, double& out) {
    const std::string s(text);
    if (s.empty())
        return false;
    size_t used = 0;
    try {
        out = std::stod(s, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == s.size();
}

}  // namespace

std::string parameterFileLine(std::string_view mnemonic, double value) {
    return padded(mnemonic) + padded("=") + padded(valueText(value));
}

bool saveParameterFile(const std::string& path, const ParameterModel& model) {
    std::string bytes;
    for (int position = 0; position < kParameterCount; ++position) {
        const TPar& p = model.parameter(position);
        if (p.Pname.empty())
            break;
        bytes += utf8ToCp1251(parameterFileLine(p.Pname, model.value(position)));
        bytes += "\r\n";
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

ParameterFileLoad loadParameterFile(const std::string& path, ParameterModel& model) {
    ParameterFileLoad result;
    const TextFile file = readTextFile(path);
    if (file.status != TextFileStatus::Ok)
        return result;
    result.opened = true;
    model.previousValues() = model.values();
    for (const std::string& line : file.lines) {
        if (line.empty() || result.lines >= kParameterCount)
            break;
        ++result.lines;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            ++result.unknown;
            continue;
        }
        const auto position = model.find(trimmed(std::string_view(line).substr(0, equals)));
        if (!position) {
            ++result.unknown;
            continue;
        }
        // The value is the line's last (position of "=" + 2) characters, as the padded layout
        // puts it there.
        const size_t tail = equals + 2;
        const std::string_view valuePart = tail >= line.size()
                                               ? std::string_view(line)
                                               : std::string_view(line).substr(line.size() - tail);
        double value = 0;
        if (!toNumber(trimmed(valuePart), value))
            throw ParameterFileError("Line " + std::to_string(result.lines) + " of " + path +
                                     ": \"" + std::string(trimmed(valuePart)) +
                                     "\" is not a valid floating point value");
        model.setValue(*position, value);
        ++result.stored;
    }
    model.setValueOrigin(0);
    model.setParameterSetState(ParameterSetState::File);
    return result;
}

}  // namespace zrd::params
