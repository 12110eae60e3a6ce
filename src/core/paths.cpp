#include "core/paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace zrd {

std::string programFolder() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return ".";
    self[n] = '\0';
    return std::filesystem::path(self).parent_path().string();
}

std::string dataFolder(const std::string& override) {
    if (!override.empty())
        return override;
    if (const char* env = std::getenv("TORVANTA_DATA"); env && *env)
        return env;
    return programFolder();
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

}  // namespace zrd
