#include "scope/ui/trace_viewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "core/ui/settings_file.h"
#include "params/message_numbers.h"
#include "scope/ui/information.h"

namespace zrd::scope {
namespace {

constexpr int kBottomRowHeight = 40;
constexpr int kOnlineScrollPanelWidth = 450;
constexpr int kOfflineScrollPanelWidth = 470;
constexpr int kZoomPanelWidth = 390;
constexpr int kAnalysisButtonInset = 102;
constexpr int kBitColumns = 4;
constexpr QRgb kCursorColour = 0xFF808000;  // olive
// The axes' texts and tick marks on the strip; each channel's value axis has a column of its own.
constexpr int kAxisFontPx = 10;
constexpr int kAxisTickPx = 5;
constexpr int kAxisMarginPx = 2;
constexpr int kValueAxisColumnPx = 64;
constexpr int kOptionRowPx = 18;
constexpr int kOptionsPanelWidth = 320;
constexpr int kOptionsButtonWidth = 56;

struct NamedColour {
    const char* name;
    QRgb rgb;
};
// The colour boxes offer the sixteen standard colours.
constexpr std::array<NamedColour, 16> kColourChoices = {{
    {"Black", 0xFF000000},
    {"Maroon", 0xFF800000},
    {"Green", 0xFF008000},
    {"Olive", 0xFF808000},
    {"Navy", 0xFF000080},
    {"Purple", 0xFF800080},
    {"Teal", 0xFF008080},
    {"Gray", 0xFF808080},
    {"Silver", 0xFFC0C0C0},
    {"Red", 0xFFFF0000},
    {"Lime", 0xFF00FF00},
    {"Yellow", 0xFFFFFF00},
    {"Blue", 0xFF0000FF},
    {"Fuchsia", 0xFFFF00FF},
    {"Aqua", 0xFF00FFFF},
    {"White", 0xFFFFFFFF},
}};
// Red, blue, magenta, lime: channels 1..4 as each activation starts them.
constexpr std::array<QRgb, kChannelCount> kDefaultColours = {0xFFFF0000, 0xFF0000FF, 0xFFFF00FF,
                                                             0xFF00FF00};

QString name(const char* prefix, int number) {
    return QString(prefix) + QString::number(number);
}

QIcon swatchIcon(QRgb rgb) {
    QPixmap pixmap(12, 12);
    pixmap.fill(QColor::fromRgb(rgb));
    return QIcon(pixmap);
}

void fill(QFrame* swatch, const QColor& colour) {
    swatch->setStyleSheet(
        QString("background-color: %1; border: 1px solid black;").arg(colour.name()));
}

QLine toLine(const PixelLine& line) {
    return {line.from.x, line.from.y, line.to.x, line.to.y};
}

}  // namespace

TPaintBox::TPaintBox(const QImage& image, QWidget* parent) : QWidget(parent), m_image(image) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->position().toPoint().x());
}

TTraceViewer::TTraceViewer(ViewerKind kind, const ViewerParts& parts, QWidget* parent)
    : QDialog(parent),
      m_parts(parts),
      m_view(kind, viewerLayout(1024, 768)),
      m_openPicture([](const QString& path) {
          return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
      }) {
    setWindowModality(Qt::ApplicationModal);
    const int channels = m_view.config().channels;
    for (int c = 1; c <= channels; ++c)
        buildChannel(c);

    m_plotPanel = new QFrame(this);
    PaintBox14 = new TPaintBox(m_composite, m_plotPanel);
    PaintBox14->setObjectName("PaintBox14");
    connect(PaintBox14, &TPaintBox::mouseMoved, this, &TTraceViewer::PaintBox14MouseMove);
    buildBottomRow();

    Information = new TInformation(parts.oscillogram, this);
    // The viewer shows again what the dialog covered.
    connect(Information, &QDialog::finished, PaintBox14, qOverload<>(&QWidget::update));

    // "P" prints wherever the focus is in the viewer.
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->window() == this)
            child->installEventFilter(this);
    }
    resetColours();
    const QScreen* screen = QGuiApplication::primaryScreen();
    layOut(screen != nullptr ? screen->geometry().size() : QSize(1024, 768));
}

TTraceViewer::~TTraceViewer() = default;

void TTraceViewer::buildChannel(int c) {
    const auto i = static_cast<size_t>(c - 1);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    m_channelPanels.at(i) = panel;

    QLabel* caption = new QLabel(QString(kNoChannel.data()), panel);
    caption->setObjectName(name("Osc_A_ch", c - 1));
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    caption->setGeometry(4, 2, 160, 18);
    Osc_A_ch.at(i) = caption;

    QComboBox* colours = new QComboBox(panel);
    colours->setObjectName(name("ColorBox", c));
    for (const NamedColour& colour : kColourChoices)
        colours->addItem(swatchIcon(colour.rgb), colour.name, QVariant::fromValue(colour.rgb));
    colours->setGeometry(4, 22, 110, 22);
    connect(colours, &QComboBox::activated, this, [this, c] { ColorBoxChange(c); });
    ColorBox.at(i) = colours;
    QFrame* swatch = new QFrame(panel);
    swatch->setObjectName(name("Shape", c));
    swatch->setGeometry(120, 23, 20, 20);
    Swatch.at(i) = swatch;

    QCheckBox* visible = new QCheckBox(name("Visible", c), panel);
    visible->setObjectName(name("CheckBox", c));
    visible->setChecked(true);
    visible->setGeometry(4, 48, 90, 20);
    connect(visible, &QCheckBox::clicked, this, [this, c] { VisibleClick(c); });
    VisibleBox.at(i) = visible;

    QLineEdit* value = new QLineEdit(panel);
    value->setObjectName(name("Edit", c));
    value->setReadOnly(true);
    value->setAlignment(Qt::AlignRight);
    value->setGeometry(4, 70, 100, 22);
    ValueField.at(i) = value;
    QLabel* unit = new QLabel(panel);
    unit->setObjectName(name("Label", c + 2));
    unit->setGeometry(108, 72, 56, 18);
    UnitLabel.at(i) = unit;

    QGroupBox* group = new QGroupBox("Bits", panel);
    group->setObjectName(name("GroupBox", c));
    group->setGeometry(2, 94, 164, 16 + 4 * 18 + 28);
    group->hide();
    GroupBox.at(i) = group;
    for (int k = 0; k < kBitsPerWord; ++k) {
        QRadioButton* bit = new QRadioButton(QString::number(k), group);
        bit->setObjectName(QString("V%1_b%2").arg(c).arg(k));
        bit->setGeometry(6 + (k % kBitColumns) * 39, 16 + (k / kBitColumns) * 18, 38, 18);
        connect(bit, &QRadioButton::clicked, this, [this, c, k] { BitClick(c, k); });
        BitButton.at(i).at(static_cast<size_t>(k)) = bit;
    }
    QPushButton* clear = new QPushButton("Clear", group);
    clear->setObjectName(name("BitBtn", c + 2));
    clear->setGeometry(6, 16 + 4 * 18 + 2, 60, 24);
    connect(clear, &QPushButton::clicked, this, [this, c] { ClearClick(c); });
    ClearButton.at(i) = clear;
}

void TTraceViewer::buildBottomRow() {
    m_infoPanel = new QFrame(this);
    Button1 = new QPushButton("Information", m_infoPanel);
    Button1->setObjectName("Button1");
    Button1->setGeometry(4, 7, 84, 26);
    connect(Button1, &QPushButton::clicked, this, &TTraceViewer::Button1Click);
    Button2 = new QPushButton("Exit", m_infoPanel);
    Button2->setObjectName("Button2");
    Button2->setGeometry(92, 7, 72, 26);
    connect(Button2, &QPushButton::clicked, this, &TTraceViewer::Button2Click);

    m_scrollPanel = new QFrame(this);
    const int scrollWidth =
        m_view.kind() == ViewerKind::Online ? kOnlineScrollPanelWidth : kOfflineScrollPanelWidth;
    BitBtn1 = new QPushButton("|<", m_scrollPanel);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(4, 8, 30, 24);
    connect(BitBtn1, &QPushButton::clicked, this, &TTraceViewer::BitBtn1Click);
    ScrollBar1 = new QScrollBar(Qt::Horizontal, m_scrollPanel);
    ScrollBar1->setObjectName("ScrollBar1");
    ScrollBar1->setGeometry(38, 10, scrollWidth - 76, 20);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TTraceViewer::ScrollBar1Change);
    BitBtn2 = new QPushButton(">|", m_scrollPanel);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(scrollWidth - 34, 8, 30, 24);
    connect(BitBtn2, &QPushButton::clicked, this, &TTraceViewer::BitBtn2Click);

    m_zoomPanel = new QFrame(this);
    auto* zoomCaption = new QLabel("Scale", m_zoomPanel);
    zoomCaption->setGeometry(4, 12, 36, 16);
    ScaleCh = new QSlider(Qt::Horizontal, m_zoomPanel);
    ScaleCh->setObjectName("ScaleCh");
    ScaleCh->setRange(0, kMaxScalePosition);
    ScaleCh->setPageStep(1);
    ScaleCh->setTickPosition(QSlider::TicksBelow);
    ScaleCh->setGeometry(40, 8, 110, 26);
    connect(ScaleCh, &QSlider::valueChanged, this, &TTraceViewer::ScaleChChange);
    Edit9 = new QLineEdit(m_zoomPanel);
    Edit9->setObjectName("Edit9");
    Edit9->setReadOnly(true);
    Edit9->setGeometry(154, 9, 44, 22);
    Edit6 = new QLineEdit(m_zoomPanel);
    Edit6->setObjectName("Edit6");
    Edit6->setReadOnly(true);
    Edit6->setGeometry(204, 9, 120, 22);
    GridBox = new QCheckBox("Grid", m_zoomPanel);
    GridBox->setObjectName(m_view.kind() == ViewerKind::Online ? "CheckBox3" : "CheckBox5");
    GridBox->setChecked(true);
    GridBox->setGeometry(330, 10, 56, 20);
    connect(GridBox, &QCheckBox::clicked, this, &TTraceViewer::GridClick);
    buildOptions();

    Button4 = new QPushButton("&Print", this);
    Button4->setObjectName("Button4");
    connect(Button4, &QPushButton::clicked, this, &TTraceViewer::Button4Click);
    Button3 = new QPushButton("AFR and PFR", this);
    Button3->setObjectName("Button3");
    connect(Button3, &QPushButton::clicked, this, &TTraceViewer::Button3Click);
}

void TTraceViewer::buildOptions() {
    // The options open over the plot's lower right corner: the bottom row keeps its place.
    OptionsButton = new QToolButton(this);
    OptionsButton->setObjectName("OptionsButton");
    OptionsButton->setText("Options");
    OptionsButton->setCheckable(true);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    m_optionsPanel = panel;
    m_optionsPanel->hide();
    connect(OptionsButton, &QToolButton::toggled, m_optionsPanel, [this](bool shown) {
        m_optionsPanel->setVisible(shown);
        m_optionsPanel->raise();
    });
    AxesBox = new QCheckBox("Axes", m_optionsPanel);
    AxesBox->setObjectName("AxesBox");
    AxesBox->setChecked(true);
    connect(AxesBox, &QCheckBox::clicked, this, &TTraceViewer::GridClick);
    SharedScaleBox = new QCheckBox("One scale for signals of the same unit", m_optionsPanel);
    SharedScaleBox->setObjectName("SharedScaleBox");
    connect(SharedScaleBox, &QCheckBox::clicked, this, &TTraceViewer::SharedScaleClick);
    BesideBox = new QCheckBox("Keep the viewer open beside the program", m_optionsPanel);
    BesideBox->setObjectName("BesideBox");
    connect(BesideBox, &QCheckBox::clicked, this, &TTraceViewer::BesideClick);
    int row = 0;
    for (QCheckBox* option : {AxesBox, SharedScaleBox, BesideBox})
        option->setGeometry(6, 4 + kOptionRowPx * row++, kOptionsPanelWidth - 12, kOptionRowPx);
    readOptions();
}

void TTraceViewer::readOptions() {
    if (!m_parts.settings)
        return;
    SharedScaleBox->setChecked(m_parts.settings->sharedScale());
    BesideBox->setChecked(m_parts.settings->viewerBeside());
    m_view.setSharedScale(SharedScaleBox->isChecked());
}

void TTraceViewer::layOut(QSize screen) {
    const ViewerLayout layout = viewerLayout(screen.width(), screen.height());
    m_view.setLayout(layout);
    const int w = layout.width;
    const int h = layout.height;
    const int bottom = h - 80;
    move(1, 1);
    setFixedSize(w, h);

    // The channel column: two or four panels over the height above the bottom row.
    const int channels = m_view.config().channels;
    const int share = static_cast<int>(std::lround(bottom / static_cast<double>(channels)));
    for (int c = 1; c <= channels; ++c) {
        const int top = c == 1 ? 1 : share * (c - 1) + 2;
        m_channelPanels.at(static_cast<size_t>(c - 1))
            ->setGeometry(1, top, kChannelColumnWidth - 2, share - 1);
    }
    m_infoPanel->setGeometry(1, bottom, kChannelColumnWidth - 2, kBottomRowHeight);
    m_plotPanel->setGeometry(kChannelColumnWidth, 1, layout.stripWidth(), bottom);
    PaintBox14->setGeometry(2, 1, layout.paintBoxWidth(), layout.paintBoxHeight());
    const int scrollWidth =
        m_view.kind() == ViewerKind::Online ? kOnlineScrollPanelWidth : kOfflineScrollPanelWidth;
    m_scrollPanel->setGeometry(kChannelColumnWidth, bottom, scrollWidth, kBottomRowHeight);
    m_zoomPanel->setGeometry(kChannelColumnWidth + scrollWidth, bottom, kZoomPanelWidth,
                             kBottomRowHeight);
    const int analysisX = kChannelColumnWidth + layout.stripWidth() - kAnalysisButtonInset;
    Button3->setGeometry(analysisX, bottom + 7, 96, 26);
    Button4->setGeometry(analysisX - 84, bottom + 7, 78, 26);
    // "Options" sits between the zoom panel and "Print", its panel above it over the plot.
    const int optionsX = kChannelColumnWidth + scrollWidth + kZoomPanelWidth + 4;
    OptionsButton->setGeometry(optionsX, bottom + 7, kOptionsButtonWidth, 26);
    const int panelHeight = 8 + 3 * kOptionRowPx;
    m_optionsPanel->setGeometry(std::min(optionsX, w - kOptionsPanelWidth - 2),
                                bottom - panelHeight, kOptionsPanelWidth, panelHeight);

    m_strip = QImage(layout.stripWidth(), layout.stripHeight(), QImage::Format_RGB32);
    m_composite = QImage(layout.stripWidth(), layout.compositeHeight(), QImage::Format_RGB32);
    m_view.setScale(ScaleCh->value());
    ScaleChChange(ScaleCh->value());
}

void TTraceViewer::setBitGroup(int channel,
                               const std::optional<std::array<std::string, kBitsPerWord>>& hints) {
    if (channel < 1 || channel > m_view.config().channels)
        return;
    const auto i = static_cast<size_t>(channel - 1);
    m_view.setBitGroup(channel, hints.has_value());
    GroupBox.at(i)->setVisible(hints.has_value());
    if (!hints)
        return;
    for (int k = 0; k < kBitsPerWord; ++k) {
        const auto bit = static_cast<size_t>(k);
        BitButton.at(i).at(bit)->setToolTip(QString::fromStdString(hints->at(bit)));
    }
}

QColor TTraceViewer::channelColour(int channel) const {
    return m_colours.at(static_cast<size_t>(channel - 1));
}

QString TTraceViewer::message(int n) const {
    return QString::fromStdString(m_parts.messages.text(n, m_parts.model.language()));
}

void TTraceViewer::showViewer() {
    for (int c = 1; c <= m_view.config().channels; ++c)
        deselectBits(c);
    m_closing = false;
    readOptions();
    applyPlacement();
    FormActivate();
    show();
    raise();
    activateWindow();
}

void TTraceViewer::applyPlacement() {
    const bool beside = BesideBox->isChecked();
    // A normal window lets the pages be edited while the record stays on screen.
    setWindowFlag(Qt::Dialog, !beside);
    setWindowFlag(Qt::Window, true);
    setWindowModality(beside ? Qt::NonModal : Qt::ApplicationModal);
}

void TTraceViewer::FormActivate() {
    Oscillogram& o = m_parts.oscillogram;
    m_view.activate(o, ScaleCh->value());
    for (int c = 1; c <= m_view.config().channels; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        Osc_A_ch.at(i)->setText(QString::fromStdString(o.channel(c).name));
        UnitLabel.at(i)->setText(QString::fromStdString(o.channel(c).unit));
        ValueField.at(i)->setVisible(VisibleBox.at(i)->isChecked());
        m_view.setVisible(c, VisibleBox.at(i)->isChecked());
    }
    resetColours();
    ScaleChChange(ScaleCh->value());
}

void TTraceViewer::resetColours() {
    for (int c = 1; c <= m_view.config().channels; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        QRgb rgb = kDefaultColours.at(i);
        // A remembered colour counts when the box offers it.
        if (m_parts.settings) {
            const QRgb remembered =
                m_parts.settings->channelColour(settingsName(), c, QColor::fromRgb(rgb)).rgb();
            if (ColorBox.at(i)->findData(QVariant::fromValue(remembered)) >= 0)
                rgb = remembered;
        }
        m_colours.at(i) = QColor::fromRgb(rgb);
        ColorBox.at(i)->setCurrentIndex(ColorBox.at(i)->findData(QVariant::fromValue(rgb)));
        fill(Swatch.at(i), m_colours.at(i));
    }
}

QString TTraceViewer::settingsName() const {
    return m_view.kind() == ViewerKind::Online ? "online" : "offline";
}

void TTraceViewer::DrawOscill() {
    const ViewerLayout& layout = m_view.layout();
    const int width = m_strip.width();
    const int height = m_strip.height();
    const int y0 = layout.centre();
    m_strip.fill(Qt::white);
    QPainter painter(&m_strip);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLine(0, y0, width, y0);

    if (m_view.config().triggerMarker && m_view.triggerSample()) {
        for (const PixelLine& line :
             triggerMarker(*m_view.triggerSample(), m_view.scroll(), m_view.scale(), height))
            painter.drawLine(toLine(line));
    }

    // Channels in order, so that later ones lie on top; one polyline each.
    for (int c = 1; c <= m_view.config().channels; ++c) {
        if (!m_view.visible(c))
            continue;
        const std::vector<PixelPoint>& points = m_view.polyline(m_parts.oscillogram, c);
        if (points.size() < 2)
            continue;
        m_polyline.resize(static_cast<qsizetype>(points.size()));
        QPoint* out = m_polyline.data();
        for (const PixelPoint& p : points)
            *out++ = QPoint(p.x, p.y);
        painter.setPen(QPen(channelColour(c), 0));
        painter.drawPolyline(m_polyline.constData(), static_cast<int>(m_polyline.size()));
    }

    if (GridBox->isChecked()) {
        const auto lines = gridLines(width, height);
        std::array<QLine, lines.size()> grid{};
        for (size_t k = 0; k < lines.size(); ++k)
            grid.at(k) = toLine(lines.at(k));
        painter.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), 0));
        painter.drawLines(grid.data(), static_cast<int>(grid.size()));
    }
    if (AxesBox->isChecked())
        drawAxes(painter);
}

void TTraceViewer::drawAxes(QPainter& painter) {
    QFont font = painter.font();
    font.setPixelSize(kAxisFontPx);
    painter.setFont(font);
    const int ascent = QFontMetrics(font).ascent();
    // Channels sharing one scale have one axis: it is drawn once, in the first one's colour.
    std::vector<std::pair<std::string, std::vector<AxisTick>>> drawn;
    for (int c = 1; c <= m_view.config().channels; ++c) {
        if (!m_view.visible(c))
            continue;
        std::pair axis(m_parts.oscillogram.channel(c).unit, m_view.valueAxis(c));
        if (std::find(drawn.begin(), drawn.end(), axis) != drawn.end())
            continue;
        const int x = kAxisMarginPx + static_cast<int>(drawn.size()) * kValueAxisColumnPx;
        painter.setPen(QPen(channelColour(c), 0));
        // The unit follows the topmost number.
        QString unit = axis.first.empty() ? QString() : " " + QString::fromStdString(axis.first);
        for (const AxisTick& tick : axis.second) {
            painter.drawLine(x, tick.pixel, x + kAxisTickPx, tick.pixel);
            painter.drawText(x + kAxisTickPx + kAxisMarginPx, tick.pixel + ascent / 2,
                             QString::fromStdString(tick.label) + unit);
            unit.clear();
        }
        drawn.push_back(std::move(axis));
    }
    const int bottom = m_strip.height() - 1;
    painter.setPen(QPen(Qt::black, 0));
    for (const AxisTick& tick : m_view.timeAxis(m_parts.oscillogram.header.tick)) {
        painter.drawLine(tick.pixel, bottom - kAxisTickPx, tick.pixel, bottom);
        painter.drawText(tick.pixel + kAxisMarginPx, bottom - kAxisTickPx - kAxisMarginPx,
                         QString::fromStdString(tick.label));
    }
}

void TTraceViewer::DrawGraph() {
    m_composite.fill(Qt::black);
    QPainter painter(&m_composite);
    painter.drawImage(0, 1, m_strip);
    painter.setPen(QPen(QColor::fromRgb(kCursorColour), 0));
    const int x = m_view.cursorColumn();
    painter.drawLine(x, 0, x, m_composite.height());
    painter.end();
    PaintBox14->update();
}

void TTraceViewer::redraw() {
    DrawOscill();
    DrawGraph();
}

void TTraceViewer::ScrollBar1Change(int position) {
    m_view.setScroll(position);
    redraw();
}

void TTraceViewer::ScaleChChange(int position) {
    m_view.setScale(position);
    Edit9->setText(QString::fromStdString(fixedText(m_view.scale(), 1)));
    {
        // One redraw for the new zoom, not one per scroll bar change on the way.
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setMaximum(m_view.scrollMaximum());
        const int shown = truncPixel(m_view.layout().stripWidth() / m_view.scale());
        ScrollBar1->setPageStep(std::max(1, shown));
        ScrollBar1->setSingleStep(std::max(1, shown / 10));
        ScrollBar1->setValue(m_view.scroll());
    }
    redraw();
}

void TTraceViewer::PaintBox14MouseMove(int x) {
    const CursorReadout readout = m_view.moveCursor(x, m_parts.oscillogram);
    for (int c = 1; c <= m_view.config().channels; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        ValueField.at(i)->setText(QString::fromStdString(readout.values.at(i)));
    }
    Edit6->setText(QString::fromStdString(readout.time));
    // The traces stay as they are: only the cursor moves.
    DrawGraph();
}

void TTraceViewer::BitClick(int channel, int bit) {
    m_view.selectBit(m_parts.oscillogram, channel, bit);
    redraw();
}

void TTraceViewer::ClearClick(int channel) {
    deselectBits(channel);
    m_view.clearBit(m_parts.oscillogram, channel);
    redraw();
}

void TTraceViewer::deselectBits(int channel) {
    for (QRadioButton* bit : BitButton.at(static_cast<size_t>(channel - 1))) {
        // A checked radio button of a group only unchecks outside the group's rule.
        bit->setAutoExclusive(false);
        bit->setChecked(false);
        bit->setAutoExclusive(true);
    }
}

void TTraceViewer::ColorBoxChange(int channel) {
    const auto i = static_cast<size_t>(channel - 1);
    m_colours.at(i) = QColor::fromRgb(ColorBox.at(i)->currentData().value<QRgb>());
    if (m_parts.settings)
        m_parts.settings->setChannelColour(settingsName(), channel, m_colours.at(i));
    fill(Swatch.at(i), m_colours.at(i));
    redraw();
}

void TTraceViewer::VisibleClick(int channel) {
    const auto i = static_cast<size_t>(channel - 1);
    const bool shown = VisibleBox.at(i)->isChecked();
    ValueField.at(i)->setVisible(shown);
    m_view.setVisible(channel, shown);
    redraw();
}

void TTraceViewer::GridClick() {
    redraw();
}

void TTraceViewer::SharedScaleClick() {
    if (m_parts.settings)
        m_parts.settings->setSharedScale(SharedScaleBox->isChecked());
    m_view.setSharedScale(SharedScaleBox->isChecked());
    redraw();
}

void TTraceViewer::BesideClick() {
    if (m_parts.settings)
        m_parts.settings->setViewerBeside(BesideBox->isChecked());
    if (!isVisible())
        return;
    // Flags and modality take effect when the window shows again; closing would restore the
    // buffer, hiding keeps the viewer as it is.
    hide();
    applyPlacement();
    show();
    raise();
    activateWindow();
}

void TTraceViewer::BitBtn1Click() {
    ScrollBar1->setValue(ScrollBar1->minimum());
    ScrollBar1->setFocus();
}

void TTraceViewer::BitBtn2Click() {
    ScrollBar1->setValue(ScrollBar1->maximum());
    ScrollBar1->setFocus();
}

void TTraceViewer::Button1Click() {
    Information->showInformation();
}

void TTraceViewer::Button2Click() {
    close();
    emit exited();
}

void TTraceViewer::Button3Click() {
    const std::string& language = m_parts.model.language();
    if (m_view.kind() == ViewerKind::Online) {
        const auto typed =
            m_parts.ui.askText(m_parts.messages.text(params::kMsgCaption, language),
                               m_parts.messages.text(params::kMsgAnalysisStartPrompt, language),
                               std::to_string(kDefaultAnalysisStart));
        if (!typed)
            return;
        const std::optional<int> start = parseAnalysisStart(*typed);
        if (!start) {
            m_parts.messages.show(m_parts.ui, params::kMsgAnalysisStartRange, language);
            return;
        }
        // The analysis takes measured values: a bit view of channel 1 or 2 ends here.
        for (int c = 1; c <= kOnlineChannelCount; ++c) {
            if (m_view.selectedBit(c) != kNoBit)
                deselectBits(c);
        }
        m_view.prepareAnalysis(m_parts.oscillogram, *start);
    }
    if (m_frequencyResponse) {
        m_frequencyResponse(m_view.config().channels);
    } else {
        // Nothing will analyse the prepared samples: the buffer gets its measured values back.
        if (m_view.kind() == ViewerKind::Online) {
            for (int slot = 0; slot < kOnlineChannelCount; ++slot)
                m_parts.oscillogram.buffer.copySlot(m_parts.oscillogram.backup, slot);
        }
        m_parts.messages.show(m_parts.ui, params::kMsgNoFrequencyResponse, language);
    }
    redraw();
}

namespace {

// Beside the oscillogram's file when there is one, else in the pictures or the home folder.
QString picturePath(const std::string& file, const QString& name) {
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QStringList folders;
    QString base = name;
    if (!file.empty()) {
        const QFileInfo info(QString::fromStdString(file));
        folders << info.absolutePath();
        base = info.completeBaseName() + (name == kPictureName ? QString() : "-" + name);
    }
    folders << QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)
            << QDir::homePath();
    for (const QString& folder : folders) {
        if (folder.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
            continue;
        return QDir(folder).filePath(base + "-" + stamp + ".png");
    }
    return QDir::home().filePath(base + "-" + stamp + ".png");
}

}  // namespace

QString printPicture(const QPixmap& picture, const PrintPlace& place) {
    QGuiApplication::clipboard()->setPixmap(picture);
    const QString path = picturePath(place.oscillogramFile, place.name);
    const std::string& language = place.model.language();
    const auto text = [&](int n) {
        return QString::fromStdString(place.messages.text(n, language));
    };
    if (!picture.save(path, "PNG")) {
        place.messages.showText(place.ui, (text(params::kMsgPictureNotSaved) + path).toStdString(),
                                language);
        return {};
    }
    if (place.open)
        (void)place.open(path);
    place.messages.showText(place.ui, (text(params::kMsgPictureSaved) + path).toStdString(),
                            language);
    return path;
}

void TTraceViewer::Button4Click() {
    raise();
    activateWindow();
    (void)printPicture(grab(), {m_parts.messages, m_parts.model, m_parts.ui, m_openPicture,
                                m_oscillogramFile, kPictureName});
}

void TTraceViewer::FormClose() {
    Information->close();
    m_view.restore(m_parts.oscillogram);
    for (int c = 1; c <= m_view.config().channels; ++c)
        deselectBits(c);
}

void TTraceViewer::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TTraceViewer::FormKeyPress(const QString& text, bool& handled) {
    // The upper-case "P" alone prints; no key chord is needed.
    handled = text == "P";
    if (handled)
        Button4Click();
}

void TTraceViewer::keyPressEvent(QKeyEvent* event) {
    bool handled = false;
    FormKeyPress(event->text(), handled);
    if (!handled)
        QDialog::keyPressEvent(event);
}

bool TTraceViewer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        bool handled = false;
        FormKeyPress(static_cast<QKeyEvent*>(event)->text(), handled);
        if (handled)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

TOscill::TOscill(const ViewerParts& parts, QWidget* parent)
    : TTraceViewer(ViewerKind::Online, parts, parent) {
    setObjectName("Oscill");
    setWindowTitle(kOnlineViewerCaption);
}

void TOscill::showFor(const std::string& date, const std::string& time) {
    m_parts.actionLog.write(monitor::composeLogEntry(
        date, time,
        m_parts.messages.text(params::kMsgLogViewOscillogram, m_parts.model.language())));
    // Still open beside the program: the measured values come back before they are kept anew.
    if (isVisible())
        FormClose();
    view().open(m_parts.oscillogram);
    showViewer();
}

TOscillOff::TOscillOff(const ViewerParts& parts, QWidget* parent)
    : TTraceViewer(ViewerKind::Offline, parts, parent) {
    setObjectName("OscillOff");
    setWindowTitle(kOfflineViewerCaption);
}

void TOscillOff::showFor(std::optional<int> triggerSample) {
    // Still open beside the program: the measured values come back before they are kept anew.
    if (isVisible())
        FormClose();
    view().open(m_parts.oscillogram);
    view().setTriggerSample(triggerSample);
    showViewer();
}

}  // namespace zrd::scope
