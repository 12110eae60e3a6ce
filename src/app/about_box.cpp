#include "app/about_box.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegion>
#include <QVBoxLayout>
#include <random>

#include "app/main_form.h"
#include "app/torvanta_application.h"

namespace zrd::app {

constexpr int kIconSize = 64;

TAboutBox::TAboutBox(TMainForm& form) : QDialog(&form), m_form(form) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    setModal(true);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setPixmap(programIcon().pixmap(kIconSize, kIconSize));
    ProductName = new QLabel(kAboutProduct, this);
    ProductName->setObjectName("ProductName");
    QFont big = ProductName->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    ProductName->setFont(big);
    // The version of the build, as --version prints it; the product's own when none is given.
    const std::string& built = form.program().options.versionText;
    Version =
        new QLabel(built.empty() ? QString(kAboutVersion)
                                 : QStringLiteral("Version %1").arg(QString::fromStdString(built)),
                   this);
    Version->setObjectName("Version");
    Version->setWordWrap(true);
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
    setFixedSize(400, 190);

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
            toggleOutline();
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

void TAboutBox::toggleOutline() {
    m_perforated = !m_perforated;
    if (!m_perforated) {
        m_form.clearMask();
        return;
    }
    std::random_device seed;
    std::mt19937 random(seed());
    QRegion outline(m_form.rect());
    for (const OutlineHole& hole : outlineHoles(random, m_form.width(), m_form.height()))
        outline -= QRegion(hole.x, hole.y, hole.width, hole.height, QRegion::Ellipse);
    m_form.setMask(outline);
}

}  // namespace zrd::app
