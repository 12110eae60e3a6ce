// The shell's logic without windows: access levels, serial number, CPU class, window outline,
// options, value checks and the layout of the parameter pages.

#include <QTest>
#include <random>
#include <stdexcept>

#include "app/access_levels.h"
#include "app/cpu_speed.h"
#include "app/start_options.h"
#include "params/page_layout.h"
#include "session/parameter_edit.h"
#include "shell_core_test.h"

using namespace zrd::app;
using zrd::session::FunctionList;
using zrd::session::functionListOf;
using zrd::session::parseDisplayValue;
namespace params = zrd::params;

namespace {

// Puts parameters into the model in table order: name, group, subgroup.
struct Placed {
    std::string name;
    int group;
    std::string subgroup;
    int modeMes = 0;
};

void fill(params::ParameterModel& model, const std::vector<Placed>& list) {
    int pos = 0;
    for (const Placed& p : list) {
        params::TPar& record = model.parameter(pos++);
        record.Pname = p.name;
        record.IndexGroup = p.group;
        record.NameSubgroup = p.subgroup;
        record.NameGroup = "Group " + std::to_string(p.group);
        record.Mode_mes = p.modeMes;
        record.DefValue = pos;
        record.scale = 0.5;
    }
}

std::vector<Placed> run(const std::string& prefix, int n, int group, const std::string& subgroup) {
    std::vector<Placed> out;
    for (int i = 0; i < n; ++i)
        out.push_back({prefix + std::to_string(i), group, subgroup});
    return out;
}

}  // namespace

void ShellCoreTest::unlockSequences_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("level");  // -1 none, 1 special, 2 admin
    QTest::addColumn<int>("at");     // index of the character that unlocks

    const QString special = QString::fromLatin1(kSpecialSequence.data(), kSpecialSequence.size());
    const QString admin = QString::fromLatin1(kAdminSequence.data(), kAdminSequence.size());
    QTest::newRow("special sequence") << special << 1 << 2;
    QTest::newRow("admin sequence") << admin << 2 << 2;
    QTest::newRow("wrong character in the middle")
        << QString(special[0]) + "#" + special[2] << -1 << -1;
    QTest::newRow("wrong character, then the sequence again")
        << QString(special[0]) + "#" + special[2] + special << 1 << 5;
    QTest::newRow("first character twice restarts on the second")
        << QString(special[0]) + special << 1 << 3;
    QTest::newRow("sequence in other text") << "ab" + special + "cd" << 1 << 4;
    QTest::newRow("two characters only") << special.left(2) << -1 << -1;
    QTest::newRow("upper case does not match") << special.toUpper() << -1 << -1;
}

void ShellCoreTest::unlockSequences() {
    QFETCH(QString, typed);
    QFETCH(int, level);
    QFETCH(int, at);
    AccessUnlocker unlocker;
    int unlockedAt = -1;
    int unlockedLevel = -1;
    for (int i = 0; i < typed.size() && unlockedAt < 0; ++i) {
        if (const auto l = unlocker.feed(typed[i].toLatin1())) {
            unlockedAt = i;
            unlockedLevel = *l == AccessLevel::Admin ? 2 : 1;
        }
    }
    QCOMPARE(unlockedLevel, level);
    QCOMPARE(unlockedAt, at);
}

void ShellCoreTest::sequencesDiffer() {
    QCOMPARE(kSpecialSequence.size(), size_t{3});
    QCOMPARE(kAdminSequence.size(), size_t{3});
    QVERIFY(kSpecialSequence != kAdminSequence);
}

void ShellCoreTest::serialNumberSplit_data() {
    QTest::addColumn<qlonglong>("number");
    QTest::addColumn<qlonglong>("high");
    QTest::addColumn<qlonglong>("low");
    QTest::newRow("65538") << 65538LL << 1LL << 2LL;
    QTest::newRow("zero") << 0LL << 0LL << 0LL;
    QTest::newRow("low word only") << 65535LL << 0LL << 65535LL;
    QTest::newRow("high word only") << 65536LL * 7 << 7LL << 0LL;
    QTest::newRow("largest") << 4294967295LL << 65535LL << 65535LL;
}

void ShellCoreTest::serialNumberSplit() {
    QFETCH(qlonglong, number);
    QFETCH(qlonglong, high);
    QFETCH(qlonglong, low);
    const SerialNumberWords words = splitSerialNumber(number);
    QCOMPARE(words.high, high);
    QCOMPARE(words.low, low);
    QCOMPARE(joinSerialNumber(static_cast<double>(high), static_cast<double>(low)), number);
}

void ShellCoreTest::cpuClass_data() {
    QTest::addColumn<double>("mhz");
    QTest::addColumn<int>("speedClass");
    QTest::newRow("0 (unknown)") << 0.0 << 4;
    QTest::newRow("999.9") << 999.9 << 4;
    QTest::newRow("1000") << 1000.0 << 3;
    QTest::newRow("2999") << 2999.0 << 3;
    QTest::newRow("3000") << 3000.0 << 2;
    QTest::newRow("5200") << 5200.0 << 2;
}

void ShellCoreTest::cpuClass() {
    QFETCH(double, mhz);
    QFETCH(int, speedClass);
    QCOMPARE(cpuSpeedClass(mhz), speedClass);
}

void ShellCoreTest::cpuMeasurementIsPlausible() {
#if defined(__x86_64__) || defined(__i386__)
    const double mhz = measureCpuMhz(20);
    QVERIFY2(mhz > 100 && mhz < 20000, qPrintable(QString::number(mhz)));
#else
    QSKIP("no time-stamp counter on this processor");
#endif
}

void ShellCoreTest::outlineHolesStayInside() {
    std::mt19937 random(7);
    const std::vector<OutlineHole> holes = outlineHoles(random, 1054, 730);
    QCOMPARE(static_cast<int>(holes.size()), kOutlineHoleCount);
    for (const OutlineHole& h : holes) {
        QVERIFY(h.width >= kOutlineHoleMin && h.width <= kOutlineHoleMax);
        QVERIFY(h.height >= kOutlineHoleMin && h.height <= kOutlineHoleMax);
        QVERIFY(h.x >= 0 && h.x + h.width <= 1054);
        QVERIFY(h.y >= 0 && h.y + h.height <= 730);
    }
}

void ShellCoreTest::dataDirOption_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("dir");
    QTest::newRow("absent") << QStringList{"torvanta"} << "";
    QTest::newRow("separate value") << QStringList{"torvanta", "--data-dir", "/d"} << "/d";
    QTest::newRow("joined value") << QStringList{"torvanta", "--data-dir=/e"} << "/e";
    QTest::newRow("option without value") << QStringList{"torvanta", "--data-dir"} << "";
    QTest::newRow("other options around")
        << QStringList{"torvanta", "-x", "--data-dir", "/f", "--y"} << "/f";
}

void ShellCoreTest::dataDirOption() {
    QFETCH(QStringList, args);
    QFETCH(QString, dir);
    std::vector<std::string> list;
    for (const QString& a : args)
        list.push_back(a.toStdString());
    QCOMPARE(QString::fromStdString(zrd::app::dataDirOption(list)), dir);
}

void ShellCoreTest::valueTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "150" << true << 150.0;
    QTest::newRow("decimal point") << "-2.5" << true << -2.5;
    QTest::newRow("blanks around") << " 7 " << true << 7.0;
    QTest::newRow("plus sign") << "+3" << true << 3.0;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("decimal comma") << "2,5" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("trailing junk") << "12x" << false << 0.0;
    // A double reads these too; none of them is a value a drive holds.
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("minus infinity") << "-infinity" << false << 0.0;
    QTest::newRow("beyond a double") << "1e400" << false << 0.0;
    QTest::newRow("huge but finite") << "1e300" << true << 1e300;
}

void ShellCoreTest::valueTexts() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    if (!valid) {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, parseDisplayValue(text.toStdString()));
        return;
    }
    QCOMPARE(parseDisplayValue(text.toStdString()), value);
}

void ShellCoreTest::functionLists_data() {
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<int>("list");
    QTest::newRow("DIN") << "DIN3" << static_cast<int>(FunctionList::DigitalInputs);
    QTest::newRow("DOUT") << "DOUT1" << static_cast<int>(FunctionList::DigitalOutputs);
    QTest::newRow("AOUT") << "AOUT2" << static_cast<int>(FunctionList::AnalogOutputs);
    QTest::newRow("DINLEV is an input too")
        << "DINLEV" << static_cast<int>(FunctionList::DigitalInputs);
    QTest::newRow("other") << "KPV" << static_cast<int>(FunctionList::None);
    QTest::newRow("case matters") << "din1" << static_cast<int>(FunctionList::None);
}

void ShellCoreTest::functionLists() {
    QFETCH(QString, mnemonic);
    QFETCH(int, list);
    QCOMPARE(static_cast<int>(functionListOf(mnemonic.toStdString())), list);
}

void ShellCoreTest::longSubgroupOfGroup2SplitsInTwoPages() {
    params::ParameterModel model;
    fill(model, run("A", 20, 2, "Motor_data"));
    const params::PagesPlan plan = planPages(model);
    QCOMPARE(static_cast<int>(plan.pages.size()), 2);
    QCOMPARE(plan.pages[0].name, std::string("Motor_data_page1"));
    QCOMPARE(static_cast<int>(plan.pages[0].rows.size()), 16);
    QCOMPARE(plan.pages[1].name, std::string("Motor_data_page2"));
    QCOMPARE(static_cast<int>(plan.pages[1].rows.size()), 4);
    QCOMPARE(plan.pages[1].rows.front(), 16);
    QCOMPARE(plan.captions[1], std::string("Group 2"));
}

void ShellCoreTest::pageNumbersCountAcrossSubgroups() {
    params::ParameterModel model;
    std::vector<Placed> list = run("A", 3, 3, "Loop");
    for (const Placed& p : run("B", 17, 3, "Filter"))
        list.push_back(p);
    fill(model, list);
    const params::PagesPlan plan = planPages(model);
    QCOMPARE(static_cast<int>(plan.pages.size()), 3);
    QCOMPARE(plan.pages[0].name, std::string("Loop_page1"));
    QCOMPARE(plan.pages[1].name, std::string("Filter_page2"));
    QCOMPARE(plan.pages[2].name, std::string("Filter_page3"));
    QCOMPARE(static_cast<int>(plan.pages[1].rows.size()), 16);
    QCOMPARE(static_cast<int>(plan.pages[2].rows.size()), 1);
}

void ShellCoreTest::resumedGroup1SubgroupGetsAnEmptyPage() {
    params::ParameterModel model;
    fill(model,
         {{"A0", 1, "Ident"}, {"A1", 1, "Ident"}, {"B0", 1, "Interface"}, {"A2", 1, "Ident"}});
    const params::PagesPlan plan = planPages(model);
    QCOMPARE(static_cast<int>(plan.pages.size()), 3);
    QCOMPARE(plan.pages[0].name, std::string("Ident"));
    QCOMPARE(plan.pages[0].rows, (std::vector<int>{0, 1, 3}));
    QCOMPARE(plan.pages[1].rows, (std::vector<int>{2}));
    QCOMPARE(plan.pages[2].name, std::string("Ident"));
    QVERIFY(plan.pages[2].rows.empty());
}

void ShellCoreTest::fullGroup1PageSendsTheRestWithoutRow() {
    params::ParameterModel model;
    fill(model, run("A", 18, 1, "Big"));
    const params::PagesPlan plan = planPages(model);
    QCOMPARE(static_cast<int>(plan.pages.size()), 1);
    QCOMPARE(static_cast<int>(plan.pages[0].rows.size()), 16);
    QCOMPARE(plan.withoutRow, (std::vector<int>{16, 17}));
}

void ShellCoreTest::parametersWithoutRowStayOffThePages() {
    params::ParameterModel model;
    fill(model, {{"A", 4, "S"}, {"HIDDEN", 4, "S", 1}, {"STATUS", 6, "S"}, {"B", 4, "S"}});
    const params::PagesPlan plan = planPages(model);
    QCOMPARE(static_cast<int>(plan.pages.size()), 1);
    QCOMPARE(plan.pages[0].rows, (std::vector<int>{0, 3}));
    QCOMPARE(plan.captions[0], std::string());  // group 1 has nobody: empty caption
    QCOMPARE(plan.captions[4], std::string());
}

void ShellCoreTest::pageListStopsAt200() {
    params::ParameterModel model;
    std::vector<Placed> list;
    // Every parameter in a subgroup of its own: one page each.
    for (int i = 0; i < params::kParameterCount; ++i)
        list.push_back({"S" + std::to_string(i), 2, "S" + std::to_string(i)});
    fill(model, list);
    const params::PagesPlan plan = planPages(model);
    QCOMPARE(static_cast<int>(plan.pages.size()), params::kPageFrameCount);
    QCOMPARE(static_cast<int>(plan.withoutRow.size()),
             params::kParameterCount - params::kPageFrameCount);
}

void ShellCoreTest::appliedPlanSetsFramesAndDefaults() {
    params::ParameterModel model;
    fill(model, run("A", 20, 2, "Motor_data"));
    model.parameter(25).Pname = "LOOSE";  // no group: no row
    model.parameter(25).indexFrame = 3;
    const params::PagesPlan plan = planPages(model);
    applyPagePlan(plan, model);
    QCOMPARE(model.parameter(0).indexFrame, 0);
    QCOMPARE(model.parameter(19).indexFrame, 1);
    QCOMPARE(model.parameter(25).indexFrame, params::kNoFrame);
    QCOMPARE(model.value(19), 20 * 0.5);
    QCOMPARE(model.previousValue(19), 20 * 0.5);
    const params::RowPlace place = findRow(plan, 17);
    QCOMPARE(place.frame, 1);
    QCOMPARE(place.row, 1);
    QCOMPARE(findRow(plan, 25).frame, params::kNoFrame);
}
