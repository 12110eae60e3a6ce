#include "core/paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

// The build sets it from the install layout (bin/ and share/ by default).
#ifndef ZRD_INSTALLED_DATA_FOLDER
#define ZRD_INSTALLED_DATA_FOLDER "../share/torvanta"
#endif

namespace zrd {

std::string programFolder() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return ".";
    self[n] = '\0';
    return std::filesystem::path(self).parent_path().string();
}

std::string dataFolderOf(const std::string& programDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(fs::path(programDir) / kDataSetMarker, ec))
        return programDir;
    const fs::path installed =
        (fs::path(programDir) / ZRD_INSTALLED_DATA_FOLDER).lexically_normal();
    if (fs::exists(installed / kDataSetMarker, ec))
        return installed.string();
    // Neither holds the set: the messages about missing files then name the program's folder.
    return programDir;
}

std::string dataFolder(const std::string& override) {
    if (!override.empty())
        return override;
    if (const char* env = std::getenv("TORVANTA_DATA"); env && *env)
        return env;
    return dataFolderOf(programFolder());
}

std::string writableFolder(const std::string& preferred) {
    if (::access(preferred.c_str(), W_OK) == 0)
        return preferred;
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        base = std::filesystem::temp_directory_path();
    const auto folder = base / "torvanta";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder.string();
}

std::string settingsFilePath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        return {};
    return (base / "torvanta" / "torvanta.conf").string();
}

}  // namespace zrd
