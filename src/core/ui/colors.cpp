#include "core/ui/colors.h"

#include <QLineEdit>
#include <QPalette>

namespace zrd::ui {

void paintState(QWidget* widget, QRgb colour) {
    if (widget == nullptr)
        return;
    QPalette palette = widget->palette();
    const QColor c = QColor::fromRgb(colour);
    palette.setColor(QPalette::Base, c);
    palette.setColor(QPalette::Window, c);
    palette.setColor(QPalette::Button, c);
    // Dark fills get light text; the state colours are mostly bright.
    const QColor text = c.lightness() < 110 ? QColor(Qt::white) : QColor(Qt::black);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    widget->setPalette(palette);
    if (qobject_cast<QLineEdit*>(widget) == nullptr)
        widget->setAutoFillBackground(true);
}

QRgb stateColour(const QWidget* widget) {
    if (widget == nullptr)
        return 0;
    const QPalette::ColorRole role =
        qobject_cast<const QLineEdit*>(widget) != nullptr ? QPalette::Base : QPalette::Window;
    return widget->palette().color(role).rgb();
}

}  // namespace zrd::ui
