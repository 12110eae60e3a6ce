#include "scope/ui/information.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zrd::scope {
namespace {

// The oscillogram keeps its texts with CR LF line ends, as its files do.
QString fromStored(const std::string& text) {
    return QString::fromStdString(text).replace("\r\n", "\n");
}

std::string toStored(const QString& text) {
    return QString(text).replace("\n", "\r\n").toStdString();
}

}  // namespace

TInformation::TInformation(Oscillogram& oscillogram, QWidget* parent)
    : QDialog(parent), m_oscillogram(oscillogram) {
    setObjectName("Information");
    setWindowTitle(kInformationCaption);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* caption = new QLabel("Comments :", this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TInformation::Memo1Change);

    auto* root = new QVBoxLayout(this);
    root->addWidget(Label1);
    root->addWidget(caption);
    root->addWidget(Memo1);
    resize(420, 320);
}

void TInformation::showInformation() {
    Label1->setText(fromStored(m_oscillogram.headerText()));
    {
        // Filling the memo is no edit of the comments.
        const QSignalBlocker blocker(Memo1);
        Memo1->setPlainText(fromStored(m_oscillogram.comments));
    }
    show();
    raise();
}

void TInformation::Memo1Change() {
    m_oscillogram.comments = toStored(Memo1->toPlainText());
}

}  // namespace zrd::scope
