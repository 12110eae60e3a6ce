// Every exchange of the program against every fault of the line, on the simulated drive with the
// shipped data set: what the exchange does, that no value it keeps comes from a bad frame, that
// it ends within its bound without spinning, and that it works again once the fault has ended.
#include <time.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "core/text_file.h"
#include "link/drive_link.h"
#include "monitor/status.h"
#include "params/database_loader.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "recording_ui.h"
#include "scope/offline_capture.h"
#include "scope/online_capture.h"
#include "scope/scope_settings.h"
#include "scope/trigger.h"
#include "session/parameter_access.h"
#include "session/service_commands.h"
#include "session/status_poll.h"
#include "session/sweeps.h"
#include "sim_server.h"
#include "tuning/function_generator.h"

namespace zrd {
namespace {

namespace fs = std::filesystem;
namespace pm = zrd::params;
namespace sc = zrd::scope;
namespace se = zrd::session;
using Clock = std::chrono::steady_clock;

// One column of the matrix: a fault as zrd-sim takes it, and how long it lasts.
struct LineFault {
    const char* name;  // the test's name
    const char* text;
    int frames;  // frames it spoils; kLasting: until it is ended
    bool hangUp = false;
    const char* stream = "";  // the same on the streamed frames
    // The drive hears nothing for longer than three exchanges take: a sweep without retries
    // (write-all) takes it for gone.
    bool stalls = false;
};
constexpr int kLasting = -1;
// A burst spoils two frames in a row: a sweep gives up after three unanswered writes in a row,
// and a burst must not look like a dead drive.
constexpr int kBurst = 2;

// Framing bytes are spoiled (the reply code, the index), which a frame shows; a value byte that
// keeps the frame's shape (or a lost escape byte) cannot be told from a good one, as the
// protocol has no checksum.
// The delay lies beyond every reply wait; the late reply lands in the next request's window.
// The stream's faults spoil the code byte of a sample frame, or of a record piece's first frame.
const LineFault kFaults[] = {
    {"silence", "silent", kLasting, false, "silent"},
    {"delay", "delay=200", kBurst, false, "delay=200", true},
    {"dropped_byte", "drop=2", kBurst, false, "drop=1"},
    {"corrupted_byte", "corrupt=1", kBurst, false, "corrupt=6"},
    {"noise", "noise=30,E1,45,E2,E4", kBurst, false, "noise=30,E1,45,E2,E4"},
    {"duplicated_frame", "duplicate=3", kBurst, false, "duplicate=0"},
    {"late_reply", "late=80", kBurst, false, "late=80"},
    {"hang_up", "hangup=2", kLasting, true, "hangup=20"},
};

// A good line on a busy machine may still miss a reply bound now and then: the reference runs
// and the runs after the fault are repeated until they come out whole. A wrong value is caught
// on every attempt.
constexpr int kWholeAttempts = 3;
template <class Run, class Whole>
auto untilWhole(Run&& run, Whole&& whole) {
    auto result = run();
    for (int attempt = 1; attempt < kWholeAttempts && !whole(result); ++attempt)
        result = run();
    return result;
}

bool readWhole(const se::ReadAllResult& r) {
    return !r.linkLost && r.gaveUp.empty();
}

void PrintTo(const LineFault& f, std::ostream* out) {
    *out << f.name;
}

std::chrono::nanoseconds threadCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// Records the hang-ups besides everything else.
class MatrixUi : public test::RecordingUserInterface {
public:
    void linkLost(const std::string& reason) override { lost.push_back(reason); }
    std::vector<std::string> lost;
};

// The shipped drive on a pseudo-terminal and the program's side connected to it.
class FaultMatrix : public testing::TestWithParam<LineFault> {
protected:
    static constexpr int kBaud = 115200;
    static constexpr int kFastBaud = 921600;
    // Longer than any delay, late or repeated reply of the faults.
    static constexpr int kQuietMs = 300;
    // The sweeps walk the parameters of the database's first groups (forty), which hold
    // every kind of value; the whole database would take minutes over the matrix.
    static constexpr size_t kSweepDatabaseLines = 60;
    // Retries of one parameter in the sweeps: enough to outlast a burst of delayed replies.
    static constexpr int kSweepAttempts = 8;

    void SetUp() override {
        const fs::path data(ZRD_SHIPPED_DATA_DIR);
        messages.load((data / pm::kMessageFileName).string(), ui);
        ASSERT_TRUE(
            pm::loadDatabase((data / pm::kDatabaseFileName).string(), model, messages, ui, false)
                .ok());
        giveRows(model);
        ASSERT_NO_FATAL_FAILURE(connect());
    }

    void TearDown() override {
        link.closePort();
        sim->stop();
    }

    // Rows as the page builder gives them: every parameter with Mode_mes 0 gets one.
    static void giveRows(pm::ParameterModel& m) {
        for (int p = 0; p < pm::kParameterCount; ++p)
            if (!m.parameter(p).Pname.empty())
                m.parameter(p).indexFrame = pm::getsPageRow(m.parameter(p)) ? 0 : pm::kNoFrame;
        m.setRowValuesToDefaults();
    }

    // A new drive on a new line: after a hang-up, the cable plugged in again.
    void connect() {
        link.closePort();
        if (sim)
            sim->stop();
        sim = std::make_unique<sim::SimServer>(m_baud);
        ASSERT_TRUE(sim->openPty()) << sim->error();
        sim->withDrive([&](sim::SimDrive& d) {
            if (m_bare) {
                fillMemory(d);
            } else {
                d.loadParameters(model);
                d.setNoise(0);  // process values hold still, so that a reading can be compared
            }
        });
        sim->start();
        ASSERT_EQ(link.openPort(sim->devicePath(), m_baud, link::kDefaultPortTimeOutMs),
                  link::OpenResult::Ok);
        link.state().connected = 1;
        // What a new drive holds, as the read-all after connecting would find it.
        model.setRowValuesToDefaults();
        ui.boxes.clear();
        ui.lost.clear();
    }

    // A bare drive: memory that holds still, every word a value of its own, escapes among them.
    static void fillMemory(sim::SimDrive& d) {
        for (size_t i = 0; i < sim::SimDrive::kIndexCount; ++i) {
            const auto index = static_cast<uint8_t>(i);
            d.setRaw(index, static_cast<uint16_t>(0xE100 + index * 0x0107));
        }
        // Errors and warnings flagged, so that a status tick reads every word.
        d.setRaw(static_cast<uint8_t>(pm::kStateBitWords[0]),
                 1 << monitor::kBitErrors | 1 << monitor::kBitWarnings | 1 << monitor::kBitReady);
    }

    void useBareDrive() {
        m_bare = true;
        connect();
    }
    // A fast line for the long offline record: the matrix reads it back many times.
    void useFastLine() {
        m_baud = kFastBaud;
        connect();
    }

    sim::Fault parsed(const char* text, int frames) {
        auto f = sim::parseFault(text);
        EXPECT_TRUE(f) << text;
        sim::Fault fault = f.value_or(sim::Fault{});
        fault.count = frames;
        return fault;
    }
    // A reply fault whose times are stated for the drive's own reply margin: a wider one
    // stretches them alike, so that a delay still lies beyond every wait and a late reply in
    // the next. The streamed frames keep theirs: no reply wait measures them.
    sim::Fault replyFault(const LineFault& f) {
        sim::Fault fault = parsed(f.text, f.frames);
        if (fault.kind == sim::FaultKind::Delay || fault.kind == sim::FaultKind::Late)
            fault.value = scaledMs(fault.value);
        return fault;
    }
    [[nodiscard]] int scaledMs(int ms) const {
        return ms * link.state().replyMarginMs / link::kReplyWaitMarginMs;
    }

    void inject(const LineFault& f) {
        sim->withDrive([&](sim::SimDrive& d) { d.addFault(replyFault(f)); });
    }
    void injectStream(const LineFault& f) {
        sim->withDrive([&](sim::SimDrive& d) { d.addStreamFault(parsed(f.stream, f.frames)); });
    }

    // Ends the fault: a hang-up by a new line, the others by a drive that behaves again.
    void endFault(const LineFault& f) {
        if (f.hangUp) {
            ASSERT_NO_FATAL_FAILURE(connect());
            return;
        }
        sim->withDrive([](sim::SimDrive& d) {
            d.clearFaults();
            d.clearStreamFaults();
        });
        // The drive sends what it still owes (a delayed, late or repeated reply), and the line
        // falls quiet, before the fault counts as ended.
        // A stream the program left running (it ended a capture as silent) never falls quiet.
        std::array<uint8_t, 256> owed{};
        const int quietMs = scaledMs(kQuietMs);
        const auto giveUp = Clock::now() + std::chrono::milliseconds(quietMs * 5);
        while (Clock::now() < giveUp &&
               link.port().waitReadable(quietMs) == link::WaitResult::Readable)
            (void)link.port().readAvailable(owed.data(), owed.size());
        ui.boxes.clear();
    }

    // Runs an exchange and checks that its thread slept while it waited: a wait that spun on
    // the line would burn about as much processor time as it took.
    template <class F>
    auto bounded(const char* what, F&& exchange) {
        const auto wall0 = Clock::now();
        const auto cpu0 = threadCpuTime();
        auto result = exchange();
        const auto wall = Clock::now() - wall0;
        const auto cpu = threadCpuTime() - cpu0;
        if (wall > std::chrono::milliseconds(300)) {
            EXPECT_LT(cpu, wall / 2) << what << " spins";
        }
        return result;
    }

    // Boxes that show message `message` (by its own words; what it names follows them).
    size_t shown(int message) const {
        const std::string words = messages.text(message, model.language()).substr(0, 12);
        return static_cast<size_t>(
            std::count_if(ui.boxes.begin(), ui.boxes.end(),
                          [&](const auto& b) { return b.text.find(words) != std::string::npos; }));
    }

    // A fault that lasts is told once: the hang-up by the link, a silent drive by `message`
    // (0: the exchange ends quietly); a burst is not told at all.
    void expectToldOnce(const LineFault& f, int message) {
        EXPECT_EQ(ui.lost.size(), f.hangUp ? 1u : 0u);
        if (message != 0) {
            EXPECT_EQ(shown(message), f.frames == kLasting && !f.hangUp ? 1u : 0u);
        }
    }

    uint16_t raw(uint8_t index) {
        uint16_t v = 0;
        sim->withDrive([&](sim::SimDrive& d) { v = d.raw(index); });
        return v;
    }

    // A model of the sweeps' part of the database.
    std::unique_ptr<pm::ParameterModel> sweepModel() {
        const fs::path path = fs::path(ZRD_SHIPPED_DATA_DIR) / pm::kDatabaseFileName;
        std::vector<std::string> lines = readTextFile(path.string()).lines;
        lines.resize(std::min(lines.size(), kSweepDatabaseLines));
        auto m = std::make_unique<pm::ParameterModel>();
        EXPECT_TRUE(pm::loadDatabaseLines(lines, *m, messages, ui, false).ok());
        giveRows(*m);
        return m;
    }

    MatrixUi ui;
    pm::MessageTable messages;
    pm::ParameterModel model;
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    link::DriveLink link{*port, ui};
    se::ParameterAccess access{link, model, messages};

private:
    bool m_bare = false;
    int m_baud = kBaud;
};

// Read-all: a value the table calls known is the drive's own; the others keep their defaults.
// A burst is outlasted by the retries; a drive that is gone stops the sweep with what it read.
TEST_P(FaultMatrix, ReadAll) {
    const LineFault& f = GetParam();
    auto m = sweepModel();
    se::Sweeps sweeps(link, *m, messages, kSweepAttempts);
    const se::ReadAllResult reference =
        untilWhole([&] { return sweeps.ReadParamAll(); }, readWhole);
    ASSERT_FALSE(reference.linkLost);
    const int positions = se::sweepLength(*m);
    std::vector<double> truth(static_cast<size_t>(positions));
    for (int p = 0; p < positions; ++p)
        truth[static_cast<size_t>(p)] = m->value(p);

    const auto expectOnlyTheDrivesValues = [&](const char* when) {
        for (int p = 0; p < positions; ++p) {
            if (!m->hasPageRow(p))
                continue;
            const double expected = m->isKnown(p)
                                        ? truth[static_cast<size_t>(p)]
                                        : m->parameter(p).DefValue * m->parameter(p).scale;
            EXPECT_DOUBLE_EQ(m->value(p), expected) << when << " " << m->parameter(p).Pname;
        }
    };
    m->setRowValuesToDefaults();
    for (int p = 0; p < positions; ++p)
        m->setKnown(p, false);
    inject(f);
    const se::ReadAllResult r = bounded("read-all", [&] { return sweeps.ReadParamAll(); });
    EXPECT_EQ(r.linkLost, f.frames == kLasting);
    EXPECT_TRUE(r.gaveUp.empty());
    expectOnlyTheDrivesValues("under the fault");
    EXPECT_FALSE(link.state().linkBusy);
    expectToldOnce(f, pm::kMsgReadAllStopped);

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    const se::ReadAllResult again = untilWhole([&] { return sweeps.ReadParamAll(); }, readWhole);
    EXPECT_FALSE(again.linkLost);
    expectOnlyTheDrivesValues("after the fault");
    for (int p = 0; p < positions; ++p)
        EXPECT_TRUE(!m->hasPageRow(p) || m->isKnown(p)) << m->parameter(p).Pname;
}

// Write-all: a write counts as accepted only where the drive took it; a burst costs the writes
// it spoils, a drive that is gone stops the sweep with one message.
TEST_P(FaultMatrix, WriteAll) {
    const LineFault& f = GetParam();
    auto m = sweepModel();
    se::Sweeps sweeps(link, *m, messages, kSweepAttempts);
    ASSERT_TRUE(readWhole(untilWhole([&] { return sweeps.ReadParamAll(); }, readWhole)));
    // Every writable value moves to a limit the drive does not hold.
    for (int p = 0; p < se::sweepLength(*m); ++p) {
        const pm::TPar& par = m->parameter(p);
        if (!m->isKnown(p) || par.pType == "R")
            continue;
        const auto now = static_cast<int32_t>(std::lround(m->value(p) / par.scale));
        m->setValue(p, (now == par.MinVal ? par.MaxVal : par.MinVal) * par.scale);
    }
    const auto expectAcceptedWritesLanded = [&](const se::WriteAllResult& r) {
        int accepted = 0;
        for (const se::WriteRecord& w : r.writes) {
            const pm::TPar& par = m->parameter(w.position);
            if (w.verdict != link::kReplyAccepted)
                continue;
            ++accepted;
            EXPECT_EQ(raw(par.Index),
                      static_cast<uint16_t>(std::lround(m->value(w.position) / par.scale)))
                << par.Pname;
        }
        return accepted;
    };

    inject(f);
    const se::WriteAllResult r = bounded("write-all", [&] { return sweeps.writeAll({}); });
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.linkLost, f.frames == kLasting || f.stalls);
    expectAcceptedWritesLanded(r);
    EXPECT_FALSE(link.state().linkBusy);
    EXPECT_EQ(ui.lost.size(), f.hangUp ? 1u : 0u);
    EXPECT_EQ(shown(pm::kMsgWriteAllStopped), r.linkLost && !f.hangUp ? 1u : 0u);

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    const se::WriteAllResult again =
        untilWhole([&] { return sweeps.writeAll({}); },
                   [](const auto& r) { return !r.linkLost && r.unanswered == 0; });
    EXPECT_FALSE(again.linkLost);
    EXPECT_EQ(again.unanswered, 0);
    EXPECT_EQ(again.refused, 0);
    EXPECT_EQ(expectAcceptedWritesLanded(again), again.written);
}

// The status poll: a word kept in a state frame is the drive's, or cleared; a burst is
// tolerated, a drive that is gone takes the display offline after the tolerated ticks.
TEST_P(FaultMatrix, StatusPoll) {
    const LineFault& f = GetParam();
    ASSERT_NO_FATAL_FAILURE(useBareDrive());
    se::StatusPoll poll(link, model, messages);
    using Outcome = monitor::StatusTick::Outcome;
    const auto online = [](const monitor::StatusTick& t) { return t.outcome == Outcome::Online; };
    ASSERT_TRUE(online(untilWhole([&] { return poll.tick(); }, online)));
    const std::array truth = {poll.frame(0).words, poll.frame(1).words};
    const auto expectOnlyTheDrivesWords = [&](bool allRead) {
        for (size_t fr = 0; fr < truth.size(); ++fr)
            for (size_t c = 0; c < truth[fr].size(); ++c) {
                const uint16_t w = poll.frame(static_cast<int>(fr)).words.at(c);
                EXPECT_TRUE(w == truth[fr][c] || (!allRead && w == 0))
                    << "frame " << fr << " column " << c << ": " << w;
            }
    };

    inject(f);
    // The status timer's ticks: enough for a lasting fault to use up the tolerated ones.
    std::vector<Outcome> outcomes;
    for (int t = 0; t < monitor::kToleratedFailures + 2; ++t) {
        outcomes.push_back(bounded("status tick", [&] { return poll.tick(); }).outcome);
        expectOnlyTheDrivesWords(false);
    }
    const auto count = [&](Outcome o) { return std::count(outcomes.begin(), outcomes.end(), o); };
    EXPECT_EQ(count(Outcome::WentOffline), f.frames == kLasting ? 1 : 0);
    if (f.frames != kLasting) {
        EXPECT_EQ(outcomes.back(), Outcome::Online);
        EXPECT_EQ(link.state().connected, 1);
    }
    expectToldOnce(f, 0);
    EXPECT_TRUE(ui.boxes.empty());

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    EXPECT_TRUE(online(untilWhole([&] { return poll.tick(); }, online)));
    expectOnlyTheDrivesWords(true);
}

std::array<std::optional<double>, 11> fieldsOf(const se::MonitorSample& s) {
    return {s.speedCommand,  s.speedActual,  s.currentCommand,  s.currentActual,
            s.torqueCommand, s.torqueActual, s.positionCommand, s.positionActual,
            s.analogIn,      s.pulseIn,      s.followError};
}

// The monitor's fourteen reads: a field read is the drive's value, a field spoiled is left out.
TEST_P(FaultMatrix, Monitor) {
    const LineFault& f = GetParam();
    ASSERT_NO_FATAL_FAILURE(useBareDrive());
    const auto allRead = [](const se::MonitorSample& m) { return m.answered == m.requested; };
    const auto tick = [&] { return se::readMonitorSample(access, model); };
    const se::MonitorSample reference = untilWhole(tick, allRead);
    ASSERT_EQ(reference.answered, reference.requested);
    const auto truth = fieldsOf(reference);

    inject(f);
    const se::MonitorSample s =
        bounded("monitor tick", [&] { return se::readMonitorSample(access, model); });
    const auto read = fieldsOf(s);
    for (size_t k = 0; k < read.size(); ++k)
        EXPECT_TRUE(!read[k] || read[k] == truth[k]) << "field " << k;
    if (f.frames == kLasting) {
        EXPECT_LT(s.answered, s.requested);
    }
    expectToldOnce(f, 0);
    EXPECT_FALSE(link.state().linkBusy);

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    const se::MonitorSample again = untilWhole(tick, allRead);
    EXPECT_EQ(again.answered, again.requested);
    EXPECT_EQ(fieldsOf(again), truth);
}

// The online capture with its stream spoiled: every sample kept is one the drive sent (the
// channels hold still); a burst costs the samples it spoils, silence ends the capture quietly
// after its bound, a hang-up ends it keeping what came.
TEST_P(FaultMatrix, OnlineCapture) {
    const LineFault& f = GetParam();
    ASSERT_NO_FATAL_FAILURE(useBareDrive());
    constexpr int kSamples = 300;
    auto osc = std::make_unique<sc::Oscillogram>();
    osc->rateCode = sc::kRates[0].code;
    osc->channel(1) = sc::channelOfSignal(model, sc::findScopeSignal(model, "IACT").value_or(0));
    osc->channel(2) = sc::channelOfSignal(model, sc::findScopeSignal(model, "STA").value_or(0));
    const auto capture = [&] {
        sc::OnlineCapture c(link, *osc, model, messages);
        c.setSampleLimit(kSamples);
        EXPECT_TRUE(c.start(2, Clock::now()));
        EXPECT_TRUE(bounded("online capture", [&] { return sc::runCapture(c, *port); }));
        return std::tuple{c.end(), c.samples()};
    };
    const auto whole = [&](const auto& c) {
        return c == std::tuple{sc::CaptureEnd::UserStop, kSamples};
    };
    const auto [referenceEnd, referenceSamples] = untilWhole(capture, whole);
    ASSERT_EQ(referenceEnd, sc::CaptureEnd::UserStop);
    ASSERT_EQ(referenceSamples, kSamples);
    const std::array truth = {osc->buffer.value(0, 0), osc->buffer.value(0, 1)};
    const auto expectOnlyTheDrivesSamples = [&](int samples) {
        for (int k = 0; k < samples; ++k)
            for (int c = 0; c < 2; ++c)
                ASSERT_EQ(osc->buffer.value(k, c), truth.at(static_cast<size_t>(c)))
                    << "sample " << k << " channel " << c + 1;
    };
    expectOnlyTheDrivesSamples(kSamples);

    injectStream(f);
    const auto [end, samples] = capture();
    expectOnlyTheDrivesSamples(samples);
    if (f.hangUp) {
        // What the kernel passed on before the line went is kept; what was still in flight
        // goes with the line, so how many came depends on the scheduling (none is right too).
        EXPECT_EQ(end, sc::CaptureEnd::HungUp);
        EXPECT_LE(samples, kSamples);
    } else if (f.frames == kLasting) {
        EXPECT_EQ(end, sc::CaptureEnd::Silent);
        EXPECT_EQ(samples, 0);
    } else {
        EXPECT_EQ(end, sc::CaptureEnd::UserStop);
    }
    expectToldOnce(f, 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(link.state().linkBusy);

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    const auto [againEnd, againSamples] = untilWhole(capture, whole);
    EXPECT_EQ(againEnd, sc::CaptureEnd::UserStop);
    EXPECT_EQ(againSamples, kSamples);
    expectOnlyTheDrivesSamples(kSamples);
}

// The offline read-back with the record spoiled: a value kept is the drive's (the channels hold
// still) or left zero where a frame was lost; silence ends the wait for the full buffer after
// its bound, a hang-up ends the read-back keeping what came.
TEST_P(FaultMatrix, OfflineReadBack) {
    const LineFault& f = GetParam();
    ASSERT_NO_FATAL_FAILURE(useFastLine());
    auto osc = std::make_unique<sc::Oscillogram>();
    sc::OfflineSetup setup;
    setup.trigger = sc::TriggerType::FullBuffer;
    for (size_t c = 0; c < setup.channelSignals.size(); ++c)
        setup.channelSignals.at(c) = sc::findScopeSignal(model, c % 2 ? "STA" : "VACT").value_or(0);
    std::string failed;
    ASSERT_TRUE(sc::writeOfflineSetup(link, access, model, *osc, setup, failed)) << failed;
    const auto record = [&] {
        sc::OfflineCapture c(link, *osc, model, messages);
        EXPECT_TRUE(c.start({setup.trigger, false}, Clock::now()));
        EXPECT_TRUE(bounded("offline read-back", [&] { return sc::runOfflineCapture(c, *port); }));
        return std::tuple{c.end(), c.records(), c.raw()};
    };
    const auto complete = [](const auto& r) { return std::get<0>(r) == sc::OfflineEnd::Complete; };
    const auto [referenceEnd, referenceRecords, reference] = untilWhole(record, complete);
    ASSERT_EQ(referenceEnd, sc::OfflineEnd::Complete);
    const auto truth = reference[0].values;
    const auto expectOnlyTheDrivesValues = [&](const sc::RawRecords& raw, int records, bool gaps) {
        for (int r = 0; r < records; ++r)
            for (size_t c = 0; c < truth.size(); ++c) {
                const int v = raw.at(static_cast<size_t>(r)).values.at(c);
                ASSERT_TRUE(v == truth[c] || (gaps && v == 0))
                    << "record " << r << " channel " << c + 1 << ": " << v;
            }
    };
    expectOnlyTheDrivesValues(reference, referenceRecords, false);

    injectStream(f);
    const auto [end, records, raw] = record();
    expectOnlyTheDrivesValues(raw, records, true);
    if (f.hangUp) {
        EXPECT_EQ(end, sc::OfflineEnd::HungUp);
    } else if (f.frames == kLasting) {
        EXPECT_EQ(end, sc::OfflineEnd::Silent);
        EXPECT_EQ(records, 0);
    }
    expectToldOnce(f, 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(link.state().linkBusy);

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    if (f.hangUp) {
        // The new drive needs its set-up again.
        ASSERT_TRUE(sc::writeOfflineSetup(link, access, model, *osc, setup, failed)) << failed;
    }
    const auto [againEnd, againRecords, againRaw] = untilWhole(record, complete);
    EXPECT_EQ(againEnd, sc::OfflineEnd::Complete);
    EXPECT_EQ(againRecords, referenceRecords);
    expectOnlyTheDrivesValues(againRaw, againRecords, false);
}

// The generator's writes and commands: a write not reported failed is in the drive; a command
// is taken as the drive answered it, or as unanswered.
TEST_P(FaultMatrix, GeneratorCommands) {
    const LineFault& f = GetParam();
    // A delayed acknowledge would land in a later command's wait and pass for that command's
    // (an acknowledge names no request); the link drops it while it waits for a quiet line
    // before the next command.
    tuning::WaveFields fields = tuning::loadWave(model, tuning::WaveType::Chirp, {});
    fields.amplitude = "123";
    const auto planned = tuning::planWave(fields, {});
    ASSERT_TRUE(std::holds_alternative<tuning::WavePlan>(planned));
    const auto& plan = std::get<tuning::WavePlan>(planned);
    const auto run = [&] {
        std::vector<std::string> failed;
        const auto chirp = tuning::writeWave(link, access, model, messages, plan, &failed);
        const auto start = tuning::startGenerator(link, model, messages);
        const auto stop = tuning::stopGenerator(link, model, messages);
        for (const tuning::WaveWrite& w : plan.writes) {
            if (std::find(failed.begin(), failed.end(), w.mnemonic) != failed.end())
                continue;
            const pm::TPar& par = model.parameter(*model.find(w.mnemonic));
            EXPECT_EQ(raw(par.Index), static_cast<uint16_t>(std::lround(w.value / par.scale)))
                << w.mnemonic;
        }
        return std::tuple{chirp, start, stop, failed.size()};
    };
    const auto answered = [](const auto& r) {
        return std::get<3>(r) == 0 && std::get<0>(r) != tuning::CommandOutcome::NoAnswer &&
               std::get<1>(r) != tuning::CommandOutcome::NoAnswer &&
               std::get<2>(r) != tuning::CommandOutcome::NoAnswer;
    };
    const auto [chirp0, start0, stop0, failed0] = untilWhole(run, answered);
    ASSERT_EQ(failed0, 0u);

    inject(f);
    const auto [chirp, start, stop, failed] = bounded("generator", run);
    using tuning::CommandOutcome;
    const auto expectAsAnsweredOrUnanswered = [&](CommandOutcome got, CommandOutcome reference) {
        EXPECT_TRUE(got == reference || got == CommandOutcome::NoAnswer ||
                    (f.hangUp && got == CommandOutcome::HungUp))
            << static_cast<int>(got);
    };
    expectAsAnsweredOrUnanswered(chirp, chirp0);
    expectAsAnsweredOrUnanswered(start, start0);
    expectAsAnsweredOrUnanswered(stop, stop0);
    expectToldOnce(f, 0);
    EXPECT_FALSE(link.state().linkBusy);

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    const auto again = untilWhole(run, answered);
    EXPECT_EQ(again, std::tuple(chirp0, start0, stop0, size_t{0}));
}

// The service commands: the servo shows "On" only where the drive switched it on, the store
// sets the parameter set's state only on its acknowledge.
TEST_P(FaultMatrix, ServiceCommands) {
    const LineFault& f = GetParam();
    se::ServiceCommands svc(link, access, model, messages);
    model.setValue(*model.find("ENMOD"), 1);  // the PC may switch the servo
    se::DriveControls controls;
    const auto servoOn = [&] {
        bool on = false;
        sim->withDrive([&](sim::SimDrive& d) { on = d.servoOn(); });
        return on;
    };
    const auto run = [&] {
        model.setParameterSetState(pm::ParameterSetState::Ram);
        std::vector<se::ServiceOutcome> outcomes;
        outcomes.push_back(svc.servoOn(controls).outcome);
        EXPECT_TRUE(!controls.servoOn || servoOn()) << "On shown, the drive's servo off";
        outcomes.push_back(svc.servoOff(controls).outcome);
        EXPECT_TRUE(controls.servoOn || !servoOn() || outcomes.back() != se::ServiceOutcome::Done);
        outcomes.push_back(svc.WritePar().outcome);
        EXPECT_EQ(model.parameterSetState() == pm::ParameterSetState::Eeprom,
                  outcomes.back() == se::ServiceOutcome::Done);
        return outcomes;
    };
    const auto allDone = [](const std::vector<se::ServiceOutcome>& o) {
        return o == std::vector<se::ServiceOutcome>(3, se::ServiceOutcome::Done);
    };
    const std::vector<se::ServiceOutcome> reference = untilWhole(run, allDone);
    ASSERT_EQ(reference, std::vector<se::ServiceOutcome>(3, se::ServiceOutcome::Done));
    ui.boxes.clear();

    inject(f);
    const auto outcomes = bounded("service commands", run);
    for (const se::ServiceOutcome o : outcomes) {
        using enum se::ServiceOutcome;
        // After a hang-up the link is offline: nothing more is sent.
        EXPECT_TRUE(o == Done || o == NoAnswer || o == Foreign ||
                    (f.hangUp && (o == HungUp || o == NotRun)))
            << se::outcomeText(o);
    }
    EXPECT_EQ(ui.lost.size(), f.hangUp ? 1u : 0u);
    EXPECT_FALSE(link.state().linkBusy);

    ASSERT_NO_FATAL_FAILURE(endFault(f));
    model.setValue(*model.find("ENMOD"), 1);
    EXPECT_EQ(untilWhole(run, allDone), reference);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<LineFault>& info) {
                             return std::string(info.param.name);
                         });

// The line's timing: the safe pauses, or the fast link's gap.
struct LinkTiming {
    const char* name;
    int fastGapBytes;
};
void PrintTo(const LinkTiming& t, std::ostream* out) {
    *out << t.name;
}

// A late acknowledge in the commands of the generator, the service and the scope: it comes
// after its command's wait has ended and before the next command's own answer, and is never
// taken for that one's; it is read, dropped and counted. The next command is one the drive
// refuses (the generator's start with the servo off), so that an acknowledge taken for the
// wrong request shows.
class LateAcknowledge : public testing::TestWithParam<LinkTiming> {
protected:
    static constexpr int kBaud = 115200;

    void SetUp() override {
        const fs::path data(ZRD_SHIPPED_DATA_DIR);
        messages.load((data / pm::kMessageFileName).string(), ui);
        ASSERT_TRUE(
            pm::loadDatabase((data / pm::kDatabaseFileName).string(), model, messages, ui, false)
                .ok());
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](sim::SimDrive& d) { d.loadParameters(model); });
        sim.start();
        link.state().fastGapBytes = GetParam().fastGapBytes;
        ASSERT_EQ(link.openPort(sim.devicePath(), kBaud, link::kDefaultPortTimeOutMs),
                  link::OpenResult::Ok);
        link.state().connected = 1;
        model.setValue(*model.find("ENMOD"), 1);
    }
    void TearDown() override {
        link.closePort();
        sim.stop();
    }

    // The next `skip` replies as they are, then the late one, then one delayed within its
    // wait: the late one lands in the middle of that wait.
    void lateThenDelayed(int skip, int lateMs, int delayMs) {
        const auto fault = [](sim::FaultKind kind, int value, int frames) {
            sim::Fault f;
            f.kind = kind;
            f.value = value;
            f.count = frames;
            return f;
        };
        sim.withDrive([&](sim::SimDrive& d) {
            d.clearFaults();
            if (skip > 0)
                d.addFault(fault(sim::FaultKind::None, 0, skip));
            d.addFault(fault(sim::FaultKind::Late, lateMs, 1));
            d.addFault(fault(sim::FaultKind::Delay, delayMs, 1));
        });
    }

    test::RecordingUserInterface ui;
    pm::MessageTable messages;
    pm::ParameterModel model;
    sim::SimServer sim{kBaud};
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    link::DriveLink link{*port, ui};
    se::ParameterAccess access{link, model, messages};
};

TEST_P(LateAcknowledge, IsNeverTakenForTheNextCommandsAnswer) {
    se::ServiceCommands svc(link, access, model, messages);
    se::DriveControls controls;
    tuning::WaveFields fields = tuning::loadWave(model, tuning::WaveType::Chirp, {});
    fields.amplitude = "123";
    const auto planned = tuning::planWave(fields, {});
    ASSERT_TRUE(std::holds_alternative<tuning::WavePlan>(planned));
    const auto& plan = std::get<tuning::WavePlan>(planned);
    using tuning::CommandOutcome;
    struct Case {
        const char* name;
        int skip;     // replies before the command's own (the chirp's parameter writes)
        int extraMs;  // the command's wait beyond the reply bound
        // The command; true when it went unanswered.
        std::function<bool()> command;
    };
    const auto unanswered = [](se::ServiceOutcome o) { return o == se::ServiceOutcome::NoAnswer; };
    const std::vector<Case> cases = {
        {"generator stop", 0, 0,
         [&] { return tuning::stopGenerator(link, model, messages) == CommandOutcome::NoAnswer; }},
        {"chirp", static_cast<int>(plan.writes.size()), 0,
         [&] {
             return tuning::writeWave(link, access, model, messages, plan) ==
                    CommandOutcome::NoAnswer;
         }},
        {"EEPROM store", 0, 0, [&] { return unanswered(svc.WritePar().outcome); }},
        {"data area store", 0, se::kEepromWriteMs,
         [&] { return unanswered(svc.saveDataArea(0).outcome); }},
        {"data area load", 0, se::kEepromWriteMs,
         [&] { return unanswered(svc.loadDataArea().outcome); }},
        {"scope stop", 0, 0,
         [&] { return link.sendCommand(link::kCmdScope) >= 0 && !link.awaitAck(false); }},
    };
    // What the window's action log is told.
    int reported = 0;
    link.setLateAnswerReport([&](int count) { reported += count; });
    const int boundMs = link.replyWaitBoundMs(link::kCommandFrameLength, link::kLongestReply);
    // The next command's answer comes halfway through its wait; the late one halfway before.
    const int delayMs = boundMs / 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int lateBefore = link.lateAnswers();
        lateThenDelayed(c.skip, boundMs + c.extraMs + delayMs / 2, delayMs);
        const bool lateCame = c.command();
        // Its own refusal, not the acknowledge that came late.
        EXPECT_EQ(tuning::startGenerator(link, model, messages), CommandOutcome::Refused);
        // A machine that held the time-out back past the late answer let it count in time.
        EXPECT_EQ(link.lateAnswers() - lateBefore, lateCame ? 1 : 0);
        EXPECT_FALSE(link.state().linkBusy);
    }
    EXPECT_EQ(reported, link.lateAnswers());
    EXPECT_GT(reported, 0);
}

INSTANTIATE_TEST_SUITE_P(Timing, LateAcknowledge,
                         testing::Values(LinkTiming{"safe", 0},
                                         LinkTiming{"fast", link::kDefaultFastGapBytes}),
                         [](const testing::TestParamInfo<LinkTiming>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace zrd
