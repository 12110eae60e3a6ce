// The parameter pages and the edit dialog, offline and against the simulated drive.

#include "param_pages_test.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <stdexcept>

#include "sim_server.h"
#include "ui_test_support.h"

using namespace zrd::app;
using namespace zrd::test;
using zrd::test::DatabaseText;
using zrd::test::ProgramFixture;
using zrd::test::TestParameter;

namespace {

// Group 1: identification (one read-only), group 2: twenty motor parameters, group 3: a
// parameter with limits 0..100 and default 25, an output function and the command source.
std::string pagesDatabase() {
    DatabaseText db;
    db.group("Drive").subgroup("Ident");
    db.parameter({.name = "SERH", .index = 1, .maxVal = 65535});
    db.parameter({.name = "SERL", .index = 2, .maxVal = 65535});
    db.parameter({.name = "HVER", .index = 3, .pType = "R", .maxVal = 65535, .defValue = "210"});
    db.group("Motor").subgroup("Motor_data").parameters("MP", 20, 10, 2);
    db.group("Current").subgroup("Loop");
    db.parameter({.name = "KPI",
                  .index = 40,
                  .minVal = 0,
                  .maxVal = 200,
                  .scale = "0.5",
                  .defValue = "50",
                  .group = 3,
                  .unit = "V/A",
                  .updateCon = 1});
    db.parameter({.name = "DOUT1", .index = 41, .maxVal = 20, .group = 3, .updateCon = 2});
    db.parameter({.name = "HIDDEN", .index = 42, .group = 3, .modeMes = 1});
    db.parameter({.name = "INST", .index = 43, .maxVal = 3, .defValue = "2", .group = 3});
    db.parameter({.name = "MT", .index = 44, .maxVal = 99, .defValue = "2", .group = 3});
    // Group 5: the drive type and a parameter whose mnemonic merely begins like it.
    db.group("Position").subgroup("Comp");
    db.parameter({.name = "DT", .index = 45, .maxVal = 500, .defValue = "1", .group = 5});
    db.parameter({.name = "DTCOMP", .index = 46, .maxVal = 500, .defValue = "100", .group = 5});
    return db.text();
}

// Motor types: MT identifies the line; KPI and MP0 take raw values.
std::string motorTypes() {
    return "Motor MT KPI MP0\r\nSmall 1 10 5\r\nM-200 2 20 6\r\nM-300 3 30 7\r\n";
}

QLineEdit* field(TParamFrame& frame, const QString& name) {
    return frame.findChild<QLineEdit*>(name);
}

// The page of that name with its controls made, as if it had been shown.
TParamFrame* frameNamed(TMainForm& form, const QString& name) {
    for (TParamFrame* frame : form.pages().frames()) {
        if (frame->objectName() == name) {
            frame->build();
            return frame;
        }
    }
    return nullptr;
}

// Every control of every page: text, state colour, enabled, shown and tip.
QStringList pagesLook(TMainForm& form) {
    QStringList look;
    for (TParamFrame* frame : form.pages().frames()) {
        frame->build();
        for (QWidget* w : frame->findChildren<QWidget*>()) {
            auto* edit = qobject_cast<QLineEdit*>(w);
            auto* label = qobject_cast<QLabel*>(w);
            look << QString("%1/%2 '%3' %4 %5 %6 %7")
                        .arg(frame->objectName(), w->objectName(),
                             edit ? edit->text() : (label ? label->text() : QString()))
                        .arg(stateColour(w), 0, 16)
                        .arg(int(w->isEnabled()))
                        .arg(int(w->isVisibleTo(frame)))
                        .arg(w->toolTip());
        }
    }
    return look;
}

std::unique_ptr<ProgramFixture> startPages() {
    auto fixture = std::make_unique<ProgramFixture>();
    fixture->writeData("Param_base.mod", pagesDatabase());
    fixture->writeData("Motor_type.mod", motorTypes());
    fixture->writePicture("Pic2_eng.bmp");
    return fixture;
}

int visibleRows(TParamFrame& frame) {
    int rows = 0;
    for (int k = 0; k < zrd::params::kRowsPerPage; ++k)
        rows += frame.row(k).Param->isVisibleTo(&frame) ? 1 : 0;
    return rows;
}

}  // namespace

void ParamPagesTest::init() {
    m_fixture = startPages();
    QVERIFY(m_fixture->startUp());
}

void ParamPagesTest::cleanup() {
    m_fixture.reset();
}

void ParamPagesTest::pagesAreBuiltPerGroup_data() {
    QTest::addColumn<int>("group");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("tabCaption");
    QTest::newRow("group 1") << 1 << QStringList{"Ident"} << QList<int>{3} << "Drive";
    QTest::newRow("group 2") << 2 << QStringList{"Motor_data_page1", "Motor_data_page2"}
                             << QList<int>{16, 4} << "Motor";
    QTest::newRow("group 3") << 3 << QStringList{"Loop_page1"} << QList<int>{4} << "Current";
    QTest::newRow("group 4 is empty") << 4 << QStringList{} << QList<int>{} << "";
}

void ParamPagesTest::pagesAreBuiltPerGroup() {
    QFETCH(int, group);
    QFETCH(QStringList, pages);
    QFETCH(QList<int>, rows);
    QFETCH(QString, tabCaption);
    TMainForm& form = m_fixture->form();
    auto* control = form.findChild<QTabWidget*>(QString("PageControl%1").arg(group));
    QVERIFY(control != nullptr);
    QCOMPARE(control->count(), pages.size());
    QCOMPARE(!control->isHidden(), !pages.isEmpty());
    for (int i = 0; i < pages.size(); ++i) {
        QCOMPARE(control->tabText(i), pages[i]);
        auto* frame = qobject_cast<TParamFrame*>(control->widget(i));
        QVERIFY(frame != nullptr);
        QCOMPARE(frame->objectName(), pages[i]);
        QCOMPARE(visibleRows(*frame), rows[i]);
    }
    QCOMPARE(form.TabbedNotebook2->tabText(group), tabCaption);
}

void ParamPagesTest::rowsShowTheRecord() {
    TMainForm& form = m_fixture->form();
    TParamFrame* loop = frameNamed(form, "Loop_page1");
    QVERIFY(loop != nullptr);
    QCOMPARE(loop->findChild<QLabel*>("num0")->text(), QString("KPI"));
    QCOMPARE(loop->findChild<QLabel*>("ParamName0")->text(), QString("Description of KPI"));
    QCOMPARE(loop->findChild<QLabel*>("MesurUnit0")->text(), QString("V/A"));
    QCOMPARE(loop->findChild<QLabel*>("Min0")->text(), QString("P24"));
    QCOMPARE(loop->findChild<QLabel*>("index0")->text(), QString("23"));
    QVERIFY(!loop->findChild<QLabel*>("index0")->isVisibleTo(loop));
    QCOMPARE(field(*loop, "Param0")->text(), QString("25"));
    QCOMPARE(field(*loop, "Minval0")->text(), QString("0"));
    QCOMPARE(field(*loop, "MaxVal0")->text(), QString("100"));
    QCOMPARE(field(*loop, "DefaultVal0")->text(), QString("25"));
    for (const char* limit : {"Minval0", "MaxVal0", "DefaultVal0"})
        QVERIFY(!field(*loop, limit)->isEnabled());
    QCOMPARE(loop->minimum->text(), QString("M14"));
    QCOMPARE(loop->maximum->text(), QString("M15"));
    QCOMPARE(loop->default_->text(), QString("M16"));
    QVERIFY(loop->minimum->isVisibleTo(loop));
    // The parameter without a row has no frame; the value table keeps the loaded defaults.
    const zrd::params::ParameterModel& model = m_fixture->program().model;
    QCOMPARE(model.parameter(25).indexFrame, zrd::params::kNoFrame);
    QCOMPARE(model.value(23), 25.0);
    QCOMPARE(model.previousValue(23), 25.0);
}

void ParamPagesTest::readOnlyParameterHasDisabledField() {
    TMainForm& form = m_fixture->form();
    TParamFrame* ident = frameNamed(form, "Ident");
    QVERIFY(ident != nullptr);
    QVERIFY(field(*ident, "Param0")->isEnabled());
    QVERIFY(!field(*ident, "Param2")->isEnabled());
}

void ParamPagesTest::valueFieldTakesOnlyNumberKeys() {
    TParamFrame* ident = frameNamed(m_fixture->form(), "Ident");
    QLineEdit* value = field(*ident, "Param0");
    value->clear();
    value->setFocus();
    QTest::keyClicks(value, "1a2-x.5");
    QCOMPARE(value->text(), QString("12-.5"));
    QTest::keyClick(value, Qt::Key_Backspace);
    QCOMPARE(value->text(), QString("12-."));
}

void ParamPagesTest::editDialogIsFilledFromTheRow_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("functions");
    QTest::newRow("update after writing") << "Ident" << 0 << "Parameter P1"
                                          << "RadioButton1" << 0;
    QTest::newRow("update when disabled") << "Loop_page1" << 0 << "Parameter P24"
                                          << "RadioButton2" << 0;
    QTest::newRow("output function list") << "Loop_page1" << 1 << "Parameter P25"
                                          << "RadioButton3" << 3;
}

void ParamPagesTest::editDialogIsFilledFromTheRow() {
    QFETCH(QString, page);
    QFETCH(int, row);
    QFETCH(QString, caption);
    QFETCH(QString, radio);
    QFETCH(int, functions);
    TMainForm& form = m_fixture->form();
    m_fixture->program().functionNames.digitalOutputs = {"Ready", "Fault", "Brake"};
    TEdit_par_Form& dialog = *form.Edit_par_Form;
    const int designHeight = dialog.height();
    dialog.fillFromRow(*frameNamed(form, page), row, true);
    QCOMPARE(dialog.windowTitle(), caption);
    QVERIFY(dialog.findChild<QRadioButton*>(radio)->isChecked());
    QCOMPARE(dialog.Memo1->isVisibleTo(&dialog), functions > 0);
    QCOMPARE(dialog.height(), designHeight + functions * kFunctionLineHeight);
    if (functions > 0)
        QCOMPARE(dialog.Memo1->toPlainText(), QString("Ready\nFault\nBrake"));
    // The radio buttons only show the condition.
    for (const char* other : {"RadioButton1", "RadioButton2", "RadioButton3"})
        dialog.findChild<QRadioButton*>(other)->click();
    QVERIFY(dialog.findChild<QRadioButton*>(radio)->isChecked());
    dialog.restoreLayout();
    QCOMPARE(dialog.height(), designHeight);
}

void ParamPagesTest::editDialogWritesToTheDrive_data() {
    QTest::addColumn<QString>("entered");
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("raw");
    QTest::newRow("inside the limits") << "42" << 42.0 << 84;
    QTest::newRow("upper limit") << "100" << 100.0 << 200;
}

void ParamPagesTest::editDialogWritesToTheDrive() {
    QFETCH(QString, entered);
    QFETCH(double, stored);
    QFETCH(int, raw);
    zrd::sim::SimServer sim;
    QVERIFY2(m_fixture->connectToSim(sim), sim.error().c_str());
    Program& program = m_fixture->program();

    TMainForm& form = m_fixture->form();
    TEdit_par_Form& dialog = *form.Edit_par_Form;
    TParamFrame* loop = frameNamed(form, "Loop_page1");
    dialog.fillFromRow(*loop, 0, false);
    dialog.Edit1->setText(entered);
    form.controls().Button6->setEnabled(false);
    dialog.Button1Click();

    QCOMPARE(program.model.value(23), stored);
    QCOMPARE(field(*loop, "Param0")->text(), QString::number(stored));
    int onDrive = -1;
    sim.withDrive([&](zrd::sim::SimDrive& d) { onDrive = d.raw(40); });
    QCOMPARE(onDrive, raw);
    QVERIFY(form.controls().Button6->isEnabled());
    QVERIFY(!program.link.state().linkBusy);
    QVERIFY(form.Timer5->isActive());
    program.link.closePort();
    sim.stop();
}

void ParamPagesTest::readAllFillsPagesAndControls() {
    zrd::sim::SimServer sim;
    QVERIFY2(m_fixture->connectToSim(sim,
                                     [](zrd::sim::SimDrive& d) {
                                         d.setRaw(1, 1);     // SERH
                                         d.setRaw(2, 2);     // SERL
                                         d.setRaw(40, 120);  // KPI: 60 in display units
                                         d.setRaw(43, 1);    // INST: internal commands
                                     }),
             sim.error().c_str());
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();

    form.session().ReadParamAll();

    QCOMPARE(program.model.value(23), 60.0);
    QCOMPARE(field(*frameNamed(form, "Loop_page1"), "Param0")->text(), QString("60"));
    QCOMPARE(form.controls().SerNum->text(), QString("65538"));
    QVERIFY(form.controls().SpeedButton1->isChecked());
    QVERIFY(form.controls().Panel14->isEnabled());
    QVERIFY(form.controls().RPar->isHidden());
    QVERIFY(form.isEnabled());
    QVERIFY(form.controls().Button6->isEnabled());
    QVERIFY(form.Timer5->isActive());
    QVERIFY(!program.link.state().linkBusy);
    QCOMPARE(program.model.valueOrigin(), 1);
    program.link.closePort();
    sim.stop();
}

void ParamPagesTest::motorTypeIsSelectedAtStartUp() {
    TMainForm& form = m_fixture->form();
    QCOMPARE(form.controls().ComboBox6->count(), 3);
    QCOMPARE(form.controls().ComboBox6->currentIndex(), 1);  // MT default 2: line 2, "M-200"
    QCOMPARE(form.driveState().Motor_sel->text(), QString("M-200"));
}

void ParamPagesTest::writingMtAppliesTheMotorLine() {
    zrd::sim::SimServer sim;
    QVERIFY2(m_fixture->connectToSim(sim), sim.error().c_str());
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();
    TEdit_par_Form& dialog = *form.Edit_par_Form;
    TParamFrame* loop = frameNamed(form, "Loop_page1");
    dialog.fillFromRow(*loop, 3, false);
    dialog.Edit1->setText("3");
    dialog.Button1Click();

    QCOMPARE(program.model.value(23), 15.0);  // KPI: raw 30 × 0.5
    QCOMPARE(program.model.value(3), 7.0);    // MP0
    QCOMPARE(field(*loop, "Param0")->text(), QString("15"));
    std::array<int, 3> onDrive{};
    sim.withDrive([&](zrd::sim::SimDrive& d) { onDrive = {d.raw(44), d.raw(40), d.raw(10)}; });
    QCOMPARE(onDrive, (std::array<int, 3>{3, 30, 7}));
    QCOMPARE(form.driveState().Motor_sel->text(), QString("M-300"));
    QCOMPARE(form.controls().ComboBox6->currentIndex(), 2);
    QCOMPARE(program.model.valueOrigin(), 0);
    QVERIFY(std::count(m_fixture->ui.waits.begin(), m_fixture->ui.waits.end(), 10) >= 3);
    program.link.closePort();
    sim.stop();
}

void ParamPagesTest::choosingAMotorOfflineChangesOnlyTheTable() {
    TMainForm& form = m_fixture->form();
    form.controls().ComboBox6->setCurrentIndex(0);  // line 1: "Small"
    form.session().ComboBox6CloseUp();
    QCOMPARE(form.driveState().Motor_sel->text(), QString("Small"));
    QCOMPARE(m_fixture->program().model.value(23), 5.0);
    QCOMPARE(m_fixture->program().model.value(3), 5.0);
    QCOMPARE(field(*frameNamed(form, "Loop_page1"), "Param0")->text(), QString("5"));
    QCOMPARE(m_fixture->program().model.valueOrigin(), 0);
}

void ParamPagesTest::editDialogRefusesTextThatIsNoNumber() {
    Program& program = m_fixture->program();
    program.link.state().connected = 1;
    TMainForm& form = m_fixture->form();
    TEdit_par_Form& dialog = *form.Edit_par_Form;
    dialog.fillFromRow(*frameNamed(form, "Loop_page1"), 0, false);
    dialog.Edit1->setText("12,5");
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, dialog.Button1Click());
    QCOMPARE(program.model.value(23), 25.0);
    QVERIFY(!program.link.state().linkBusy);
}

void ParamPagesTest::editDialogOfflineOnlyCloses() {
    TMainForm& form = m_fixture->form();
    TEdit_par_Form& dialog = *form.Edit_par_Form;
    dialog.fillFromRow(*frameNamed(form, "Loop_page1"), 0, false);
    dialog.show();
    dialog.Edit1->setText("42");
    dialog.Button1Click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(m_fixture->program().model.value(23), 25.0);
}

void ParamPagesTest::mousePressOnAValueOpensTheDialog() {
    TMainForm& form = m_fixture->form();
    TParamFrame* loop = frameNamed(form, "Loop_page1");
    form.TabbedNotebook2->setCurrentIndex(3);
    QString title;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            title = modal->windowTitle();
            modal->close();
        }
    });
    QTest::mousePress(field(*loop, "Param0"), Qt::LeftButton);
    QCOMPARE(title, QString("Parameter P24"));
}

// "DTCOMP" begins like the drive type "DT"; writing it used to write the drive type too.
void ParamPagesTest::editingAParameterNamedLikeDtLeavesTheDriveType() {
    zrd::sim::SimServer sim;
    QVERIFY2(m_fixture->connectToSim(sim), sim.error().c_str());
    TMainForm& form = m_fixture->form();
    const QString driveNumber = form.driveState().Dr_Num->text();
    TEdit_par_Form& dialog = *form.Edit_par_Form;
    dialog.fillFromRow(*frameNamed(form, "Comp_page1"), 1, false);
    dialog.Edit1->setText("250");
    dialog.Button1Click();

    std::array<int, 2> onDrive{};
    sim.withDrive([&](zrd::sim::SimDrive& d) { onDrive = {d.raw(45), d.raw(46)}; });
    QCOMPARE(onDrive, (std::array<int, 2>{1, 250}));
    const Program& program = m_fixture->program();
    QCOMPARE(program.model.value(*program.model.find("DT")), 1.0);
    QCOMPARE(form.driveState().Dr_Num->text(), driveNumber);
    m_fixture->program().link.closePort();
    sim.stop();
}

void ParamPagesTest::editDialogWritesNothingOutsideTheLimits_data() {
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("refusal");  // empty: the text is no number at all
    QTest::newRow("above") << "150"
                           << "Outside 0 .. 100";
    QTest::newRow("below") << "-1"
                           << "Outside 0 .. 100";
    QTest::newRow("far above") << "1e300"
                               << "Outside 0 .. 100";
    QTest::newRow("not a number") << "nan"
                                  << "";
    QTest::newRow("infinite") << "inf"
                              << "";
}

// A value outside the limits used to be replaced by the default and written; the user's
// value was lost without a word.
void ParamPagesTest::editDialogWritesNothingOutsideTheLimits() {
    QFETCH(QString, entered);
    QFETCH(QString, refusal);
    zrd::sim::SimServer sim;
    QVERIFY2(m_fixture->connectToSim(sim), sim.error().c_str());
    Program& program = m_fixture->program();
    TMainForm& form = m_fixture->form();
    TEdit_par_Form& dialog = *form.Edit_par_Form;
    program.model.setValue(23, 35);
    dialog.fillFromRow(*frameNamed(form, "Loop_page1"), 0, false);
    dialog.Edit1->setText(entered);
    int framesBefore = 0;
    sim.withDrive([&](zrd::sim::SimDrive& d) { framesBefore = d.framesSeen(); });
    const size_t boxes = m_fixture->ui.boxes.size();

    if (refusal.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, dialog.Button1Click());
    } else {
        dialog.Button1Click();
        QCOMPARE(m_fixture->ui.boxes.size(), boxes + 1);
        // The message names the parameter, the value and the limits.
        const QString text = QString::fromStdString(m_fixture->ui.boxes.back().text);
        QVERIFY2(text.startsWith("P24 KPI: ") && text.endsWith(refusal), qPrintable(text));
    }
    int framesAfter = 0;
    sim.withDrive([&](zrd::sim::SimDrive& d) { framesAfter = d.framesSeen(); });
    QCOMPARE(framesAfter, framesBefore);
    QCOMPARE(program.model.value(23), 35.0);
    QVERIFY(!program.link.state().linkBusy);
    program.link.closePort();
    sim.stop();
}

// After a read the read-only rows turned white like writable ones, and their edit dialog
// offered "Write" for a value the drive refuses.
void ParamPagesTest::readOnlyRowStaysReadOnlyAfterARead() {
    zrd::sim::SimServer sim;
    QVERIFY2(m_fixture->connectToSim(sim), sim.error().c_str());
    TMainForm& form = m_fixture->form();
    form.session().ReadParamAll();
    TParamFrame& ident = *frameNamed(form, "Ident");
    QCOMPARE(stateColour(field(ident, "Param0")), colors::kWhite);  // SERH, R-W
    QLineEdit* version = field(ident, "Param2");                    // HVER, R
    QVERIFY(!version->isEnabled());
    QVERIFY(stateColour(version) != colors::kWhite);

    TEdit_par_Form& dialog = *form.Edit_par_Form;
    dialog.fillFromRow(ident, 2, false);
    QVERIFY(!dialog.Button1->isEnabled());
    QVERIFY(dialog.Edit1->isReadOnly());
    int framesBefore = 0;
    sim.withDrive([&](zrd::sim::SimDrive& d) { framesBefore = d.framesSeen(); });
    dialog.Button1Click();
    int framesAfter = 0;
    sim.withDrive([&](zrd::sim::SimDrive& d) { framesAfter = d.framesSeen(); });
    QCOMPARE(framesAfter, framesBefore);
    // A writable row's dialog still offers it.
    dialog.fillFromRow(ident, 0, false);
    QVERIFY(dialog.Button1->isEnabled());
    m_fixture->program().link.closePort();
    sim.stop();
}

// The motor chosen offline stayed in Motor_sel after connecting to a drive that holds another.
void ParamPagesTest::readAllShowsTheDrivesMotor() {
    TMainForm& form = m_fixture->form();
    form.controls().ComboBox6->setCurrentIndex(0);  // "Small", offline
    form.session().ComboBox6CloseUp();
    QCOMPARE(form.driveState().Motor_sel->text(), QString("Small"));

    zrd::sim::SimServer sim;
    QVERIFY2(m_fixture->connectToSim(sim, [](zrd::sim::SimDrive& d) { d.setRaw(44, 3); }),
             sim.error().c_str());
    form.session().ReadParamAll();
    QCOMPARE(form.driveState().Motor_sel->text(), QString("M-300"));
    QCOMPARE(form.controls().ComboBox6->currentIndex(), 2);
    m_fixture->program().link.closePort();
    sim.stop();
}

// Pages get their controls when first shown. What a read, the formula marks and a value shown
// in a row put on a page before that must be on it once it is made, as on a page made at once.
void ParamPagesTest::pageMadeLateShowsWhatItWasGiven() {
    std::array<QStringList, 2> looks;
    for (const bool madeFirst : {true, false}) {
        std::unique_ptr<ProgramFixture> f = startPages();
        QVERIFY(f->startUp());
        TMainForm& form = f->form();
        if (madeFirst) {
            for (TParamFrame* frame : form.pages().frames())
                frame->build();
        }
        zrd::sim::SimServer sim;
        QVERIFY2(f->connectToSim(sim,
                                 [](zrd::sim::SimDrive& d) {
                                     d.setRaw(2, 7);     // SERL
                                     d.setRaw(40, 120);  // KPI
                                 }),
                 sim.error().c_str());
        form.session().ReadParamAll();
        const zrd::params::ParameterModel& model = f->program().model;
        form.pages().markChanged(*model.find("KPI"), 1);
        form.pages().markChanged(*model.find("DOUT1"), 6);
        form.showInRow(*model.find("MP0"), "-3.5");
        looks[madeFirst ? 0 : 1] = pagesLook(form);
        f->program().link.closePort();
        sim.stop();
    }
    QVERIFY(!looks[0].isEmpty());
    QCOMPARE(looks[1], looks[0]);
    // The inputs did reach the pages.
    for (const QString& shown :
         {QString("Ident/Param1 '7'"), QString("Loop_page1/Param0 '60' ffffffff"),
          QString("Loop_page1/Minval0 '0' ffffff00"), QString("Motor_data_page1/Param0 '-3.5'")})
        QVERIFY2(looks[1].filter(shown).size() == 1, qPrintable(shown));
}
