#include <cmath>

#include "cli.h"
#include "core/number_text.h"
#include "core/parse_int.h"
#include "core/paths.h"

namespace zrd::cli {

void StderrUserInterface::showMessage(const std::string& caption, const std::string& text) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void StderrUserInterface::linkLost(const std::string& reason) {
    lostLink = true;
    std::fprintf(stderr, "link lost: %s\n", reason.c_str());
}

int parseInt(const std::string& text, const std::string& what, int min, int max) {
    const auto v = parseInteger(text, IntegerBase::DecimalOrHex, min, max);
    if (!v)
        throw UsageError(what + " must be a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + text + "\"");
    return static_cast<int>(*v);
}

double parseDouble(const std::string& text, const std::string& what) {
    // Decimal texts only: strtod would also take "nan", "inf" and "0x10".
    const std::optional<double> v = parseNumber(text);
    if (!v)
        throw UsageError(what + " is not a number: \"" + text + "\"");
    if (!std::isfinite(*v))
        throw UsageError(what + " is out of range: \"" + text + "\"");
    return *v;
}

std::optional<std::string> takeOption(Args& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != name)
            continue;
        if (i + 1 >= args.size())
            throw UsageError(name + " needs a value");
        std::string value = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return value;
    }
    return std::nullopt;
}

bool takeFlag(Args& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != name)
            continue;
        args.erase(args.begin() + static_cast<long>(i));
        return true;
    }
    return false;
}

std::string dataDirectory(const GlobalOptions& options) {
    return dataFolder(options.dataDir);
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            // UTF-8 passes as it is: JSON texts are UTF-8.
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    // The shortest text of the value is a JSON number for every finite value.
    return std::isfinite(value) ? formatGeneral(value) : "null";
}

}  // namespace zrd::cli
