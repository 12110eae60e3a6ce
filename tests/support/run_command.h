#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace zrd::test {

// How a command run through the shell ended.
struct Outcome {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs a shell command with stderr in errFile; stdout and stderr apart.
inline Outcome runCommand(const std::string& command, const std::string& errFile) {
    Outcome run;
    FILE* pipe = ::popen((command + " 2>'" + errFile + "'").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.out += buffer;
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    run.err = text.str();
    return run;
}

}  // namespace zrd::test
