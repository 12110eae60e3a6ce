// The configuration dialog, CALCPARA and the formula tester against the simulated drive on a
// pseudo-terminal.

#include "config_windows_test.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "formula/ui/test_formulas_form.h"
#include "params/type_tables.h"
#include "session/ui/set_config_form.h"

namespace pm = zrd::params;

namespace {

std::string dataFile(const char* name) {
    QFile file(QString(ZRD_DATA_DIR) + "/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

int driveRaw(zrd::sim::SimServer& sim, const char* name) {
    int raw = -1;
    sim.withDrive([&](zrd::sim::SimDrive& d) { raw = d.raw(*d.indexOf(name)); });
    return raw;
}

}  // namespace

void ConfigWindowsTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    for (const char* name :
         {pm::kDatabaseFileName, pm::kMotorTypeFileName, pm::kDriveTypeFileName}) {
        const std::string bytes = dataFile(name);
        QVERIFY2(!bytes.empty(), name);
        m_fixture->writeData(name, bytes);
    }
    QVERIFY(m_fixture->startUp());
    m_sim = std::make_unique<zrd::sim::SimServer>();
    QVERIFY(m_fixture->connectToSim(*m_sim));
    m_fixture->ui.boxes.clear();
}

void ConfigWindowsTest::cleanup() {
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

// "Configuration setting" with a new motor: the drive holds the motor's line and the limits
// that follow it, the rows whose limits or defaults changed are yellow with the new texts, and
// the motor selector shows the motor.
void ConfigWindowsTest::setFitsTheMotorAndMarksTheRows() {
    zrd::app::TMainForm& form = m_fixture->form();
    const pm::ParameterModel& model = m_fixture->program().model;
    // The session offers the item once a drive answered; the fixture connected the link itself.
    form.Setconfiguration1->setEnabled(true);
    form.Setconfiguration1->trigger();
    zrd::session::Tset_config_Form* dialog = form.set_config_Form;
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("Configuration setting"));
    QCOMPARE(dialog->ComboBox1->currentText(), QString("ZRD-KT16"));
    QVERIFY(dialog->CheckBox1->isChecked());
    QVERIFY(dialog->CheckBox1->isHidden());
    dialog->ComboBox2->setEditText("ZSM130-300");
    QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_fixture->ui.boxes.size(), size_t{0});

    QCOMPARE(driveRaw(*m_sim, "MT"), 9);
    QCOMPARE(driveRaw(*m_sim, "MPI"), 3750);
    QCOMPARE(driveRaw(*m_sim, "VLIM"), 3000);
    QCOMPARE(driveRaw(*m_sim, "IFL"), 3750);
    int recalculations = 0;
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { recalculations = d.recalculation().runs; });
    QCOMPARE(recalculations, 1);

    struct Row {
        const char* name;
        const char* value;
        const char* max;  // nullptr: the maximum did not change
        const char* def;
    };
    for (const Row& r : {Row{"VLIM", "3000", "3000", "3000"}, Row{"IFL", "37.5", "37.5", "37.5"},
                         Row{"MOVSPD", "3600", nullptr, "3600"}}) {
        const int position = *model.find(r.name);
        const zrd::test::TParamFrame* frame = form.pages().frameOfPosition(position);
        QVERIFY2(frame, r.name);
        const pm::ParamRow& row = frame->row(frame->rowOf(position));
        QCOMPARE(row.Param->text(), QString(r.value));
        QCOMPARE(row.DefaultVal->text(), QString(r.def));
        QCOMPARE(zrd::test::stateColour(row.DefaultVal), zrd::test::colors::kYellow);
        QCOMPARE(zrd::test::stateColour(row.MaxVal) == zrd::test::colors::kYellow,
                 r.max != nullptr);
        if (r.max)
            QCOMPARE(row.MaxVal->text(), QString(r.max));
    }
    QVERIFY(form.controls().ComboBox6->currentText().startsWith("ZSM130-300"));
}

// CALCPARA from the menu: the drive recalculates its ratings for the drive type it holds, and
// the read-all after the acknowledge brings them onto the page.
void ConfigWindowsTest::calcParaReadsTheRecalculatedValues() {
    zrd::app::TMainForm& form = m_fixture->form();
    const pm::ParameterModel& model = m_fixture->program().model;
    // A ZRD-KT2 (drive type 1): 2 A continuous.
    m_sim->withDrive([](zrd::sim::SimDrive& d) { d.setRaw(*d.indexOf("DT"), 1); });
    form.CALCPARA1->setEnabled(true);
    form.CALCPARA1->trigger();
    QCOMPARE(driveRaw(*m_sim, "DICONT"), 200);
    const int position = *model.find("DICONT");
    const zrd::test::TParamFrame* frame = form.pages().frameOfPosition(position);
    QVERIFY(frame);
    QTRY_COMPARE_WITH_TIMEOUT(frame->row(frame->rowOf(position)).Param->text(), QString("2"),
                              20000);
    QCOMPARE(m_fixture->ui.boxes.size(), size_t{0});
}

void ConfigWindowsTest::testerShowsPostfixAndResult_data() {
    QTest::addColumn<QString>("formula");     // empty: the preset
    QTest::addColumn<QStringList>("values");  // typed into the table's rows in turn
    QTest::addColumn<QString>("calculate");
    QTest::addColumn<QStringList>("references");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("postfix");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("notANumber");  // the reference shown as not a number
    const QString preset = "if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)";
    QTest::newRow("preset") << QString() << QStringList() << "1" << QStringList() << preset
                            << "1 2 > 3 j 4 5 q 6 j 7 o f o f "
                            << "6" << QString();
    QTest::newRow("not calculated") << QString() << QStringList() << "0" << QStringList() << preset
                                    << "1 2 > 3 j 4 5 q 6 j 7 o f o f " << QString() << QString();
    QTest::newRow("minus before a group")
        << "-(1+2)" << QStringList() << "1" << QStringList() << "(0-(1+2))"
        << "0 1 2 + - "
        << "-3" << QString();
    // Each reference is listed once, upper case as the preparation lowers it, p4567 as p456.
    QTest::newRow("references take the typed values")
        << "P1 * p4567 - p1" << QStringList{"3", "-4"} << "1" << QStringList{"p1", "p456"}
        << "p1 * p4567-p1"
        << "3 0 4 - * 3 - "
        << "-15" << QString();
    QTest::newRow("a value that is not a number")
        << "p1 * p2" << QStringList{"2", "2,5"} << "1" << QStringList{"p1", "p2"} << "p1 * p2"
        << QString() << QString() << "p2";
    QTest::newRow("a value beyond the numbers")
        << "p1 + 1" << QStringList{"1e999"} << "1" << QStringList{"p1"} << "p1+1" << QString()
        << QString() << "p1";
}

// "Calculate": the prepared text in the memo, the postfix items each with a blank, and the
// result only after the answer "1"; the references' values come from the window's table, and
// nothing is asked in a box of its own. A value that is not a number is named in the window,
// and nothing typed is lost, not even by an edit of the formula.
void ConfigWindowsTest::testerShowsPostfixAndResult() {
    QFETCH(QString, formula);
    QFETCH(QStringList, values);
    QFETCH(QString, calculate);
    QFETCH(QStringList, references);
    QFETCH(QString, info);
    QFETCH(QString, postfix);
    QFETCH(QString, result);
    QFETCH(QString, notANumber);
    zrd::app::TMainForm& form = m_fixture->form();
    form.Testingformulas1->setEnabled(true);
    form.Testingformulas1->trigger();
    zrd::formula::Ttest_formulas_Form* tester = form.test_formulas_Form;
    QVERIFY(tester->isVisible());
    QCOMPARE(tester->windowTitle(), QString("Formulas testing"));
    if (!formula.isEmpty())
        tester->Edit1->setText(formula);
    QTableWidget* table = tester->StringGrid1;
    QCOMPARE(table->rowCount(), int(references.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        QCOMPARE(table->item(row, 0)->text(), references.at(row));
        QCOMPARE(table->item(row, 1)->text(), QString("0"));
        table->item(row, 1)->setText(values.at(row));
    }
    tester->Edit4->setText(calculate);
    QTest::mouseClick(tester->Button2, Qt::LeftButton);
    QCOMPARE(tester->info->toPlainText(), info);
    QCOMPARE(tester->Edit2->text(), postfix);
    QCOMPARE(tester->Edit3->text(), result);
    QVERIFY(m_fixture->ui.asked.empty());
    QCOMPARE(tester->Label6->isVisibleTo(tester), !notANumber.isEmpty());
    if (!notANumber.isEmpty()) {
        const int row = int(references.indexOf(notANumber));
        QVERIFY(tester->Label7->text().contains(notANumber));
        QVERIFY(tester->Label7->text().contains(values.at(row)));
        QCOMPARE(table->currentRow(), row);
    }

    // The formula loses its references and gets them back: the typed values are still there.
    const QString typed = tester->Edit1->text();
    tester->Edit1->setText("1");
    QCOMPARE(table->rowCount(), 0);
    tester->Edit1->setText(typed);
    for (int row = 0; row < table->rowCount(); ++row)
        QCOMPARE(table->item(row, 1)->text(), values.at(row));
    if (notANumber.isEmpty())
        return;
    // Mended, the same formula is computed and the warning goes.
    table->item(int(references.indexOf(notANumber)), 1)->setText("5");
    QTest::mouseClick(tester->Button2, Qt::LeftButton);
    QVERIFY(!tester->Label6->isVisibleTo(tester));
    QVERIFY(!tester->Edit3->text().isEmpty());
}
