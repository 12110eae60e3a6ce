// The oscillogram file items and the frequency response against the program's own database.

#include "oscillogram_tools_test.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <string>

#include "params/message_numbers.h"
#include "scope/oscillogram_file_reader.h"
#include "scope/scope_settings.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/oscillogram_files.h"
#include "scope/ui/trace_viewer.h"
#include "scope/ui/trigger_panel.h"
#include "servo_plant.h"
#include "session/ui/control_area.h"
#include "tuning/ui/afc_form.h"
#include "tuning/ui/wave_form.h"

using namespace zrd::app;
namespace scope = zrd::scope;

namespace {

// A record value that three decimals keep exactly.
double sample(int record, int channel) {
    return std::round(1000.0 * 250.0 * std::sin(0.01 * record + channel)) / 1000.0;
}

int lineCount(const std::string& path) {
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

}  // namespace

void OscillogramToolsTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped());
}

void OscillogramToolsTest::cleanup() {
    m_fixture->program().link.closePort();
    m_fixture.reset();
}

// Each kind saved by "Save oscillogram to file" and read back by "Reading oscillogram from
// file" with Yes to the parameters: records, channel names, the parameter table, the parameter
// source and the buttons of the kind.
void OscillogramToolsTest::savedFileReadsBackRecordsNamesAndParameters() {
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();
    scope::Oscillogram& o = *program.oscillogram;
    zrd::params::ParameterModel& model = program.model;
    const int saved = model.find("MDFRQ").value();
    struct Case {
        scope::ScopeKind kind;
        std::array<const char*, scope::kChannelCount> names;
        bool onlineView;
    };
    // Offline first: its file leaves the replay buttons hidden, the online one shows them.
    const std::array<Case, 2> cases{
        {{scope::ScopeKind::Offline, {"VSET", "IACT", "STA", "VACT"}, false},
         {scope::ScopeKind::Online, {"VSET", "VACT", "N", "N"}, true}}};
    for (const Case& c : cases) {
        const bool online = c.kind == scope::ScopeKind::Online;
        o.kind = c.kind;
        for (int ch = 1; ch <= scope::kChannelCount; ++ch)
            o.channel(ch).name = c.names.at(size_t(ch - 1));
        for (int r = 0; r < o.records(); ++r) {
            for (int ch = 1; ch <= scope::kChannelCount; ++ch)
                o.buffer.setValue(r, ch - 1, sample(r, ch));
        }
        model.setKnownValue(saved, 3);
        const std::string path = m_fixture->dir.file(online ? "online.dat" : "offline.dat");
        const size_t logLines = program.actionLog.lines().size();
        form.OscillogramFiles->save(path);
        QCOMPARE(program.actionLog.lines().size(), logLines + 1);
        QVERIFY(program.actionLog.lines().back().find(
                    program.message(zrd::params::kMsgLogSaveOscillogram)) != std::string::npos);

        // Everything the file holds is changed before it is read back.
        for (int r = 0; r < scope::kRecordCount; ++r) {
            for (int ch = 0; ch < scope::kChannelCount; ++ch)
                o.buffer.setValue(r, ch, 0.0);
        }
        for (int ch = 1; ch <= scope::kChannelCount; ++ch)
            o.channel(ch).name = "N";
        o.kind = online ? scope::ScopeKind::Offline : scope::ScopeKind::Online;
        model.setKnownValue(saved, 2);
        m_fixture->ui.yes = true;
        m_fixture->ui.questions.clear();
        form.OscillogramFiles->read(path);

        QCOMPARE(m_fixture->ui.questions.size(), size_t{1});
        QCOMPARE(m_fixture->ui.questions[0].text, program.message(scope::kMsgTakeOverParameters));
        QCOMPARE(o.kind, c.kind);
        for (int ch = 1; ch <= scope::kChannelCount; ++ch)
            QVERIFY2(o.channel(ch).name == c.names.at(size_t(ch - 1)),
                     (std::to_string(ch) + " " + o.channel(ch).name).c_str());
        for (int r = 0; r < o.records(); ++r) {
            for (int ch = 1; ch <= scope::kChannelCount; ++ch)
                QCOMPARE(o.buffer.value(r, ch - 1), sample(r, ch));
        }
        QCOMPARE(model.value(saved), 3.0);
        QCOMPARE(form.controls().show_state_par->text(), QString("OSC"));
        QVERIFY(form.N20->isEnabled());
        QCOMPARE(form.onlineScope().Button21->isEnabled(), c.onlineView);
        QCOMPARE(form.onlineScope().Replay_start->isVisibleTo(&form.onlineScope()), c.onlineView);
        QCOMPARE(form.offlineScope().Button2->isEnabled(), !c.onlineView);
    }
}

// A chirp of the simulated drive's generator through the plant, recorded offline with the
// generator's start as trigger, then "AFR and PFR" from the offline viewer: the magnitude's peak
// marker sits at the plant's resonance, and the spectrum files are written.
void OscillogramToolsTest::chirpResponsePeaksAtTheSimulatedResonance() {
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();
    zrd::sim::SimServer sim(921600);
    QVERIFY2(sim.openPty(), sim.error().c_str());
    sim.withDrive([&](zrd::sim::SimDrive& d) {
        d.loadParameters(program.model);
        d.setRaw(*d.indexOf("OPMOD"), 2);
        d.setRaw(*d.indexOf("INST"), 1);
    });
    sim.start();
    QCOMPARE(program.link.openPort(sim.devicePath(), 921600, 30), zrd::link::OpenResult::Ok);
    program.link.state().connected = 1;
    program.link.state().linkBusy = false;
    program.model.setValue(*program.model.find("INST"), 1);
    program.shell.operatingMode = 2;
    form.controls().SpeedButton1->setChecked(true);
    QVERIFY(program.link.sendCommand(zrd::link::kCmdServoOn) > 0);
    QCOMPARE(program.link.awaitAck(false), std::optional<uint8_t>(0));
    form.Timer5Timer();

    // One sweep of 250 .. 800 Hz over the record of 2048 × 0.25 ms (the window shows the
    // chirp's picture).
    for (const char* picture : {"sin.bmp", "cont.bmp", "varf.bmp"})
        m_fixture->writePicture(picture);
    zrd::tuning::TWave_Form& wave = *form.Wave_Form;
    m_fixture->ui.boxes.clear();
    wave.showModal();
    wave.SpeedButton3->click();
    const std::array<const char*, 5> chirp = {"300", "0", "250", "800", "1"};
    const std::array<QLineEdit*, 5> fields = {wave.Edit1, wave.Edit2, wave.Edit3, wave.Edit4,
                                              wave.Edit5};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(chirp[i]);
    wave.Button2->click();
    QVERIFY2(m_fixture->ui.boxes.empty(),
             m_fixture->ui.boxes.empty() ? "" : m_fixture->ui.boxes.back().text.c_str());

    scope::TOfflineScopePage& page = form.offlineScope();
    form.TabbedNotebook2->setCurrentIndex(kTabOscillOffline);
    form.TabbedNotebook2Click(kTabOscillOffline);
    const std::array<QComboBox*, 2> combos = {page.ComboBox2, page.ComboBox3};
    const std::array<const char*, 2> names = {"VSET", "VACT"};
    for (int c = 1; c <= 2; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        combos[i]->setCurrentIndex(
            combos[i]->findData(scope::findScopeSignal(program.model, names[i]).value()));
        page.ComboBoxCloseUp(c);
    }
    page.Freq_off[0]->click();
    page.Trigger->trgpos->setText("0");
    page.Trigger->trgposExit();
    page.Trigger->RadioButton1->click();
    page.Button5->click();
    QTRY_VERIFY_WITH_TIMEOUT(page.waitingForGenerator(), kWaitMs);
    form.controls().SpeedButton3->click();
    QTRY_VERIFY_WITH_TIMEOUT(!page.listening(), kWaitMs);
    form.controls().SpeedButton7->click();

    page.Button2->click();
    QVERIFY(form.OscillOff->isVisible());
    form.OscillOff->Button3->click();
    zrd::tuning::TPar_AFC_Form& parameters = *form.Par_AFC_Form;
    QVERIFY(parameters.isVisible());
    QCOMPARE(parameters.Input[0]->text(), QString("1: VSET"));
    parameters.Edit1->setText("1000");
    parameters.Button1->click();
    zrd::tuning::TAFC_Form& chart = *parameters.AFC_Form;
    QVERIFY(chart.isVisible());
    QVERIFY(chart.peak().has_value());
    QVERIFY2(std::abs(chart.peak()->frequency - zrd::sim::kDefaultResonanceHz) <= 15.0,
             qPrintable(QString::number(chart.peak()->frequency)));
    // The resonance list names the load's resonance, one line each.
    const auto& found = chart.resonances();
    QCOMPARE(chart.ResonanceList->count(), static_cast<int>(found.size()));
    QVERIFY(std::any_of(found.begin(), found.end(), [](const zrd::tuning::Resonance& r) {
        return !r.anti && std::abs(r.frequency - zrd::sim::kDefaultResonanceHz) <= 15.0;
    }));
    QCOMPARE(lineCount(m_fixture->dir.file("bode_m.csv")), zrd::tuning::kResponseBins);
    QCOMPARE(lineCount(m_fixture->dir.file("fft1.csv")), zrd::tuning::kFftSize);
    parameters.Button2->click();
    QVERIFY(!chart.isVisible());
    form.OscillOff->Button2->click();
}
