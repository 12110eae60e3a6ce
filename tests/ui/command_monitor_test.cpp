// The command monitor end to end on a pseudo-terminal, through its controls.

#include "command_monitor_test.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "cmdmon/frame_display.h"
#include "cmdmon/ui/ser_monitor.h"
#include "link/frame_codec.h"

namespace cm = zrd::cmdmon;

namespace {

// A value whose high byte is the start byte: the answer carries an escape.
constexpr uint16_t kEscapedValue = 0xE105;

QString cellText(QWidget* window, const char* name) {
    auto* edit = window->findChild<QLineEdit*>(name);
    return edit ? edit->text() : QString("<no %1>").arg(name);
}

}  // namespace

void CommandMonitorTest::init() {
    m_fixture = std::make_unique<zrd::test::ProgramFixture>();
    const std::string database = zrd::test::programDatabase();
    QVERIFY(!database.empty());
    m_fixture->writeData("Param_base.mod", database);
    QVERIFY(m_fixture->startUp());
    m_sim = std::make_unique<zrd::sim::SimServer>();
    QVERIFY(m_fixture->connectToSim(*m_sim));
}

void CommandMonitorTest::cleanup() {
    if (auto* monitor = m_fixture->form().Ser_monitor)
        monitor->close();
    m_fixture->program().link.closePort();
    m_sim.reset();
    m_fixture.reset();
}

void CommandMonitorTest::readShowsTheAnswerAndRecordsIt() {
    zrd::app::Program& program = m_fixture->program();
    const uint8_t index = zrd::test::driveIndexOf(program.model, cm::kDefaultMnemonic);
    m_sim->withDrive([&](zrd::sim::SimDrive& d) { d.setAnswer(index, kEscapedValue); });
    const std::string recording = m_fixture->dir.file("monitor.txt");

    m_fixture->form().Commandmonitor1->trigger();
    cm::TSer_monitor* monitor = m_fixture->form().Ser_monitor;
    QVERIFY(monitor->isVisible());
    QCOMPARE(monitor->windowModality(), Qt::ApplicationModal);
    QCOMPARE(monitor->ComboBox2->currentText(), QString("115200"));
    QVERIFY(!monitor->Panel2->isEnabled());

    monitor->ComboBox1->setEditText(QString::fromStdString(m_sim->devicePath()));
    monitor->RecordFile->setText(QString::fromStdString(recording));
    monitor->RecordTraffic->setChecked(true);
    m_fixture->ui.boxes.clear();
    monitor->Button14->click();
    QVERIFY(m_fixture->ui.boxes.empty());
    // The main link let go of the line and is offline.
    QVERIFY(!program.port->isOpen());
    QCOMPARE(program.link.state().connected, 0);
    QVERIFY(monitor->Panel2->isEnabled());
    QVERIFY(!monitor->Button14->isEnabled());
    // The buttons without an action stay disabled: every enabled button acts.
    for (const QPushButton* b : monitor->findChildren<QPushButton*>()) {
        if (b->isEnabled())
            QVERIFY2(QStringList({"Button1", "Button12", "Button15", "RecordBrowse"})
                         .contains(b->objectName()),
                     qPrintable(b->text()));
    }
    QCOMPARE(cellText(monitor, "Edit55"), QString::number(program.connection.PortTimeOut));

    monitor->Button1->click();
    auto* question = monitor->findChild<QInputDialog*>("MnemonicQuestion");
    QVERIFY(question);
    QCOMPARE(question->textValue(), QString(cm::kDefaultMnemonic));
    question->accept();

    // The request as sent, byte by byte.
    zrd::link::RequestRecord request{};
    request[0] = zrd::link::kRequestRead;
    request[1] = index;
    zrd::link::TransmitBuffer frame{};
    const size_t length = zrd::link::encodeRequest(request, frame);
    QCOMPARE(cellText(monitor, "Edit4"), QString("%1").arg(zrd::link::kCmdReadParameter, 2, 16));
    QCOMPARE(cellText(monitor, "Edit15"), QString::number(frame[2]));
    QCOMPARE(cellText(monitor, "Edit1").split(' ', Qt::SkipEmptyParts).size(),
             static_cast<qsizetype>(length));

    // The answer: one line, the grid from the start byte, the escape undone in its cell.
    std::vector<uint8_t> answer{zrd::link::kStartByte, zrd::link::kReplyRead};
    zrd::link::appendEscaped(answer, index);
    zrd::link::appendEscaped(answer, kEscapedValue >> 8);
    zrd::link::appendEscaped(answer, kEscapedValue & 0xFF);
    answer.push_back(zrd::link::kEndByte);
    const QString line = QString::fromStdString(cm::lineText(answer));
    QTRY_COMPARE_WITH_TIMEOUT(monitor->Memo1->toPlainText(), line, kWaitMs);
    QCOMPARE(monitor->Edit2->text(), line);
    QCOMPARE(cellText(monitor, "Edit23"), QString("E1"));
    const auto escapeAt = std::find(answer.begin() + 2, answer.end(), zrd::link::kEscapeByte);
    const int afterEscape = static_cast<int>(escapeAt - answer.begin()) + 1;
    QCOMPARE(cellText(monitor, QString("Edit%1").arg(43 + afterEscape).toUtf8().constData()),
             QString::number(zrd::link::kStartByte));

    monitor->Button15->click();
    QVERIFY(!monitor->isVisible());
    QVERIFY(monitor->Button14->isEnabled());
    std::ifstream in(recording, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string hver =
        std::string(cm::kDefaultMnemonic) + " (index " + std::to_string(index) + ")";
    QVERIFY2(text.str().find("> " + zrd::link::toHex(frame.data(), length) + " ; read " + hver) !=
                 std::string::npos,
             text.str().c_str());
    QVERIFY2(text.str().find("< " + zrd::link::toHex(answer.data(), answer.size()) + " ; value " +
                             hver + " = " + std::to_string(kEscapedValue)) != std::string::npos,
             text.str().c_str());
}

void CommandMonitorTest::portThatDoesNotOpenIsReported() {
    m_fixture->form().Commandmonitor1->trigger();
    cm::TSer_monitor* monitor = m_fixture->form().Ser_monitor;
    monitor->ComboBox1->setEditText(m_fixture->dir.file("no-such-port").c_str());
    m_fixture->ui.boxes.clear();
    monitor->Button14->click();
    QCOMPARE(m_fixture->ui.boxes.size(), size_t{1});
    QCOMPARE(m_fixture->ui.boxes[0].caption, std::string(cm::kPortFailCaption));
    QCOMPARE(m_fixture->ui.boxes[0].text, std::string(cm::kPortFailText));
    QVERIFY(!monitor->Panel2->isEnabled());
    QVERIFY(monitor->Button14->isEnabled());
}
