// The program's icon: a servo motor's flange seen from the front, with its shaft, key and the
// encoder ring, on a blue tile. One list of shapes gives both the SVG (written as text, so that
// it is the same file on every run) and the PNG sizes (painted from the same shapes).

#include "program_icon.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <vector>

namespace {

// The drawing's own grid; every size is this one scaled.
constexpr double kGrid = 64;
constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

struct Shape {
    enum Kind { Tile, Circle, Bar } kind;
    double x, y, w, h, r;  // Tile and Bar: corner, size, corner radius; Circle: centre and r
    QColor fill;           // invalid: no fill
    QColor stroke;         // invalid: no outline
    double strokeWidth;
    std::vector<double> dash;  // on, off lengths in grid units; empty: solid
};

std::vector<Shape> shapes() {
    const QColor none;
    const QColor tile(47, 95, 158);
    const QColor dark(24, 52, 96);
    const QColor flange(232, 237, 245);
    const QColor shaft(245, 184, 42);
    const QColor shaftEdge(138, 90, 0);
    std::vector<Shape> s = {
        {Shape::Tile, 4, 4, 56, 56, 12, tile, none, 0, {}},
        {Shape::Circle, 32, 32, 0, 0, 20, flange, dark, 2, {}},
        {Shape::Circle, 32, 32, 0, 0, 14, none, dark, 2, {3, 2.5}},
        {Shape::Circle, 32, 32, 0, 0, 7.5, shaft, shaftEdge, 1.5, {}},
        {Shape::Bar, 30.5, 23.5, 3, 4.5, 0, shaftEdge, none, 0, {}},
    };
    // The four mounting holes of the flange, in the tile's corners.
    for (const double cx : {14.0, 50.0})
        for (const double cy : {14.0, 50.0})
            s.push_back({Shape::Circle, cx, cy, 0, 0, 3.2, flange, dark, 1.2, {}});
    return s;
}

QString number(double v) {
    return QString::number(v, 'g', 6);
}

QString svgPaint(const Shape& s) {
    QString out = QString(" fill=\"%1\"").arg(s.fill.isValid() ? s.fill.name() : "none");
    if (s.stroke.isValid()) {
        out += QString(" stroke=\"%1\" stroke-width=\"%2\"")
                   .arg(s.stroke.name(), number(s.strokeWidth));
        if (!s.dash.empty())
            out += QString(" stroke-dasharray=\"%1 %2\"").arg(number(s.dash[0]), number(s.dash[1]));
    }
    return out;
}

bool writeSvg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kGrid << "\" height=\"" << kGrid
        << "\" viewBox=\"0 0 " << kGrid << " " << kGrid << "\">\n"
        << "  <title>QX Torvanta</title>\n";
    for (const Shape& s : shapes()) {
        if (s.kind == Shape::Circle)
            out << "  <circle cx=\"" << number(s.x) << "\" cy=\"" << number(s.y) << "\" r=\""
                << number(s.r) << "\"" << svgPaint(s) << "/>\n";
        else
            out << "  <rect x=\"" << number(s.x) << "\" y=\"" << number(s.y) << "\" width=\""
                << number(s.w) << "\" height=\"" << number(s.h) << "\" rx=\"" << number(s.r) << "\""
                << svgPaint(s) << "/>\n";
    }
    out << "</svg>\n";
    return out.status() == QTextStream::Ok;
}

bool writePng(const QString& path, int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kGrid, size / kGrid);
    for (const Shape& s : shapes()) {
        if (s.stroke.isValid()) {
            QPen pen(s.stroke, s.strokeWidth);
            pen.setCapStyle(Qt::FlatCap);
            // Qt counts dashes in pen widths, SVG in user units.
            if (!s.dash.empty())
                pen.setDashPattern({s.dash[0] / s.strokeWidth, s.dash[1] / s.strokeWidth});
            p.setPen(pen);
        } else {
            p.setPen(Qt::NoPen);
        }
        p.setBrush(s.fill.isValid() ? QBrush(s.fill) : Qt::NoBrush);
        if (s.kind == Shape::Circle)
            p.drawEllipse(QPointF(s.x, s.y), s.r, s.r);
        else
            p.drawRoundedRect(QRectF(s.x, s.y, s.w, s.h), s.r, s.r);
    }
    p.end();
    return image.save(path, "PNG");
}

}  // namespace

bool drawProgramIcon(const QString& folder) {
    if (!writeSvg(folder + "torvanta.svg"))
        return false;
    for (const int size : kSizes) {
        if (!writePng(folder + QString("torvanta-%1.png").arg(size), size))
            return false;
    }
    return true;
}
