#include "tuning/ui/filter_form.h"

#include "core/ui/fresh_chart.h"
#include "core/ui/run_time_text.h"

#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QListView>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "core/number_text.h"

namespace zrd::tuning {
namespace {

constexpr std::array<const char*, 5> kTypeCaptions = {"Off", "Low-pass", "Band-stop",
                                                      "Equaliser cut", "Equaliser boost"};
// Type 0 has no drawing.
constexpr std::array<const char*, 5> kTypePictures = {"", "Filter_LPF.bmp", "Filter_BSF.bmp",
                                                      "Filter_EFC.bmp", "Filter_EFB.bmp"};
constexpr std::array<const char*, 5> kCoefficientCaptions = {"b0", "b1", "b2", "a1", "a2"};
constexpr int kPlotWidth = 560;
constexpr int kPictureMinWidth = 120;
constexpr int kPictureMinHeight = 80;
constexpr int kPlotHeight = 300;
constexpr double kPhaseLimitDeg = 180.0;
// Magnitude and phase as designed, then as quantised: each curve a colour of its own, which its
// square in the legend shows.
constexpr std::array<QRgb, 4> kFilterCurveColours = {0xFF1F4E9C, 0xFFC0392B, 0xFF2E9BD6,
                                                     0xFFE67E22};
constexpr int kFilterCurveWidthPx = 2;
// The widest number a field shows whole: sign, leading zero, point and 15 significant digits;
// the padding covers the field's frame and margins.
constexpr const char* kWidestFilterNumber = "-0.000000000000000";
constexpr int kFilterFieldPaddingPx = 14;

QString numberText(double v) {
    return QString::fromStdString(formatGeneral(v));
}

std::array<double*, 5> coefficientsOf(Biquad& q) {
    return {&q.b0, &q.b1, &q.b2, &q.a1, &q.a2};
}

QLineEdit* field(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(kWidestFilterNumber) +
                       kFilterFieldPaddingPx);
    return e;
}

}  // namespace

TFilter_Form::TFilter_Form(const FilterFormParts& parts, QWidget* parent)
    : QDialog(parent), m_parts(parts) {
    setObjectName("Filter_Form");
    setWindowTitle(kFilterCaption);
    askToWrite = [this](const QString& caption, const QString& text) {
        return QMessageBox::question(this, caption, text) == QMessageBox::Yes;
    };

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    for (int s = 1; s <= kFilterSlots; ++s)
        ComboBox1->addItem(QString("Filter %1").arg(s));
    // The drive has four slots; the window offers the first two.
    if (auto* list = qobject_cast<QListView*>(ComboBox1->view())) {
        for (int s = kVisibleFilterSlots; s < kFilterSlots; ++s)
            list->setRowHidden(s, true);
    }
    connect(ComboBox1, &QComboBox::activated, this, &TFilter_Form::ComboBox1Change);

    auto* types = new QButtonGroup(this);
    auto* typeBox = new QVBoxLayout;
    for (int t = 0; t < int(RadioType.size()); ++t) {
        RadioType[size_t(t)] = new QRadioButton(kTypeCaptions[size_t(t)], this);
        RadioType[size_t(t)]->setObjectName(QString("RadioButton%1").arg(t + 1));
        types->addButton(RadioType[size_t(t)], t);
        typeBox->addWidget(RadioType[size_t(t)]);
    }
    connect(types, &QButtonGroup::idClicked, this, &TFilter_Form::RadioTypeClick);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setAlignment(Qt::AlignCenter);
    // As large as the largest picture, whatever the type shows: the fields beside it stay put
    // and no picture is cut.
    QSize largest(kPictureMinWidth, kPictureMinHeight);
    for (const char* name : kTypePictures) {
        QPixmap picture;
        if (*name != '\0' && picture.load(QString::fromStdString(m_parts.dataFile(name))))
            largest = largest.expandedTo(picture.size());
    }
    Image1->setFixedSize(largest);

    auto* grid = new QGridLayout;
    Edit1 = field(this, "Edit1");
    Edit2 = field(this, "Edit2");
    Edit3 = field(this, "Edit3");
    grid->addWidget(new QLabel("Frequency, Hz", this), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(new QLabel("Q", this), 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(new QLabel("Gain, dB", this), 2, 0);
    grid->addWidget(Edit3, 2, 1);
    for (size_t i = 0; i < EditCoef.size(); ++i) {
        EditCoef[i] = field(this, QString("Edit%1").arg(i + 4).toLatin1().constData());
        grid->addWidget(new QLabel(kCoefficientCaptions[i], this), int(i), 2);
        grid->addWidget(EditCoef[i], int(i), 3);
    }

    Button5 = new QPushButton("Calculate", this);
    Button5->setObjectName("Button5");
    Button7 = new QPushButton("Write", this);
    Button7->setObjectName("Button7");
    Button1 = new QPushButton("Close", this);
    Button1->setObjectName("Button1");
    connect(Button5, &QPushButton::clicked, this, &TFilter_Form::Button5Click);
    connect(Button7, &QPushButton::clicked, this, &TFilter_Form::Button7Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
    Label10 = new QLabel(this);
    Label10->setObjectName("Label10");
    Label10->setWordWrap(true);

    auto* chart = new QChart;
    chart->setTitle("Response as designed and as quantised");
    Chart1 = new QChartView(chart, this);
    Chart1->setObjectName("Chart1");
    Chart1->setRenderHint(QPainter::Antialiasing);
    Chart1->setMinimumSize(kPlotWidth, kPlotHeight);

    auto* top = new QHBoxLayout;
    top->addWidget(ComboBox1);
    top->addLayout(typeBox);
    top->addWidget(Image1);
    top->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Label10, 1);
    buttons->addWidget(Button5);
    buttons->addWidget(Button7);
    buttons->addWidget(Button1);
    auto* root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(Chart1, 1);
    root->addLayout(buttons);
}

int TFilter_Form::slot() const {
    return ComboBox1->currentIndex() + 1;
}

void TFilter_Form::showModal() {
    // A design calculated here and not yet written is kept when the window opens again; it is
    // the slot's values otherwise.
    if (!m_calc)
        ComboBox1Change();
    open();
}

void TFilter_Form::presetBandStop(double frequencyHz) {
    m_calc.reset();
    Label10->clear();
    Chart1->chart()->removeAllSeries();
    FilterFields fields;
    fields.type = FilterType::BandStop;
    fields.frequency = frequencyHz;
    showFields(fields);
    open();
}

void TFilter_Form::ComboBox1Change() {
    m_calc.reset();
    Label10->clear();
    Chart1->chart()->removeAllSeries();
    showFields(loadFilterSlot(m_parts.model, slot()));
}

void TFilter_Form::RadioTypeClick(int type) {
    FilterFields fields = fieldsShown();
    fields.type = static_cast<FilterType>(type);
    if (fields.type == FilterType::Off)
        fields.coefficients = Biquad{};
    showFields(fields);
}

void TFilter_Form::showFields(const FilterFields& fields) {
    m_fields = fields;
    RadioType[size_t(fields.type)]->setChecked(true);
    Edit1->setText(numberText(fields.frequency));
    Edit2->setText(numberText(fields.quality));
    Edit3->setText(numberText(fields.gainDb));
    Biquad q = fields.coefficients;
    const auto c = coefficientsOf(q);
    for (size_t i = 0; i < EditCoef.size(); ++i)
        EditCoef[i]->setText(numberText(*c[i]));
    showPicture(fields.type);
}

FilterFields TFilter_Form::fieldsShown() const {
    // A field that does not read as a number keeps the value it was shown with.
    FilterFields f = m_fields;
    const auto read = [](const QLineEdit* e, double& into) {
        if (const auto v = parseNumber(e->text().toStdString()))
            into = *v;
    };
    read(Edit1, f.frequency);
    read(Edit2, f.quality);
    read(Edit3, f.gainDb);
    const auto c = coefficientsOf(f.coefficients);
    for (size_t i = 0; i < EditCoef.size(); ++i)
        read(EditCoef[i], *c[i]);
    return f;
}

void TFilter_Form::showPicture(FilterType type) {
    const std::string name = kTypePictures[size_t(type)];
    Image1->clear();
    if (name.empty())
        return;
    const std::string path = m_parts.dataFile(name);
    QPixmap picture;
    if (!picture.load(QString::fromStdString(path))) {
        say("The picture file " + path + " cannot be opened.");
        return;
    }
    Image1->setPixmap(picture);
}

void TFilter_Form::Button5Click() {
    const FilterFields shown = fieldsShown();
    m_calc = calculateFilter(inputsOf(shown), coefficientFactors(m_parts.model, slot()));
    if (!m_calc) {
        ui::showText(Label10,
                     [] { return ui::translated("Nothing computed: check Q and the frequency."); });
        return;
    }
    FilterFields fields = shown;
    fields.coefficients = m_calc->quantised;
    showFields(fields);
    ui::showText(Label10, [corrected = m_calc->dcCorrected, stable = m_calc->stable] {
        QStringList note;
        if (corrected)
            note.append(ui::translated("a1 corrected for unit gain at 0 Hz."));
        if (!stable)
            note.append(ui::translated(
                "Unstable after quantisation: a pole lies on or outside the unit circle."));
        return note.join(' ');
    });
    plot(*m_calc);
}

void TFilter_Form::plot(const FilterCalculation& calc) {
    QChart* chart = ui::freshChart(Chart1);
    auto* frequency = new QLogValueAxis;
    frequency->setTitleText(ui::translated("Hz"));
    frequency->setLabelFormat("%g");
    auto* magnitude = new QValueAxis;
    magnitude->setTitleText(ui::translated("dB"));
    auto* phase = new QValueAxis;
    phase->setTitleText(ui::translated("degrees"));
    phase->setRange(-kPhaseLimitDeg, kPhaseLimitDeg);
    chart->addAxis(frequency, Qt::AlignBottom);
    chart->addAxis(magnitude, Qt::AlignLeft);
    chart->addAxis(phase, Qt::AlignRight);
    double low = 0;
    double high = 0;
    size_t curve = 0;
    const auto colour = [&](QLineSeries* series, Qt::PenStyle style) {
        QPen pen(QColor::fromRgb(kFilterCurveColours.at(curve++)), kFilterCurveWidthPx);
        pen.setStyle(style);
        series->setPen(pen);
        // The legend's square takes the series' brush, which a line series never paints with.
        for (QLegendMarker* marker : chart->legend()->markers(series))
            marker->setBrush(pen.color());
    };
    const auto add = [&](const Biquad& q, const char* magnitudeName, const char* phaseName,
                         Qt::PenStyle style) {
        auto* mag = new QLineSeries;
        auto* ph = new QLineSeries;
        mag->setName(ui::translated(magnitudeName));
        ph->setName(ui::translated(phaseName));
        for (const ResponsePoint& p : responseCurve(q)) {
            mag->append(p.frequency, p.magnitudeDb);
            ph->append(p.frequency, p.phaseDeg);
            low = std::min(low, p.magnitudeDb);
            high = std::max(high, p.magnitudeDb);
        }
        for (QLineSeries* s : {mag, ph}) {
            chart->addSeries(s);
            s->attachAxis(frequency);
            colour(s, style);
        }
        mag->attachAxis(magnitude);
        ph->attachAxis(phase);
    };
    add(calc.designed, "designed |H|", "designed phase", Qt::SolidLine);
    add(calc.quantised, "quantised |H|", "quantised phase", Qt::DashLine);
    magnitude->setRange(low - 1, high + 1);
    // The legend and the axes in the language as it changes.
    ui::onLanguageChange(Chart1, "plot", [this] {
        if (m_calc)
            plot(*m_calc);
    });
}

void TFilter_Form::Button7Click() {
    const FilterFields fields = fieldsShown();
    if (m_calc && !m_calc->stable &&
        !askToWrite(kFilterCaption,
                    "The quantised filter is unstable: a pole lies on or outside the unit "
                    "circle. Write it all the same?"))
        return;
    // The nine parameters go one at a time: in between the drive runs a mix of old and new
    // coefficients, which may shake a running servo.
    if (m_parts.servoOn && m_parts.servoOn() &&
        !askToWrite(kFilterCaption,
                    "The servo is on. While the filter's parameters are written one by one the "
                    "drive may run an unstable mix of old and new coefficients. Switching the "
                    "servo off first is safer. Write now?"))
        return;
    const FilterWriteResult result =
        writeFilterSlot(m_parts.link, m_parts.access, m_parts.model, slot(), fields);
    if (!result.ran)
        return;
    ui::showText(Label10, [accepted = result.allAccepted()] {
        return ui::translated(accepted ? "Written." : "Not every parameter was accepted.");
    });
}

void TFilter_Form::say(const std::string& text) const {
    m_parts.messages.showText(m_parts.link.ui(), text, m_parts.model.language());
}

}  // namespace zrd::tuning
