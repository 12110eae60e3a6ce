#include "language_test.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <algorithm>
#include <filesystem>
#include <set>

#include "core/ui/window_translator.h"
#include "params/dictionary.h"
#include "params/message_numbers.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "session/ui/com_cfg.h"
#include "tuning/ui/filter_form.h"
#include "ui_test_support.h"

using zrd::app::Program;
using zrd::app::TMainForm;
namespace pm = zrd::params;
namespace fs = std::filesystem;

namespace {

// The program on the data set it ships with: database, messages, dictionary, type tables,
// function lists and pictures. `database` replaces the shipped database when not empty.
void copyShippedData(zrd::test::ProgramFixture& f, const std::string& database = {}) {
    for (const fs::directory_entry& e : fs::directory_iterator(ZRD_DATA_DIR)) {
        if (e.is_regular_file())
            fs::copy_file(e.path(), fs::path(f.dir.path()) / e.path().filename(),
                          fs::copy_options::overwrite_existing);
    }
    if (!database.empty())
        f.writeData(pm::kDatabaseFileName, database);
}

// Every text of the program's windows, in the order the translation visits them.
QStringList windowTexts(QWidget* window) {
    QStringList texts;
    zrd::ui::translateTexts(window, [&texts](const QString& text) {
        texts.append(text);
        return text;
    });
    return texts;
}

// Latin words that stay in a Russian window: names of the product, its version and maker,
// memories and commands, units and symbols (°C, n=0, i2t, filter coefficients b0..a2), sensor
// and encoder kinds, and the language names themselves.
const std::set<QString>& latinWordsOfRussianWindows() {
    static const std::set<QString> words = {
        "QX",  "Torvanta", "ZRD", "v2",  "engineering", "EEPROM", "DA",  "CALCPARA", "COM", "Eng",
        "Rus", "prm",      "A",   "V",   "Hz",          "ms",     "dB",  "mV",       "rpm", "C",
        "T",   "Q",        "L",   "N",   "n",           "i2t",    "b0",  "b1",       "b2",  "a1",
        "a2",  "B",        "CW",  "CCW", "PTC",         "KTY",    "NTC", "sin",      "cos"};
    return words;
}

// A line key of the database ("p12"), shown beside its row.
bool isLineKey(const pm::ParameterModel& model, const QString& word) {
    const std::string key = word.toStdString();
    for (int i = 0; i <= model.lastParameter(); ++i) {
        if (model.parameter(i).Numpar == key)
            return true;
    }
    return false;
}

// The texts with a Latin word that is neither in the list above nor a mnemonic of the table.
QStringList englishTexts(const QStringList& texts, const pm::ParameterModel& model) {
    // Mnemonics and line keys carry digits ("F4TYPE", "p12"): a word runs through them.
    static const QRegularExpression latinWord("[A-Za-z0-9_]*[A-Za-z][A-Za-z0-9_]*");
    QStringList english;
    for (const QString& text : texts) {
        for (auto words = latinWord.globalMatch(text); words.hasNext();) {
            const QString word = words.next().captured();
            if (latinWordsOfRussianWindows().count(word) || model.find(word.toStdString()) ||
                isLineKey(model, word))
                continue;
            english.append(text);
            break;
        }
    }
    english.removeDuplicates();
    return english;
}

// Answers the language question through the menu item, as a person would.
void switchTo(zrd::test::ProgramFixture& f, const std::string& answer) {
    f.ui.textAnswer = answer;
    f.form().Language1->trigger();
}

// A parameter on a page that the drive may set one above its default; -1 when none.
int writableParameterWithRoom(const pm::ParameterModel& model) {
    for (int i = 0; i <= model.lastParameter(); ++i) {
        const pm::TPar& t = model.parameter(i);
        if (model.hasPageRow(i) && t.pType == "R-W" && t.MinVal >= 0 && t.DefValue >= 0 &&
            t.DefValue + 1 <= t.MaxVal)
            return i;
    }
    return -1;
}

std::array<QComboBox*, 6> channelSelectors(TMainForm& form) {
    zrd::scope::TOfflineScopePage& off = form.offlineScope();
    return {form.onlineScope().ComboBox7,
            form.onlineScope().ComboBox8,
            off.ComboBox2,
            off.ComboBox3,
            off.ComboBox4,
            off.ComboBox5};
}

}  // namespace

void LanguageTest::translationIntoRussianAndBackGivesTheDesignedTexts() {
    zrd::test::ProgramFixture f;
    copyShippedData(f);
    QVERIFY(f.startUp());
    pm::Dictionary dictionary;
    QCOMPARE(dictionary.load(f.dir.file(pm::kDictionaryFileName)), zrd::TextFileStatus::Ok);
    const auto translate = [&dictionary](const char* direction) {
        return [&dictionary, direction](const QString& text) {
            return QString::fromStdString(dictionary.translate(text.toStdString(), direction));
        };
    };
    // The bit dialog of the trigger is designed in Russian: the program in English is the
    // reference.
    zrd::ui::translateTexts(&f.form(), translate("Eng"));
    const QStringList designed = windowTexts(&f.form());
    zrd::ui::translateTexts(&f.form(), translate("Rus"));
    const QStringList russian = windowTexts(&f.form());
    QVERIFY(russian != designed);
    QCOMPARE(russian.size(), designed.size());
    zrd::ui::translateTexts(&f.form(), translate("Eng"));
    const QStringList back = windowTexts(&f.form());
    // Two designed texts with one translation would come back as the same one.
    QStringList changed;
    for (qsizetype i = 0; i < designed.size(); ++i) {
        if (back[i] != designed[i])
            changed.append(designed[i] + " -> " + russian[i] + " -> " + back[i]);
    }
    QVERIFY2(changed.isEmpty(), qPrintable(changed.join('\n')));
}

void LanguageTest::everyWindowShowsRussianAfterTheSwitch() {
    zrd::test::ProgramFixture f;
    copyShippedData(f);
    QVERIFY(f.startUp());
    TMainForm& form = f.form();
    // The hidden menus and the parameter dialog are part of the program too.
    form.openServiceMenus(true);
    switchTo(f, "Rus");
    QVERIFY(!f.program().english());
    // Windows made on demand come up in the language in force.
    zrd::session::ConnectionSettings settings;
    auto* connection = new zrd::session::TCOM_CFG(
        settings, {}, [](zrd::session::ConnectionSettings&) { return false; }, f.ui, &form);
    connection->show();
    // The edit dialog's caption is composed for its row.
    form.Edit_par_Form->fillFromRow(*form.pages().frames().front(), 0, true);
    QStringList texts = windowTexts(&form);
    connection->hide();
    QVERIFY(texts.size() > 500);
    const QStringList english = englishTexts(texts, f.program().model);
    QVERIFY2(english.isEmpty(), qPrintable("Left in English:\n" + english.join('\n')));
    QVERIFY2(f.ui.boxes.empty(), f.ui.boxes.empty() ? "" : f.ui.boxes[0].text.c_str());
}

void LanguageTest::switchBringsTheProgramOver_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("connected");
    QTest::newRow("offline, Rus") << "Rus" << false;
    QTest::newRow("offline, lower-case eng is Russian") << "eng" << false;
    QTest::newRow("connected to the drive, Rus") << "Rus" << true;
}

void LanguageTest::switchBringsTheProgramOver() {
    QFETCH(QString, answer);
    QFETCH(bool, connected);
    zrd::test::ProgramFixture f;
    copyShippedData(f);
    QVERIFY(f.startUp());
    Program& p = f.program();
    TMainForm& form = f.form();
    zrd::sim::SimServer sim;
    // A value the drive holds that is not the default: only a read-all after the reload shows it.
    const int position = writableParameterWithRoom(p.model);
    QVERIFY(position >= 0);
    const pm::TPar kp = p.model.parameter(position);
    const auto raw = static_cast<uint16_t>(kp.DefValue + 1);
    if (connected)
        QVERIFY2(f.connectToSim(sim, [&](zrd::sim::SimDrive& d) { d.setRaw(kp.Index, raw); }),
                 sim.error().c_str());
    const QString designedTab = form.TabbedNotebook2->tabText(0);

    switchTo(f, answer.toStdString());
    QCOMPARE(QString::fromStdString(p.language()), answer);
    QVERIFY(!p.english());
    if (!connected)
        QVERIFY2(f.ui.boxes.empty(), f.ui.boxes.empty() ? "" : f.ui.boxes[0].text.c_str());
    // The question offered the other language.
    QCOMPARE(f.ui.textQuestions.back().preset, p.messages.record(pm::kMsgLanguageName).mess_rus);

    pm::Dictionary dictionary;
    QCOMPARE(dictionary.load(f.dir.file(pm::kDictionaryFileName)), zrd::TextFileStatus::Ok);
    QCOMPARE(form.TabbedNotebook2->tabText(0),
             QString::fromStdString(dictionary.translate(designedTab.toStdString(), "Rus")));
    QVERIFY(form.TabbedNotebook2->tabText(0) != designedTab);
    QCOMPARE(form.driveState().Control->text(),
             QString::fromStdString(p.messages.text(pm::kMsgFirstStatusCaption, "Rus")));
    QVERIFY(!p.functionNames.digitalInputs.empty());
    QVERIFY(QString::fromStdString(p.functionNames.digitalInputs[0])
                .contains(QRegularExpression("[А-Яа-я]")));

    // Each selector: the entries of the first four signal pages, Russian description and number
    // side by side, all lines at once, inviting a choice.
    const std::vector<pm::SelectorItem> items =
        p.model.scopeSelectorItems(pm::ScopeListStyle::LanguageSwitch);
    QVERIFY(items.size() > 10);
    for (QComboBox* combo : channelSelectors(form)) {
        QCOMPARE(combo->count(), int(items.size()));
        for (int e = 0; e < combo->count(); ++e)
            QCOMPARE(combo->itemText(e),
                     QString::fromStdString(p.model.scopeSignal(e).RusName + std::to_string(e)));
        QCOMPARE(combo->maxVisibleItems(), combo->count());
        // Read-all puts the selectors on the drive's signals; without it they invite a choice.
        QVERIFY(connected || combo->currentIndex() == -1);
        QCOMPARE(combo->placeholderText(),
                 QString::fromStdString(p.messages.text(pm::kMsgChooseScopeSignal, "Rus")));
    }
    for (int e = 1; e < p.model.scopeSignalCount(); ++e) {
        const std::string& page = p.model.scopeSignal(e).NameSubgroup;
        QVERIFY2(page != pm::kScopeSignalPages[4] && page != pm::kScopeSignalPages[5],
                 page.c_str());
    }

    // Read-all follows the switch only with a drive.
    QCOMPARE(p.model.isKnown(position), connected);
    QCOMPARE(p.model.value(position), connected ? raw * kp.scale : kp.DefValue * kp.scale);
    if (connected)
        p.link.closePort();
}

void LanguageTest::missingFileAtTheSwitchEndsTheProgram_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("message");
    QTest::newRow("database") << pm::kDatabaseFileName << pm::kMsgNoDatabase;
    QTest::newRow("dictionary") << pm::kDictionaryFileName << pm::kMsgNoDictionary;
    QTest::newRow("motor types") << "Motor_type.mod" << pm::kMsgNoMotorTypes;
}

void LanguageTest::missingFileAtTheSwitchEndsTheProgram() {
    QFETCH(QString, file);
    QFETCH(int, message);
    zrd::test::ProgramFixture f;
    copyShippedData(f);
    QVERIFY(f.startUp());
    QVERIFY(fs::remove(f.dir.file(file.toStdString())));
    switchTo(f, "Rus");
    QCOMPARE(f.ui.boxes.size(), 1u);
    QCOMPARE(f.ui.boxes[0].text, f.program().messages.text(message, "Rus"));
    QCOMPARE(f.ui.boxes[0].caption, f.program().messages.text(pm::kMsgCaption, "Rus"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.form().isVisible(), kWaitMs);
}

void LanguageTest::startsInRussianWhenTheDatabaseSaysSo() {
    std::string database = zrd::test::programDatabase();
    const std::string designed = "Language=Eng";
    const size_t line = database.find(designed);
    QVERIFY(line != std::string::npos);
    database.replace(line, designed.size(), "Language=eng");
    zrd::test::ProgramFixture f;
    copyShippedData(f, database);
    QVERIFY(f.startUp());
    TMainForm& form = f.form();
    pm::Dictionary dictionary;
    QCOMPARE(dictionary.load(f.dir.file(pm::kDictionaryFileName)), zrd::TextFileStatus::Ok);
    for (QAction* item : {form.File1->menuAction(), form.Exit1, form.Language1}) {
        const std::string shown = item->text().toStdString();
        QVERIFY2(dictionary.translate(shown, "Eng") != shown, shown.c_str());
    }
    const QStringList english = englishTexts(windowTexts(&form), f.program().model);
    QVERIFY2(english.isEmpty(), qPrintable(english.join('\n')));
    QVERIFY(f.ui.boxes.empty());
}

void LanguageTest::filterCalculatorShowsItsCurvesAndFieldsWhole_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("type");
    QTest::newRow("English, band-stop") << "Eng" << int(zrd::tuning::FilterType::BandStop);
    QTest::newRow("Russian, equaliser boost")
        << "Rus" << int(zrd::tuning::FilterType::EqualiserBoost);
}

void LanguageTest::filterCalculatorShowsItsCurvesAndFieldsWhole() {
    QFETCH(QString, language);
    QFETCH(int, type);
    zrd::test::ProgramFixture f;
    copyShippedData(f);
    QVERIFY(f.startUp());
    if (language != "Eng")
        switchTo(f, language.toStdString());
    QCOMPARE(f.program().english(), language == "Eng");
    f.form().Filtercalculator1->trigger();
    zrd::tuning::TFilter_Form& w = *f.form().Filter_Form;
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.RadioType[size_t(type)]->click();
    w.Edit1->setText("400");
    w.Edit2->setText("2");
    w.Edit3->setText("6");
    w.Button5->click();
    QVERIFY(w.calculation().has_value());
    w.layout()->activate();

    // Each curve has a colour of its own, and its square in the legend shows that colour.
    const QList<QAbstractSeries*> series = w.Chart1->chart()->series();
    QCOMPARE(series.size(), 4);
    QSet<QRgb> colours;
    for (QAbstractSeries* s : series) {
        const QColor pen = static_cast<QLineSeries*>(s)->pen().color();
        colours.insert(pen.rgb());
        const QList<QLegendMarker*> markers = w.Chart1->chart()->legend()->markers(s);
        QCOMPARE(markers.size(), 1);
        QCOMPARE(markers.front()->brush().color(), pen);
    }
    QCOMPARE(colours.size(), series.size());

    // The type's picture fits its box, and every number shows whole in its field.
    QVERIFY(!w.Image1->pixmap().isNull());
    QVERIFY(w.Image1->contentsRect().width() >= w.Image1->pixmap().width());
    QVERIFY(w.Image1->contentsRect().height() >= w.Image1->pixmap().height());
    std::vector<QLineEdit*> fields = {w.Edit1, w.Edit2, w.Edit3};
    fields.insert(fields.end(), w.EditCoef.begin(), w.EditCoef.end());
    for (QLineEdit* e : fields) {
        QStyleOptionFrame frame;
        frame.initFrom(e);
        frame.rect = e->rect();
        frame.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, e);
        const QRect text = e->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &frame, e)
                               .marginsRemoved(e->textMargins());
        // The field keeps two pixels either side of its text.
        QVERIFY2(e->fontMetrics().horizontalAdvance(e->text()) <= text.width() - 4,
                 qPrintable(e->objectName() + ": " + e->text()));
    }
    w.close();
}
