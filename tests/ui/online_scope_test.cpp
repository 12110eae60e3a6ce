// The online scope page against the simulated drive on a pseudo-terminal.

#include "online_scope_test.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include "scope/online_capture.h"
#include "scope/replay.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/trace_viewer.h"

using namespace zrd::app;
using zrd::scope::CaptureEnd;
using zrd::test::DatabaseText;
using zrd::test::TestParameter;

namespace {

// Drive indexes of the page's parameters.
constexpr int kOscmod = 56;
constexpr int kMdfrq = 57;
constexpr int kMdtyp1 = 58;
constexpr int kMdtyp2 = 59;
// The function generator's signal type, its time fields and the period's unit.
constexpr int kIit = 70;
constexpr int kIip3v = 71;
constexpr int kIip4v = 72;
constexpr int kIip3u = 73;
// Signals of the list: k is "Signal k (SIGk)" with scale 0.1; signal 8 is signed, scale 0.5.
constexpr int kSignals = 8;
constexpr double kScale = 0.1;
constexpr double kSignedScale = 0.5;
// Signal 1 is the state word, whose bits the viewer offers.
constexpr int kStatusSignal = 1;
// A bare simulated drive streams signal n from its index n.
constexpr int kChannel1Signal = 7;
constexpr int kChannel2Signal = 8;

std::string scopeDatabase() {
    DatabaseText db;
    db.group("Drive").subgroup("Ident");
    db.parameter({.name = "HVER", .index = 3, .pType = "R", .maxVal = 65535, .defValue = "21"});
    db.subgroup("Oscilloscope");
    db.parameter({.name = "OSCMOD", .index = kOscmod, .pType = "W", .maxVal = 1});
    db.parameter({.name = "MDFRQ", .index = kMdfrq, .minVal = 1, .maxVal = 4, .defValue = "1"});
    db.parameter({.name = "MDTYP1", .index = kMdtyp1, .maxVal = kSignals, .defValue = "7"});
    db.parameter({.name = "MDTYP2", .index = kMdtyp2, .maxVal = kSignals, .defValue = "8"});
    db.subgroup("Generator");
    db.parameter({.name = "IIT", .index = kIit, .minVal = 1, .maxVal = 4, .defValue = "1"});
    db.parameter({.name = "IIP3V", .index = kIip3v, .maxVal = 20000, .defValue = "2"});
    db.parameter({.name = "IIP4V", .index = kIip4v, .maxVal = 20000});
    db.parameter({.name = "IIP3U", .index = kIip3u, .maxVal = 2});
    db.statusWords(9);
    db.group("Signals").subgroup("Signals_osc_page1");
    for (int k = 1; k <= kSignals; ++k) {
        const std::string name = "SIG" + std::to_string(k);
        const bool isSigned = k == kChannel2Signal;
        db.parameter({.name = name,
                      .index = 200 + k,
                      .pType = "R",
                      .minVal = isSigned ? -32768 : 0,
                      .maxVal = isSigned ? 32767 : 65535,
                      .scale = isSigned ? "0.5" : "0.1",
                      .group = 0,
                      .modeMes = 2,
                      .vType = isSigned ? "INT" : "UINT",
                      .description = k == kStatusSignal
                                         ? "Status word (STA)"
                                         : "Signal " + std::to_string(k) + " (" + name + ")"});
    }
    // The name of bit 3 of the state word.
    return db.text() + "Col1=S3,240,3,R,Servo off,Серво выкл,0,6\r\n";
}

// The rightmost column of the preview that holds a pixel of the colour; -1 when none does.
int rightmostColumn(const QImage& image, QRgb colour) {
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = 0; y < image.height(); ++y) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return x;
        }
    }
    return -1;
}

}  // namespace

void OnlineScopeTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    m_fixture->writeData("Param_base.mod", "\xEF\xBB\xBF" + scopeDatabase());
    QVERIFY(m_fixture->startUp());
    m_sim = std::make_unique<zrd::sim::SimServer>();
    QVERIFY2(m_sim->openPty(), m_sim->error().c_str());
    // A bare drive: what the tests put into its memory is what it streams.
    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.setRaw(3, 21);
        d.setRaw(kMdfrq, 1);
        d.setRaw(kChannel1Signal, 1234);
        d.setRaw(kChannel2Signal, 0xFFFE);
    });
    m_sim->start();
}

void OnlineScopeTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

zrd::scope::TOnlineScopePage& OnlineScopeTest::page() {
    return m_fixture->form().onlineScope();
}

uint16_t OnlineScopeTest::driveRaw(int index) {
    uint16_t value = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { value = d.raw(static_cast<uint8_t>(index)); });
    return value;
}

void OnlineScopeTest::connectAndShowPage() {
    Program& program = m_fixture->program();
    QCOMPARE(program.link.openPort(m_sim->devicePath(), 115200, 30), zrd::link::OpenResult::Ok);
    program.link.state().connected = 1;
    program.link.state().linkBusy = false;
    // The first status poll shows the drive online.
    m_fixture->form().Timer5Timer();
    m_fixture->form().TabbedNotebook2Click(kTabOscillOnline);
    QCOMPARE(driveRaw(kOscmod), uint16_t(1));
}

void OnlineScopeTest::settingsFollowTheDriveAndTheUsersChoice() {
    TMainForm& form = m_fixture->form();
    zrd::scope::Oscillogram& oscillogram = *m_fixture->program().oscillogram;
    zrd::scope::TOnlineScopePage& p = page();
    // Start-up: 1000 Hz, signals 7 and 8 at scale 1, nothing to stop, view or reset.
    QVERIFY(p.freq1->isChecked());
    QCOMPARE(oscillogram.channel(1).signal, 7);
    QCOMPARE(oscillogram.channel(2).signal, 8);
    QCOMPARE(oscillogram.channel(1).scale, 1.0);
    for (QPushButton* b : {p.Button3, p.Button18, p.Button21, p.Button23})
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(p.ComboBox7->count(), kSignals + 1);

    m_sim->withDrive([](zrd::sim::SimDrive& d) {
        d.setRaw(kMdfrq, 3);
        d.setRaw(kMdtyp1, 5);
        d.setRaw(kMdtyp2, 0);
    });
    connectAndShowPage();
    QVERIFY(form.session().ReadParamAll());
    // Read-all shows the drive's rate and signals, the selectors on the signals themselves.
    QVERIFY(p.freq3->isChecked());
    QCOMPARE(oscillogram.rateCode, 3);
    QCOMPARE(oscillogram.header.tick, 0.004);
    QCOMPARE(p.Edit8->text(), QString("Signal 5 (SIG5)"));
    QCOMPARE(p.ComboBox7->currentData().toInt(), 5);
    QCOMPARE(oscillogram.channel(1).name, std::string("SIG5"));
    QCOMPARE(oscillogram.channel(1).scale, kScale);
    QCOMPARE(oscillogram.channel(2).name, std::string("N"));
    QCOMPARE(oscillogram.channel(2).scale, 1.0);

    // Back on the page the selectors invite a choice; the drive is in online mode already.
    int seen = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { seen = d.framesSeen(); });
    form.TabbedNotebook2Click(kTabOscillOnline);
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { QCOMPARE(d.framesSeen(), seen); });
    QCOMPARE(p.ComboBox7->currentIndex(), -1);
    QCOMPARE(p.ComboBox7->placeholderText(), QString("M87"));
    QCOMPARE(p.Edit8->text(), QString("Signal 5 (SIG5)"));

    // The user's choice goes to the drive: the channel signal even when the drive has it.
    p.ComboBox7->setCurrentIndex(p.ComboBox7->findData(kChannel2Signal));
    p.ComboBox7CloseUp();
    QCOMPARE(driveRaw(kMdtyp1), uint16_t(kChannel2Signal));
    QCOMPARE(oscillogram.channel(1).name, std::string("SIG8"));
    QCOMPARE(oscillogram.channel(1).scale, kSignedScale);
    QCOMPARE(p.Edit8->text(), QString("Signal 8 (SIG8)"));
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { seen = d.framesSeen(); });
    p.ComboBox7CloseUp();
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { QVERIFY(d.framesSeen() > seen); });
    // A status word offers its bits in the viewer; another signal hides them again.
    QGroupBox* bits = form.Oscill->GroupBox[0];
    QVERIFY(!bits->isVisibleTo(form.Oscill));
    p.ComboBox7->setCurrentIndex(p.ComboBox7->findData(kStatusSignal));
    p.ComboBox7CloseUp();
    QCOMPARE(oscillogram.channel(1).name, std::string("STA"));
    QVERIFY(bits->isVisibleTo(form.Oscill));
    QCOMPARE(form.Oscill->BitButton[0][3]->toolTip(), QString("bit3 Servo off"));
    p.ComboBox7->setCurrentIndex(p.ComboBox7->findData(kChannel2Signal));
    p.ComboBox7CloseUp();
    QVERIFY(!bits->isVisibleTo(form.Oscill));
    p.freq2->click();
    QCOMPARE(driveRaw(kMdfrq), uint16_t(2));
    QCOMPARE(oscillogram.rateCode, 2);
    QVERIFY(p.freq2->isChecked());
}

void OnlineScopeTest::captureStreamsWhileTheWindowStaysLive() {
    connectAndShowPage();
    TMainForm& form = m_fixture->form();
    zrd::scope::TOnlineScopePage& p = page();
    const zrd::scope::Oscillogram& oscillogram = *m_fixture->program().oscillogram;
    const zrd::link::LinkState& link = m_fixture->program().link.state();
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticks += p.capturing() ? 1 : 0; });
    ticker.start();

    form.TimerForTimeTimer();
    QVERIFY(p.Button3->isEnabled());
    p.Button3->click();
    QVERIFY(p.capturing());
    QVERIFY(link.linkBusy);
    QVERIFY(!form.Timer5->isActive());
    QVERIFY(form.TimerForTime->isActive());
    QVERIFY(!form.monitorPanel().Monitor->isEnabled());
    QVERIFY(!p.Button3->isEnabled());
    QVERIFY(p.Button18->isEnabled());
    QVERIFY(form.N20->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(p.capture()->samples() >= 200, kWaitMs);
    // The count follows the samples as they come in.
    QCOMPARE(p.CaptureLabel->text(), QString("Capturing… %1 samples").arg(p.capture()->samples()));
    // The window went on with its own work, and the preview and the gauge moved on.
    QVERIFY(ticks > 0);
    QTRY_VERIFY_WITH_TIMEOUT(rightmostColumn(p.preview(), qRgb(255, 0, 0)) >= 20, kWaitMs);
    QVERIFY(rightmostColumn(p.preview(), qRgb(0, 0, 255)) >= 20);
    QVERIFY(p.Gauge2->value() > 1);

    // The drive's signal changes while it streams.
    m_sim->withDrive([](zrd::sim::SimDrive& d) { d.setRaw(kChannel1Signal, 4321); });
    QTRY_VERIFY_WITH_TIMEOUT(
        oscillogram.buffer.value(std::max(p.capture()->samples() - 1, 0), 0) == 4321 * kScale,
        kWaitMs);
    p.Button18->click();

    QVERIFY(!p.capturing());
    QVERIFY(p.CaptureLabel->text().isEmpty());
    QCOMPARE(p.capture()->end(), CaptureEnd::UserStop);
    // The stop frame reaches the drive, which stops streaming.
    QTRY_VERIFY_WITH_TIMEOUT(!m_sim->scope().streaming, kWaitMs);
    const int samples = p.capture()->samples();
    QCOMPARE(p.Gauge2->value(), std::min(samples + 1, zrd::scope::kRecordCount));
    int changedAt = -1;
    for (int i = 0; i < samples; ++i) {
        const double ch1 = oscillogram.buffer.value(i, 0);
        if (changedAt < 0 && ch1 != 1234 * kScale)
            changedAt = i;
        QCOMPARE(ch1, changedAt < 0 ? 1234 * kScale : 4321 * kScale);
        QCOMPARE(oscillogram.buffer.value(i, 1), -2 * kSignedScale);
    }
    QVERIFY(changedAt > 0);
    QCOMPARE(oscillogram.buffer.value(samples, 0), 0.0);
    QCOMPARE(oscillogram.kind, zrd::scope::ScopeKind::Online);

    // The stop gives the link, the polls, the monitor and the captured buttons back.
    QVERIFY(!link.linkBusy);
    QVERIFY(form.Timer5->isActive());
    QVERIFY(form.TimerForTime->isActive());
    QVERIFY(form.monitorPanel().Monitor->isEnabled());
    QVERIFY(form.monitorPanel().Stop_monitor->isChecked());
    for (QPushButton* b : {p.Button3, p.Button21, p.Button23})
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(!p.Button18->isEnabled());
    QVERIFY(p.Replay_start->isVisibleTo(&p));
    // The start stamp is the clock's, the stop stamp the moment of the stop.
    QCOMPARE(p.MaskEdit11->text(), form.controls().MaskEdit3->text());
    QCOMPARE(p.MaskEdit12->text(), form.controls().MaskEdit4->text());
    QCOMPARE(oscillogram.header.startStamp,
             (p.MaskEdit11->text() + " / " + p.MaskEdit12->text()).toStdString());
    QCOMPARE(oscillogram.header.stopStamp,
             (p.MaskEdit13->text() + " / " + p.MaskEdit14->text()).toStdString());

    // "View oscillogram" opens the online viewer on the capture, and the log says so.
    p.Button21->click();
    QVERIFY(form.Oscill->isVisible());
    QCOMPARE(form.Oscill->Osc_A_ch[0]->text(), QString("SIG7"));
    QCOMPARE(form.Oscill->Osc_A_ch[1]->text(), QString("SIG8"));
    QVERIFY(QString::fromStdString(m_fixture->program().actionLog.lines().at(1)).endsWith("M61"));
    form.Oscill->Button2->click();
    QVERIFY(!form.Oscill->isVisible());

    // Reset clears what was captured.
    p.Button23->click();
    QCOMPARE(oscillogram.buffer.value(0, 0), 0.0);
    QVERIFY(!p.Button21->isEnabled());
    QVERIFY(p.MaskEdit11->text().isEmpty());
    QVERIFY(!p.Replay_start->isVisibleTo(&p));
    QVERIFY(!form.N20->isEnabled());
}

void OnlineScopeTest::rateClickedDuringACaptureStaysDeselected() {
    connectAndShowPage();
    zrd::scope::TOnlineScopePage& p = page();
    p.Button3->click();
    // The drive streams: the start frame has been taken.
    QTRY_VERIFY_WITH_TIMEOUT(p.capture()->samples() > 0, kWaitMs);
    int seen = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { seen = d.framesSeen(); });
    p.freq3->click();
    QVERIFY(!p.freq3->isChecked());
    QVERIFY(p.freq1->isChecked());
    QCOMPARE(m_fixture->program().oscillogram->rateCode, 1);
    // Nothing went to the drive: "MDFRQ" stands.
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { QCOMPARE(d.framesSeen(), seen); });
    QCOMPARE(driveRaw(kMdfrq), uint16_t(1));
    p.Button18->click();
    QVERIFY(!p.capturing());
}

void OnlineScopeTest::captureEndsOnTheDrivesSide_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("viewable");
    QTest::addColumn<bool>("resettable");
    QTest::newRow("a silent drive is told and logged")
        << "mute" << int(CaptureEnd::Silent) << "M131" << true << false << false;
    QTest::newRow("a refusal is told")
        << "refuse" << int(CaptureEnd::Refused) << "M11" << true << false << true;
    // The cable is pulled while the drive streams.
    QTest::newRow("a hang-up goes offline keeping the samples")
        << "hangup" << int(CaptureEnd::HungUp) << "M17" << false << true << true;
}

void OnlineScopeTest::captureEndsOnTheDrivesSide() {
    QFETCH(QString, how);
    QFETCH(int, end);
    QFETCH(QString, box);
    QFETCH(bool, online);
    QFETCH(bool, viewable);
    QFETCH(bool, resettable);
    connectAndShowPage();
    TMainForm& form = m_fixture->form();
    zrd::scope::TOnlineScopePage& p = page();
    const zrd::scope::Oscillogram& oscillogram = *m_fixture->program().oscillogram;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        d.scopeFaults().mute = how == "mute";
        d.scopeFaults().refuse = how == "refuse";
    });
    const size_t boxes = m_fixture->ui.boxes.size();
    // A click while the link is taken (a status tick due on a busy machine) starts nothing.
    QTRY_VERIFY_WITH_TIMEOUT(!m_fixture->program().link.state().linkBusy, kWaitMs);
    p.Button3->click();
    QVERIFY(p.capture().has_value());
    if (how == "hangup") {
        QTRY_VERIFY_WITH_TIMEOUT(p.capture()->samples() >= 50, kWaitMs);
        m_sim->stop();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!p.capturing(), kWaitMs);

    QCOMPARE(int(p.capture()->end()), end);
    const auto& shown = m_fixture->ui.boxes;
    QCOMPARE(shown.size(), boxes + (box.isEmpty() ? 0 : 1));
    if (!box.isEmpty())
        QVERIFY2(QString::fromStdString(shown.back().text).startsWith(box),
                 shown.back().text.c_str());
    // The end the drive caused is kept in the action log, newest entry first.
    if (end == int(CaptureEnd::Silent) || end == int(CaptureEnd::HungUp))
        QVERIFY(QString::fromStdString(m_fixture->program().actionLog.lines().at(1))
                    .contains(QString::fromStdString(shown.back().text)));
    const zrd::link::LinkState& link = m_fixture->program().link.state();
    QCOMPARE(link.connected != 0, online);
    QVERIFY(!link.linkBusy);
    QCOMPARE(form.Timer5->isActive(), online);
    QVERIFY(form.TimerForTime->isActive());
    QCOMPARE(form.monitorPanel().Monitor->isEnabled(), online);
    QCOMPARE(p.Button3->isEnabled(), online);
    QVERIFY(!p.Button18->isEnabled());
    QCOMPARE(p.Button21->isEnabled(), viewable);
    QCOMPARE(p.Button23->isEnabled(), resettable);
    // What arrived before the end stays in the buffer.
    const int samples = p.capture()->samples();
    QCOMPARE(samples > 0, viewable);
    for (int i = 0; i < samples; ++i)
        QCOMPARE(oscillogram.buffer.value(i, 0), 1234 * kScale);
}

void OnlineScopeTest::generatorAboveHalfTheRateIsWarned_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("first");   // "IIP3V": the sine's period, the chirp's one end (Hz)
    QTest::addColumn<double>("second");  // "IIP4V": the chirp's other end (Hz)
    QTest::addColumn<int>("periodUnit");
    QTest::addColumn<int>("rate");   // button 1..4: 1000, 500, 250, 125 Hz
    QTest::addColumn<int>("topHz");  // the frequency warned of; 0: no warning
    QTest::newRow("sine of 4 ms at 1000 Hz") << 3 << 4.0 << 0.0 << 0 << 1 << 0;
    QTest::newRow("sine of 4 ms at 500 Hz: just half the rate") << 3 << 4.0 << 0.0 << 0 << 2 << 0;
    QTest::newRow("sine of 4 ms at 250 Hz") << 3 << 4.0 << 0.0 << 0 << 3 << 250;
    QTest::newRow("sine of 2 ms at 125 Hz") << 3 << 2.0 << 0.0 << 0 << 4 << 500;
    QTest::newRow("sine of 2 s at 125 Hz") << 3 << 2.0 << 0.0 << 1 << 4 << 0;
    QTest::newRow("chirp 10 to 2000 Hz at 1000 Hz") << 4 << 2000.0 << 10.0 << 0 << 1 << 2000;
    QTest::newRow("chirp 400 down to 5 Hz at 1000 Hz") << 4 << 5.0 << 400.0 << 0 << 1 << 0;
    QTest::newRow("chirp 5 to 400 Hz at 500 Hz") << 4 << 400.0 << 5.0 << 0 << 2 << 400;
    QTest::newRow("square of 2 ms at 125 Hz") << 2 << 2.0 << 1.0 << 0 << 4 << 0;
}

void OnlineScopeTest::generatorAboveHalfTheRateIsWarned() {
    QFETCH(int, type);
    QFETCH(double, first);
    QFETCH(double, second);
    QFETCH(int, periodUnit);
    QFETCH(int, rate);
    QFETCH(int, topHz);
    connectAndShowPage();
    zrd::params::ParameterModel& model = m_fixture->program().model;
    const std::array<std::pair<const char*, double>, 4> generator = {
        {{"IIT", type}, {"IIP3V", first}, {"IIP4V", second}, {"IIP3U", periodUnit}}};
    for (const auto& [mnemonic, value] : generator)
        model.setValue(model.find(mnemonic).value(), value);
    zrd::scope::TOnlineScopePage& p = page();
    std::array<QRadioButton*, 4> rates = {p.freq1, p.freq2, p.freq3, p.freq4};
    rates.at(size_t(rate - 1))->click();
    QCOMPARE(driveRaw(kMdfrq), uint16_t(rate));
    QCOMPARE(p.AliasLabel->isVisibleTo(&p), topHz != 0);
    if (topHz != 0)
        QVERIFY2(p.AliasLabel->text().contains(QString(" %1 Hz").arg(topHz)),
                 qPrintable(p.AliasLabel->text()));
}

void OnlineScopeTest::viewerBesideTheProgramLeavesThePagesEditable() {
    connectAndShowPage();
    TMainForm& form = m_fixture->form();
    zrd::scope::TOnlineScopePage& p = page();
    const zrd::scope::Oscillogram& oscillogram = *m_fixture->program().oscillogram;
    p.Button3->click();
    QTRY_VERIFY_WITH_TIMEOUT(p.capture()->samples() >= 50, kWaitMs);
    p.Button18->click();
    QVERIFY(!p.capturing());
    const double captured = oscillogram.buffer.value(0, 0);

    // The modal viewer is the default; the choice lets it stand beside the program.
    zrd::scope::TOscill& viewer = *form.Oscill;
    QVERIFY(!viewer.BesideBox->isChecked());
    viewer.BesideBox->click();
    p.Button21->click();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QVERIFY(!viewer.isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // A parameter of a page is edited and written while the record stays on screen.
    zrd::params::TParamFrame* frame = nullptr;
    int row = -1;
    for (zrd::params::TParamFrame* f : form.pages().frames()) {
        f->build();
        for (int k = 0; k < kRowsPerPage && row < 0; ++k) {
            const QLabel* mnemonic = f->findChild<QLabel*>(QString("num%1").arg(k));
            if (mnemonic != nullptr && mnemonic->text() == "MDTYP2") {
                frame = f;
                row = k;
            }
        }
    }
    QVERIFY(frame != nullptr);
    const int chosen = kSignals - 1;
    QString asked;
    QTimer::singleShot(0, [&] {
        auto* dialog =
            qobject_cast<zrd::session::TEdit_par_Form*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        asked = dialog->windowTitle();
        dialog->Edit1->setText(QString::number(chosen));
        dialog->Button1Click();
    });
    QTest::mousePress(frame->findChild<QLineEdit*>(QString("Param%1").arg(row)), Qt::LeftButton);
    QVERIFY(!asked.isEmpty());
    QCOMPARE(driveRaw(kMdtyp2), uint16_t(chosen));
    QVERIFY(viewer.isVisible());
    QCOMPARE(oscillogram.buffer.value(0, 0), captured);

    // Back to the modal viewer while it shows, and the choice is kept for the next opening.
    viewer.BesideBox->click();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QVERIFY(viewer.isModal());
    QCOMPARE(QApplication::activeModalWidget(), &viewer);
    viewer.Button2->click();
    QVERIFY(!viewer.isVisible());
    QVERIFY(!viewer.BesideBox->isChecked());
}

void OnlineScopeTest::replayHoldsTheLinkUntilItEnds_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("replayOffered");  // "Replay" and "Stop replay" still shown after it
    QTest::newRow("played to its end") << "end" << int(zrd::scope::ReplayEnd::Finished) << true;
    QTest::newRow("stopped by Stop replay")
        << "stop" << int(zrd::scope::ReplayEnd::Stopped) << true;
    QTest::newRow("ended by Reset Oscilloscope")
        << "reset" << int(zrd::scope::ReplayEnd::Aborted) << false;
    QTest::newRow("ended by opening the viewer")
        << "view" << int(zrd::scope::ReplayEnd::Aborted) << true;
}

// A replay of what the drive streamed keeps every exchange away while it runs, and however it
// ends, "Replay" goes up, "Stop replay" is disabled, and the link, the polls and a new capture
// are free again.
void OnlineScopeTest::replayHoldsTheLinkUntilItEnds() {
    QFETCH(QString, how);
    QFETCH(int, end);
    QFETCH(bool, replayOffered);
    connectAndShowPage();
    TMainForm& form = m_fixture->form();
    zrd::scope::TOnlineScopePage& p = page();
    const zrd::link::LinkState& link = m_fixture->program().link.state();
    QTRY_VERIFY_WITH_TIMEOUT(!link.linkBusy, kWaitMs);
    p.Button3->click();
    // Enough samples that the replay, a millisecond a step at least, outlasts the checks below.
    QTRY_VERIFY_WITH_TIMEOUT(p.capture()->samples() >= 1000, kWaitMs);
    p.Button18->click();
    const int samples = p.capture()->samples();
    QVERIFY(p.Replay_start->isVisibleTo(&p));

    p.Replay_start->click();
    const zrd::scope::Replay& replay = p.replay();
    QVERIFY(replay.running());
    // Every sample that came is played.
    QCOMPARE(replay.plan().length, samples);
    QVERIFY(p.Replay_start->isChecked());
    QVERIFY(p.Replay_stop->isEnabled());
    QVERIFY(link.linkBusy);
    QVERIFY(!form.Timer5->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(replay.steps() > 0, kWaitMs);
    // The link is the replay's: a capture does not start, and the replay goes on.
    QVERIFY(replay.running());
    p.Button3->click();
    QVERIFY(!p.capturing());
    QVERIFY(replay.running());
    if (how == "stop")
        p.Replay_stop->click();
    else if (how == "reset")
        p.Button23->click();
    else if (how == "view")
        p.Button21->click();
    QTRY_VERIFY_WITH_TIMEOUT(!replay.running(), kWaitMs);

    QCOMPARE(int(replay.end()), end);
    QCOMPARE(replay.steps() == samples, how == "end");
    QCOMPARE(p.Gauge2->value(), how == "reset" ? p.Gauge2->minimum() - 1 : replay.gauge());
    QVERIFY(!p.Replay_start->isChecked());
    QVERIFY(!p.Replay_stop->isEnabled());
    QCOMPARE(p.Replay_start->isVisibleTo(&p), replayOffered);
    QVERIFY(!link.linkBusy);
    QVERIFY(form.Timer5->isActive());
    if (how == "view") {
        QVERIFY(form.Oscill->isVisible());
        form.Oscill->Button2->click();
    }
    // A new capture starts at once.
    p.Button3->click();
    QVERIFY(p.capturing());
    p.Button18->click();
    QVERIFY(!p.capturing());
}
