#pragma once

#include <QWidget>

namespace zrd::ui {

// A round indicator lamp of the drive-state area.
class TLamp : public QWidget {
    Q_OBJECT
public:
    explicit TLamp(const QString& name, QWidget* parent = nullptr);

    void setColour(QRgb colour);
    [[nodiscard]] QRgb colour() const { return m_colour; }
    [[nodiscard]] QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRgb m_colour;
};

}  // namespace zrd::ui
