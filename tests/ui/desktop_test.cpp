#include "desktop_test.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <fstream>
#include <iomanip>

#include "app/about_box.h"
#include "core/ui/settings_file.h"
#include "fake_serial_tree.h"
#include "link/port_lock.h"
#include "scope/ui/trace_viewer.h"
#include "session/port_advice.h"
#include "ui_test_support.h"

using namespace zrd::app;
using zrd::test::DatabaseText;
using zrd::test::FakeSerialTree;
using zrd::test::ProgramFixture;

namespace {

void prepare(ProgramFixture& fixture) {
    DatabaseText db;
    db.group("Drive").subgroup("Ident");
    db.parameter({.name = "HVER", .index = 3, .pType = "R", .maxVal = 65535, .defValue = "21"});
    fixture.writeData("Param_base.mod", "\xEF\xBB\xBF" + db.text());
    fixture.writePicture("Pic2_eng.bmp");
}

zrd::session::TCOM_CFG* openDialog() {
    return qobject_cast<zrd::session::TCOM_CFG*>(QApplication::activeModalWidget());
}

}  // namespace

void DesktopTest::settingsCarryConnectionAndPageToTheNextRun() {
    zrd::test::TempDir home;
    const std::string file = home.file("torvanta/torvanta.conf");
    zrd::sim::SimServer sim;
    QVERIFY(sim.openPty());
    sim.start();
    {
        ProgramFixture first;
        first.settingsFile = file;
        prepare(first);
        QVERIFY(first.startUp());
        TMainForm& form = first.form();
        QTimer::singleShot(0, [&] {
            zrd::session::TCOM_CFG* dialog = openDialog();
            QVERIFY(dialog);
            dialog->ComboPort->setCurrentText(QString::fromStdString(sim.devicePath()));
            dialog->ComboBaud->setCurrentText("57600");
            dialog->EditTimeOut->setText("45");
            dialog->CheckFast->setChecked(true);
            dialog->SpinGap->setValue(5);
            dialog->OKBtnClick();
        });
        form.N3Click();
        QCOMPARE(first.program().link.state().fastGapBytes, 5);
        form.TabbedNotebook2->setCurrentIndex(kTabStatus);
        form.close();
        first.program().link.closePort();
    }
    QVERIFY(QFile::exists(QString::fromStdString(file)));

    ProgramFixture second;
    second.settingsFile = file;
    prepare(second);
    QVERIFY(second.startUp());
    const zrd::session::ConnectionSettings& c = second.program().connection;
    QCOMPARE(c.device, sim.devicePath());
    QCOMPARE(c.BaudRate, 57600);
    QCOMPARE(c.PortTimeOut, 45);
    QCOMPARE(c.FastGapBytes, 5);
    QCOMPARE(second.form().TabbedNotebook2->currentIndex(), int(kTabStatus));
    QVERIFY(second.ui.boxes.empty());
}

void DesktopTest::unusableSettingsAreToldAndLeftOut_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("setAside");
    QTest::newRow("binary garbage") << QByteArray(
                                           "\x00\x01\x7f"
                                           "ELF\xff\xfe",
                                           8)
                                    << "M106" << true;
    QTest::newRow("not UTF-8") << QByteArray("[connection]\nport=/dev/tty\xff\n") << "M106" << true;
    QTest::newRow("a serialized object")
        << QByteArray("[connection]\nport=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10)\n") << "M106"
        << true;
    QTest::newRow("a baud rate that is no number")
        << QByteArray("[connection]\nport=/dev/ttyUSB7\nbaud=fast\ntimeout=30\n") << "M107"
        << false;
    QTest::newRow("a colour that is no colour")
        << QByteArray("[viewers]\nonline\\channel1=blue-ish\n") << "M107" << false;
}

void DesktopTest::unusableSettingsAreToldAndLeftOut() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, box);
    QFETCH(bool, setAside);
    zrd::test::TempDir home;
    const QString file = QString::fromStdString(home.file("torvanta.conf"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();

    ProgramFixture fixture;
    fixture.settingsFile = file.toStdString();
    prepare(fixture);
    QVERIFY(fixture.startUp());
    QCOMPARE(fixture.ui.boxes.size(), size_t(1));
    QCOMPARE(QString::fromStdString(fixture.ui.boxes[0].text), box);
    // Nothing of it is used: the port is not the one the file names.
    QCOMPARE(fixture.program().connection.device, std::string());
    QCOMPARE(fixture.program().connection.BaudRate, zrd::link::kDefaultBaudRate);
    QCOMPARE(fixture.form().settings().channelColour("online", 1, Qt::blue), QColor(Qt::blue));
    // A broken file is kept beside, for the user; a new one is written on exit.
    QCOMPARE(QFile::exists(file + ".broken"), setAside);
    QCOMPARE(QFile::exists(file), !setAside);
    fixture.form().close();
    QVERIFY(QFile::exists(file));
}

void DesktopTest::viewerColoursComeBackInTheNextRun() {
    ProgramFixture fixture;
    Program& p = fixture.program();
    const QString file = QString::fromStdString(fixture.dir.file("torvanta.conf"));
    auto o = std::make_unique<zrd::scope::Oscillogram>();
    QColor chosen;
    {
        zrd::ui::SettingsFile settings(file);
        zrd::scope::TOscillOff viewer({*o, p.actionLog, p.messages, p.model, fixture.ui, &settings},
                                      nullptr);
        viewer.FormActivate();
        const QColor first = viewer.channelColour(1);
        // Channel 2 takes the last colour the box offers.
        QComboBox* box = viewer.ColorBox[1];
        box->setCurrentIndex(box->count() - 1);
        viewer.ColorBoxChange(2);
        chosen = viewer.channelColour(2);
        QVERIFY(chosen != first);
        QVERIFY(!settings.save());
    }
    zrd::ui::SettingsFile settings(file);
    QVERIFY(settings.load().empty());
    zrd::scope::TOscillOff next({*o, p.actionLog, p.messages, p.model, fixture.ui, &settings},
                                nullptr);
    next.FormActivate();
    QCOMPARE(next.channelColour(2), chosen);
    QCOMPARE(next.ColorBox[1]->currentData().value<QRgb>(), chosen.rgb());
    // The online viewer keeps colours of its own.
    zrd::scope::TOscill online({*o, p.actionLog, p.messages, p.model, fixture.ui, &settings},
                               nullptr);
    online.FormActivate();
    QVERIFY(online.channelColour(2) != chosen);
}

void DesktopTest::dialogDescribesPortsAndAdvisesOnLatency() {
    ProgramFixture fixture;
    prepare(fixture);
    QVERIFY(fixture.startUp());
    FakeSerialTree tree(fixture.dir.file("system"));
    tree.add(FakeSerialTree::ftdi("ttyUSB0", 16));
    tree.add({"ttyACM0", "cdc_acm", "2341", "0043", "Arduino", "Uno", "7583", std::nullopt, ""});
    const std::string rules = "/usr/share/torvanta/99-zrd-serial.rules";
    zrd::link::SystemRoots roots = tree.roots();
    roots.lock = fixture.dir.file("locks");
    QVERIFY(QDir().mkpath(QString::fromStdString(roots.lock)));
    fixture.form().session().setPortSources(roots, rules);
    Program& program = fixture.program();
    const std::string ftdi =
        zrd::link::portSummary(zrd::link::describePort(tree.device("ttyUSB0"), tree.roots()));
    QVERIFY(ftdi.starts_with("FTDI FT232R USB UART, 0403:6001"));
    // The USB adapter is held by a live program (this one) through its UUCP lock file.
    std::ofstream(roots.lock + "/" + zrd::link::lockFileName(tree.device("ttyUSB0")))
        << std::setw(10) << ::getpid() << "\n";
    std::ifstream commFile("/proc/self/comm");
    std::string comm;
    std::getline(commFile, comm);
    const std::string holder = comm + " (PID " + std::to_string(::getpid()) + ")";

    QTimer::singleShot(0, [&] {
        zrd::session::TCOM_CFG* dialog = openDialog();
        QVERIFY(dialog);
        // The list shows each port's description beside its path.
        const QAbstractItemModel* list = dialog->ComboPort->model();
        const int usb = dialog->ComboPort->findText(QString::fromStdString(tree.device("ttyUSB0")));
        const int acm = dialog->ComboPort->findText(QString::fromStdString(tree.device("ttyACM0")));
        QVERIFY(usb >= 0 && acm >= 0);
        // A held port is marked with its holder.
        const std::string mark =
            zrd::params::withArguments(program.message(zrd::params::kMsgPortInUseMark), {holder});
        QCOMPARE(list->index(usb, 1).data().toString(), QString::fromStdString(ftdi + ", " + mark));
        QCOMPARE(list->index(acm, 1).data().toString(),
                 QString("Arduino Uno, 2341:0043, serial 7583"));

        // Under the port: its description, and for the slow adapter what lowers the timer.
        dialog->ComboPort->setCurrentIndex(usb);
        QVERIFY(dialog->PortInfo->isVisibleTo(dialog));
        const std::string advice =
            zrd::params::withArguments(program.message(zrd::params::kMsgPortLatency),
                                       {tree.device("ttyUSB0"), "16"}) +
            "\n    echo 1 | sudo tee " + tree.latencyFile("ttyUSB0");
        const std::string busy = zrd::params::withArguments(
            program.message(zrd::params::kMsgPortBusy), {tree.device("ttyUSB0"), holder});
        QVERIFY2(
            dialog->PortInfo->text().toStdString().starts_with(ftdi + "\n" + busy + "\n" + advice),
            qPrintable(dialog->PortInfo->text()));
        QVERIFY(dialog->PortInfo->text().contains(QString::fromStdString("sudo cp " + rules)));
        dialog->ComboPort->setCurrentIndex(acm);
        QCOMPARE(dialog->PortInfo->text(), QString("Arduino Uno, 2341:0043, serial 7583"));
        // A typed path the system knows nothing of leaves nothing to say.
        dialog->ComboPort->setCurrentText(QString::fromStdString(fixture.dir.file("pty")));
        QVERIFY(!dialog->PortInfo->isVisibleTo(dialog));
        dialog->reject();
    });
    QVERIFY(!fixture.form().session().connectDrive());
}

void DesktopTest::aboutBoxShowsTheBuildsVersion() {
    ProgramFixture fixture;
    fixture.versionText = "2.1 (commit 0123456789)";
    prepare(fixture);
    QVERIFY(fixture.startUp());
    TAboutBox& about = *fixture.form().AboutBox;
    QCOMPARE(about.Version->text(), QString("Version 2.1 (commit 0123456789)"));
    // The icon the desktop shows, built into the program.
    QVERIFY(!about.ProgramIcon->pixmap().isNull());
    QCOMPARE(about.ProgramIcon->pixmap().width(), 64);
}
