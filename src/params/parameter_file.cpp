#include "params/parameter_file.h"

#include <algorithm>
#include <fstream>

#include "core/number_text.h"
#include "core/os_error.h"
#include "core/text_file.h"
#include "params/utf8_text.h"

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

// Issue details are cut to this many characters: a binary file's line can be long.
constexpr size_t kDetailLength = 40;

std::string detail(std::string_view text) {
    return utf8Prefix(text, kDetailLength);
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

int ParameterFileLoad::unknown() const {
    return static_cast<int>(std::count_if(issues.begin(), issues.end(), [](const auto& i) {
        return i.fault == FileLineFault::UnknownName;
    }));
}

int ParameterFileLoad::faults() const {
    return static_cast<int>(issues.size()) - unknown();
}

ParameterFileLoad readParameterFile(const std::string& path, const ParameterModel& model) {
    const TextFile file = readTextFile(path);
    if (file.status != TextFileStatus::Ok)
        return {};
    return readParameterLines(file.lines, model);
}

ParameterFileLoad readParameterLines(const std::vector<std::string>& lines,
                                     const ParameterModel& model) {
    ParameterFileLoad result;
    result.opened = true;
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const int number = static_cast<int>(i) + 1;
        const auto stop = [&](FileLineFault fault, std::string_view text, int position) {
            result.issues.push_back({number, fault, detail(text), position});
            result.stoppedAtLine = number;
        };
        if (line.empty())
            break;
        if (result.lines >= kParameterCount) {
            result.issues.push_back({number, FileLineFault::BeyondTable, {}});
            break;
        }
        ++result.lines;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            result.issues.push_back({number, FileLineFault::NoEquals, {}});
            continue;
        }
        const std::string_view name = trimmed(std::string_view(line).substr(0, equals));
        const auto position = model.find(name);
        if (!position) {
            result.issues.push_back({number, FileLineFault::UnknownName, detail(name)});
            continue;
        }
        // The value is the line's last (position of "=" + 2) characters, as the padded layout
        // puts it there.
        const size_t tail = equals + 2;
        const std::string_view valuePart = tail >= line.size()
                                               ? std::string_view(line)
                                               : std::string_view(line).substr(line.size() - tail);
        const std::string_view text = trimmed(valuePart);
        const std::string_view afterEquals = trimmed(std::string_view(line).substr(equals + 1));
        // That rule reads "3456" from "SC=123456": a cut value is never loaded.
        if (text != afterEquals) {
            stop(FileLineFault::CompactLine, afterEquals, -1);
            break;
        }
        const std::optional<double> value = parseNumber(text);
        if (!value) {
            stop(FileLineFault::NotANumber, text, -1);
            break;
        }
        if (!displayToRaw(model.parameter(*position), *value)) {
            stop(FileLineFault::DoesNotFit, text, *position);
            break;
        }
        result.values.push_back({number, *position, *value});
    }
    if (result.lines == 0 && result.issues.empty())
        result.issues.push_back({1, FileLineFault::NoLines, {}});
    // Reading ends at an empty line; lines after it would be lost without a word.
    if (result.stoppedAtLine == 0 && i < lines.size() && lines[i].empty()) {
        const auto more = std::find_if(lines.begin() + static_cast<long>(i), lines.end(),
                                       [](const std::string& l) { return !l.empty(); });
        if (more != lines.end())
            result.issues.push_back({static_cast<int>(i) + 1, FileLineFault::StopsAtEmptyLine, {}});
    }
    return result;
}

void storeParameterFile(ParameterFileLoad& load, ParameterModel& model) {
    model.previousValues() = model.values();
    for (const ParameterFileValue& v : load.values)
        model.setKnownValue(v.position, v.value);
    load.stored = static_cast<int>(load.values.size());
    model.setValueOrigin(0);
    model.setParameterSetState(ParameterSetState::File);
}

ParameterFileLoad loadParameterFile(const std::string& path, ParameterModel& model) {
    ParameterFileLoad load = readParameterFile(path, model);
    if (load.opened)
        storeParameterFile(load, model);
    return load;
}

std::string fileFailureText(std::string_view path, bool saving, const ParameterModel& model) {
    const std::string reason = lastOsErrorText();
    if (model.english())
        return std::string(saving ? "Cannot write " : "Cannot read ") + std::string(path) + ": " +
               reason;
    return std::string(saving ? "Не удаётся записать " : "Не удаётся прочитать ") +
           std::string(path) + ": " + reason;
}

std::string issueText(const ParameterFileIssue& issue, std::string_view path,
                      const ParameterModel& model) {
    const bool eng = model.english();
    std::string reason;
    switch (issue.fault) {
        case FileLineFault::NoEquals:
            reason = eng ? "no \"=\" in the line" : "в строке нет \"=\"";
            break;
        case FileLineFault::NotANumber:
            reason =
                eng ? "\"" + issue.detail + "\" is not a number; the file is read up to this line"
                    : "\"" + issue.detail + "\" не число; файл прочитан до этой строки";
            break;
        case FileLineFault::CompactLine:
            reason = eng ? "\"" + issue.detail +
                               "\" is not where the padded layout puts the value (the line would "
                               "read as a cut value); the file is read up to this line"
                         : "\"" + issue.detail +
                               "\" стоит не там, где значение в выровненном формате (строка "
                               "прочиталась бы как обрезанное значение); файл прочитан до этой "
                               "строки";
            break;
        case FileLineFault::DoesNotFit: {
            const TPar& p = model.parameter(issue.position);
            const std::string range = valueText(rawMin(isSigned(p)) * p.scale) + " .. " +
                                      valueText(rawMax(isSigned(p)) * p.scale);
            reason = eng ? issue.detail + " is outside the range of " + p.Pname + " (" + range +
                               "); the file is read up to this line"
                         : issue.detail + " вне диапазона " + p.Pname + " (" + range +
                               "); файл прочитан до этой строки";
            break;
        }
        case FileLineFault::UnknownName:
            reason = eng ? "no parameter " + issue.detail + " in the database"
                         : "в базе нет параметра " + issue.detail;
            break;
        case FileLineFault::NoLines:
            reason = eng ? "the file holds no parameter line" : "в файле нет строк параметров";
            break;
        case FileLineFault::StopsAtEmptyLine:
            reason =
                eng ? "reading ends at this empty line; the lines after it are not read"
                    : "чтение заканчивается на этой пустой строке; строки после неё не читаются";
            break;
        case FileLineFault::BeyondTable:
            reason =
                eng ? "a file holds at most 300 lines; this one and those after it are not read"
                    : "файл содержит не более 300 строк; эта и следующие строки не читаются";
            break;
    }
    return std::string(path) + ":" + std::to_string(issue.line) + ": " + reason;
}

}  // namespace zrd::params
