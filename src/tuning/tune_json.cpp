#include "tuning/tune_json.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <optional>

#include "core/number_text.h"

namespace zrd::tuning {
namespace {

std::string number(double value) {
    return std::isfinite(value) ? formatGeneral(value) : "null";
}

std::string number(const std::optional<double>& value) {
    return value ? number(*value) : "null";
}

std::string text(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string boolean(bool b) {
    return b ? "true" : "false";
}

std::string field(const char* name, const std::string& value) {
    return text(name) + ": " + value;
}

// "{a, b, c}", appended piece by piece: GCC 12 at -O3 takes a literal put before a temporary
// string for an overlapping copy (-Wrestrict).
std::string object(std::initializer_list<std::string> fields) {
    std::string out = "{";
    for (const std::string& f : fields) {
        if (out.size() > 1)
            out += ", ";
        out += f;
    }
    out += "}";
    return out;
}

template <typename T, typename F>
std::string list(const std::vector<T>& items, F each) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += each(items[i]);
    }
    out += "]";
    return out;
}

std::string loopJson(const TunedLoop& loop) {
    return object({field("KPV", number(loop.kpvMaPerRpm)), field("KIV", number(loop.kivMs)),
                   field("filters", list(loop.filters, [](const TunedFilter& f) {
                             return object({field("slot", std::to_string(f.slot)),
                                            field("type", std::to_string(f.type)),
                                            field("hz", number(f.hz)), field("q", number(f.q)),
                                            field("gain_db", number(f.gainDb))});
                         }))});
}

std::string figuresJson(const LoopFigures& f) {
    return object({field("crossover_hz", number(f.crossoverHz)),
                   field("phase_margin_deg", number(f.phaseMarginDeg)),
                   field("gain_margin_db", number(f.gainMarginDb)),
                   field("bandwidth_hz", number(f.bandwidthHz)),
                   field("overshoot_percent", number(f.overshootPercent))});
}

std::string modeJson(double hz, double damping) {
    return object({field("hz", number(hz)), field("damping", number(damping))});
}

}  // namespace

std::string tuneResultJson(const TuneResult& r) {
    const PlantFit& fit = r.fit;
    const bool fitted = fit.status == FitStatus::Ok && fit.inertiaKgCm2 > 0.0;
    std::string model = "null";
    if (fitted)
        model =
            object({field("inertia_kgcm2", number(fit.inertiaKgCm2)),
                    field("jratio_percent", number(fit.inertiaRatioPercent)),
                    field("damping", number(fit.viscousNcmPerKrpm)),
                    field("resonances", list(fit.model.modes,
                                             [](const PlantMode& m) {
                                                 return modeJson(m.resonanceHz, m.resonanceDamping);
                                             })),
                    field("antiresonances", list(fit.model.modes,
                                                 [](const PlantMode& m) {
                                                     return modeJson(m.antiResonanceHz,
                                                                     m.antiResonanceDamping);
                                                 })),
                    field("residual_db", number(fit.residualDb))});
    return object(
        {field("model", model), field("before", loopJson(r.before)),
         field("proposed", fitted ? loopJson(r.proposed) : "null"),
         field("predicted_before", fitted ? figuresJson(loopFigures(r.predictedBefore)) : "null"),
         field("predicted", fitted ? figuresJson(r.predicted) : "null"),
         field("measured", r.measured ? figuresJson(*r.measured) : "null"),
         field("checks", list(r.checks,
                              [](const VerifyCheck& c) {
                                  return object({field("name", text(c.name)),
                                                 field("passed", boolean(c.passed)),
                                                 field("detail", text(c.detail))});
                              })),
         field("applied", boolean(r.applied)), field("verified", boolean(r.verified)),
         field("saved", boolean(r.saved)), field("not_restored", list(r.notRestored, text)),
         field("backup_file", r.backupFile.empty() ? "null" : text(r.backupFile))});
}

}  // namespace zrd::tuning
