#include "core/ui/lamp.h"

#include <QPainter>

#include "core/ui/colors.h"

namespace zrd::ui {

TLamp::TLamp(const QString& name, QWidget* parent) : QWidget(parent), m_colour(colors::kGrey) {
    setObjectName(name);
    setFixedSize(sizeHint());
}

void TLamp::setColour(QRgb colour) {
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void TLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = QColor::fromRgb(m_colour);
    QRadialGradient glow(QPointF(width() * 0.35, height() * 0.35), width() * 0.7);
    glow.setColorAt(0, fill.lighter(160));
    glow.setColorAt(1, fill);
    painter.setBrush(glow);
    painter.setPen(QPen(fill.darker(170), 1));
    painter.drawEllipse(QRectF(1.5, 1.5, width() - 3, height() - 3));
}

}  // namespace zrd::ui
