#pragma once

// The tuner's report: one self-contained HTML file an engineer can hand to a customer, with
// the plots as inline SVG (the measured plant with the fitted model, the open and closed loop
// before and after, the predicted and the measured step) and the parameters changed.

#include <string>

#include "tuning/tune_result.h"

namespace zrd::tuning {

// What the report names besides the result.
struct TuneReportInfo {
    std::string program;  // "QX Torvanta 2.1"
    std::string drive;    // the drive's type and version as the connection check read them
    std::string port;
    std::string date;  // as the front end formats the run's time
};

[[nodiscard]] std::string tuneReportHtml(const TuneResult& result, const TuneReportInfo& info);

}  // namespace zrd::tuning
