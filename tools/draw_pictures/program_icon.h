#pragma once

#include <QString>

// Writes torvanta.svg and torvanta-N.png (N = 16 … 256) into the folder (ending in "/").
bool drawProgramIcon(const QString& folder);
