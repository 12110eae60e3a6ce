// The function generator's window against the simulated drive on a pseudo-terminal.

#include "wave_form_test.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTimer>
#include <QToolButton>

#include "tuning/ui/wave_form.h"

using zrd::tuning::TWave_Form;

namespace {

constexpr const char* kTypes[] = {"SpeedButton4", "SpeedButton2", "SpeedButton1", "SpeedButton3"};
constexpr const char* kWaveformPictures[] = {"cont.bmp", "pulse.bmp", "sin.bmp", "varf.bmp"};
// The type the drive holds before each case: another one, so that the time fields start over.
constexpr int kStoredType = 1;

}  // namespace

void WaveFormTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped(kWaveformPictures));
    m_sim = std::make_unique<zrd::sim::SimServer>();
    QVERIFY(m_fixture->connectToSim(*m_sim));
}

void WaveFormTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

void WaveFormTest::writeLeavesTheDriveValues_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("inst");
    QTest::addColumn<QString>("type");
    // amplitude, offset, period, width, repeat as typed
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("countsPerSecond");
    QTest::addColumn<bool>("seconds");
    // "MNEMONIC=value" the drive holds afterwards, or the message and the amplitude field
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("speed mode sine as typed, all units 0")
        << 2 << 2 << "SpeedButton1" << QStringList{"1500", "0", "100", "", "0"} << false << false
        << QStringList{"IIT=3",   "IIP1V=1500", "IIP2V=0", "IIP3V=100", "IIP1U=0",
                       "IIP2U=0", "IIP3U=0",    "IIP4U=0", "PCRT=0"};
    QTest::newRow("current mode constant goes RMS-scaled in hundredths")
        << 1 << 2 << "SpeedButton4" << QStringList{"10", "", "", "", ""} << false << false
        << QStringList{"IIT=1", "IIP1V=707", "IIP1U=0"};
    QTest::newRow("internal commands are current units: the offset in hundredths")
        << 2 << 0 << "SpeedButton1" << QStringList{"2", "-1.5", "20", "", "3"} << false << false
        << QStringList{"IIT=3", "IIP1V=141", "IIP2V=-150", "IIP3V=20", "PCRT=3"};
    QTest::newRow("position mode square takes counts per second and seconds")
        << 3 << 2 << "SpeedButton2" << QStringList{"300", "10", "4", "1", "5"} << true << true
        << QStringList{"IIT=2",   "IIP1V=300", "IIP4V=1", "IIP2V=10", "IIP3V=4",
                       "IIP1U=1", "IIP2U=1",   "IIP3U=1", "IIP4U=1",  "PCRT=5"};
    QTest::newRow("chirp: first time field to IIP4V, second to IIP3V")
        << 2 << 2 << "SpeedButton3" << QStringList{"100", "0", "10", "2000", "1"} << false << false
        << QStringList{"IIT=4", "IIP1V=100", "IIP4V=10", "IIP3V=2000", "PCRT=1"};
    QTest::newRow("above 60 A: message 46")
        << 1 << 2 << "SpeedButton4" << QStringList{"61", "", "", "", ""} << false << false
        << QStringList{"M46", "61"};
    QTest::newRow("a fraction outside current mode: message 84, truncated")
        << 2 << 2 << "SpeedButton4" << QStringList{"-12.7", "", "", "", ""} << false << false
        << QStringList{"M84", "-12"};
}

void WaveFormTest::writeLeavesTheDriveValues() {
    QFETCH(int, mode);
    QFETCH(int, inst);
    QFETCH(QString, type);
    QFETCH(QStringList, fields);
    QFETCH(bool, countsPerSecond);
    QFETCH(bool, seconds);
    QFETCH(QStringList, expected);
    zrd::app::Program& program = m_fixture->program();
    zrd::app::TMainForm& form = m_fixture->form();
    zrd::params::ParameterModel& model = program.model;
    program.shell.operatingMode = mode;
    model.setValue(model.find("INST").value(), inst);
    model.setValue(model.find("IIT").value(), kStoredType);
    const uint8_t iit = zrd::test::driveIndexOf(model, "IIT");
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.setRaw(iit, kStoredType); });

    form.TypeofFGsignal1->trigger();
    TWave_Form& w = *form.Wave_Form;
    QVERIFY(w.isVisible());
    w.findChild<QToolButton*>(type)->click();
    QVERIFY(w.findChild<QToolButton*>(type)->isChecked());
    const std::array<QLineEdit*, 5> edits = {w.Edit1, w.Edit2, w.Edit3, w.Edit4, w.Edit5};
    for (size_t i = 0; i < edits.size(); ++i) {
        if (!fields.at(qsizetype(i)).isEmpty())
            edits[i]->setText(fields.at(qsizetype(i)));
    }
    (countsPerSecond ? w.RadioButton2 : w.RadioButton1)->setChecked(true);
    (seconds ? w.RadioButton4 : w.RadioButton3)->setChecked(true);
    const size_t boxes = m_fixture->ui.boxes.size();
    w.Button2->click();

    if (expected.first().startsWith("M")) {
        // Refused: the message, the amplitude field, the window still open, nothing written.
        QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
        QCOMPARE(QString::fromStdString(m_fixture->ui.boxes.back().text), expected.at(0));
        QCOMPARE(w.Edit1->text(), expected.at(1));
        QVERIFY(w.isVisible());
        m_sim->withDrive([&](zrd::sim::SimDrive& d) { QCOMPARE(int(d.raw(iit)), kStoredType); });
        w.Button1->click();
        QVERIFY(!w.isVisible());
        return;
    }
    QCOMPARE(m_fixture->ui.boxes.size(), boxes);
    QVERIFY(!w.isVisible());
    // Closing puts the status poll and the clock back.
    QVERIFY(form.Timer5->isActive());
    QVERIFY(form.TimerForTime->isActive());
    for (const QString& pair : expected) {
        const QStringList parts = pair.split('=');
        const std::string mnemonic = parts.at(0).toStdString();
        const zrd::params::TPar& p = model.parameter(model.find(mnemonic).value());
        double value = 0;
        m_sim->withDrive(
            [&](zrd::sim::SimDrive& d) { value = zrd::params::rawToDisplay(p, d.raw(p.Index)); });
        QVERIFY2(value == parts.at(1).toDouble(),
                 qPrintable(pair + " != " + QString::number(value)));
    }
}
