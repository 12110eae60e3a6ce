#include "tuning/ui/wave_form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "core/ui/key_filter.h"
#include "core/ui/run_time_text.h"
#include "params/message_numbers.h"

namespace zrd::tuning {
namespace {

namespace pm = zrd::params;

constexpr int kCurrentMode = 1;
constexpr int kSpeedMode = 2;
constexpr int kPositionMode = 3;
constexpr int kFieldWidth = 90;
constexpr int kPictureWidth = 240;
constexpr int kPictureHeight = 120;

// The pictures of the signal types in the data folder.
const char* pictureOf(WaveType type) {
    switch (type) {
        case WaveType::Constant:
            return "cont.bmp";
        case WaveType::Square:
            return "pulse.bmp";
        case WaveType::Sine:
            return "sin.bmp";
        case WaveType::Chirp:
            return "varf.bmp";
    }
    return "cont.bmp";
}

// The chirp's own captions, in English and Russian.
struct ChirpTexts {
    const char* amplitude;
    const char* offset;
    const char* countsPerMs;
    const char* revPerMin;
};
constexpr ChirpTexts kChirpEnglish = {"A - Amplitude (-60 A +60 A)", "L - Offset (-60 A +60 A)",
                                      "Counts/millisesond", "Rev/min"};
constexpr ChirpTexts kChirpRussian = {"A - Амплитуда (-60 A +60 A)", "L - Смещение (-60 A +60 A)",
                                      "Имп/мсек", "Об/мин"};

QLineEdit* numberField(const char* name, const QString& text, ui::KeyFilter::Rule rule,
                       QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setFixedWidth(kFieldWidth);
    edit->installEventFilter(new ui::KeyFilter(std::move(rule), edit));
    return edit;
}

QLabel* label(const char* name, const char* text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QRadioButton* radio(const char* name, const char* text, QButtonGroup* group, QWidget* parent) {
    auto* b = new QRadioButton(text, parent);
    b->setObjectName(name);
    group->addButton(b);
    return b;
}

}  // namespace

TWave_Form::TWave_Form(const WaveFormParts& parts, QWidget* parent)
    : QDialog(parent), m_parts(parts) {
    setObjectName("Wave_Form");
    setWindowTitle(kWaveFormCaption);
    setModal(true);
    auto* root = new QVBoxLayout(this);

    auto* types = new QHBoxLayout;
    auto* typeGroup = new QButtonGroup(this);
    const auto typeButton = [&](const char* name, const char* caption) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(caption);
        b->setCheckable(true);
        b->setMinimumWidth(70);
        typeGroup->addButton(b);
        types->addWidget(b);
        return b;
    };
    SpeedButton4 = typeButton("SpeedButton4", "Constant");
    SpeedButton2 = typeButton("SpeedButton2", "Square");
    SpeedButton1 = typeButton("SpeedButton1", "Sine");
    SpeedButton3 = typeButton("SpeedButton3", "Chirp");
    types->addStretch();
    root->addLayout(types);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(kPictureWidth, kPictureHeight);
    Image1->setScaledContents(true);
    root->addWidget(Image1);

    // Amplitude and offset take a decimal point only in current mode; the times whole numbers.
    const ui::KeyFilter::Rule signedNumber = [this](QChar c) {
        return c.isDigit() || c == '-' || (c == '.' && m_parts.operatingMode == kCurrentMode);
    };
    const ui::KeyFilter::Rule digits = ui::KeyFilter::digitsAnd({});
    auto* grid = new QGridLayout;
    Label1 = label("Label1", "A - Amplitude", this);
    Label2 = label("Label2", "L - Offset", this);
    Label3 = label("Label3", "T - Period (2-2000)", this);
    Label4 = label("Label4", "Q - Positive widh (0-2000)", this);
    Label5 = label("Label5", "Repeat times (0-20000)", this);
    Edit1 = numberField("Edit1", "0", signedNumber, this);
    Edit2 = numberField("Edit2", "0", signedNumber, this);
    Edit3 = numberField("Edit3", "2", digits, this);
    Edit4 = numberField("Edit4", "0", digits, this);
    Edit5 = numberField("Edit5", "0", digits, this);
    const std::array<std::pair<QLabel*, QLineEdit*>, 5> rows = {
        {{Label1, Edit1}, {Label2, Edit2}, {Label3, Edit3}, {Label4, Edit4}, {Label5, Edit5}}};
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        grid->addWidget(rows.at(static_cast<size_t>(r)).first, r, 0);
        grid->addWidget(rows.at(static_cast<size_t>(r)).second, r, 1);
    }

    GroupBox2 = new QGroupBox(this);
    GroupBox2->setObjectName("GroupBox2");
    auto* amplitudeUnits = new QButtonGroup(this);
    RadioButton1 = radio("RadioButton1", "Rev/minute", amplitudeUnits, GroupBox2);
    RadioButton2 = radio("RadioButton2", "Counts/second", amplitudeUnits, GroupBox2);
    RadioButton1->setChecked(true);
    auto* unitColumn = new QVBoxLayout(GroupBox2);
    unitColumn->addWidget(RadioButton1);
    unitColumn->addWidget(RadioButton2);
    GroupBox3 = new QGroupBox(this);
    GroupBox3->setObjectName("GroupBox3");
    auto* timeUnits = new QButtonGroup(this);
    RadioButton3 = radio("RadioButton3", "millisecond", timeUnits, GroupBox3);
    RadioButton4 = radio("RadioButton4", "second", timeUnits, GroupBox3);
    RadioButton5 = radio("RadioButton5", "minute", timeUnits, GroupBox3);
    RadioButton3->setChecked(true);
    auto* timeColumn = new QVBoxLayout(GroupBox3);
    for (QRadioButton* b : {RadioButton3, RadioButton4, RadioButton5})
        timeColumn->addWidget(b);
    grid->addWidget(GroupBox2, 0, 2, 2, 1);
    grid->addWidget(GroupBox3, 2, 2, 3, 1);
    root->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Button2 = new QPushButton("Write", this);
    Button2->setObjectName("Button2");
    Button1 = new QPushButton("Cancel", this);
    Button1->setObjectName("Button1");
    buttons->addWidget(Button2);
    buttons->addWidget(Button1);
    root->addLayout(buttons);

    connect(SpeedButton4, &QToolButton::clicked, this, &TWave_Form::SpeedButton4Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TWave_Form::SpeedButton2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TWave_Form::SpeedButton1Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TWave_Form::SpeedButton3Click);
    connect(Button2, &QPushButton::clicked, this, &TWave_Form::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TWave_Form::Button1Click);
    // The field captions are messages chosen by type and mode.
    ui::onLanguageChange(this, "layout", [this] { layOut(m_type); });
}

GeneratorMode TWave_Form::mode() const {
    // Internal commands ("INST" 0) drive the current loop: current units apply.
    const std::optional<int> inst = m_parts.model.find("INST");
    return {m_parts.operatingMode, inst && m_parts.model.value(*inst) == 0};
}

QString TWave_Form::message(int n) const {
    return QString::fromStdString(m_parts.messages.text(n, m_parts.model.language()));
}

QToolButton* TWave_Form::typeButton(WaveType type) const {
    switch (type) {
        case WaveType::Constant:
            return SpeedButton4;
        case WaveType::Square:
            return SpeedButton2;
        case WaveType::Sine:
            return SpeedButton1;
        case WaveType::Chirp:
            return SpeedButton3;
    }
    return SpeedButton4;
}

void TWave_Form::showModal() {
    FormActivate();
    open();
}

void TWave_Form::FormActivate() {
    const std::optional<int> iit = m_parts.model.find("IIT");
    (void)showType(waveTypeOfStored(iit ? m_parts.model.value(*iit) : 0.0));
}

void TWave_Form::SpeedButton4Click() {
    (void)showType(WaveType::Constant);
}

void TWave_Form::SpeedButton2Click() {
    (void)showType(WaveType::Square);
}

void TWave_Form::SpeedButton1Click() {
    (void)showType(WaveType::Sine);
}

void TWave_Form::SpeedButton3Click() {
    (void)showType(WaveType::Chirp);
}

bool TWave_Form::showType(WaveType type) {
    const std::string path = m_parts.dataFile(pictureOf(type));
    QPixmap picture;
    if (!picture.load(QString::fromStdString(path))) {
        m_parts.messages.showText(m_parts.link.ui(),
                                  "The picture file " + path + " cannot be opened.",
                                  m_parts.model.language());
        typeButton(m_type)->setChecked(true);
        return false;
    }
    Image1->setPixmap(picture);
    const std::optional<int> iit = m_parts.model.find("IIT");
    if (iit && waveTypeOfStored(m_parts.model.value(*iit)) == type) {
        showFields(loadWave(m_parts.model, type, mode()));
    } else if (type == WaveType::Chirp) {
        // Amplitude and offset stay as typed; the times start over.
        Edit3->setText("0");
        Edit4->setText("2");
    } else if (type != WaveType::Constant) {
        Edit3->setText("2");
        Edit4->setText("0");
    }
    m_type = type;
    typeButton(type)->setChecked(true);
    layOut(type);
    return true;
}

void TWave_Form::showFields(const WaveFields& fields) {
    Edit1->setText(QString::fromStdString(fields.amplitude));
    Edit2->setText(QString::fromStdString(fields.offset));
    Edit3->setText(QString::fromStdString(fields.period));
    Edit4->setText(QString::fromStdString(fields.width));
    Edit5->setText(QString::fromStdString(fields.repeat));
    (fields.units.amplitude == 1 ? RadioButton2 : RadioButton1)->setChecked(true);
    (fields.units.time == 1 ? RadioButton4 : RadioButton3)->setChecked(true);
}

void TWave_Form::layOut(WaveType type) {
    const GeneratorMode m = mode();
    const bool current = m.currentUnits();
    const bool position = m.operatingMode == kPositionMode;
    const bool chirp = type == WaveType::Chirp;
    const bool constant = type == WaveType::Constant;
    const ChirpTexts& chirpTexts = m_parts.model.english() ? kChirpEnglish : kChirpRussian;

    for (QWidget* w : {static_cast<QWidget*>(Label2), static_cast<QWidget*>(Edit2),
                       static_cast<QWidget*>(Label3), static_cast<QWidget*>(Edit3),
                       static_cast<QWidget*>(Label5), static_cast<QWidget*>(Edit5)})
        w->setVisible(!constant);
    const bool width = type == WaveType::Square || chirp;
    Label4->setVisible(width);
    Edit4->setVisible(width);
    GroupBox2->setVisible(!current);
    GroupBox3->setVisible(type == WaveType::Square || type == WaveType::Sine);

    if (current && chirp) {
        Label1->setText(chirpTexts.amplitude);
        Label2->setText(chirpTexts.offset);
    } else {
        Label1->setText(message(current ? pm::kMsgAmplitudeAmperes : pm::kMsgAmplitude));
        Label2->setText(message(current ? pm::kMsgOffsetAmperes : pm::kMsgOffset));
    }
    if (chirp)
        RadioButton1->setText(position ? chirpTexts.countsPerMs : chirpTexts.revPerMin);
    else
        RadioButton1->setText(message(position ? pm::kMsgCountsPerMs : pm::kMsgRevPerMinute));
    RadioButton2->setVisible(position);
    RadioButton4->setVisible(m.operatingMode != kCurrentMode && m.operatingMode != kSpeedMode);
    RadioButton5->setVisible(false);
    Label3->setText(message(chirp ? pm::kMsgChirpStart : pm::kMsgPeriod));
    Label4->setText(message(chirp ? pm::kMsgChirpEnd : pm::kMsgWidth));
    Label5->setText(message(pm::kMsgRepeat));
    // The chirp's units are fixed: all flags 0.
    if (chirp) {
        RadioButton1->setChecked(true);
        RadioButton3->setChecked(true);
    }
}

WaveFields TWave_Form::typedFields() const {
    WaveFields f;
    f.type = m_type;
    f.amplitude = Edit1->text().toStdString();
    f.offset = Edit2->text().toStdString();
    f.period = Edit3->text().toStdString();
    f.width = Edit4->text().toStdString();
    f.repeat = Edit5->text().toStdString();
    f.units.amplitude = RadioButton2->isChecked() ? 1 : 0;
    f.units.time = RadioButton4->isChecked() ? 1 : RadioButton5->isChecked() ? 2 : 0;
    return f;
}

void TWave_Form::Button2Click() {
    const WaveFields fields = typedFields();
    const std::variant<WavePlan, WaveRefusal> planned = planWave(fields, mode());
    if (const auto* refusal = std::get_if<WaveRefusal>(&planned)) {
        if (!refusal->badField.empty()) {
            const std::array<std::pair<const char*, const std::string*>, 5> texts = {
                {{"amplitude", &fields.amplitude},
                 {"offset", &fields.offset},
                 {"period", &fields.period},
                 {"width", &fields.width},
                 {"repeat", &fields.repeat}}};
            std::string text;
            for (const auto& [name, value] : texts) {
                if (refusal->badField == name)
                    text = *value;
            }
            // The general error report tells it; nothing was written.
            throw std::invalid_argument("'" + text + "' is not a valid number.");
        }
        if (refusal->correctedAmplitude)
            Edit1->setText(QString::fromStdString(*refusal->correctedAmplitude));
        m_parts.messages.show(m_parts.link.ui(), refusal->message, m_parts.model.language());
        return;
    }
    const CommandOutcome outcome = writeWave(m_parts.link, m_parts.access, m_parts.model,
                                             m_parts.messages, std::get<WavePlan>(planned));
    // A chirp command that could not be sent leaves the window open for another try.
    if (outcome == CommandOutcome::NotWritten)
        return;
    accept();
}

void TWave_Form::Button1Click() {
    reject();
}

void TWave_Form::done(int result) {
    QDialog::done(result);
    if (m_parts.closed)
        m_parts.closed();
}

}  // namespace zrd::tuning
