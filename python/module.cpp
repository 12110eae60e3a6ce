// The extension module zrd._core: the drive, recordings and the analysis functions over the
// core. Long exchanges run with the interpreter released and ask it between their steps whether
// Ctrl-C was pressed.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <filesystem>

#include "core/version.h"
#include "drive.h"
#include "link/port_info.h"
#include "params/parameter_table.h"
#include "scope/oscillogram_file.h"
#include "session/port_advice.h"
#include "tuning/filter_design.h"
#include "tuning/frequency_response.h"
#include "tuning/loop_analysis.h"

namespace py = pybind11;
namespace zp = zrd::python;
namespace pm = zrd::params;
namespace sc = zrd::scope;
namespace tn = zrd::tuning;

namespace {

const char* exceptionName(zp::FailureKind kind) {
    switch (kind) {
        case zp::FailureKind::Link:
            return "LinkError";
        case zp::FailureKind::Refused:
            return "RefusedError";
        case zp::FailureKind::Data:
            return "DataError";
    }
    return "Error";
}

void raiseFailure(const zp::Failure& f) {
    // The classes live in Python (zrd/_errors.py), so that they carry their docs and fields.
    try {
        const py::object cls = py::module_::import("zrd._errors").attr(exceptionName(f.kind));
        const py::object error = cls(f.what(), f.number, f.messageText);
        PyErr_SetObject(cls.ptr(), error.ptr());
    } catch (py::error_already_set& e) {
        e.restore();
    }
}

// How often a long exchange takes the interpreter back to run the signal handlers: another
// thread that holds it may keep it for its switch interval (5 ms), which must not slow every
// exchange of a sweep.
constexpr auto kSignalCheckInterval = std::chrono::milliseconds(50);

// The question a long exchange asks between its steps, made with the interpreter held: only its
// main thread runs the signal handlers, so an exchange on another thread is never interrupted.
// A pending KeyboardInterrupt is raised again once the exchange has ended cleanly.
zp::InterruptCheck interruptCheck() {
    const py::module_ threading = py::module_::import("threading");
    if (!threading.attr("current_thread")().is(threading.attr("main_thread")()))
        return {};
    return [next = std::chrono::steady_clock::time_point{}]() mutable {
        const auto now = std::chrono::steady_clock::now();
        if (now < next)
            return false;
        next = now + kSignalCheckInterval;
        py::gil_scoped_acquire hold;
        if (PyErr_CheckSignals() == 0)
            return false;
        PyErr_Clear();
        return true;
    };
}

std::string pathText(const py::object& path) {
    return py::str(py::module_::import("os").attr("fspath")(path));
}

py::object optionalNumber(const std::optional<double>& v) {
    return v ? py::object(py::float_(*v)) : py::object(py::none());
}

py::array_t<double> channelArray(const zp::Recording& rec, int channel) {
    py::array_t<double> out(rec.samples);
    auto values = out.mutable_unchecked<1>();
    for (py::ssize_t i = 0; i < rec.samples; ++i)
        values(i) = rec.oscillogram->buffer.channel(static_cast<int>(i), channel);
    return out;
}

// A channel given by number 1..4 or by its signal's name.
int channelOf(const zp::Recording& rec, const py::object& key) {
    if (py::isinstance<py::str>(key)) {
        const std::string name = key.cast<std::string>();
        for (const int c : rec.usedChannels())
            if (rec.oscillogram->channel(c).name == name)
                return c;
        throw py::key_error("no channel records " + name);
    }
    const int c = key.cast<int>();
    if (c < 1 || c > sc::kChannelCount)
        throw py::index_error("channels are 1..4, not " + std::to_string(c));
    return c;
}

py::dict coefficients(const tn::Biquad& q) {
    py::dict d;
    d["b0"] = q.b0;
    d["b1"] = q.b1;
    d["b2"] = q.b2;
    d["a1"] = q.a1;
    d["a2"] = q.a2;
    return d;
}

tn::FilterType filterType(const std::string& text) {
    if (text == "lpf")
        return tn::FilterType::LowPass;
    if (text == "bsf")
        return tn::FilterType::BandStop;
    if (text == "efc")
        return tn::FilterType::EqualiserCut;
    if (text == "efb")
        return tn::FilterType::EqualiserBoost;
    throw zp::Failure(zp::FailureKind::Data,
                      "type must be lpf, bsf, efc or efb, not \"" + text + "\"", 0, {});
}

// The coefficient scale of the drive's filter parameters.
constexpr double kDefaultCoefficientScale = 0.0001;

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The core of QX Torvanta for ZRD servo drives (use the package zrd).";
    m.attr("__version__") = std::string(zrd::projectVersion());
    m.attr("build_commit") = std::string(zrd::buildCommit());

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const zp::Failure& f) {
            raiseFailure(f);
        } catch (const zp::Interrupted&) {
            PyErr_SetNone(PyExc_KeyboardInterrupt);
        }
    });

    m.def("data_folder", &zp::dataFolderFor, py::arg("given"), py::arg("program_folder"),
          "The data folder: the one given, else TORVANTA_DATA, else the installed data set.");

    m.def(
        "ports",
        [](const std::string& dataFolder, const std::string& language) {
            std::vector<zrd::link::PortInfo> found;
            pm::MessageTable messages;
            {
                py::gil_scoped_release free;
                found = zrd::link::listSerialPorts();
                zrd::SilentUserInterface silent;
                messages.load((std::filesystem::path(dataFolder) / pm::kMessageFileName).string(),
                              silent);
            }
            const std::string rules =
                (std::filesystem::path(dataFolder) / zrd::session::kSerialRulesFile).string();
            py::list out;
            for (const auto& p : found) {
                py::dict d;
                d["device"] = p.device;
                d["description"] = zrd::link::portSummary(p);
                d["driver"] = p.driver;
                d["vendor_id"] = p.vendorId;
                d["product_id"] = p.productId;
                d["serial"] = p.serial;
                d["by_id"] = p.byId;
                d["latency_ms"] = p.latencyMs ? py::object(py::int_(*p.latencyMs)) : py::none();
                d["advice"] = zrd::session::latencyAdvice(p, rules, messages, language);
                if (p.simulator) {
                    py::dict simulator;
                    simulator["control"] = p.simulator->control;
                    simulator["pid"] = p.simulator->pid;
                    d["simulator"] = simulator;
                } else {
                    d["simulator"] = py::none();
                }
                out.append(d);
            }
            return out;
        },
        py::arg("data_folder"), py::arg("language") = std::string(pm::kEnglish));

    py::class_<zp::Recording>(m, "Recording", R"(A capture: the time axis and one array per signal.

rec.t is the time of each sample in seconds; rec["VACT"] (or rec[2], by channel) the values of a
signal in engineering units; rec.signals all of them by name.)")
        .def_static(
            "_load",
            [](const py::object& path, const std::string& dataFolder) {
                const std::string file = pathText(path);
                py::gil_scoped_release free;
                // The data set only names the file's parameter block; a file reads without one.
                std::unique_ptr<zp::DataSet> data;
                try {
                    if (!dataFolder.empty())
                        data = zp::loadDataSet(dataFolder, {});
                } catch (const zp::Failure&) {
                    data.reset();
                }
                return zp::Recording::load(file, data.get());
            },
            py::arg("path"), py::arg("data_folder"))
        .def(
            "save",
            [](const zp::Recording& rec, const py::object& path) {
                const std::string file = pathText(path);
                py::gil_scoped_release free;
                rec.save(file);
            },
            py::arg("path"), "Writes the recording as .dat (with the parameters) or .csv.")
        .def("__len__", [](const zp::Recording& rec) { return rec.samples; })
        .def_property_readonly(
            "kind",
            [](const zp::Recording& rec) {
                return rec.oscillogram->kind == sc::ScopeKind::Online ? "online" : "offline";
            })
        .def_property_readonly(
            "tick", [](const zp::Recording& rec) { return rec.oscillogram->header.tick; })
        .def_property_readonly(
            "t",
            [](const zp::Recording& rec) {
                py::array_t<double> out(rec.samples);
                auto values = out.mutable_unchecked<1>();
                const double tick = rec.oscillogram->header.tick;
                for (py::ssize_t i = 0; i < rec.samples; ++i)
                    values(i) = static_cast<double>(i) * tick;
                return out;
            },
            "Time of each sample (s) from the first.")
        .def_property_readonly("names",
                               [](const zp::Recording& rec) {
                                   py::list out;
                                   for (const int c : rec.usedChannels())
                                       out.append(rec.oscillogram->channel(c).name);
                                   return out;
                               })
        .def_property_readonly("units",
                               [](const zp::Recording& rec) {
                                   py::dict out;
                                   for (const int c : rec.usedChannels())
                                       out[py::str(rec.oscillogram->channel(c).name)] =
                                           rec.oscillogram->channel(c).unit;
                                   return out;
                               })
        .def_property_readonly("signals",
                               [](const zp::Recording& rec) {
                                   py::dict out;
                                   for (const int c : rec.usedChannels())
                                       out[py::str(rec.oscillogram->channel(c).name)] =
                                           channelArray(rec, c);
                                   return out;
                               })
        .def_property_readonly(
            "start", [](const zp::Recording& rec) { return rec.oscillogram->header.startStamp; })
        .def_property_readonly(
            "stop", [](const zp::Recording& rec) { return rec.oscillogram->header.stopStamp; })
        .def(
            "__getitem__",
            [](const zp::Recording& rec, const py::object& key) {
                return channelArray(rec, channelOf(rec, key));
            },
            py::arg("signal"))
        .def("__repr__", [](const zp::Recording& rec) {
            std::string names;
            for (const int c : rec.usedChannels())
                names += (names.empty() ? "" : ", ") + rec.oscillogram->channel(c).name;
            return "<zrd.Recording " +
                   std::string(rec.oscillogram->kind == sc::ScopeKind::Online ? "online"
                                                                              : "offline") +
                   ", " + std::to_string(rec.samples) + " samples of " + names + ">";
        });

    m.def(
        "_bode",
        [](const zp::Recording& rec, const py::object& input, const py::object& output,
           double fmax) {
            const int in = channelOf(rec, input);
            const int out = channelOf(rec, output);
            const double tick = rec.oscillogram->header.tick;
            if (!(tick > 0))
                throw zp::Failure(zp::FailureKind::Data,
                                  "the recording's tick gives no frequency axis", 0, {});
            auto response = std::make_unique<tn::FrequencyResponse>();
            std::vector<tn::ChartPoint> points;
            std::optional<tn::Marker> peak;
            std::vector<tn::Resonance> resonances;
            {
                py::gil_scoped_release free;
                tn::computeFrequencyResponse(rec.oscillogram->buffer, in, out, tick, *response);
                points = tn::chartPoints(*response, fmax);
                peak = tn::peakMarker(*response, fmax);
                resonances = tn::findResonances(*response, fmax);
            }
            const auto n = static_cast<py::ssize_t>(points.size());
            py::array_t<double> f(n), db(n), deg(n);
            auto fv = f.mutable_unchecked<1>();
            auto dv = db.mutable_unchecked<1>();
            auto pv = deg.mutable_unchecked<1>();
            for (py::ssize_t i = 0; i < n; ++i) {
                const tn::ChartPoint& p = points[static_cast<size_t>(i)];
                fv(i) = p.frequency;
                dv(i) = p.magnitudeDb;
                pv(i) = p.phaseDeg;
            }
            py::list found;
            for (const tn::Resonance& r : resonances) {
                py::dict d;
                d["anti"] = r.anti;
                d["frequency"] = r.frequency;
                d["db"] = r.magnitudeDb;
                d["damping"] = optionalNumber(r.damping);
                found.append(d);
            }
            py::dict result;
            result["freq"] = f;
            result["db"] = db;
            result["deg"] = deg;
            result["df"] = response->df;
            result["peak"] = peak ? py::object(py::make_tuple(peak->frequency, peak->magnitudeDb))
                                  : py::object(py::none());
            result["resonances"] = found;
            return result;
        },
        py::arg("rec"), py::arg("inp"), py::arg("out"), py::arg("fmax"));

    m.def(
        "filter_design",
        [](const std::string& type, double freq, double q, double gain, double scale) {
            tn::FilterInputs in;
            in.type = filterType(type);
            in.frequency = freq;
            in.quality = q;
            in.gainDb = gain;
            tn::CoefficientFactors factors{};
            factors.fill(tn::quantisationFactor(scale));
            const auto c = tn::calculateFilter(in, factors);
            if (!c)
                throw zp::Failure(zp::FailureKind::Data,
                                  "nothing computed: the quality is 0 or the normaliser is 0 for "
                                  "these inputs",
                                  0, {});
            py::dict out;
            out["designed"] = coefficients(c->designed);
            out["quantised"] = coefficients(c->quantised);
            out["dc_corrected"] = c->dcCorrected;
            out["stable"] = c->stable;
            return out;
        },
        py::arg("type"), py::arg("freq"), py::arg("q") = tn::kDefaultFilterQuality,
        py::arg("gain") = tn::kDefaultFilterGainDb, py::arg("scale") = kDefaultCoefficientScale,
        R"(A drive filter designed by the bilinear transform at 8000 Hz and quantised.

type is "lpf", "bsf", "efc" or "efb"; freq in Hz, gain in dB. Returns the coefficients b0 b1 b2
a1 a2 as designed and as quantised to the scale (with the correction for unit gain at zero
frequency), and whether the quantised filter is stable.)");

    py::class_<zp::Drive>(m, "Drive", "A connected drive; see zrd.connect().")
        .def(py::init([](const std::string& port, int baud, bool fast, const std::string& folder,
                         int timeoutMs, const std::string& language) {
                 zp::ConnectOptions o;
                 o.port = port;
                 o.baud = baud;
                 o.fast = fast;
                 o.dataFolder = folder;
                 o.timeoutMs = timeoutMs;
                 o.language = language;
                 py::gil_scoped_release free;
                 return std::make_unique<zp::Drive>(o);
             }),
             py::arg("port"), py::arg("baud"), py::arg("fast"), py::arg("data_folder"),
             py::arg("timeout_ms"), py::arg("language"))
        .def("close", &zp::Drive::close, py::call_guard<py::gil_scoped_release>(),
             "Closes the port.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__",
             [](zp::Drive& d, const py::args&) {
                 py::gil_scoped_release free;
                 d.close();
             })
        .def_property_readonly("port", &zp::Drive::port)
        .def_property_readonly("connected", &zp::Drive::connected)
        .def_property_readonly("language", &zp::Drive::language)
        .def_property_readonly("names", &zp::Drive::names,
                               "The mnemonics of the database in table order.")
        .def(
            "info",
            [](const zp::Drive& d, const std::string& name) {
                const zp::ParameterInfo i = d.info(name);
                py::dict out;
                out["name"] = i.name;
                out["description"] = i.description;
                out["unit"] = i.unit;
                out["access"] = i.access;
                out["min"] = i.minimum;
                out["max"] = i.maximum;
                out["default"] = i.defaultValue;
                return out;
            },
            py::arg("name"), "The database's record of a parameter: limits, default, unit.")
        .def("__getitem__", &zp::Drive::get, py::call_guard<py::gil_scoped_release>(),
             py::arg("name"))
        .def("__setitem__",
             [](zp::Drive& d, const std::string& name, double value) {
                 py::gil_scoped_release free;
                 (void)d.set(name, value);
             })
        .def("set", &zp::Drive::set, py::call_guard<py::gil_scoped_release>(), py::arg("name"),
             py::arg("value"), "Writes one value and returns the value that stands.")
        .def(
            "get",
            [](zp::Drive& d, const py::args& names) {
                std::vector<std::string> list;
                for (const auto& n : names)
                    list.push_back(n.cast<std::string>());
                std::vector<double> values;
                {
                    py::gil_scoped_release free;
                    for (const auto& n : list)
                        values.push_back(d.get(n));
                }
                py::dict out;
                for (size_t i = 0; i < list.size(); ++i)
                    out[py::str(list[i])] = values[i];
                return out;
            },
            "Reads the parameters named and returns {name: value}.")
        .def(
            "read_all",
            [](zp::Drive& d, bool strict) {
                std::vector<std::pair<std::string, std::optional<double>>> values;
                const zp::InterruptCheck stop = interruptCheck();
                {
                    py::gil_scoped_release free;
                    values = d.readAll(strict, stop);
                }
                py::dict out;
                for (const auto& [name, value] : values)
                    out[py::str(name)] = optionalNumber(value);
                return out;
            },
            py::arg("strict") = true)
        .def(
            "write_all",
            [](zp::Drive& d, const std::map<std::string, double>& values) {
                const zp::InterruptCheck stop = interruptCheck();
                py::gil_scoped_release free;
                return d.writeAll(values, stop);
            },
            py::arg("values"))
        .def(
            "save_params",
            [](zp::Drive& d, const py::object& path) {
                const std::string file = pathText(path);
                const zp::InterruptCheck stop = interruptCheck();
                py::gil_scoped_release free;
                d.saveParams(file, stop);
            },
            py::arg("path"))
        .def(
            "load_params",
            [](zp::Drive& d, const py::object& path) {
                const std::string file = pathText(path);
                const zp::InterruptCheck stop = interruptCheck();
                py::gil_scoped_release free;
                return d.loadParams(file, stop);
            },
            py::arg("path"))
        .def(
            "diff",
            [](zp::Drive& d, const py::object& a, const py::object& b) {
                const std::string left = pathText(a);
                const std::string right = pathText(b);
                std::vector<zp::DiffRow> rows;
                {
                    py::gil_scoped_release free;
                    rows = d.diff(left, right);
                }
                py::list out;
                for (const zp::DiffRow& r : rows) {
                    py::dict row;
                    row["name"] = r.name;
                    row["a"] = optionalNumber(r.a);
                    row["b"] = optionalNumber(r.b);
                    row["default"] = r.defaultValue;
                    row["min"] = r.minimum;
                    row["max"] = r.maximum;
                    row["unit"] = r.unit;
                    row["a_outside"] = r.aOutside;
                    row["b_outside"] = r.bOutside;
                    row["note"] = r.limitNote;
                    out.append(row);
                }
                return out;
            },
            py::arg("a"), py::arg("b") = "drive")
        .def("status",
             [](zp::Drive& d) {
                 std::vector<zp::StatusWord> words;
                 {
                     py::gil_scoped_release free;
                     words = d.status();
                 }
                 py::dict out, values, all;
                 for (const zp::StatusWord& w : words) {
                     values[py::int_(w.word)] = w.value;
                     py::dict bits;
                     for (const auto& [name, text] : w.bits) {
                         bits[py::str(name)] = text;
                         all[py::str(name)] = text;
                     }
                     out[py::str(w.label)] = bits;
                 }
                 out["words"] = values;
                 out["bits"] = all;
                 return out;
             })
        .def("eeprom_save",
             [](zp::Drive& d) {
                 const zp::InterruptCheck stop = interruptCheck();
                 py::gil_scoped_release free;
                 d.eepromSave(stop);
             })
        .def("reset", &zp::Drive::reset, py::call_guard<py::gil_scoped_release>(),
             py::arg("force") = false)
        .def("servo", &zp::Drive::servo, py::call_guard<py::gil_scoped_release>(), py::arg("on"))
        .def("mode", &zp::Drive::mode, py::call_guard<py::gil_scoped_release>(), py::arg("mode"))
        .def("source", &zp::Drive::source, py::call_guard<py::gil_scoped_release>(),
             py::arg("source"))
        .def(
            "fg",
            [](zp::Drive& d, const std::string& type, double amp, double offset,
               std::optional<double> period, std::optional<double> width, int repeat,
               const std::string& ampUnit, const std::string& timeUnit) {
                zp::WaveRequest w{type, amp, offset, period, width, repeat, ampUnit, timeUnit};
                std::vector<std::pair<std::string, double>> written;
                {
                    py::gil_scoped_release free;
                    written = d.fg(w);
                }
                py::dict out;
                for (const auto& [name, value] : written)
                    out[py::str(name)] = value;
                return out;
            },
            py::arg("type"), py::arg("amp"), py::arg("offset") = 0.0,
            py::arg("period") = py::none(), py::arg("width") = py::none(), py::arg("repeat") = 0,
            py::arg("amp_unit") = "rev-min", py::arg("time_unit") = "ms")
        .def("fg_start", &zp::Drive::fgStart, py::call_guard<py::gil_scoped_release>())
        .def("fg_stop", &zp::Drive::fgStop, py::call_guard<py::gil_scoped_release>())
        .def(
            "scope_online",
            [](zp::Drive& d, const std::vector<py::object>& signals, int rateHz, int samples) {
                if (signals.size() != 2)
                    throw zp::Failure(zp::FailureKind::Data, "the online scope records two signals",
                                      0, {});
                const std::array<std::string, 2> names = {py::str(signals[0]), py::str(signals[1])};
                const zp::InterruptCheck stop = interruptCheck();
                py::gil_scoped_release free;
                return d.scopeOnline(names, rateHz, samples, stop);
            },
            py::arg("signals"), py::arg("rate_hz") = 1000, py::arg("samples") = sc::kRecordCount)
        .def(
            "scope_offline",
            [](zp::Drive& d, const std::vector<py::object>& signals, int tick,
               const std::string& trigger, int source, double level, int pre,
               std::optional<double> wait, bool startFg) {
                if (signals.empty() || signals.size() > sc::kChannelCount)
                    throw zp::Failure(zp::FailureKind::Data,
                                      "the offline scope records one to four signals", 0, {});
                zp::OfflineRequest r;
                r.signals.fill("0");
                for (size_t i = 0; i < signals.size(); ++i)
                    r.signals.at(i) = py::str(signals[i]);
                r.tick = tick;
                r.trigger = trigger;
                r.source = source;
                r.level = level;
                r.pre = pre;
                r.waitS = wait;
                r.startFg = startFg;
                const zp::InterruptCheck stop = interruptCheck();
                py::gil_scoped_release free;
                return d.scopeOffline(r, stop);
            },
            py::arg("signals"), py::arg("tick") = 0, py::arg("trigger") = "none",
            py::arg("source") = 1, py::arg("level") = 0.0, py::arg("pre") = 0,
            py::arg("wait") = py::none(), py::arg("start_fg") = false)
        .def(
            "tune",
            [](zp::Drive& d, std::optional<double> bandwidth, double phaseMargin, double gainMargin,
               double amp, double fmin, double fmax, int filters, bool apply, bool save) {
                const zp::TuneRequest r{bandwidth, phaseMargin, gainMargin, amp, fmin,
                                        fmax,      filters,     apply,      save};
                const zp::InterruptCheck stop = interruptCheck();
                std::string json;
                {
                    py::gil_scoped_release free;
                    json = d.tune(r, stop);
                }
                return py::module_::import("json").attr("loads")(json);
            },
            py::arg("bandwidth") = py::none(), py::arg("phase_margin") = tn::kDefaultPhaseMarginDeg,
            py::arg("gain_margin") = tn::kDefaultGainMarginDb,
            py::arg("amp") = tn::kDefaultTuneAmplitudeRpm, py::arg("fmin") = tn::kDefaultTuneFromHz,
            py::arg("fmax") = tn::kDefaultTuneToHz, py::arg("filters") = tn::kDefaultTuneFilters,
            py::arg("apply") = false, py::arg("save") = false,
            R"(Tunes the speed loop from the measured plant, as zrdctl tune does; a dry run unless
apply=True (save=True then stores the verified result in the EEPROM). Returns the dict that
zrdctl tune --json prints.)");
}
