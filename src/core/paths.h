#pragma once

#include <string>

namespace zrd {

// Folder of the running executable ("." when it cannot be found).
std::string programFolder();

// Folder of the data files: the override when given, else TORVANTA_DATA, else the program's
// own folder.
std::string dataFolder(const std::string& override = {});

// Folder for files the program writes: the program's folder when it is writable, else the user's
// data folder ($XDG_DATA_HOME/torvanta or ~/.local/share/torvanta), created when missing.
std::string writableFolder(const std::string& preferred);

}  // namespace zrd
