#include "params/function_names.h"

#include <filesystem>

#include "core/text_file.h"
#include "params/message_table.h"

namespace zrd::params {

std::vector<std::string> loadFunctionNames(const std::string& folder, const char* fileName,
                                           std::string_view language, UserInterface& ui) {
    const TextFile file = readTextFile((std::filesystem::path(folder) / fileName).string());
    if (file.status == TextFileStatus::ReadError)
        ui.showMessage(kMessageReadErrorCaption, std::string(fileName) + " file not found.");
    return functionNamesFromLines(file.lines, language);
}

std::vector<std::string> functionNamesFromLines(const std::vector<std::string>& lines,
                                                std::string_view language) {
    std::vector<std::string> names;
    for (const std::string& line : lines) {
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (isEnglish(language))
            names.push_back(line.substr(0, equals));
        else
            names.push_back(equals == std::string::npos ? std::string() : line.substr(equals + 1));
    }
    return names;
}

}  // namespace zrd::params
