// zrdctl subcommands that work on saved oscillograms: conversion between the file formats and
// the frequency response.
#include <algorithm>
#include <memory>

#include "cli.h"
#include "drive_session.h"
#include "scope/oscillogram_file.h"
#include "scope/oscillogram_file_reader.h"
#include "scope/trace_view.h"
#include "tuning/frequency_response.h"
#include "tuning/loop_analysis.h"

namespace zrd::cli {
namespace {

namespace sc = zrd::scope;
namespace tu = zrd::tuning;

constexpr const char* kConvertUsage = "scope convert IN.dat -o OUT.csv|OUT.dat";
constexpr const char* kBodeUsage =
    "bode IN.dat --in K --out L [--fmax HZ] [--dir DIR] [--at HZ...] [--open-loop]";
// Decimals of the rows: frequency, magnitude, phase.
constexpr int kFrequencyDecimals = 4;
constexpr int kDbDecimals = 3;
constexpr int kPhaseDecimals = 2;
constexpr int kDampingDecimals = 3;

// The whole file read into a fresh oscillogram; a file that does not read whole ends the
// command (its text names the file and the line).
std::unique_ptr<sc::Oscillogram> readWhole(const std::string& path,
                                           const params::ParameterModel* model,
                                           sc::DatReadResult& result) {
    auto osc = std::make_unique<sc::Oscillogram>();
    result = sc::readDatFile(path, *osc, model);
    if (!result.ok())
        throw CliError(result.error);
    return osc;
}

int convertCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const auto out = takeOption(args, "-o");
    if (args.size() != 1 || !out)
        throw UsageError(std::string("usage: zrdctl ") + kConvertUsage);
    const std::optional<sc::OscillogramFormat> format = sc::formatOfPath(*out);
    if (!format)
        throw UsageError(*out + ": an oscillogram file is named *.dat or *.csv");

    sc::DatReadResult read;
    if (*format == sc::OscillogramFormat::Csv) {
        const auto osc = readWhole(args[0], nullptr, read);
        if (const sc::FileResult r = sc::writeCsvFile(*out, *osc); !r)
            throw CliError(r.error);
    } else {
        // The parameter block names each value by the database's mnemonic and name.
        StderrUserInterface ui;
        const auto db = loadDatabase("", options.lang, options, ui);
        const auto osc = readWhole(args[0], db->model.get(), read);
        SilentUserInterface silent;
        sc::takeOverParameters(*read.parameters, *db->model, silent);
        if (const sc::FileResult r = sc::writeDatFile(*out, *osc, *db->model); !r)
            throw CliError(r.error);
    }
    std::printf("scope convert: %s, %d records, written to %s\n",
                read.kind == sc::ScopeKind::Online ? "online" : "offline", read.records,
                out->c_str());
    return kExitOk;
}

// Pulls "--at F1 F2 ..." out of args: every value up to the next option.
std::vector<double> takeFrequencies(Args& args) {
    std::vector<double> at;
    const auto flag = std::find(args.begin(), args.end(), "--at");
    if (flag == args.end())
        return at;
    auto end = flag + 1;
    while (end != args.end() && !end->starts_with("--")) {
        at.push_back(parseDouble(*end, "--at"));
        ++end;
    }
    if (at.empty())
        throw UsageError("--at needs one frequency or more");
    args.erase(flag, end);
    return at;
}

void printRow(const tu::ChartPoint& p) {
    std::printf("%s %s %s\n", sc::fixedText(p.frequency, kFrequencyDecimals).c_str(),
                sc::fixedText(p.magnitudeDb, kDbDecimals).c_str(),
                sc::fixedText(p.phaseDeg, kPhaseDecimals).c_str());
}

// "bode: open loop: crossover F Hz, phase margin P deg, gain margin G dB" on stderr; G "inf"
// when the phase never falls through -180 degrees past the crossover.
void printMargins(const tu::LoopMargins& m) {
    if (!m.crossoverHz) {
        std::fprintf(stderr, "bode: open loop: no crossover within the excited band\n");
        return;
    }
    std::fprintf(stderr,
                 "bode: open loop: crossover %s Hz, phase margin %s deg, gain margin %s dB\n",
                 sc::fixedText(*m.crossoverHz, kFrequencyDecimals).c_str(),
                 sc::fixedText(*m.phaseMarginDeg, kPhaseDecimals).c_str(),
                 m.gainMarginDb ? sc::fixedText(*m.gainMarginDb, kDbDecimals).c_str() : "inf");
}

int bodeCommand(const Args& argsIn, const GlobalOptions&) {
    Args args = argsIn;
    const auto in = takeOption(args, "--in");
    const auto out = takeOption(args, "--out");
    const double fmax = parseDouble(takeOption(args, "--fmax").value_or("500"), "--fmax");
    const std::string dir = takeOption(args, "--dir").value_or(".");
    const std::vector<double> at = takeFrequencies(args);
    const bool openLoop = takeFlag(args, "--open-loop");
    if (args.size() != 1 || !in || !out || (openLoop && !at.empty()))
        throw UsageError(std::string("usage: zrdctl ") + kBodeUsage);
    const int input = parseInt(*in, "--in", 1, sc::kChannelCount);
    const int output = parseInt(*out, "--out", 1, sc::kChannelCount);

    sc::DatReadResult read;
    const auto osc = readWhole(args[0], nullptr, read);
    const double tick = osc->header.tick;
    if (!(tick > 0))
        throw CliError(args[0] + ": the tick " + sc::fixedText(tick, 5) +
                       " s gives no frequency axis");
    auto response = std::make_unique<tu::FrequencyResponse>();
    tu::computeFrequencyResponse(osc->buffer, input, output, tick, *response);
    if (const sc::FileResult r = tu::writeSpectrumFiles(dir, *response); !r)
        throw CliError(r.error);

    if (openLoop) {
        const std::vector<tu::ChartPoint> loop = tu::openLoopFromClosedLoop(*response, fmax);
        for (const tu::ChartPoint& p : loop)
            printRow(p);
        printMargins(tu::loopMargins(loop));
    } else if (at.empty()) {
        for (const tu::ChartPoint& p : tu::chartPoints(*response, fmax))
            printRow(p);
    } else {
        for (const double f : at) {
            const std::optional<tu::ChartPoint> p = tu::responseAt(*response, f);
            if (!p)
                throw CliError(
                    "--at " + sc::fixedText(f, kFrequencyDecimals) + " Hz lies outside 0.." +
                    sc::fixedText((tu::kResponseBins - 1) * response->df, kFrequencyDecimals) +
                    " Hz");
            printRow(*p);
        }
    }
    // The markers go to stderr, so that the rows stay a plain table.
    const auto peak = tu::peakMarker(*response, fmax);
    const auto cutoff = tu::cutoffMarker(*response, fmax);
    std::fprintf(stderr, "bode: df %s Hz", sc::fixedText(response->df, 6).c_str());
    if (peak)
        std::fprintf(stderr, ", peak %s dB at %s Hz",
                     sc::fixedText(peak->magnitudeDb, kDbDecimals).c_str(),
                     sc::fixedText(peak->frequency, kFrequencyDecimals).c_str());
    if (cutoff)
        std::fprintf(stderr, ", -3 dB at %s Hz",
                     sc::fixedText(cutoff->frequency, kFrequencyDecimals).c_str());
    std::fprintf(stderr, "\n");
    for (const tu::Resonance& r : tu::findResonances(*response, fmax))
        std::fprintf(stderr, "bode: %s %s Hz, %s dB, damping %s\n",
                     r.anti ? "anti-resonance" : "resonance",
                     sc::fixedText(r.frequency, kFrequencyDecimals).c_str(),
                     sc::fixedText(r.magnitudeDb, kDbDecimals).c_str(),
                     r.damping ? sc::fixedText(*r.damping, kDampingDecimals).c_str() : "unknown");
    return kExitOk;
}

}  // namespace

void addAnalysisCommands(CommandList& list) {
    list.push_back({"scope convert", kConvertUsage, convertCommand,
                    "Rewrites a .dat oscillogram as .csv (records 0..2047, four values a line) "
                    "or as .dat in the program's layout (Windows-1251, CR LF, \".\" decimals). "
                    "The .dat output names the parameters by the data set's database. Exit "
                    "status 1 when the input does not read whole; the reason names the line."});
    list.push_back({"bode", kBodeUsage, bodeCommand,
                    "The frequency response of a .dat oscillogram: output channel L over input "
                    "channel K (1..4; the same channel gives its own spectrum) over the first "
                    "2048 records, at the file's tick. Writes fft1.csv, fft2.csv and bode_m.csv "
                    "into DIR (the current folder) and prints frequency (Hz), magnitude (dB) "
                    "and phase (degrees) of each bin up to HZ (500), or at the frequencies of "
                    "--at, interpolated between bins. The largest peak, the -3 dB point and the "
                    "resonances and anti-resonances (3 dB prominent, with the damping of their "
                    "half-power width) go to stderr. --open-loop takes the response for a "
                    "closed loop T and prints L = T / (1 - T) over the excited bins, with its "
                    "crossover, phase margin and gain margin (inf: the phase never falls "
                    "through -180 degrees) on stderr."});
}

}  // namespace zrd::cli
