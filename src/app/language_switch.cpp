#include "app/language_switch.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QTabWidget>
#include <QTranslator>
#include <QWidget>
#include <filesystem>

#include "app/block_diagram.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/start_up.h"
#include "core/ui/run_time_text.h"
#include "core/ui/window_translator.h"
#include "monitor/ui/drive_state.h"
#include "monitor/ui/status_page.h"
#include "params/database_loader.h"
#include "params/message_numbers.h"
#include "params/type_tables.h"
#include "params/ui/param_pages.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "session/ui/control_area.h"
#include "session/ui/drive_session.h"

namespace zrd::app {
namespace {

namespace pm = params;

// A dictionary that exists but cannot be read is told as the function lists tell theirs.
constexpr const char* kDictionaryReadError = "dict_eng.dic file not found.";

// The texts windows compose at run time go through the window dictionary as their designed
// texts do: Qt's translation hook reaches every window without a dictionary handed to each.
class DictionaryTranslator : public QTranslator {
public:
    DictionaryTranslator(const pm::Dictionary& dictionary, const Program& program, QObject* parent)
        : QTranslator(parent), m_dictionary(dictionary), m_program(program) {}

    QString translate(const char*, const char* sourceText, const char* = nullptr,
                      int = -1) const override {
        if (!sourceText || m_program.english())
            return {};
        const std::string_view text(sourceText);
        const std::string shown = m_dictionary.translate(text, m_program.language());
        return shown == text ? QString() : QString::fromStdString(shown);
    }
    bool isEmpty() const override { return m_dictionary.size() == 0; }

private:
    const pm::Dictionary& m_dictionary;
    const Program& m_program;
};

}  // namespace

TLanguageSwitch::TLanguageSwitch(TMainForm& form)
    : QObject(&form), m_form(form), m_program(form.program()) {
    qApp->installEventFilter(this);
    QCoreApplication::installTranslator(new DictionaryTranslator(m_dictionary, m_program, this));
}

void TLanguageSwitch::translateAtStartUp() {
    if (m_program.english())
        return;
    if (m_dictionary.load(m_program.dataFile(pm::kDictionaryFileName)) == TextFileStatus::ReadError)
        m_program.ui.showMessage(pm::kMessageReadErrorCaption, kDictionaryReadError);
    translateWindows(m_program.language());
}

void TLanguageSwitch::translateWindows(const std::string& direction) {
    // The main window owns most windows; a window of its own (a dialog opened on demand) is
    // brought over as well.
    QWidgetList windows = {&m_form};
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != &m_form && !w->parent())
            windows.append(w);
    }
    // Composed texts first: the dictionary then finds the designed texts as they were.
    for (QWidget* w : windows)
        ui::recomposeTexts(w);
    for (QWidget* w : windows)
        translateWindow(w, direction);
}

void TLanguageSwitch::translateWindow(QWidget* window, const std::string& direction) {
    ui::translateTexts(window, [this, &direction](const QString& text) {
        return QString::fromStdString(m_dictionary.translate(text.toStdString(), direction));
    });
}

bool TLanguageSwitch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && !m_program.english() && m_dictionary.size() > 0) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && window->isWindow() && window != &m_form)
            translateWindow(window, m_program.language());
    }
    return QObject::eventFilter(watched, event);
}

void TLanguageSwitch::Language1Click() {
    Program& p = m_program;
    const pm::TMess_screen& name = p.messages.record(pm::kMsgLanguageName);
    const std::optional<std::string> answer =
        p.ui.askText(p.message(pm::kMsgCaption), p.message(pm::kMsgLanguagePrompt),
                     p.english() ? name.mess_rus : name.mess_eng);
    if (!answer || *answer == p.language())
        return;
    p.model.setLanguage(*answer);

    m_form.pauseTimers();
    if (!reloadDatabase())
        return;
    m_form.blockDiagram().showPicture(p.ui);
    m_form.controls().ComboBox6->show();

    if (m_dictionary.load(p.dataFile(pm::kDictionaryFileName)) != TextFileStatus::Ok) {
        endProgram(pm::kMsgNoDictionary);
        return;
    }
    translateWindows(p.message(pm::kMsgLanguageName));

    if (!reloadTypeTables()) {
        m_form.resumeTimers();
        endProgram(pm::kMsgNoMotorTypes);
        return;
    }
    m_form.driveState().captionFields(p.messages, p.language());
    p.loadFunctionNameLists();
    rebuildScopeSelectors();

    m_form.resumeTimers();
    if (p.link.state().connected)
        (void)m_form.session().ReadParamAll();
}

bool TLanguageSwitch::reloadDatabase() {
    Program& p = m_program;
    m_form.TabbedNotebook2->hide();
    const pm::LoadResult result =
        pm::loadDatabase(p.dataFile(pm::kDatabaseFileName), p.model, p.messages, p.ui, true);
    if (result.status == pm::LoadStatus::Missing || result.status == pm::LoadStatus::Unreadable) {
        endProgram(pm::kMsgNoDatabase);
        return false;
    }
    if (!result.ok()) {
        // The loader told the line; the pages of the last good load are gone with its table.
        p.messages.show(p.ui, pm::kMsgDatabaseFailed, p.language());
        return true;
    }
    m_form.pages().build();
    m_form.statusPage().build();
    m_form.TabbedNotebook2->show();
    // The table was read anew: the cached positions and the units beside the monitor fields.
    cachePositionsAndUnits(m_form);
    return true;
}

bool TLanguageSwitch::reloadTypeTables() {
    Program& p = m_program;
    if (!std::filesystem::exists(p.dataFile(pm::kMotorTypeFileName)))
        return false;
    loadTypeTables(m_form);
    if (const auto line = p.typeTables.matchMotorLineByDefault(p.model))
        m_form.controls().selectMotorLine(*line);
    return true;
}

void TLanguageSwitch::rebuildScopeSelectors() {
    Program& p = m_program;
    // Four pages hold fewer signals than the six of the load: the list cannot overflow here.
    (void)p.model.buildScopeSignals(pm::emptyScopeSignal(p.messages),
                                    pm::kScopeSignalPagesAtLanguageSwitch);
    m_form.onlineScope().fillChannelSelectors(pm::ScopeListStyle::LanguageSwitch);
    m_form.offlineScope().fillChannelSelectors(pm::ScopeListStyle::LanguageSwitch);
}

void TLanguageSwitch::endProgram(int message) {
    m_program.messages.show(m_program.ui, message, m_program.language());
    m_form.close();
    QCoreApplication::quit();
}

}  // namespace zrd::app
