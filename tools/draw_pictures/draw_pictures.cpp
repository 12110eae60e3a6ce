// Draws the structure pictures of the ZRD servo drive that the block-diagram tab shows, and the
// program's icon:
//   draw_pictures <output folder>
// writes Pic2_eng.bmp, Pic2_rus.bmp, Inverter.bmp, Current_cntr_1.bmp, Current_cntr_2.bmp,
// Speed_cntr.bmp and Position_cntr.bmp as 8-bit palette BMP files, the function generator's
// signal shapes cont.bmp, pulse.bmp, sin.bmp and varf.bmp, the responses of the filter
// calculator's types Filter_LPF.bmp, Filter_BSF.bmp, Filter_EFC.bmp and Filter_EFB.bmp (computed
// by the program's own filter design), and icons/torvanta.svg with
// icons/torvanta-N.png (program_icon.cpp). Run it under the offscreen
// platform (QT_QPA_PLATFORM=offscreen); the texts use the DejaVu Sans font. Parameters and
// signals are named by their mnemonics in Param_base.mod, so a user finds them on the pages.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "program_icon.h"
#include "tuning/filter_design.h"

namespace {

const QColor kInk(40, 48, 64);
const QColor kForward(25, 70, 140);
const QColor kFeedback(200, 95, 20);
const QColor kBlockFill(226, 236, 250);
const QColor kBlockEdge(60, 95, 150);
const QColor kPowerFill(250, 236, 214);
const QColor kPowerEdge(170, 110, 40);
const QColor kNote(110, 118, 130);
const QColor kPaper(255, 255, 255);
const QColor kTitleBand(242, 245, 250);

// The 256 most frequent colours of the drawing as its palette; every other colour (the
// anti-aliased edges) takes the nearest of them. Ties keep the order of first appearance, so the
// result does not depend on hashing.
QImage toPalette(const QImage& image) {
    std::map<QRgb, std::pair<int, int>> counts;  // colour -> (count, first appearance)
    int order = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            auto [it, added] = counts.try_emplace(image.pixel(x, y), 0, order);
            if (added)
                ++order;
            ++it->second.first;
        }
    }
    std::vector<std::pair<QRgb, std::pair<int, int>>> ranked(counts.begin(), counts.end());
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.second.first != b.second.first ? a.second.first > b.second.first
                                                : a.second.second < b.second.second;
    });
    if (ranked.size() > 256)
        ranked.resize(256);
    QList<QRgb> palette;
    for (const auto& entry : ranked)
        palette.push_back(entry.first);

    std::map<QRgb, int> nearest;
    auto indexOf = [&](QRgb c) {
        auto found = nearest.find(c);
        if (found != nearest.end())
            return found->second;
        int best = 0;
        long bestDistance = -1;
        for (int i = 0; i < palette.size(); ++i) {
            const long dr = qRed(c) - qRed(palette[i]);
            const long dg = qGreen(c) - qGreen(palette[i]);
            const long db = qBlue(c) - qBlue(palette[i]);
            const long d = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        nearest.emplace(c, best);
        return best;
    };
    QImage indexed(image.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = indexed.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            line[x] = static_cast<uchar>(indexOf(image.pixel(x, y)));
    }
    return indexed;
}

// One picture: an image, a painter and the small drawing vocabulary of block diagrams.
class Sheet {
public:
    Sheet(int width, int height, const QString& title)
        : m_image(width, height, QImage::Format_RGB32) {
        m_image.fill(kPaper);
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        // Without a title the picture carries no words: the window names it in its language.
        if (!title.isEmpty()) {
            m_painter.fillRect(QRectF(0, 0, width, 34), kTitleBand);
            m_painter.setPen(QPen(kBlockEdge, 1));
            m_painter.drawLine(QPointF(0, 34), QPointF(width, 34));
            m_painter.setPen(kInk);
            m_painter.setFont(font(12, true));
            m_painter.drawText(QRectF(14, 0, width - 28, 34), Qt::AlignVCenter | Qt::AlignLeft,
                               title);
        }
        m_painter.setPen(QPen(kBlockEdge, 1));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(QRectF(0.5, 0.5, width - 1, height - 1));
    }

    static QFont font(double points, bool bold = false) {
        QFont f("DejaVu Sans");
        f.setPointSizeF(points);
        f.setBold(bold);
        f.setHintingPreference(QFont::PreferFullHinting);
        return f;
    }

    // A function block with a name and an optional line of parameters below it.
    void block(const QRectF& r, const QString& name, const QString& detail = {},
               bool power = false) {
        m_painter.setPen(QPen(power ? kPowerEdge : kBlockEdge, 1.6));
        m_painter.setBrush(power ? kPowerFill : kBlockFill);
        m_painter.drawRoundedRect(r, 5, 5);
        m_painter.setPen(kInk);
        if (detail.isEmpty()) {
            m_painter.setFont(font(9, true));
            m_painter.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, name);
            return;
        }
        QRectF top = r;
        top.setBottom(r.center().y() + 2);
        QRectF bottom = r;
        bottom.setTop(r.center().y() + 2);
        m_painter.setFont(font(9, true));
        m_painter.drawText(top, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, name);
        m_painter.setFont(font(8));
        m_painter.setPen(kNote);
        m_painter.drawText(bottom.adjusted(2, 2, -2, 0), Qt::AlignHCenter | Qt::AlignTop, detail);
    }

    // A summing point; signs are drawn at the west and south inputs.
    void sum(QPointF c, const QString& west = "+", const QString& south = "−",
             const QString& north = {}) {
        const double r = 11;
        m_painter.setPen(QPen(kInk, 1.6));
        m_painter.setBrush(kPaper);
        m_painter.drawEllipse(c, r, r);
        m_painter.drawLine(QPointF(c.x() - r * 0.7, c.y() - r * 0.7),
                           QPointF(c.x() + r * 0.7, c.y() + r * 0.7));
        m_painter.drawLine(QPointF(c.x() - r * 0.7, c.y() + r * 0.7),
                           QPointF(c.x() + r * 0.7, c.y() - r * 0.7));
        m_painter.setFont(font(9, true));
        m_painter.drawText(QRectF(c.x() - r - 16, c.y() - r - 14, 14, 14), Qt::AlignCenter, west);
        m_painter.drawText(QRectF(c.x() + 4, c.y() + r, 14, 14), Qt::AlignCenter, south);
        if (!north.isEmpty())
            m_painter.drawText(QRectF(c.x() + 4, c.y() - r - 14, 14, 14), Qt::AlignCenter, north);
    }

    // A signal line through the points, with an arrow head at the last one.
    void wire(const std::vector<QPointF>& points, const QColor& colour = kForward,
              bool head = true) {
        if (points.size() < 2)
            return;
        QPainterPath path(points.front());
        for (size_t i = 1; i < points.size(); ++i)
            path.lineTo(points[i]);
        m_painter.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawPath(path);
        if (head)
            arrowHead(points[points.size() - 2], points.back(), colour);
    }

    void dot(QPointF c, const QColor& colour = kForward) {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(colour);
        m_painter.drawEllipse(c, 3.2, 3.2);
    }

    // A text; align tells where the point sits relative to the text.
    void text(QPointF at, const QString& s, Qt::Alignment align = Qt::AlignLeft,
              double points = 8.5, const QColor& colour = kInk, bool bold = false) {
        m_painter.setFont(font(points, bold));
        m_painter.setPen(colour);
        const QRectF box(at.x() - 200, at.y() - 30, 400, 60);
        QRectF r = box;
        if (align & Qt::AlignLeft)
            r = QRectF(at.x(), at.y() - 30, 400, 60);
        else if (align & Qt::AlignRight)
            r = QRectF(at.x() - 400, at.y() - 30, 400, 60);
        m_painter.drawText(r, (align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, s);
    }

    // A motor: circle with "M" and a tilde, the encoder on its shaft.
    void motor(QPointF c, double r) {
        m_painter.setPen(QPen(kPowerEdge, 2));
        m_painter.setBrush(kPowerFill);
        m_painter.drawEllipse(c, r, r);
        m_painter.setPen(kInk);
        m_painter.setFont(font(15, true));
        m_painter.drawText(QRectF(c.x() - r, c.y() - r, 2 * r, 1.3 * r), Qt::AlignCenter, "M");
        m_painter.setFont(font(10, true));
        m_painter.drawText(QRectF(c.x() - r, c.y() + 0.1 * r, 2 * r, 0.8 * r), Qt::AlignCenter,
                           "3~");
    }

    void encoder(const QRectF& r, const QString& name) {
        m_painter.setPen(QPen(kBlockEdge, 1.6));
        m_painter.setBrush(QColor(236, 244, 236));
        m_painter.drawRect(r);
        m_painter.setPen(QPen(kBlockEdge, 1));
        for (int i = 1; i < 6; ++i) {
            const double x = r.left() + r.width() * i / 6.0;
            m_painter.drawLine(QPointF(x, r.top() + 3), QPointF(x, r.top() + 9));
        }
        m_painter.setPen(kInk);
        m_painter.setFont(font(8, true));
        m_painter.drawText(r.adjusted(0, 8, 0, 0), Qt::AlignCenter, name);
    }

    // A dashed frame grouping blocks, with its caption above the top-left corner.
    void group(const QRectF& r, const QString& caption) {
        m_painter.setPen(QPen(kNote, 1, Qt::DashLine));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRoundedRect(r, 8, 8);
        text(QPointF(r.left() + 8, r.top() - 8), caption, Qt::AlignLeft, 8, kNote, true);
    }

    // A power switch of the bridge: IGBT with its freewheeling diode, between top and bottom.
    void igbt(QPointF top, QPointF bottom, const QString& name) {
        const double midY = (top.y() + bottom.y()) / 2;
        const double x = top.x();
        m_painter.setPen(QPen(kInk, 1.6));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawLine(top, QPointF(x, midY - 14));
        m_painter.drawLine(QPointF(x, midY + 14), bottom);
        // Collector and emitter legs leaving the channel bar.
        m_painter.drawLine(QPointF(x - 10, midY - 6), QPointF(x, midY - 14));
        m_painter.drawLine(QPointF(x - 10, midY + 6), QPointF(x, midY + 14));
        m_painter.drawLine(QPointF(x - 10, midY - 12), QPointF(x - 10, midY + 12));
        m_painter.drawLine(QPointF(x - 14, midY - 10), QPointF(x - 14, midY + 10));
        m_painter.drawLine(QPointF(x - 14, midY), QPointF(x - 24, midY));
        arrowHead(QPointF(x - 10, midY + 6), QPointF(x - 2, midY + 12), kInk, 5);
        // Freewheeling diode beside it, conducting upwards.
        m_painter.setPen(QPen(kInk, 1.6));
        m_painter.setBrush(Qt::NoBrush);
        const double dx = x + 16;
        m_painter.drawLine(QPointF(x, midY - 18), QPointF(dx, midY - 18));
        m_painter.drawLine(QPointF(x, midY + 18), QPointF(dx, midY + 18));
        m_painter.drawLine(QPointF(dx, midY - 18), QPointF(dx, midY + 18));
        QPolygonF diode;
        diode << QPointF(dx - 6, midY + 5) << QPointF(dx + 6, midY + 5) << QPointF(dx, midY - 5);
        m_painter.setBrush(kInk);
        m_painter.drawPolygon(diode);
        m_painter.drawLine(QPointF(dx - 6, midY - 5), QPointF(dx + 6, midY - 5));
        text(QPointF(x - 26, midY - 12), name, Qt::AlignRight, 8, kInk, true);
    }

    // Saves as an 8-bit palette BMP: the drawings hold few colours, and the files stay small.
    bool save(const QString& path) {
        m_painter.end();
        return toPalette(m_image).save(path, "BMP");
    }

    QPainter& painter() { return m_painter; }

private:
    void arrowHead(QPointF from, QPointF to, const QColor& colour, double size = 8) {
        const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
        QPolygonF head;
        head << to
             << QPointF(to.x() - size * std::cos(angle - 0.4),
                        to.y() - size * std::sin(angle - 0.4))
             << QPointF(to.x() - size * std::cos(angle + 0.4),
                        to.y() - size * std::sin(angle + 0.4));
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(colour);
        m_painter.drawPolygon(head);
    }

    QImage m_image;
    QPainter m_painter;
};

// Texts of the overview in one language.
struct OverviewTexts {
    QString title;
    QString positionCommand;
    QString speedCommand;
    QString currentCommand;
    QString positionController;
    QString speedController;
    QString currentController;
    QString inverter;
    QString motor;
    QString encoder;
    QString speedCalc;
    QString currentSensor;
    QString positionMode;
    QString speedMode;
    QString currentMode;
    QString positionFeedback;
    QString speedFeedback;
    QString currentFeedback;
    QString powerSupply;
    QString encoderCounts;
};

const OverviewTexts kEnglish = {
    "ZRD servo drive: cascade control structure",
    "Position\ncommand\n(pulse IN)",
    "Speed command\n(analog IN)",
    "Current command",
    "Position\ncontroller",
    "Speed\ncontroller",
    "Current\ncontroller",
    "Inverter\n(PWM)",
    "Motor",
    "Encoder",
    "Speed\ncalculation",
    "Current sensors",
    "OPMOD = 3: position",
    "OPMOD = 2: speed",
    "OPMOD = 1: current",
    "Actual position (PFREV, PFCTS)",
    "Actual speed VACT",
    "Actual current IACT",
    "DC bus",
    "ENCR: encoder counts per revolution",
};

const OverviewTexts kRussian = {
    "Сервопривод ZRD: каскадная структура регулирования",
    "Задание\nположения\n(имп. вход)",
    "Задание скорости\n(аналоговый вход)",
    "Задание тока",
    "Регулятор\nположения",
    "Регулятор\nскорости",
    "Регулятор\nтока",
    "Инвертор\n(ШИМ)",
    "Двигатель",
    "Энкодер",
    "Вычисление\nскорости",
    "Датчики тока",
    "OPMOD = 3: положение",
    "OPMOD = 2: скорость",
    "OPMOD = 1: ток",
    "Положение (PFREV, PFCTS)",
    "Скорость VACT",
    "Ток IACT",
    "Звено пост. тока",
    "ENCR: число импульсов энкодера на оборот",
};

bool drawOverview(const QString& path, const OverviewTexts& t) {
    Sheet s(840, 410, t.title);
    const double y = 170;  // the forward path
    const QRectF position(118, y - 32, 96, 64);
    const QRectF speed(296, y - 32, 96, 64);
    const QRectF current(474, y - 32, 96, 64);
    const QRectF inverter(606, y - 32, 88, 64);
    const QPointF motorCentre(758, y);
    const QRectF encoderBox(726, y + 46, 64, 34);

    s.text(QPointF(14, y + 34), t.positionCommand, Qt::AlignLeft, 8.5);
    s.wire({{14, y}, {96, y}});
    s.sum({107, y});
    s.wire({{118, y}, {position.left(), y}}, kForward, false);
    s.block(position, t.positionController, "KPP");
    s.text(QPointF(position.center().x(), position.top() - 12), "PERR", Qt::AlignHCenter, 8, kNote);

    s.wire({{position.right(), y}, {274, y}});
    s.sum({285, y}, "+", "−", "+");
    s.block(speed, t.speedController, "PI: KPV, KIV");
    s.wire({{296, y}, {speed.left(), y}}, kForward, false);
    s.text(QPointF(244, y - 12), "VSET", Qt::AlignHCenter, 8, kNote);

    s.wire({{speed.right(), y}, {452, y}});
    s.sum({463, y}, "+", "−", "+");
    s.wire({{474, y}, {current.left(), y}}, kForward, false);
    s.block(current, t.currentController, "PI: KPI, KII");
    s.text(QPointF(422, y - 12), "ISET", Qt::AlignHCenter, 8, kNote);

    s.wire({{current.right(), y}, {inverter.left(), y}});
    s.block(inverter, t.inverter, {}, true);
    s.wire({{inverter.right(), y}, {motorCentre.x() - 28, y}}, kPowerEdge);
    s.motor(motorCentre, 28);
    s.text(QPointF(motorCentre.x(), y - 42), t.motor, Qt::AlignHCenter, 8.5, kInk, true);
    s.encoder(encoderBox, t.encoder);
    s.wire({{motorCentre.x(), y + 28}, {motorCentre.x(), encoderBox.top()}}, kInk, false);

    // The mode inputs: each loop can take its command from outside.
    s.text(QPointF(214, 62), t.speedCommand, Qt::AlignLeft, 8.5);
    s.wire({{285, 84}, {285, y - 11}});
    s.text(QPointF(420, 70), t.currentCommand, Qt::AlignLeft, 8.5);
    s.wire({{463, 84}, {463, y - 11}});
    s.text(QPointF(position.center().x(), 104), t.positionMode, Qt::AlignHCenter, 8, kNote);
    s.text(QPointF(speed.center().x() + 20, 104), t.speedMode, Qt::AlignHCenter, 8, kNote);
    s.text(QPointF(current.center().x() + 20, 104), t.currentMode, Qt::AlignHCenter, 8, kNote);

    // DC bus feeding the inverter.
    s.text(QPointF(inverter.center().x(), 70), t.powerSupply, Qt::AlignHCenter, 8.5);
    s.wire({{inverter.center().x(), 84}, {inverter.center().x(), inverter.top()}}, kPowerEdge);

    // Feedback paths.
    const QPointF sensor(720, y);
    s.dot(sensor, kPowerEdge);
    s.text(QPointF(650, y + 60), t.currentSensor, Qt::AlignHCenter, 8, kNote);
    s.wire({sensor, {720, y + 44}, {650, y + 44}, {463, y + 44}, {463, y + 11}}, kFeedback);
    s.text(QPointF(560, y + 34), t.currentFeedback, Qt::AlignHCenter, 8, kFeedback);

    const QRectF speedCalc(560, 268, 96, 44);
    s.block(speedCalc, t.speedCalc, {});
    s.wire({{encoderBox.center().x(), encoderBox.bottom()},
            {encoderBox.center().x(), 290},
            {speedCalc.right(), 290}},
           kFeedback);
    s.wire({{speedCalc.left(), 290}, {285, 290}, {285, y + 11}}, kFeedback);
    s.text(QPointF(420, 280), t.speedFeedback, Qt::AlignHCenter, 8, kFeedback);

    s.wire(
        {{encoderBox.center().x(), 290}, {encoderBox.center().x(), 350}, {107, 350}, {107, y + 11}},
        kFeedback);
    s.dot({encoderBox.center().x(), 290}, kFeedback);
    s.text(QPointF(400, 340), t.positionFeedback, Qt::AlignHCenter, 8, kFeedback);

    s.text(QPointF(14, 390), t.encoderCounts, Qt::AlignLeft, 8, kNote);
    return s.save(path);
}

bool drawInverter(const QString& path) {
    Sheet s(760, 420, "Inverter: three-phase IGBT bridge");
    const double top = 80;
    const double bottom = 330;
    const double xs[] = {300, 400, 500};
    const char* phases[] = {"U", "V", "W"};

    // DC link with its capacitor.
    s.wire({{120, top}, {560, top}}, kPowerEdge, false);
    s.wire({{120, bottom}, {560, bottom}}, kPowerEdge, false);
    s.text(QPointF(40, top), "DC bus +", Qt::AlignLeft, 9, kInk, true);
    s.text(QPointF(40, bottom), "DC bus −", Qt::AlignLeft, 9, kInk, true);
    QPainter& p = s.painter();
    p.setPen(QPen(kInk, 1.6));
    p.drawLine(QPointF(160, top), QPointF(160, 196));
    p.drawLine(QPointF(145, 196), QPointF(175, 196));
    p.drawLine(QPointF(145, 208), QPointF(175, 208));
    p.drawLine(QPointF(160, 208), QPointF(160, bottom));
    s.text(QPointF(180, 202), "C", Qt::AlignLeft, 9, kInk, true);
    s.text(QPointF(100, 240), "VBUS", Qt::AlignHCenter, 8.5, kNote);

    for (int i = 0; i < 3; ++i) {
        const double x = xs[i];
        const double mid = (top + bottom) / 2;
        s.igbt({x, top}, {x, mid}, QString("T%1").arg(2 * i + 1));
        s.igbt({x, mid}, {x, bottom}, QString("T%1").arg(2 * i + 2));
        s.dot({x, top}, kPowerEdge);
        s.dot({x, bottom}, kPowerEdge);
        s.dot({x, mid}, kInk);
        // Phase output to the motor, crossing the lower rail through a gap in it.
        const double outY = 350 + 15 * i;
        p.fillRect(QRectF(x + 36, bottom - 3, 8, 6), kPaper);
        s.wire({{x, mid}, {x + 40, mid}, {x + 40, outY}, {630, outY}}, kInk, false);
        s.text(QPointF(x + 46, mid - 10), phases[i], Qt::AlignLeft, 9, kInk, true);
    }
    s.motor({662, 365}, 32);
    s.text(QPointF(662, 318), "Motor", Qt::AlignHCenter, 8.5, kInk, true);

    // Current sensors on U and V; their signals go back to the modulator's controller.
    const QPointF sensorU(580, 350);
    const QPointF sensorV(604, 365);
    p.fillRect(QRectF(sensorV.x() - 3, 346, 6, 8), kPaper);
    s.wire({{sensorV.x(), sensorV.y() - 7}, {sensorV.x(), 250}}, kFeedback, false);
    s.wire({{sensorU.x(), sensorU.y() - 7}, {sensorU.x(), 250}, {700, 250}, {700, 184}}, kFeedback);
    s.dot({sensorV.x(), 250}, kFeedback);
    for (QPointF c : {sensorU, sensorV}) {
        p.setPen(QPen(kFeedback, 1.6));
        p.setBrush(kPaper);
        p.drawEllipse(c, 6.5, 6.5);
    }
    s.text(QPointF(612, 292), "iU, iV", Qt::AlignLeft, 8.5, kFeedback, true);
    s.text(QPointF(692, 222), "to the current\ncontroller", Qt::AlignRight, 8, kFeedback);

    // Gate drive from the modulator.
    const QRectF pwm(590, 120, 150, 64);
    s.block(pwm, "PWM modulator", "space vector, dead time");
    s.wire({{pwm.left(), 152}, {560, 152}}, kForward);
    s.text(QPointF(574, 140), "T1..T6", Qt::AlignHCenter, 8, kNote);
    s.wire({{pwm.center().x(), 94}, {pwm.center().x(), pwm.top()}}, kForward);
    s.text(QPointF(pwm.center().x(), 72), "Ua, Ub, Uc from the\ncurrent controller",
           Qt::AlignHCenter, 8, kNote);
    return s.save(path);
}

bool drawCurrentLoop(const QString& path) {
    Sheet s(760, 420, "Current controller, part 1: torque-producing current loop");
    const double y = 150;
    s.text(QPointF(16, y - 14), "ISET", Qt::AlignLeft, 9, kInk, true);
    s.text(QPointF(16, y + 24), "from the speed\ncontroller", Qt::AlignLeft, 8, kNote);
    const QRectF limit(110, y - 28, 96, 56);
    s.wire({{16, y}, {limit.left(), y}});
    s.block(limit, "Current limit", "IFL, ICONT");
    s.wire({{limit.right(), y}, {246, y}});
    s.sum({257, y});
    const QRectF pi(290, y - 32, 100, 64);
    s.wire({{268, y}, {pi.left(), y}});
    s.block(pi, "PI controller", "KPI, KII");
    const QRectF voltage(430, y - 28, 96, 56);
    s.wire({{pi.right(), y}, {voltage.left(), y}});
    s.block(voltage, "Voltage limit", "Uq ≤ VBUS/√3");
    const QRectF park(566, y - 28, 96, 56);
    s.wire({{voltage.right(), y}, {park.left(), y}});
    s.block(park, "Inverse Park", "d,q → α,β");
    s.wire({{park.right(), y}, {700, y}, {700, 236}}, kForward);
    s.text(QPointF(700, 250), "to PWM", Qt::AlignHCenter, 8, kNote);

    // Flux-producing current held at zero.
    const double yd = 280;
    s.text(QPointF(16, yd), "Id* = 0", Qt::AlignLeft, 9, kInk, true);
    s.wire({{80, yd}, {246, yd}});
    s.sum({257, yd});
    const QRectF pid(290, yd - 28, 100, 56);
    s.wire({{268, yd}, {pid.left(), yd}});
    s.block(pid, "PI controller", "d axis");
    s.wire({{pid.right(), yd}, {614, yd}, {614, y + 28}});
    s.text(QPointF(460, yd - 10), "Ud", Qt::AlignHCenter, 8, kNote);
    s.text(QPointF(410, y - 12), "Uq", Qt::AlignHCenter, 8, kNote);

    s.wire({{560, 370}, {257, 370}, {257, yd + 11}}, kFeedback);
    s.wire({{560, 340}, {200, 340}, {200, 200}, {257, 200}, {257, y + 11}}, kFeedback);
    s.text(QPointF(580, 340), "IACT (q axis)", Qt::AlignLeft, 8.5, kFeedback, true);
    s.text(QPointF(580, 370), "Id (d axis)", Qt::AlignLeft, 8.5, kFeedback, true);
    s.text(QPointF(16, 400), "Actual currents from part 2; rotor angle THETA from the encoder.",
           Qt::AlignLeft, 8, kNote);
    return s.save(path);
}

bool drawCurrentMeasurement(const QString& path) {
    Sheet s(760, 420, "Current controller, part 2: current measurement");
    const double y = 160;
    s.text(QPointF(16, y - 10), "iU", Qt::AlignLeft, 9, kFeedback, true);
    s.text(QPointF(16, y + 30), "iV", Qt::AlignLeft, 9, kFeedback, true);
    const QRectF adc(62, y - 30, 110, 80);
    s.wire({{36, y - 10}, {adc.left(), y - 10}}, kFeedback);
    s.wire({{36, y + 30}, {adc.left(), y + 30}}, kFeedback);
    s.block(adc, "A/D converter", "sampled with PWM");
    const QRectF offset(200, y - 30, 100, 80);
    s.wire({{adc.right(), y + 10}, {offset.left(), y + 10}});
    s.block(offset, "Offset and gain", "correction");
    const QRectF clarke(328, y - 30, 100, 80);
    s.wire({{offset.right(), y + 10}, {clarke.left(), y + 10}});
    s.block(clarke, "Clarke", "U,V,W → α,β");
    const QRectF park(456, y - 30, 100, 80);
    s.wire({{clarke.right(), y + 10}, {park.left(), y + 10}});
    s.block(park, "Park", "α,β → d,q");
    const QRectF filter(590, y - 30, 110, 80);
    s.wire({{park.right(), y + 10}, {filter.left(), y + 10}});
    s.block(filter, "Current filter", "low pass");
    s.wire({{filter.right(), y - 6}, {740, y - 6}});
    s.wire({{filter.right(), y + 26}, {740, y + 26}});
    s.text(QPointF(706, y - 20), "IACT", Qt::AlignLeft, 8.5, kFeedback, true);
    s.text(QPointF(706, y + 40), "Id", Qt::AlignLeft, 8.5, kFeedback, true);

    const QRectF angle(456, 290, 100, 60);
    s.block(angle, "Rotor angle", "THETA");
    s.wire({{angle.center().x(), angle.top()}, {angle.center().x(), park.bottom()}});
    s.text(QPointF(300, 320), "Encoder position", Qt::AlignLeft, 8.5, kInk, true);
    s.wire({{420, 320}, {angle.left(), 320}});
    s.text(QPointF(16, 400), "iW = −(iU + iV): the third phase current is computed.", Qt::AlignLeft,
           8, kNote);
    return s.save(path);
}

bool drawSpeedLoop(const QString& path) {
    Sheet s(760, 420, "Speed controller");
    const double y = 150;
    s.text(QPointF(16, y - 16), "VSET", Qt::AlignLeft, 9, kInk, true);
    const QRectF ramp(66, y - 28, 110, 56);
    s.wire({{16, y}, {ramp.left(), y}});
    s.block(ramp, "Command filter", "ramp, low pass");
    s.wire({{ramp.right(), y}, {208, y}});
    s.sum({219, y});
    const QRectF pi(252, y - 32, 100, 64);
    s.wire({{230, y}, {pi.left(), y}});
    s.block(pi, "PI controller", "KPV, KIV");
    const QRectF filters(384, y - 32, 150, 64);
    s.wire({{pi.right(), y}, {filters.left(), y}});
    s.block(filters, "Filters 1..4", "biquad: notch, low pass");
    const QRectF limit(562, y - 28, 96, 56);
    s.wire({{filters.right(), y}, {limit.left(), y}});
    s.block(limit, "Torque limit", "ILIMP, ILIMN");
    s.wire({{limit.right(), y}, {736, y}});
    s.text(QPointF(700, y - 16), "ISET", Qt::AlignLeft, 9, kInk, true);

    const QRectF diff(424, 270, 112, 56);
    s.block(diff, "Speed from position", "Δ counts / Δt");
    const QRectF speedFilter(270, 270, 100, 56);
    s.wire({{650, 298}, {diff.right(), 298}}, kFeedback);
    s.text(QPointF(660, 298), "Encoder", Qt::AlignLeft, 9, kInk, true);
    s.wire({{diff.left(), 298}, {speedFilter.right(), 298}}, kFeedback);
    s.block(speedFilter, "Speed filter", "low pass");
    s.wire({{speedFilter.left(), 298}, {219, 298}, {219, y + 11}}, kFeedback);
    s.text(QPointF(236, 240), "VACT", Qt::AlignLeft, 9, kFeedback, true);
    s.text(QPointF(16, 400),
           "The filter coefficients are designed in Services > Filter calculator.", Qt::AlignLeft,
           8, kNote);
    return s.save(path);
}

bool drawPositionLoop(const QString& path) {
    Sheet s(760, 420, "Position controller");
    const double y = 150;
    s.text(QPointF(16, y - 16), "Pulse IN", Qt::AlignLeft, 9, kInk, true);
    s.text(QPointF(16, y + 16), "PINFRQ", Qt::AlignLeft, 8, kNote);
    const QRectF gear(86, y - 30, 100, 60);
    s.wire({{16, y}, {gear.left(), y}});
    s.block(gear, "Electronic gear", "GEARN / GEARD");
    const QRectF command(210, y - 30, 140, 60);
    s.wire({{gear.right(), y}, {command.left(), y}});
    s.block(command, "Position command", "PRREV · ENCR + PRCTS");
    s.wire({{command.right(), y}, {380, y}});
    s.sum({391, y});
    const QRectF gain(440, y - 30, 80, 60);
    s.wire({{402, y}, {gain.left(), y}});
    s.text(QPointF(420, y - 14), "PERR", Qt::AlignHCenter, 8, kNote);
    s.block(gain, "Gain", "KPP");
    s.wire({{gain.right(), y}, {566, y}});
    s.sum({577, y}, "+", "", "+");
    s.wire({{588, y}, {736, y}});
    s.text(QPointF(690, y - 16), "VSET", Qt::AlignLeft, 9, kInk, true);

    const QRectF feed(424, 60, 112, 44);
    s.wire({{364, y}, {364, 82}, {feed.left(), 82}});
    s.dot({364, y});
    s.block(feed, "Feed forward", "d/dt · KVFFP");
    s.wire({{feed.right(), 82}, {577, 82}, {577, y - 11}});

    const QRectF counter(410, 270, 150, 56);
    s.block(counter, "Position counter", "PFREV · ENCR + PFCTS");
    s.wire({{650, 298}, {counter.right(), 298}}, kFeedback);
    s.text(QPointF(660, 298), "Encoder", Qt::AlignLeft, 9, kInk, true);
    s.wire({{counter.left(), 298}, {391, 298}, {391, y + 11}}, kFeedback);
    s.text(QPointF(16, 400), "PERR is the following error in counts.", Qt::AlignLeft, 8, kNote);
    return s.save(path);
}

// The function generator's signal shapes, labelled with the letters of the "Wave forms" window's
// fields: A amplitude, L offset, T period, Q positive width, F1/F2 the chirp's start and end
// frequency.
enum class Wave { Constant, Square, Sine, Chirp };

bool drawWave(const QString& path, Wave wave) {
    // The type buttons above the picture name the shape; the picture holds only the letters of
    // the fields, the same in either language.
    Sheet s(320, 200, QString());
    QPainter& p = s.painter();
    // The plot: time to the right from x0, the signal's zero at y0, one unit of amplitude up.
    const double x0 = 34;
    const double x1 = 300;
    const double y0 = 150;
    const double unit = 34;
    const double offset = wave == Wave::Constant ? 0.0 : 1.0;
    s.wire({{x0, 188}, {x0, 44}}, kInk);
    s.wire({{x0 - 6, y0}, {x1 + 10, y0}}, kInk);
    s.text(QPointF(x1 + 8, y0 + 12), "t", Qt::AlignRight, 9, kInk, true);

    const auto yOf = [&](double v) { return y0 - v * unit; };
    QPainterPath curve;
    const int steps = 600;
    const double span = x1 - x0 - 10;
    const double period = span / 2.5;  // square and sine: two and a half periods
    for (int i = 0; i <= steps; ++i) {
        const double t = span * i / steps;
        double v = 0;
        switch (wave) {
            case Wave::Constant:
                v = t < 8 ? 0.0 : 2.0;
                break;
            case Wave::Square:
                v = offset + (std::fmod(t, period) < period * 0.35 ? 1.0 : -1.0);
                break;
            case Wave::Sine:
                v = offset + std::sin(2 * M_PI * t / period);
                break;
            case Wave::Chirp: {
                // From about one and a half to eight turns over the span: the frequency grows.
                const double u = t / span;
                v = offset + std::sin(2 * M_PI * (1.5 * u + 6.5 * u * u / 2));
                break;
            }
        }
        const QPointF at(x0 + t, yOf(v));
        if (i == 0)
            curve.moveTo(at);
        else
            curve.lineTo(at);
    }
    p.setPen(QPen(kForward, 2.2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);

    // Dimension lines: a double arrow between two points and its letter beside it.
    const auto dimension = [&](QPointF a, QPointF b, const QString& label, QPointF labelAt) {
        s.wire({a, b}, kFeedback);
        s.wire({b, a}, kFeedback);
        s.text(labelAt, label, Qt::AlignLeft, 10, kFeedback, true);
    };
    const auto guide = [&](QPointF a, QPointF b) {
        p.setPen(QPen(kNote, 1, Qt::DashLine));
        p.drawLine(a, b);
    };
    switch (wave) {
        case Wave::Constant:
            dimension({x0 + 150, y0}, {x0 + 150, yOf(2.0)}, "A", {x0 + 156, yOf(1.0)});
            break;
        case Wave::Square: {
            const double xa = x0 + period * 1.35 + 18;
            guide({x0, yOf(offset)}, {x1, yOf(offset)});
            dimension({x0 + 12, y0}, {x0 + 12, yOf(offset)}, "L", {x0 + 16, yOf(offset / 2)});
            dimension({xa, yOf(offset)}, {xa, yOf(offset - 1)}, "A", {xa + 5, yOf(offset - 0.5)});
            const double top = yOf(offset + 1) - 8;
            dimension({x0 + period, top}, {x0 + period * 1.35, top}, "Q",
                      {x0 + period * 1.1, top - 10});
            guide({x0 + period, yOf(offset + 1)}, {x0 + period, top - 4});
            guide({x0 + period * 1.35, yOf(offset + 1)}, {x0 + period * 1.35, top - 4});
            const double low = y0 + 20;
            guide({x0 + period, yOf(offset - 1)}, {x0 + period, low + 4});
            guide({x0 + period * 2, yOf(offset - 1)}, {x0 + period * 2, low + 4});
            dimension({x0 + period, low}, {x0 + period * 2, low}, "T",
                      {x0 + period * 1.5 - 4, low + 11});
            break;
        }
        case Wave::Sine: {
            guide({x0, yOf(offset)}, {x1, yOf(offset)});
            dimension({x0 + 12, y0}, {x0 + 12, yOf(offset)}, "L", {x0 + 16, yOf(offset / 2)});
            const double xa = x0 + period * 1.25;
            dimension({xa, yOf(offset)}, {xa, yOf(offset + 1)}, "A", {xa + 5, yOf(offset + 0.5)});
            const double low = y0 + 20;
            guide({x0 + period, yOf(offset)}, {x0 + period, low + 4});
            guide({x0 + period * 2, yOf(offset)}, {x0 + period * 2, low + 4});
            dimension({x0 + period, low}, {x0 + period * 2, low}, "T",
                      {x0 + period * 1.5 - 4, low + 11});
            break;
        }
        case Wave::Chirp:
            guide({x0, yOf(offset)}, {x1, yOf(offset)});
            dimension({x0 + 12, y0}, {x0 + 12, yOf(offset)}, "L", {x0 + 16, yOf(offset / 2)});
            s.text(QPointF(x0 + 24, y0 + 22), "F1", Qt::AlignLeft, 10, kFeedback, true);
            s.text(QPointF(x1 - 2, y0 + 22), "F2", Qt::AlignRight, 10, kFeedback, true);
            s.wire({{x0 + 50, y0 + 22}, {x1 - 28, y0 + 22}}, kFeedback);
            {
                // At the first crest, where the phase has turned a quarter.
                const double u = (-1.5 + std::sqrt(1.5 * 1.5 + 4 * 3.25 * 0.25)) / (2 * 3.25);
                const double xa = x0 + u * span;
                dimension({xa, yOf(offset)}, {xa, yOf(offset + 1)}, "A",
                          {xa + 5, yOf(offset + 0.5)});
            }
            break;
    }
    return s.save(path);
}

}  // namespace

// One filter type: its design inputs and the notes beside the curve.
struct FilterPicture {
    const char* title;
    zrd::tuning::FilterInputs inputs;
    const char* note;
};

// The magnitude of the type's response over a logarithmic frequency axis, the design frequency
// marked; the inputs are an example, named under the curve.
bool drawFilterResponse(const QString& path, const FilterPicture& f) {
    namespace tn = zrd::tuning;
    constexpr double kWidth = 400, kHeight = 230;
    constexpr double kFrom = 10, kTo = 4000, kTopDb = 12, kBottomDb = -30;
    Sheet s(static_cast<int>(kWidth), static_cast<int>(kHeight), f.title);
    QPainter& p = s.painter();
    const QRectF plot(44, 48, kWidth - 60, kHeight - 100);
    const auto x = [&](double hz) {
        return plot.left() + plot.width() * std::log10(hz / kFrom) / std::log10(kTo / kFrom);
    };
    const auto y = [&](double db) {
        const double clamped = std::clamp(db, kBottomDb, kTopDb);
        return plot.top() + plot.height() * (kTopDb - clamped) / (kTopDb - kBottomDb);
    };
    p.setFont(Sheet::font(7.5));
    for (const double hz : {10.0, 100.0, 1000.0}) {
        p.setPen(QPen(kTitleBand.darker(115), 1));
        p.drawLine(QPointF(x(hz), plot.top()), QPointF(x(hz), plot.bottom()));
        p.setPen(kNote);
        p.drawText(QRectF(x(hz) - 30, plot.bottom() + 2, 60, 14), Qt::AlignCenter,
                   QString::number(hz) + " Hz");
    }
    for (double db = kBottomDb; db <= kTopDb; db += 6) {
        p.setPen(QPen(db == 0 ? kNote : kTitleBand.darker(115), 1));
        p.drawLine(QPointF(plot.left(), y(db)), QPointF(plot.right(), y(db)));
        p.setPen(kNote);
        p.drawText(QRectF(2, y(db) - 7, plot.left() - 6, 14), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(db) + " dB");
    }
    p.setPen(QPen(kFeedback, 1, Qt::DashLine));
    p.drawLine(QPointF(x(f.inputs.frequency), plot.top()),
               QPointF(x(f.inputs.frequency), plot.bottom()));
    const auto design = tn::designFilter(f.inputs);
    if (!design)
        return false;
    QPainterPath curve;
    bool first = true;
    for (const tn::ResponsePoint& r : tn::responseCurve(*design, kFrom, kTo, 300)) {
        const QPointF point(x(r.frequency), y(r.magnitudeDb));
        if (first)
            curve.moveTo(point);
        else
            curve.lineTo(point);
        first = false;
    }
    p.setPen(QPen(kForward, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    p.setPen(QPen(kBlockEdge, 1));
    p.drawRect(plot);
    s.text(QPointF(x(f.inputs.frequency) + 4, plot.top() + 8), "f", Qt::AlignLeft, 8.5, kFeedback,
           true);
    s.text(QPointF(14, kHeight - 16), f.note, Qt::AlignLeft, 8, kInk);
    return s.save(path);
}

const FilterPicture kFilterPictures[] = {
    {"Low pass filter (LPF)",
     {zrd::tuning::FilterType::LowPass, 250, 0, 1},
     "f = 250 Hz; gain at f: G = 1 dB (the quality is not used)"},
    {"Band stop filter (BSF)",
     {zrd::tuning::FilterType::BandStop, 500, 2, 0},
     "f = 500 Hz, Q = 2: the notch is f / Q = 250 Hz wide at -3 dB"},
    {"Equalizer filter cut (EFC)",
     {zrd::tuning::FilterType::EqualiserCut, 500, 1, -12},
     "f = 500 Hz, Q = 1, G = -12 dB: gain G at f, 0 dB far from it"},
    {"Equalizer filter boost (EFB)",
     {zrd::tuning::FilterType::EqualiserBoost, 500, 1, 9},
     "f = 500 Hz, Q = 1, G = 9 dB: gain G at f, 0 dB far from it"},
};

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + "/";
    struct Picture {
        const char* file;
        bool (*draw)(const QString&);
    };
    const Picture pictures[] = {
        {"Pic2_eng.bmp", [](const QString& p) { return drawOverview(p, kEnglish); }},
        {"Pic2_rus.bmp", [](const QString& p) { return drawOverview(p, kRussian); }},
        {"Inverter.bmp", drawInverter},
        {"Current_cntr_1.bmp", drawCurrentLoop},
        {"Current_cntr_2.bmp", drawCurrentMeasurement},
        {"Speed_cntr.bmp", drawSpeedLoop},
        {"Position_cntr.bmp", drawPositionLoop},
        {"cont.bmp", [](const QString& p) { return drawWave(p, Wave::Constant); }},
        {"pulse.bmp", [](const QString& p) { return drawWave(p, Wave::Square); }},
        {"sin.bmp", [](const QString& p) { return drawWave(p, Wave::Sine); }},
        {"varf.bmp", [](const QString& p) { return drawWave(p, Wave::Chirp); }},
        {"Filter_LPF.bmp",
         [](const QString& p) { return drawFilterResponse(p, kFilterPictures[0]); }},
        {"Filter_BSF.bmp",
         [](const QString& p) { return drawFilterResponse(p, kFilterPictures[1]); }},
        {"Filter_EFC.bmp",
         [](const QString& p) { return drawFilterResponse(p, kFilterPictures[2]); }},
        {"Filter_EFB.bmp",
         [](const QString& p) { return drawFilterResponse(p, kFilterPictures[3]); }},
    };
    for (const Picture& picture : pictures) {
        if (!picture.draw(folder + picture.file)) {
            std::fprintf(stderr, "draw_pictures: cannot write %s\n", picture.file);
            return 1;
        }
    }
    if (!QDir().mkpath(folder + "icons") || !drawProgramIcon(folder + "icons/")) {
        std::fprintf(stderr, "draw_pictures: cannot write the icons\n");
        return 1;
    }
    return 0;
}
