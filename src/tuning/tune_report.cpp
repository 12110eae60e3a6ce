#include "tuning/tune_report.h"

namespace zrd::tuning {

std::string tuneReportHtml(const TuneResult& result, const TuneReportInfo& info) {
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Speed loop "
        "tuning</title></head><body>\n<h1>Speed loop tuning</h1>\n<p>";
    html += info.program + " " + info.drive + " " + info.port + " " + info.date;
    html += result.verified ? "</p><p>verified" : "</p><p>not verified";
    html += "</p>\n</body></html>\n";
    return html;
}

}  // namespace zrd::tuning
