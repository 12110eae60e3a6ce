// The main window's start-up sequence and its handlers.

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRegion>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <clocale>
#include <cmath>
#include <random>

#include "app/about_box.h"
#include "app/access_levels.h"
#include "app/colors.h"
#include "app/cpu_speed.h"
#include "app/edit_par_form.h"
#include "app/edit_value.h"
#include "app/main_form.h"
#include "app/param_frame.h"
#include "app/picture_form.h"
#include "app/shell_messages.h"
#include "core/paths.h"
#include "params/database_loader.h"
#include "params/function_names.h"
#include "session/sweeps.h"

namespace zrd::app {
namespace {

constexpr int kAfterDatabaseMs = 100;
constexpr int kAboutPauseMs = 100;
constexpr int kSerialWriteGapMs = 10;
constexpr int kTranslatePauseMs = 10;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Block-diagram buttons and the drawings they open.
struct PictureButton {
    const char* button;
    const char* file;
};
constexpr PictureButton kPictures[] = {
    {"Inverter", "Inverter.bmp"},
    {"Current_cntr_1", "Current_cntr_1.bmp"},
    {"Current_cntr_2", "Current_cntr_2.bmp"},
    {"Speed_cntr", "Speed_cntr.bmp"},
    {"Position_cntr", "Position_cntr.bmp"},
};

// Monitor fields and the parameter whose unit stands beside each.
struct MonitorUnit {
    const char* field;
    params::KnownParameter source;
};
constexpr MonitorUnit kMonitorUnits[] = {
    {"Speed_com", params::KnownParameter::VSET},
    {"Act_speed", params::KnownParameter::VACT},
    {"Current_com", params::KnownParameter::ISET},
    {"Act_current", params::KnownParameter::IACT},
    {"Torque_com", params::KnownParameter::TSET},
    {"Act_torque", params::KnownParameter::TACT},
    {"Position_com", params::KnownParameter::PRCTS},
    {"Act_position", params::KnownParameter::PFCTS},
    {"Analog_in", params::KnownParameter::AINVOL},
    {"Pulse_in", params::KnownParameter::PINFRQ},
    {"Follow_err", params::KnownParameter::PERR},
};

}  // namespace

bool TMainForm::startUp() {
    setFormats();
    openActionLog();
    hideWhileStarting();
    measureCpuSpeed();
    blockLinkAndControls();
    loadMessages();
    showInitialState();
    if (!loadDatabase()) {
        QApplication::restoreOverrideCursor();
        return false;
    }
    captionStatusFields();
    loadTypeTables();
    showBlockDiagram();
    selectMotorType();
    cachePositionsAndUnits();
    resetScopeScales();
    loadFunctionNameLists();
    checkConnection();
    finishStartUp();
    return true;
}

void TMainForm::setFormats() {
    // Numbers in files and fields use "." whatever the user's locale says; Qt has set the
    // C library's locale from the environment by now.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    setWindowTitle(kMainCaption);
    QApplication::setApplicationName(kApplicationTitle);
}

void TMainForm::openActionLog() {
    const std::string& folder = m_program.options.logDir;
    m_program.actionLog.open(folder.empty() ? writableFolder(programFolder()) : folder);
}

void TMainForm::hideWhileStarting() {
    hide();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TMainForm::measureCpuSpeed() {
    m_program.shell.cpuMhz = measureCpuMhz(m_program.options.cpuMeasureMs);
    m_program.shell.cpuSpeedClass = cpuSpeedClass(m_program.shell.cpuMhz);
}

void TMainForm::blockLinkAndControls() {
    m_program.model.setValueOrigin(params::kValueOriginStartup);
    m_program.link.state().linkBusy = true;
    for (QAction* item : {N10, N4, N9})
        item->setEnabled(false);
    setEnabledByName("Button3", false);
    Button9->setEnabled(false);
    Button6->setEnabled(false);
    for (QWidget* panel : {Panel7, Panel3, Panel6, Panel14})
        panel->setEnabled(false);
    m_program.shell.operatingMode = kStartOperatingMode;
}

void TMainForm::loadMessages() {
    m_program.messages.load(m_program.dataFile(params::kMessageFileName), m_program.ui);
}

void TMainForm::showInitialState() {
    Control->setText(qs(m_program.message(kMsgFirstStatusCaption)));
    Dr_Num->setText(kStartDriveNumber);
    Edit5->setText(qs(m_program.message(kMsgOfflineDetail)));
    show_state_par->setText(
        QString::fromUtf8(params::parameterSetStateText(0)->data(),
                          static_cast<qsizetype>(params::parameterSetStateText(0)->size())));
    // "Stop oscillogram", "View oscillogram" and "Reset Oscilloscope" of the scope pages.
    for (const char* name : {"Button1", "Button2", "Button4"})
        setEnabledByName(name, false);
    SpeedButton2->setChecked(true);
    TabbedNotebook2->setCurrentIndex(kTabBlockDiagram);
}

bool TMainForm::loadDatabase() {
    TabbedNotebook2->hide();
    const params::LoadResult result =
        params::loadDatabase(m_program.dataFile(params::kDatabaseFileName), m_program.model,
                             m_program.messages, m_program.ui, false);
    if (result.status == params::LoadStatus::Missing ||
        result.status == params::LoadStatus::Unreadable) {
        showMessageNumber(kMsgNoDatabase);
        return false;
    }
    if (result.ok()) {
        buildPages();
        buildStateFrames();
        TabbedNotebook2->show();
    } else {
        showMessageNumber(kMsgDatabaseFailed);
    }
    m_program.ui.waitMs(kAfterDatabaseMs);
    return true;
}

void TMainForm::captionStatusFields() {
    QLineEdit* fields[] = {Control, PC_control, drive_en, State_connection, Machine, Axis, Error};
    int n = kMsgFirstStatusCaption;
    for (QLineEdit* field : fields)
        field->setText(qs(m_program.message(n++)));
}

void TMainForm::loadTypeTables() {
    ComboBox6->show();
    ComboBox6->setCurrentIndex(0);
    params::TypeTables& tables = m_program.typeTables;
    (void)tables.load(m_program.dataFile(params::kMotorTypeFileName),
                      m_program.dataFile(params::kDriveTypeFileName), m_program.messages,
                      m_program.ui, m_program.language());
    ComboBox6->clear();
    for (const std::string& item : tables.motorSelectorItems())
        ComboBox6->addItem(qs(item));
    if (const std::optional<int> mt = m_program.model.find("MT")) {
        if (const std::optional<std::string> motor =
                tables.motorSelectorText(m_program.model.parameter(*mt).DefValue))
            Motor_sel->setText(qs(*motor).trimmed());
    }
    if (const std::optional<int> dt = m_program.model.find("DT")) {
        if (const std::optional<std::string> drive =
                tables.driveSelectorText(m_program.model.parameter(*dt).DefValue))
            Dr_Num->setText(qs(*drive));
    }
}

void TMainForm::showBlockDiagram() {
    const char* file = m_program.english() ? "Pic2_eng.bmp" : "Pic2_rus.bmp";
    try {
        Image1->setPixmap(loadPicture(qs(m_program.dataFile(file))));
    } catch (const std::exception& e) {
        // Start-up goes on without the drawing; the user learns which file is missing.
        m_program.ui.showMessage(kApplicationTitle, e.what());
    }
}

void TMainForm::selectMotorType() {
    if (const std::optional<int> line =
            m_program.typeTables.matchMotorLineByDefault(m_program.model))
        ComboBox6->setCurrentIndex(*line - 1);
}

void TMainForm::cachePositionsAndUnits() {
    params::ParameterModel& model = m_program.model;
    model.cachePositions();
    for (const MonitorUnit& m : kMonitorUnits) {
        const std::optional<int> position = model.knownPosition(m.source);
        auto* unit = findChild<QLabel*>(QString(m.field) + "_unit");
        if (position && unit != nullptr)
            unit->setText(qs(params::units(model.parameter(*position), m_program.language())));
    }
}

void TMainForm::resetScopeScales() {
    m_program.shell.channelScales = {1.0, 1.0, 1.0, 1.0};
}

void TMainForm::loadFunctionNameLists() {
    const std::string folder = m_program.dataFile(".");
    const auto load = [&](const char* file) {
        return params::loadFunctionNames(folder, file, m_program.language(), m_program.ui);
    };
    m_program.functionNames.digitalInputs = load(params::kDigitalInputsFile);
    m_program.functionNames.digitalOutputs = load(params::kDigitalOutputsFile);
    m_program.functionNames.analogOutputs = load(params::kAnalogOutputsFile);
}

void TMainForm::checkConnection() {
    params::ParameterModel& model = m_program.model;
    link::LinkState& state = m_program.link.state();
    bool answered = false;
    if (const std::optional<int> hver = model.knownPosition(params::KnownParameter::HVER)) {
        model.setCurrentParameter(*hver);
        model.setPreviousValue(*hver, model.value(*hver));
        model.setValue(*hver, -1);
        m_program.access.ReadParam();
        answered = model.value(*hver) != -1;
    }
    if (answered) {
        state.connected = 1;
        ReadParamAll();
        Monitor->setEnabled(true);
    } else {
        state.linkBusy = true;
        Timer5->stop();
        state.connected = 0;
        Monitor->setEnabled(false);
    }
}

void TMainForm::ReadParamAll() {
    link::LinkState& state = m_program.link.state();
    if (state.linkBusy || state.connected == 0)
        return;
    stopStatusTimers();
    RPar->show();
    setEnabled(false);
    session::Sweeps sweeps(m_program.link, m_program.model, m_program.messages);
    // The count on the button shows how far the sweep has come.
    const QString caption = Button9->text();
    const session::ReadAllResult result =
        sweeps.ReadParamAll([this, &caption](int done, int total) {
            Button9->setText(QString("%1 %2/%3").arg(caption).arg(done).arg(total));
        });
    Button9->setText(caption);
    if (result.ran)
        showReadValues(result.formulaPasses > 0);
    TabbedNotebook2->setCurrentIndex(kTabBlockDiagram);
    QApplication::processEvents();
    startStatusTimers();
    if (result.ran) {
        SerNum->setText(QString::number(session::serialNumber(m_program.model)));
        const std::optional<int> dt = m_program.model.knownPosition(params::KnownParameter::DT);
        if (dt && m_program.model.parameter(*dt).Pname == "DT") {
            if (const std::optional<std::string> drive =
                    m_program.typeTables.driveSelectorText(m_program.model.value(*dt)))
                Dr_Num->setText(qs(*drive));
        }
    }
    if (result.ran)
        setInversionFromDinlev();
    RPar->hide();
    setEnabled(true);
    Button6->setEnabled(true);
    // "View oscillogram" of the online scope page.
    setEnabledByName("Button21", false);
}

void TMainForm::showReadValues(bool formulasRan) {
    params::ParameterModel& model = m_program.model;
    for (int position = 0; position < params::kParameterCount; ++position) {
        const params::TPar& p = model.parameter(position);
        TParamFrame* frame = frameOfPosition(position);
        const int k = frame != nullptr ? frame->rowOf(position) : -1;
        if (p.Pname.empty() || k < 0)
            continue;
        paintState(frame->row(k).Param, colors::kWhite);
        const int value = static_cast<int>(std::trunc(model.value(position)));
        if (p.Pname == "OPMOD") {
            QToolButton* mode = value == 1   ? SpeedButton4
                                : value == 2 ? SpeedButton5
                                             : SpeedButton6;
            mode->setChecked(true);
            m_program.shell.operatingMode = value;
        } else if (p.Pname == "INST") {
            showCommandSource(value);
        }
    }
    if (formulasRan)
        markFormulaLimits();
    // The motor whose identifying value the drive reports.
    const std::vector<std::string> header = m_program.typeTables.motorMnemonics();
    if (!header.empty()) {
        if (const std::optional<int> position = model.find(header.front())) {
            if (const std::optional<int> line =
                    m_program.typeTables.matchMotorLine(params::valueText(model.value(*position))))
                ComboBox6->setCurrentIndex(*line - 1);
        }
    }
}

void TMainForm::showCommandSource(int inst) {
    if (inst == 0 || inst == 1) {
        SpeedButton1->setChecked(true);
        Panel14->setEnabled(true);
        paintState(Panel14, colors::kButtonFace);
        const std::optional<int> enmod =
            m_program.model.knownPosition(params::KnownParameter::ENMOD);
        if (enmod && m_program.model.value(*enmod) == 1)
            Panel7->setEnabled(true);
    } else if (inst == 2 || inst == 3) {
        SpeedButton2->setChecked(true);
        Panel14->setEnabled(false);
        paintState(Panel14, colors::kGrey);
    }
}

void TMainForm::markFormulaLimits() {
    const params::ParameterModel& model = m_program.model;
    for (const params::TParR& entry : model.calculated()) {
        if (entry.num == 0)
            break;
        TParamFrame* frame = frameOfPosition(entry.num);
        const int k = frame != nullptr ? frame->rowOf(entry.num) : -1;
        if (k < 0)
            continue;
        const params::TPar& p = model.parameter(entry.num);
        const ParamRow& row = frame->row(k);
        const int marks = p.ind_of_change;
        // Below 4 only the changed limits are marked; from 4 on (the default changed) their
        // new texts are shown as well.
        const bool texts = marks >= 4;
        if (marks & 1) {
            paintState(row.Minval, colors::kYellow);
            if (texts)
                row.Minval->setText(qs(params::valueText(params::minDisplay(p))));
        }
        if (marks & 2) {
            paintState(row.MaxVal, colors::kYellow);
            if (texts)
                row.MaxVal->setText(qs(params::valueText(params::maxDisplay(p))));
        }
        if (marks & 4) {
            paintState(row.DefaultVal, colors::kYellow);
            row.DefaultVal->setText(qs(params::valueText(params::defaultDisplay(p))));
        }
    }
}

QString TMainForm::simDevice() const {
    return qs(m_program.options.simDevice);
}

void TMainForm::finishStartUp() {
    m_program.link.state().linkBusy = false;
    Timer4->stop();
    Timer1->start();
    ComboBox6->setFocus();
}

void TMainForm::Timer1Timer() {
    Timer1->stop();
    if (!m_program.english()) {
        // The window dictionary comes with the language switch; until then the design texts
        // stay, and only the drawing follows the language.
        m_program.ui.waitMs(kTranslatePauseMs);
        showBlockDiagram();
    }
    show();
    QApplication::restoreOverrideCursor();
    const int motor = ComboBox6->findText(Motor_sel->text(), Qt::MatchStartsWith);
    if (motor >= 0)
        ComboBox6->setCurrentIndex(motor);
    setEnabled(true);
    TimerForTime->start();
}

void TMainForm::TimerForTimeTimer() {
    const QDateTime now = QDateTime::currentDateTime();
    MaskEdit3->setText(now.toString(kDateFormat));
    MaskEdit4->setText(now.toString(kTimeFormat));
}

void TMainForm::Timer4Timer() {}

void TMainForm::TabbedNotebook2Click(int tab) {
    link::LinkState& state = m_program.link.state();
    if (!Monitor->isEnabled()) {
        TimerMonitor->stop();
        for (const MonitorField& f : m_monitor)
            paintState(f.field, colors::kSilver);
        Stop_monitor->setChecked(true);
        Monitor->setEnabled(true);
        if (state.connected == 0) {
            state.linkBusy = true;
            Timer5->stop();
        }
        Panel32->setEnabled(true);
    }
    if (tab == kTabBlockDiagram)
        return;
    TimerForTime->start();
}

void TMainForm::About1Click() {
    link::LinkState& state = m_program.link.state();
    state.linkBusy = true;
    stopStatusTimers();
    m_program.ui.waitMs(kAboutPauseMs);
    AboutBox->exec();
    state.linkBusy = false;
    startStatusTimers();
}

void TMainForm::openServiceMenus(bool admin) {
    Specialfunctions1->menuAction()->setVisible(true);
    if (admin)
        Adminsfunctions1->menuAction()->setVisible(true);
    SerNum->setReadOnly(false);
}

void TMainForm::Closespecialfunction1Click() {
    closeServiceMenus();
}

void TMainForm::CloseAdminfunctions1Click() {
    closeServiceMenus();
}

void TMainForm::closeServiceMenus() {
    Specialfunctions1->menuAction()->setVisible(false);
    Adminsfunctions1->menuAction()->setVisible(false);
    SerNum->setReadOnly(true);
    const QString text = SerNum->text().trimmed();
    // Without a number (nothing read from a drive yet) there is nothing to store.
    if (text.isEmpty())
        return;
    bool ok = false;
    const long long number = text.toLongLong(&ok);
    if (!ok)
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid serial number.");
    const SerialNumberWords words = splitSerialNumber(number);
    params::ParameterModel& model = m_program.model;
    model.setValue(0, static_cast<double>(words.high));
    model.setValue(1, static_cast<double>(words.low));
    showInRow(0, qs(params::valueText(model.value(0))));
    showInRow(1, qs(params::valueText(model.value(1))));
    if (m_program.link.state().connected != 0)
        writeSerialNumber();
}

void TMainForm::writeSerialNumber() {
    link::LinkState& state = m_program.link.state();
    Button6->setEnabled(true);
    state.linkBusy = true;
    const bool polling = Timer5->isActive();
    Timer5->stop();
    for (int position : {0, 1}) {
        m_program.model.setCurrentParameter(position);
        m_program.access.SetParam();
        m_program.ui.waitMs(kSerialWriteGapMs);
    }
    state.linkBusy = false;
    if (polling)
        Timer5->start();
}

void TMainForm::toggleOutline() {
    m_perforated = !m_perforated;
    if (!m_perforated) {
        clearMask();
        return;
    }
    std::random_device seed;
    std::mt19937 random(seed());
    QRegion outline(rect());
    for (const OutlineHole& hole : outlineHoles(random, width(), height()))
        outline -= QRegion(hole.x, hole.y, hole.width, hole.height, QRegion::Ellipse);
    setMask(outline);
}

void TMainForm::Exit1Click() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    Timer5->stop();
    m_program.link.state().linkBusy = false;
    m_program.shell.offlineCaptureWaiting = false;
    m_program.link.closePort();
    event->accept();
}

void TMainForm::PictureButtonClick() {
    auto* button = qobject_cast<QPushButton*>(sender());
    if (button == nullptr)
        return;
    for (const PictureButton& p : kPictures) {
        if (button->objectName() != p.button)
            continue;
        TPicture_Form picture(button->text(), qs(m_program.dataFile(p.file)), this);
        picture.exec();
        return;
    }
}

void TMainForm::buildPages() {
    QTabWidget* controls[] = {PageControl1, PageControl2, PageControl3, PageControl4, PageControl5};
    for (QTabWidget* control : controls) {
        while (control->count() > 0) {
            QWidget* page = control->widget(0);
            control->removeTab(0);
            delete page;
        }
        control->hide();
    }
    m_frames.clear();

    const params::PagesPlan plan = planPages(m_program.model);
    applyPagePlan(plan, m_program.model);
    for (size_t slot = 0; slot < plan.pages.size(); ++slot) {
        const params::PagePlan& page = plan.pages[slot];
        QTabWidget* control = controls[page.group - 1];
        const QString name = qs(page.name);
        auto* frame = new TParamFrame(*this, static_cast<int>(slot), name, control);
        connect(frame, &TParamFrame::ParamMouseDown, this, &TMainForm::ParamMouseDown);
        control->addTab(frame, name);
        for (size_t k = 0; k < page.rows.size(); ++k)
            frame->fillRow(static_cast<int>(k), page.rows[k]);
        if (!page.rows.empty())
            frame->showHeaders();
        m_frames.push_back(frame);
    }
    for (int g = 0; g < params::kPageGroups; ++g) {
        TabbedNotebook2->setTabText(kTabFirstGroup + g, qs(plan.captions[static_cast<size_t>(g)]));
        if (controls[g]->count() > 0)
            controls[g]->show();
    }
}

TParamFrame* TMainForm::frameOfPosition(int position) const {
    if (position < 0 || position >= params::kParameterCount)
        return nullptr;
    const int slot = m_program.model.parameter(position).indexFrame;
    if (slot < 0 || slot >= static_cast<int>(m_frames.size()))
        return nullptr;
    return m_frames[static_cast<size_t>(slot)];
}

void TMainForm::showInRow(int position, const QString& text) {
    TParamFrame* frame = frameOfPosition(position);
    if (frame == nullptr)
        return;
    const int k = frame->rowOf(position);
    if (k >= 0)
        frame->row(k).Param->setText(text);
}

void TMainForm::ParamMouseDown(TParamFrame* frame, int row) {
    Edit_par_Form->openForRow(*frame, row, true);
}

void TMainForm::showMotorType(int line) {
    const std::vector<std::string> words =
        params::splitWords(m_program.typeTables.motorTypes().line(line));
    if (words.empty())
        return;
    if (line >= 1 && line <= ComboBox6->count())
        ComboBox6->setCurrentIndex(line - 1);
    Motor_sel->setText(qs(words.front()));
}

void TMainForm::applyMotorType(int line, int waitBeforeWriteMs) {
    Program& program = m_program;
    showMotorType(line);
    const std::vector<std::string> mnemonics = program.typeTables.motorMnemonics();
    const std::vector<std::string> values = program.typeTables.motorValues(line);
    const bool connected = program.link.state().connected != 0;
    for (size_t i = 0; i < mnemonics.size() && i < values.size(); ++i) {
        const std::optional<int> position = program.model.find(mnemonics[i]);
        if (!position)
            continue;
        program.model.setCurrentParameter(*position);
        // The table holds raw values.
        const double raw = parseDisplayValue(values[i]);
        program.model.setValue(*position, raw * program.model.parameter(*position).scale);
        if (connected) {
            if (waitBeforeWriteMs > 0)
                program.ui.waitMs(waitBeforeWriteMs);
            program.access.SetParam();
        }
        showInRow(*position, qs(params::valueText(program.model.value(*position))));
    }
    program.model.setValueOrigin(0);
}

void TMainForm::ComboBox6CloseUp() {
    link::LinkState& state = m_program.link.state();
    const bool connected = state.connected != 0;
    if (connected && state.linkBusy)
        return;
    if (connected) {
        state.linkBusy = true;
        stopStatusTimers();
    }
    applyMotorType(std::max(ComboBox6->currentIndex(), 0) + 1);
    state.linkBusy = false;
    startStatusTimers();
    Error->setFocus();
}

void TMainForm::restoreIdle() {
    startStatusTimers();
    Monitor->setEnabled(true);
    setEnabledByName("Button18", false);
}

void TMainForm::stopStatusTimers() {
    Timer5->stop();
    TimerForTime->stop();
}

void TMainForm::startStatusTimers() {
    Timer5->start();
    TimerForTime->start();
}

void TMainForm::setEnabledByName(const char* name, bool enabled) {
    // Only this window's own controls: the dialogs it owns reuse designer names ("Button1").
    // Controls of pages that are not built yet are skipped.
    for (QWidget* widget : findChildren<QWidget*>(name)) {
        if (widget->window() == this)
            widget->setEnabled(enabled);
    }
}

void TMainForm::showMessageNumber(int n) {
    m_program.messages.show(m_program.ui, n, m_program.language());
}

}  // namespace zrd::app
