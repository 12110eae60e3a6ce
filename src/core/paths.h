#pragma once

#include <string>

namespace zrd {

// The file whose presence marks a folder as holding the drive family's data set.
inline constexpr const char* kDataSetMarker = "Param_base.mod";

// Folder of the running executable ("." when it cannot be found).
std::string programFolder();

// Folder of the data files: the override when given, else TORVANTA_DATA, else the program's
// own folder when the data set lies there (a build tree), else the installed data folder
// (share/torvanta of the prefix, found relative to the program's folder), else the program's own
// folder.
std::string dataFolder(const std::string& override = {});

// The data folder found from a program folder, without override or environment.
std::string dataFolderOf(const std::string& programDir);

// Folder for files the program writes: the program's folder when it is writable, else the user's
// data folder ($XDG_DATA_HOME/torvanta or ~/.local/share/torvanta), created when missing.
std::string writableFolder(const std::string& preferred);

// The program's settings file: $XDG_CONFIG_HOME/torvanta/torvanta.conf, or
// ~/.config/torvanta/torvanta.conf; empty when neither variable is set. Not created here.
std::string settingsFilePath();

}  // namespace zrd
