#pragma once

#include <string>
#include <string_view>

// The version of the programs. The definitions are written at build time (zrd_version), so only
// the programs that show it link them, and a new commit relinks nothing else.

namespace zrd {

// The project's version ("2.1").
std::string_view projectVersion();
// The git commit the build came from ("597e446a1b", "…-modified" for uncommitted changes); empty
// when built outside a checkout.
std::string_view buildCommit();

// "2.1 (commit 597e446a1b)", or "2.1" without a commit.
inline std::string versionText() {
    std::string text(projectVersion());
    if (!buildCommit().empty())
        text += " (commit " + std::string(buildCommit()) + ")";
    return text;
}

}  // namespace zrd
