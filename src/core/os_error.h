#pragma once

#include <string>

namespace zrd {

// Text of an OS error number, with the number: "No such file or directory (errno 2)". The one
// place that turns errno into words.
std::string osErrorText(int error);

// The text of the calling thread's current errno.
std::string lastOsErrorText();

}  // namespace zrd
