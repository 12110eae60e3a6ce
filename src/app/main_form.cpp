#include "app/main_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/about_box.h"
#include "app/colors.h"
#include "app/edit_par_form.h"
#include "app/lamp.h"
#include "app/param_frame.h"

namespace zrd::app {
namespace {

// Column widths of the dense layout.
constexpr int kStatusFieldWidth = 112;
constexpr int kMonitorFieldWidth = 58;
constexpr int kModeButtonWidth = 57;

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QLineEdit* readOnlyField(const char* name, const QString& text, QWidget* parent, int width = 0) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    if (width > 0)
        field->setFixedWidth(width);
    return field;
}

QToolButton* speedButton(const char* name, const QString& caption, QButtonGroup* group,
                         QWidget* parent, int width = kModeButtonWidth) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setFixedSize(width, 26);
    group->addButton(button);
    return button;
}

QGroupBox* buttonPanel(const char* name, const QString& caption, QWidget* parent,
                       std::initializer_list<QWidget*> buttons) {
    auto* panel = new QGroupBox(caption, parent);
    panel->setObjectName(name);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(6, 2, 6, 6);
    layout->setSpacing(2);
    for (QWidget* b : buttons) {
        b->setParent(panel);
        layout->addWidget(b);
    }
    return panel;
}

// The small red box beside "Read" and "Write" that shows a sweep in progress.
QLabel* sweepMark(const char* name, QWidget* parent) {
    auto* mark = new QLabel(parent);
    mark->setObjectName(name);
    mark->setFixedSize(10, 10);
    paintState(mark, colors::kRed);
    mark->setToolTip(name == std::string_view("RPar") ? "Reading all parameters"
                                                      : "Writing all parameters");
    // Keeps its place in the layout while hidden.
    QSizePolicy policy = mark->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    mark->setSizePolicy(policy);
    mark->hide();
    return mark;
}

}  // namespace

TMainForm::TMainForm(Program& program, QWidget* parent) : QMainWindow(parent), m_program(program) {
    setObjectName("MainForm");
    setWindowTitle(kMainCaption);
    // Minimise and close only: the layout is made for one size.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    createMenu();
    auto* central = new QWidget(this);
    central->setObjectName("MainPanel");
    auto* root = new QVBoxLayout(central);
    root->setContentsMargins(4, 4, 4, 4);
    root->setSpacing(4);
    createNotebook();
    root->addWidget(TabbedNotebook2, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    bottom->addWidget(createDriveState(), 1);
    bottom->addWidget(createControlArea(), 0);
    root->addLayout(bottom);
    setCentralWidget(central);

    createTimers();
    AboutBox = new TAboutBox(*this);
    Edit_par_Form = new TEdit_par_Form(*this);
    connectSessionHandlers();

    setFixedSize(kMainWidth, kMainHeight);
}

TMainForm::~TMainForm() = default;

void TMainForm::createMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");

    File1 = bar->addMenu("File");
    File1->setObjectName("File1");
    Readingparametersfromfile1 =
        addItem(File1, "Readingparametersfromfile1", "Reading parameters from file");
    N10 = addItem(File1, "N10", "Reading parameters from drive");
    N21 = addItem(File1, "N21", "Reading oscillogram from file");
    File1->addSeparator();
    Saveparameterstofile1 = addItem(File1, "Saveparameterstofile1", "Save parameters to file");
    N4 = addItem(File1, "N4", "Save parameters to EEPROM");
    N20 = addItem(File1, "N20", "Save oscillogram to file");
    File1->addSeparator();
    Exit1 = addItem(File1, "Exit1", "Exit");
    connect(Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);

    Connection1 = bar->addMenu("Connection");
    Connection1->setObjectName("Connection1");
    N3 = addItem(Connection1, "N3", "Connection parameters");
    N9 = addItem(Connection1, "N9", "Disconnect");
    if (!m_program.options.simDevice.empty()) {
        // The demo's simulated drive, offered for the connection.
        const QString hint =
            "Simulated drive on " + QString::fromStdString(m_program.options.simDevice);
        N3->setToolTip(hint);
        N3->setStatusTip(hint);
        Connection1->setToolTipsVisible(true);
    }

    Services1 = bar->addMenu("Services");
    Services1->setObjectName("Services1");
    Filtercalculator1 = addItem(Services1, "Filtercalculator1", "Filter calculator");
    Setdefaultparameters1 = addItem(Services1, "Setdefaultparameters1", "Set default parameters");
    Setdefaultparameters1->setVisible(false);
    TypeofFGsignal1 = addItem(Services1, "TypeofFGsignal1", "Type of FG signal");
    RESET1 = addItem(Services1, "RESET1", "RESET");
    Setconfiguration1 = addItem(Services1, "Setconfiguration1", "Configuration setting");

    Help1 = bar->addMenu("Help");
    Help1->setObjectName("Help1");
    About1 = addItem(Help1, "About1", "About");
    connect(About1, &QAction::triggered, this, &TMainForm::About1Click);

    Specialfunctions1 = bar->addMenu("Special functions");
    Specialfunctions1->setObjectName("Specialfunctions1");
    InitialDriveInitialization1 =
        addItem(Specialfunctions1, "InitialDriveInitialization1", "Drive Initialization");
    N17 = addItem(Specialfunctions1, "N17", "RESET (67)");
    Savedefault1 = addItem(Specialfunctions1, "Savedefault1", "Save to EEPROM DA (65 00)");
    SaveprogramspartoEEPROM1 = addItem(Specialfunctions1, "SaveprogramspartoEEPROM1",
                                       "Save program's prm to EEPROM DA (65 01)");
    Loaddefault1 = addItem(Specialfunctions1, "Loaddefault1", "Load prm from EEPROPM DA (66)");
    Specialfunctions1->addSeparator();
    Language1 = addItem(Specialfunctions1, "Language1", "Language");
    Testingformulas1 = addItem(Specialfunctions1, "Testingformulas1", "Testing formulas");
    CALCPARA1 = addItem(Specialfunctions1, "CALCPARA1", "CALCPARA");
    Specialfunctions1->addSeparator();
    Closespecialfunction1 =
        addItem(Specialfunctions1, "Closespecialfunction1", "Close special function");
    connect(Closespecialfunction1, &QAction::triggered, this,
            &TMainForm::Closespecialfunction1Click);
    Specialfunctions1->menuAction()->setVisible(false);

    Adminsfunctions1 = bar->addMenu("Admin's functions");
    Adminsfunctions1->setObjectName("Adminsfunctions1");
    Commandmonitor1 = addItem(Adminsfunctions1, "Commandmonitor1", "Command monitor");
    SeeOscDatRec = addItem(Adminsfunctions1, "SeeOscDatRec", "See OscDatRec");
    Adminsfunctions1->addSeparator();
    CloseAdminfunctions1 =
        addItem(Adminsfunctions1, "CloseAdminfunctions1", "Close Admin functions");
    connect(CloseAdminfunctions1, &QAction::triggered, this, &TMainForm::CloseAdminfunctions1Click);
    Adminsfunctions1->menuAction()->setVisible(false);
}

void TMainForm::createNotebook() {
    TabbedNotebook2 = new QTabWidget(this);
    TabbedNotebook2->setObjectName("TabbedNotebook2");
    TabbedNotebook2->setUsesScrollButtons(false);
    // Ten tabs side by side across the window: all of them stay in sight.
    TabbedNotebook2->setStyleSheet("QTabBar::tab { padding: 4px 7px; }");
    TabbedNotebook2->addTab(createBlockDiagram(), "Block Diagram");

    const char* groupTabs[] = {"     Drive     ", "     Motor     ", "Current controller",
                               "Speed controller", "Position controller"};
    QTabWidget** pageControls[] = {&PageControl1, &PageControl2, &PageControl3, &PageControl4,
                                   &PageControl5};
    for (int g = 0; g < 5; ++g) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString("TabPage%1").arg(g + 1));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(2, 2, 2, 2);
        auto* pages = new QTabWidget(sheet);
        pages->setObjectName(QString("PageControl%1").arg(g + 1));
        pages->setDocumentMode(true);
        pages->hide();
        layout->addWidget(pages);
        *pageControls[g] = pages;
        TabbedNotebook2->addTab(sheet, groupTabs[g]);
    }

    auto* online = new QWidget;
    online->setObjectName("TabPage6");
    TabbedNotebook2->addTab(online, "Oscilloscope online");
    auto* offline = new QWidget;
    offline->setObjectName("TabPage7");
    TabbedNotebook2->addTab(offline, "Oscilloscope offline");

    const char* stateTabs[] = {"Status", "Appendix info"};
    QTabWidget** stateControls[] = {&PageControl6, &PageControl7};
    for (int i = 0; i < 2; ++i) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString("TabPage%1").arg(kTabStatus + i));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(2, 2, 2, 2);
        auto* pages = new QTabWidget(sheet);
        pages->setObjectName(QString("PageControl%1").arg(6 + i));
        pages->setDocumentMode(true);
        pages->hide();
        layout->addWidget(pages);
        *stateControls[i] = pages;
        TabbedNotebook2->addTab(sheet, stateTabs[i]);
    }
    connect(TabbedNotebook2, &QTabWidget::tabBarClicked, this, &TMainForm::TabbedNotebook2Click);
}

QWidget* TMainForm::createBlockDiagram() {
    auto* sheet = new QWidget;
    sheet->setObjectName("TabPage0");
    auto* layout = new QHBoxLayout(sheet);
    layout->setContentsMargins(4, 4, 4, 4);

    Image1 = new QLabel(sheet);
    Image1->setObjectName("Image1");
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setMinimumSize(200, 150);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(Image1, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch();
    auto pictureButton = [&](QPushButton*& button, const char* name, const QString& caption) {
        button = new QPushButton(caption, sheet);
        button->setObjectName(name);
        button->setMinimumWidth(150);
        connect(button, &QPushButton::clicked, this, &TMainForm::PictureButtonClick);
        buttons->addWidget(button);
    };
    pictureButton(Inverter, "Inverter", "Inverter");
    pictureButton(Current_cntr_1, "Current_cntr_1", "Current Controller p.1");
    pictureButton(Current_cntr_2, "Current_cntr_2", "Current Controller p.2");
    pictureButton(Speed_cntr, "Speed_cntr", "Speed Controller");
    pictureButton(Position_cntr, "Position_cntr", "Position Controller");
    buttons->addStretch();
    layout->addLayout(buttons);
    return sheet;
}

QWidget* TMainForm::createDriveState() {
    Panel10 = new QFrame(this);
    Panel10->setObjectName("Panel10");
    auto* outer = new QHBoxLayout(Panel10);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(4);

    auto* state = new QGroupBox("Drive state", Panel10);
    state->setObjectName("GroupBoxDriveState");
    auto* grid = new QGridLayout(state);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    auto lampWithCaption = [&](TLamp*& lamp, const char* name, const QString& caption) {
        auto* box = new QWidget(state);
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        lamp = new TLamp(name, box);
        row->addWidget(lamp);
        auto* label = new QLabel(caption, box);
        label->setObjectName(QString(name) + "_label");
        row->addWidget(label);
        row->addStretch();
        return box;
    };
    grid->addWidget(lampWithCaption(drive_on, "drive_on", "Drive on"), 0, 0);
    grid->addWidget(lampWithCaption(Servo_enable, "Servo_enable", "Servo enable"), 0, 1);
    grid->addWidget(lampWithCaption(Drive_ready, "Drive_ready", "Ready"), 1, 0);
    grid->addWidget(lampWithCaption(N_0, "N_0", "n=0"), 1, 1);

    Control = readOnlyField("Control", "  Speed", state, kStatusFieldWidth);
    PC_control = readOnlyField("PC_control", "PC control", state, kStatusFieldWidth);
    drive_en = readOnlyField("drive_en", "Drive enable", state, kStatusFieldWidth);
    Machine = readOnlyField("Machine", "Machine", state, kStatusFieldWidth);
    Axis = readOnlyField("Axis", "Axis", state, kStatusFieldWidth);
    State_connection = readOnlyField("State_connection", "   Offline", state, kStatusFieldWidth);
    Edit5 = readOnlyField("Edit5", "", state);
    Error = readOnlyField("Error", "Error", state, kStatusFieldWidth);
    ComboBox1 = new QComboBox(state);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setFixedWidth(kStatusFieldWidth);
    Warning = readOnlyField("Warning", "Warning", state, kStatusFieldWidth);
    ComboBox9 = new QComboBox(state);
    ComboBox9->setObjectName("ComboBox9");
    ComboBox9->setFixedWidth(kStatusFieldWidth);
    Dr_Num = readOnlyField("Dr_Num", "", state, kStatusFieldWidth);
    Dr_Num->setToolTip("Drive type");
    Motor_sel = readOnlyField("Motor_sel", "", state, kStatusFieldWidth);
    Motor_sel->setToolTip("Motor type");

    paintState(State_connection, colors::kRed);
    paintState(Edit5, colors::kRed);
    for (QLineEdit* f : {Control, PC_control, drive_en, Machine, Axis, Error, Warning})
        paintState(f, colors::kSilver);

    grid->addWidget(Control, 2, 0);
    grid->addWidget(PC_control, 2, 1);
    grid->addWidget(drive_en, 3, 0);
    grid->addWidget(Machine, 3, 1);
    grid->addWidget(Axis, 4, 0);
    grid->addWidget(State_connection, 4, 1);
    grid->addWidget(Edit5, 5, 0, 1, 2);
    grid->addWidget(Error, 6, 0);
    grid->addWidget(ComboBox1, 6, 1);
    grid->addWidget(Warning, 7, 0);
    grid->addWidget(ComboBox9, 7, 1);
    grid->addWidget(Dr_Num, 8, 0);
    grid->addWidget(Motor_sel, 8, 1);
    grid->setRowStretch(9, 1);
    outer->addWidget(state, 0);
    outer->addWidget(createMonitor(), 1);
    return Panel10;
}

MonitorField TMainForm::addMonitorField(const QString& name, const QString& caption,
                                        const QString& unit) {
    MonitorField f;
    f.field = readOnlyField(name.toUtf8().constData(), "", nullptr, kMonitorFieldWidth);
    f.field->setAlignment(Qt::AlignRight);
    paintState(f.field, colors::kSilver);
    f.caption = new QLabel(caption);
    f.caption->setObjectName(name + "_label");
    f.unit = new QLabel(unit);
    f.unit->setObjectName(name + "_unit");
    f.unit->setMinimumWidth(30);
    m_monitor.push_back(f);
    return f;
}

QWidget* TMainForm::createMonitor() {
    auto* box = new QGroupBox("Monitor", Panel10);
    box->setObjectName("GroupBoxMonitor");
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    struct Row {
        QLineEdit** member;
        const char* name;
        const char* caption;
        const char* unit;
    };
    // Commands on the left, actual values on the right of the same row.
    const Row rows[] = {
        {&Speed_com, "Speed_com", "Speed command", "rpm"},
        {&Act_speed, "Act_speed", "Speed actual", "rpm"},
        {&Current_com, "Current_com", "Current command", "A"},
        {&Act_current, "Act_current", "Current actual", "A"},
        {&Torque_com, "Torque_com", "Torque command", "N-cm"},
        {&Act_torque, "Act_torque", "Torque actual", "N-cm"},
        {&Position_com, "Position_com", "Position command", "cnts"},
        {&Act_position, "Act_position", "Position actual", "cnts"},
        {&Analog_in, "Analog_in", "Analog IN", "mV"},
        {&Pulse_in, "Pulse_in", "Pulse IN", "kHz"},
        {&Follow_err, "Follow_err", "Follow error", "cnts"},
        {&Direction, "Direction", "Direction", "+/-"},
    };
    int i = 0;
    for (const Row& r : rows) {
        const MonitorField f = addMonitorField(r.name, r.caption, r.unit);
        *r.member = f.field;
        const int row = i / 2;
        const int column = (i % 2) * 4;
        grid->addWidget(f.caption, row, column);
        grid->addWidget(f.field, row, column + 1);
        grid->addWidget(f.unit, row, column + 2);
        ++i;
    }
    grid->setColumnMinimumWidth(3, 8);

    auto* buttons = new QHBoxLayout;
    auto* group = new QButtonGroup(box);
    group->setExclusive(true);
    Monitor = new QPushButton("Start monitor", box);
    Monitor->setObjectName("Monitor");
    Monitor->setCheckable(true);
    Stop_monitor = new QPushButton("Stop monitor", box);
    Stop_monitor->setObjectName("Stop_monitor");
    Stop_monitor->setCheckable(true);
    Stop_monitor->setChecked(true);
    group->addButton(Monitor);
    group->addButton(Stop_monitor);
    buttons->addStretch();
    buttons->addWidget(Monitor);
    buttons->addWidget(Stop_monitor);
    grid->addLayout(buttons, 6, 0, 1, 7);
    grid->setRowStretch(7, 1);
    return box;
}

QWidget* TMainForm::createControlArea() {
    auto* area = new QWidget(this);
    area->setObjectName("ControlArea");
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);

    Panel32 = new QGroupBox(area);
    Panel32->setObjectName("Panel32");
    Panel32->setFlat(true);
    auto* panels = new QGridLayout(Panel32);
    panels->setContentsMargins(0, 0, 0, 0);
    panels->setSpacing(3);

    auto* servo = new QButtonGroup(this);
    Enable_button = speedButton("Enable_button", "On", servo, Panel32, 48);
    Desable_button = speedButton("Desable_button", "Off", servo, Panel32, 48);
    Desable_button->setChecked(true);
    Panel7 = buttonPanel("Panel7", "PC servo enable", Panel32, {Enable_button, Desable_button});

    auto* modes = new QButtonGroup(this);
    SpeedButton4 = speedButton("SpeedButton4", "Current", modes, Panel32);
    SpeedButton5 = speedButton("SpeedButton5", "Speed", modes, Panel32);
    SpeedButton6 = speedButton("SpeedButton6", "Position", modes, Panel32);
    SpeedButton5->setChecked(true);
    Panel3 = buttonPanel("Panel3", "Operating mode", Panel32,
                         {SpeedButton4, SpeedButton5, SpeedButton6});

    auto* generator = new QButtonGroup(this);
    SpeedButton3 = speedButton("SpeedButton3", "Start FG", generator, Panel32);
    SpeedButton7 = speedButton("SpeedButton7", "Stop FG", generator, Panel32);
    SpeedButton7->setChecked(true);
    BitBtn1 = new QToolButton(Panel32);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setText("~");
    BitBtn1->setToolTip("Type of FG signal");
    BitBtn1->setFixedSize(26, 26);
    Panel14 = buttonPanel("Panel14", "Functional generator", Panel32,
                          {SpeedButton3, SpeedButton7, BitBtn1});

    auto* source = new QButtonGroup(this);
    SpeedButton1 = speedButton("SpeedButton1", "Internal", source, Panel32);
    SpeedButton2 = speedButton("SpeedButton2", "External", source, Panel32);
    SpeedButton2->setChecked(true);
    Panel6 = buttonPanel("Panel6", "Command source", Panel32, {SpeedButton1, SpeedButton2});

    panels->addWidget(Panel7, 0, 0);
    panels->addWidget(Panel3, 0, 1);
    panels->addWidget(Panel14, 1, 0);
    panels->addWidget(Panel6, 1, 1);
    column->addWidget(Panel32);

    auto* parameters = new QGroupBox("Parameters", area);
    parameters->setObjectName("GroupBoxParameters");
    auto* grid = new QGridLayout(parameters);
    grid->setContentsMargins(6, 2, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    ComboBox6 = new QComboBox(parameters);
    ComboBox6->setObjectName("ComboBox6");
    ComboBox6->setToolTip("Motor type");
    ComboBox6->setMinimumWidth(120);
    // The motor is applied when the list closes on a choice, not while browsing it.
    connect(ComboBox6, qOverload<int>(&QComboBox::activated), this, &TMainForm::ComboBox6CloseUp);
    show_state_par = readOnlyField("show_state_par", "", parameters, 70);
    show_state_par->setAlignment(Qt::AlignCenter);
    show_state_par->setToolTip("Where the values on the pages came from");
    SerNum = new QLineEdit(parameters);
    SerNum->setObjectName("SerNum");
    SerNum->setReadOnly(true);
    SerNum->setToolTip("Serial number of the drive");
    RPar = sweepMark("RPar", parameters);
    WPar = sweepMark("WPar", parameters);
    Button9 = new QPushButton("Read", parameters);
    Button9->setObjectName("Button9");
    Button9->setToolTip("Read all parameters from the drive");
    Button6 = new QPushButton("Write", parameters);
    Button6->setObjectName("Button6");
    Button6->setToolTip("Store the drive's parameters in its EEPROM");

    grid->addWidget(new QLabel("Motor", parameters), 0, 0);
    grid->addWidget(ComboBox6, 0, 1, 1, 2);
    grid->addWidget(new QLabel("Set", parameters), 0, 3);
    grid->addWidget(show_state_par, 0, 4, 1, 2);
    grid->addWidget(new QLabel("S/N", parameters), 1, 0);
    grid->addWidget(SerNum, 1, 1);
    auto* read = new QHBoxLayout;
    read->setSpacing(3);
    read->addWidget(RPar);
    read->addWidget(Button9);
    grid->addLayout(read, 1, 2, 1, 2);
    auto* write = new QHBoxLayout;
    write->setSpacing(3);
    write->addWidget(WPar);
    write->addWidget(Button6);
    grid->addLayout(write, 1, 4, 1, 2);
    column->addWidget(parameters);

    auto* clock = new QHBoxLayout;
    clock->setSpacing(4);
    clock->addStretch();
    MaskEdit3 = readOnlyField("MaskEdit3", "", area, 74);
    MaskEdit3->setAlignment(Qt::AlignCenter);
    MaskEdit4 = readOnlyField("MaskEdit4", "", area, 74);
    MaskEdit4->setAlignment(Qt::AlignCenter);
    clock->addWidget(MaskEdit3);
    clock->addWidget(MaskEdit4);
    column->addLayout(clock);
    column->addStretch();
    return area;
}

void TMainForm::createTimers() {
    auto timer = [this](QTimer*& t, const char* name, int interval, void (TMainForm::*handler)()) {
        t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(interval);
        connect(t, &QTimer::timeout, this, handler);
    };
    timer(TimerForTime, "TimerForTime", kTimerForTimeMs, &TMainForm::TimerForTimeTimer);
    timer(Timer5, "Timer5", kTimer5Ms, &TMainForm::Timer5Timer);
    timer(TimerMonitor, "TimerMonitor", kTimerMonitorMs, &TMainForm::TimerMonitorTimer);
    timer(Timer1, "Timer1", kTimer1Ms, &TMainForm::Timer1Timer);
    timer(Timer4, "Timer4", kTimer4Ms, &TMainForm::Timer4Timer);
}

}  // namespace zrd::app
