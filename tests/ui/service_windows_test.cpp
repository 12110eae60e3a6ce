// The filter calculator, the service commands and the parameter files against the simulated
// drive on a pseudo-terminal.

#include "service_windows_test.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>
#include <cmath>

#include "core/number_text.h"
#include "monitor/status.h"
#include "params/ui/compare_form.h"
#include "session/service_commands.h"
#include "session/ui/control_area.h"
#include "session/ui/parameter_files.h"
#include "session/ui/service_controls.h"
#include "tuning/filter_design.h"
#include "tuning/ui/filter_form.h"

namespace pm = zrd::params;
namespace tn = zrd::tuning;

namespace {

constexpr double kSameRaw = 1e-9;
constexpr const char* kFilterPictures[] = {"Filter_LPF.bmp", "Filter_BSF.bmp", "Filter_EFC.bmp",
                                           "Filter_EFB.bmp"};

// The display value the drive holds for a mnemonic.
double driveValue(zrd::sim::SimServer& sim, const pm::ParameterModel& model,
                  const std::string& mnemonic) {
    const pm::TPar& p = model.parameter(model.find(mnemonic).value());
    double value = 0;
    sim.withDrive([&](zrd::sim::SimDrive& d) { value = pm::rawToDisplay(p, d.raw(p.Index)); });
    return value;
}

int framesSeen(zrd::sim::SimServer& sim) {
    int frames = 0;
    sim.withDrive([&](zrd::sim::SimDrive& d) { frames = d.framesSeen(); });
    return frames;
}

QString stateText(pm::ParameterSetState state) {
    return QString::fromStdString(zrd::monitor::setStateText(static_cast<int>(state)).value());
}

}  // namespace

void ServiceWindowsTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    QVERIFY(m_fixture->startUpShipped(kFilterPictures));
    m_sim = std::make_unique<zrd::sim::SimServer>();
    QVERIFY(m_fixture->connectToSim(*m_sim));
}

void ServiceWindowsTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

void ServiceWindowsTest::filterWriteLeavesTheQuantisedCoefficients_data() {
    QTest::addColumn<bool>("servoOn");
    QTest::addColumn<bool>("answer");  // to the question before writing with the servo on
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("written");
    QTest::newRow("servo off: written without a question") << false << false << 0 << true;
    QTest::newRow("servo on, the user goes on: written") << true << true << 1 << true;
    QTest::newRow("servo on, the user declines: nothing sent") << true << false << 1 << false;
}

void ServiceWindowsTest::filterWriteLeavesTheQuantisedCoefficients() {
    QFETCH(bool, servoOn);
    QFETCH(bool, answer);
    QFETCH(int, questions);
    QFETCH(bool, written);
    zrd::app::TMainForm& form = m_fixture->form();
    const pm::ParameterModel& model = m_fixture->program().model;
    form.controls().Enable_button->setChecked(servoOn);
    form.controls().Desable_button->setChecked(!servoOn);
    form.Filtercalculator1->trigger();
    tn::TFilter_Form& w = *form.Filter_Form;
    QVERIFY(w.isVisible());
    int asked = 0;
    w.askToWrite = [&](const QString&, const QString&) {
        ++asked;
        return answer;
    };
    QCOMPARE(w.slot(), 1);
    w.RadioType[size_t(tn::FilterType::BandStop)]->click();
    QVERIFY(!w.Image1->pixmap().isNull());
    w.Edit1->setText("400");
    w.Edit2->setText("2");
    w.Button5->click();
    QVERIFY(w.calculation().has_value());
    // Designed and quantised, magnitude and phase each.
    QCOMPARE(w.Chart1->chart()->series().size(), 4);
    const tn::Biquad q = w.calculation()->quantised;
    const int framesBefore = framesSeen(*m_sim);
    w.Button7->click();
    QCOMPARE(asked, questions);

    const std::array<std::pair<const char*, double>, 7> expected = {{{"F1TYPE", 2},
                                                                     {"F1FRE", 400},
                                                                     {"F1NUM0", q.b0},
                                                                     {"F1NUM1", q.b1},
                                                                     {"F1NUM2", q.b2},
                                                                     {"F1DEN1", q.a1},
                                                                     {"F1DEN2", q.a2}}};
    if (!written) {
        QCOMPARE(framesSeen(*m_sim), framesBefore);
        return;
    }
    // The drive keeps whole multiples of the scale: equal up to the rounding of that product.
    for (const auto& [mnemonic, value] : expected)
        QVERIFY2(std::abs(driveValue(*m_sim, model, mnemonic) - value) < kSameRaw, mnemonic);
}

void ServiceWindowsTest::filterDesignStaysPutAndOutlivesTheWindow() {
    zrd::app::TMainForm& form = m_fixture->form();
    form.Filtercalculator1->trigger();
    tn::TFilter_Form& w = *form.Filter_Form;
    QVERIFY(w.isVisible());
    // The fields keep their place whichever type's picture shows.
    w.RadioType[size_t(tn::FilterType::LowPass)]->click();
    w.layout()->activate();
    const QPoint at = w.Edit1->mapTo(&w, QPoint());
    for (const tn::FilterType type :
         {tn::FilterType::BandStop, tn::FilterType::Off, tn::FilterType::LowPass}) {
        w.RadioType[size_t(type)]->click();
        w.layout()->activate();
        QCOMPARE(w.Edit1->mapTo(&w, QPoint()), at);
    }
    // A calculated design comes back when the window opens again.
    w.RadioType[size_t(tn::FilterType::BandStop)]->click();
    w.Edit1->setText("410");
    w.Edit2->setText("3");
    w.Button5->click();
    QVERIFY(w.calculation().has_value());
    w.Button1->click();
    QVERIFY(!w.isVisible());
    form.Filtercalculator1->trigger();
    QVERIFY(w.isVisible());
    QVERIFY(w.RadioType[size_t(tn::FilterType::BandStop)]->isChecked());
    QCOMPARE(w.Edit1->text(), QString("410"));
    QCOMPARE(w.Edit2->text(), QString("3"));
    w.Button1->click();
}

void ServiceWindowsTest::eepromStoreAndRefusedServo() {
    zrd::app::Program& program = m_fixture->program();
    zrd::app::TMainForm& form = m_fixture->form();
    pm::ParameterModel& model = program.model;
    // A value changed in the program goes out with the write-all and into the EEPROM image.
    // A status poll brings the window online: the menu item and the servo panel enabled.
    form.Timer5Timer();
    QVERIFY(form.N4->isEnabled() && form.controls().Enable_button->isEnabled());
    model.setValueOrigin(0);
    const int position = model.find("F1FRE").value();
    const pm::TPar& p = model.parameter(position);
    const double changed = model.value(position) + 10;
    model.setKnownValue(position, changed);
    form.N4->trigger();
    // Only the one known value went out (the others are listed as not written); the store
    // itself is acknowledged.
    QVERIFY(form.service().lastResult().outcome == zrd::session::ServiceOutcome::Done);
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        QCOMPARE(pm::rawToDisplay(p, d.eeprom()[p.Index]), changed);
    });
    QCOMPARE(form.controls().show_state_par->text(), stateText(pm::ParameterSetState::Eeprom));

    // "ENMOD" 0: the fixed box, the button back on "Off", nothing on the line.
    model.setValue(model.find("ENMOD").value(), 0);
    const size_t boxes = m_fixture->ui.boxes.size();
    const int frames = framesSeen(*m_sim);
    form.controls().Enable_button->click();
    QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
    QCOMPARE(m_fixture->ui.boxes.back().caption, std::string(zrd::session::kEnmodCaptionEng));
    QCOMPARE(m_fixture->ui.boxes.back().text, std::string(zrd::session::kEnmodTextEng));
    QVERIFY(form.controls().Desable_button->isChecked());
    QCOMPARE(framesSeen(*m_sim), frames);
}

void ServiceWindowsTest::parameterFileComesBackAfterOk_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK applies the file") << true;
    QTest::newRow("Cancel leaves the program's value") << false;
}

void ServiceWindowsTest::parameterFileComesBackAfterOk() {
    QFETCH(bool, ok);
    zrd::app::TMainForm& form = m_fixture->form();
    pm::ParameterModel& model = m_fixture->program().model;
    zrd::session::TParameterFiles& files = form.parameterFiles();
    const QString path = QString::fromStdString(m_fixture->dir.path() + "/saved.prm");
    files.chooseFile = [&](bool) { return path; };
    const int position = model.find("F1FRE").value();
    const double saved = model.value(position);
    form.Saveparameterstofile1->trigger();
    QVERIFY(QFileInfo::exists(path));

    const double changed = saved + 25;
    model.setValue(position, changed);
    form.Readingparametersfromfile1->trigger();
    pm::TCompare_Form* compare = files.comparison();
    QVERIFY(compare && compare->isVisible());
    // Nothing is applied while the comparison is open; the changed row is listed.
    QCOMPARE(model.value(position), changed);
    const auto rows = compare->Grid1->findItems("F1FRE", Qt::MatchExactly);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(compare->Grid1->item(rows.first()->row(), 3)->text(),
             QString::fromStdString(zrd::formatGeneral(saved)));
    (ok ? compare->OKBtn : compare->CancelBtn)->click();
    QCOMPARE(model.value(position), ok ? saved : changed);
    if (ok) {
        QCOMPARE(model.valueOrigin(), 0);
        QCOMPARE(form.controls().show_state_par->text(), stateText(pm::ParameterSetState::File));
    }
}

void ServiceWindowsTest::modeAndSourceButtonsReachTheDrive_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("source");
    QTest::newRow("position, external")
        << zrd::session::kModePosition << zrd::session::kSourceExternalPosition;
    QTest::newRow("speed, external") << zrd::session::kModeSpeed << zrd::session::kSourceExternal;
    QTest::newRow("current, external")
        << zrd::session::kModeCurrent << zrd::session::kSourceExternal;
}

void ServiceWindowsTest::modeAndSourceButtonsReachTheDrive() {
    QFETCH(int, mode);
    QFETCH(int, source);
    zrd::app::TMainForm& form = m_fixture->form();
    const pm::ParameterModel& model = m_fixture->program().model;
    zrd::session::TControlArea& c = form.controls();
    form.Timer5Timer();
    const std::array<QToolButton*, 3> modes = {c.SpeedButton4, c.SpeedButton5, c.SpeedButton6};
    modes.at(static_cast<size_t>(mode - zrd::session::kModeCurrent))->click();
    QCOMPARE(driveValue(*m_sim, model, "OPMOD"), double(mode));
    c.SpeedButton2->click();
    QCOMPARE(driveValue(*m_sim, model, "INST"), double(source));
    // "External" stops the generator and switches the servo off on the way.
    QVERIFY(c.Desable_button->isChecked());
    c.SpeedButton1->click();
    QCOMPARE(driveValue(*m_sim, model, "INST"), 1.0);
}

void ServiceWindowsTest::resetReadsBackWhatTheDriveStarts_data() {
    QTest::addColumn<bool>("storedFirst");
    QTest::newRow("working value lost by the reset") << false;
    QTest::newRow("working value kept in the data area") << true;
}

void ServiceWindowsTest::resetReadsBackWhatTheDriveStarts() {
    QFETCH(bool, storedFirst);
    zrd::app::TMainForm& form = m_fixture->form();
    pm::ParameterModel& model = m_fixture->program().model;
    form.Timer5Timer();
    const int position = model.find("F1FRE").value();
    const pm::TPar& p = model.parameter(position);
    uint16_t stored = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) {
        stored = d.eeprom()[p.Index];
        // A value set in the drive's working memory only.
        d.setRaw(p.Index, static_cast<uint16_t>(stored + 7));
    });
    const double working = driveValue(*m_sim, model, "F1FRE");
    if (storedFirst)
        form.Savedefault1->trigger();
    form.N17->trigger();
    // The read-all follows the drive's restart pause, with the window live meanwhile.
    QVERIFY(form.service().ResetTimer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!form.service().ResetTimer->isActive(), kWaitMs);
    const double expected = storedFirst ? working : pm::rawToDisplay(p, stored);
    QCOMPARE(driveValue(*m_sim, model, "F1FRE"), expected);
    QCOMPARE(model.value(position), expected);
}
