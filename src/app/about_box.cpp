#include "app/about_box.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/main_form.h"

namespace zrd::app {
namespace {

// The program's emblem: a servo motor's flange with its shaft and the encoder ring.
QPixmap emblem() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 60, 110), 2));
    p.setBrush(QColor(70, 120, 190));
    p.drawRoundedRect(QRectF(6, 10, 52, 44), 6, 6);
    p.setBrush(QColor(225, 230, 240));
    p.drawEllipse(QPointF(32, 32), 15, 15);
    p.setBrush(QColor(250, 190, 40));
    p.drawEllipse(QPointF(32, 32), 6, 6);
    p.setPen(QPen(QColor(30, 60, 110), 1.5, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 11, 11);
    return pixmap;
}

}  // namespace

TAboutBox::TAboutBox(TMainForm& form) : QDialog(&form), m_form(form) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    setModal(true);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setPixmap(emblem());
    ProductName = new QLabel(kAboutProduct, this);
    ProductName->setObjectName("ProductName");
    QFont big = ProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    ProductName->setFont(big);
    Version = new QLabel(kAboutVersion, this);
    Version->setObjectName("Version");
    Comments = new QLabel(kAboutBuildDate, this);
    Comments->setObjectName("Comments");
    Copyright = new QLabel(kAboutMaker, this);
    Copyright->setObjectName("Copyright");
    OKButton = new QPushButton("Yes", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    texts->addWidget(Comments);
    texts->addSpacing(8);
    texts->addWidget(Copyright);
    auto* top = new QHBoxLayout;
    top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 12);
    root->addLayout(top);
    root->addSpacing(12);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    root->addLayout(buttons);
    setFixedSize(360, 190);

    // Keys reach the box itself when the focused button does not take them (every letter),
    // so each typed character is seen once.
    installEventFilter(this);
    Copyright->installEventFilter(this);
}

void TAboutBox::showEvent(QShowEvent* event) {
    m_makerHeld = false;
    QDialog::showEvent(event);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (watched == this && FormKeyPress(key->key(), key->modifiers(), key->text()))
                return true;
            break;
        }
        case QEvent::MouseButtonPress:
            if (watched == Copyright)
                m_makerHeld = true;
            break;
        case QEvent::MouseButtonRelease:
            if (watched == Copyright)
                m_makerHeld = false;
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

bool TAboutBox::FormKeyPress(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier;
    if (key == Qt::Key_Q && (modifiers & chord) == chord) {
        if (m_makerHeld)
            m_form.toggleOutline();
        return true;
    }
    if (text.size() != 1 || !text.at(0).isPrint())
        return false;
    // A letter outside ASCII never belongs to a sequence, but it breaks a match all the same.
    const QChar typed = text.at(0);
    const char c = typed.unicode() <= 0x7F ? typed.toLatin1() : '\0';
    const std::optional<AccessLevel> level = m_unlocker.feed(c);
    if (!level)
        return false;
    m_form.openServiceMenus(*level == AccessLevel::Admin);
    accept();
    return true;
}

}  // namespace zrd::app
