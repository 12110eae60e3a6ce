#include "cmdmon/ui/ser_monitor.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ui/qt_text.h"
#include "core/ui/window_translator.h"
#include "core/user_interface.h"
#include "link/frame_codec.h"
#include "params/message_numbers.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/connection.h"

namespace zrd::cmdmon {
namespace {

constexpr int kBaudRates[] = {300,   600,   1200,  2400,   4800,   9600,  14400,
                              19200, 38400, 57600, 115200, 128000, 256000};
constexpr const char* kDefaultBaud = "115200";
constexpr const char* kDataBits[] = {"4", "5", "6", "7", "8"};
constexpr const char* kDefaultDataBits = "8";
constexpr const char* kStopBits[] = {"1", "1.5", "2"};
constexpr const char* kParities[] = {"no", "odd", "even", "mark", "space"};
constexpr const char* kTimeOutDefaults[] = {"30", "0", "0", "0", "0"};
constexpr const char* kTimeOutLabels[] = {"Read total constant", "Read interval",
                                          "Read total multiplier", "Write total multiplier",
                                          "Write total constant"};
// Buttons of the window that have no action: shown as the window was laid out, never enabled.
constexpr const char* kIdleButtons[] = {"Send",         "Set",        "start FG",   "stop FG",
                                        "Set position", "Osciill on", "Oscill off", "stop osc",
                                        "enable",       "desable",    "save"};
constexpr int kCellWidth = 44;

link::Parity parityOf(const QString& text) {
    const QString t = text.trimmed();
    if (t == "odd")
        return link::Parity::Odd;
    if (t == "even")
        return link::Parity::Even;
    if (t == "mark")
        return link::Parity::Mark;
    if (t == "space")
        return link::Parity::Space;
    return link::Parity::None;
}

link::StopBits stopBitsOf(const QString& text) {
    const QString t = text.trimmed();
    if (t == "1.5")
        return link::StopBits::OneAndHalf;
    if (t == "2")
        return link::StopBits::Two;
    return link::StopBits::One;
}

QLineEdit* cell(QWidget* parent, const QString& name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFixedWidth(kCellWidth);
    return edit;
}

QComboBox* box(QWidget* parent, const char* name, bool editable) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(editable);
    return combo;
}

}  // namespace

TSer_monitor::TSer_monitor(MonitorParts parts, QWidget* parent)
    : QDialog(parent), m_parts(std::move(parts)) {
    setObjectName("Ser_monitor");
    setWindowTitle("Service Monitor");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    buildWindow();
    // The reader's thread only emits; the window handles each chunk on its own thread.
    connect(this, &TSer_monitor::chunkArrived, this, &TSer_monitor::showChunk,
            Qt::QueuedConnection);
    connect(this, &TSer_monitor::readerEnded, this, &TSer_monitor::readerStopped,
            Qt::QueuedConnection);
    setDefaults();
}

TSer_monitor::~TSer_monitor() {
    m_reader.stop();
}

void TSer_monitor::buildWindow() {
    auto* top = new QVBoxLayout(this);

    auto* settings = new QGroupBox("Port", this);
    auto* grid = new QGridLayout(settings);
    ComboBox1 = box(settings, "ComboBox1", true);
    ComboBox1->setMinimumWidth(220);
    ComboBox2 = box(settings, "ComboBox2", true);
    for (const int rate : kBaudRates)
        ComboBox2->addItem(QString::number(rate));
    ComboBox3 = box(settings, "ComboBox3", false);
    for (const char* bits : kDataBits)
        ComboBox3->addItem(bits);
    ComboBox4 = box(settings, "ComboBox4", false);
    for (const char* bits : kStopBits)
        ComboBox4->addItem(bits);
    ComboBox5 = box(settings, "ComboBox5", false);
    for (const char* parity : kParities)
        ComboBox5->addItem(parity);
    // Device paths and the parity names the port is set up from stay as they are.
    ui::markDataText(ComboBox1);
    ui::markDataText(ComboBox5);
    const std::pair<const char*, QComboBox*> boxes[] = {{"COM", ComboBox1},
                                                        {"BaudRate", ComboBox2},
                                                        {"Data bits", ComboBox3},
                                                        {"Stop bits", ComboBox4},
                                                        {"Parity", ComboBox5}};
    int column = 0;
    for (const auto& [label, combo] : boxes) {
        grid->addWidget(new QLabel(label, settings), 0, column);
        grid->addWidget(combo, 1, column++);
    }
    for (size_t i = 0; i < timeOuts.size(); ++i) {
        timeOuts[i] = new QLineEdit(settings);
        timeOuts[i]->setObjectName(QString("Edit%1").arg(55 + i));
        timeOuts[i]->setFixedWidth(kCellWidth * 2);
        grid->addWidget(new QLabel(kTimeOutLabels[i], settings), 2, static_cast<int>(i));
        grid->addWidget(timeOuts[i], 3, static_cast<int>(i));
    }
    Button14 = new QPushButton("Set COM", settings);
    Button14->setObjectName("Button14");
    grid->addWidget(Button14, 1, column);
    RecordTraffic = new QCheckBox("Record…", settings);
    RecordTraffic->setObjectName("RecordTraffic");
    RecordFile = new QLineEdit(settings);
    RecordFile->setObjectName("RecordFile");
    RecordFile->setPlaceholderText("traffic file");
    auto* browse = new QPushButton("…", settings);
    browse->setObjectName("RecordBrowse");
    grid->addWidget(RecordTraffic, 4, 0);
    grid->addWidget(RecordFile, 4, 1, 1, 3);
    grid->addWidget(browse, 4, 4);
    top->addWidget(settings);

    Panel1 = new QGroupBox(this);
    Panel1->setObjectName("Panel1");
    auto* idle = new QHBoxLayout(Panel1);
    for (const char* text : kIdleButtons) {
        auto* button = new QPushButton(text, Panel1);
        button->setEnabled(false);
        idle->addWidget(button);
    }
    top->addWidget(Panel1);

    Panel2 = new QGroupBox(this);
    Panel2->setObjectName("Panel2");
    auto* commands = new QHBoxLayout(Panel2);
    Button1 = new QPushButton("Read", Panel2);
    Button1->setObjectName("Button1");
    Button12 = new QPushButton("Reset", Panel2);
    Button12->setObjectName("Button12");
    Button15 = new QPushButton("Exit", Panel2);
    Button15->setObjectName("Button15");
    commands->addWidget(Button1);
    commands->addStretch();
    commands->addWidget(Button12);
    commands->addWidget(Button15);
    top->addWidget(Panel2);

    auto* request = new QGroupBox("Request", this);
    auto* requestGrid = new QGridLayout(request);
    Edit1 = new QLineEdit(request);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    requestGrid->addWidget(Edit1, 0, 0, 1, 7);
    // The cells stay together on the left; the last column takes the room that is left.
    requestGrid->setColumnStretch(6, 1);
    requestGrid->addWidget(new QLabel("hex", request), 1, 0);
    requestGrid->addWidget(new QLabel("dec", request), 2, 0);
    for (size_t i = 0; i < requestHex.size(); ++i) {
        requestHex[i] = cell(request, QString("Edit%1").arg(3 + i));
        requestDecimal[i] = cell(request, QString("Edit%1").arg(13 + i));
        requestGrid->addWidget(requestHex[i], 1, static_cast<int>(i) + 1);
        requestGrid->addWidget(requestDecimal[i], 2, static_cast<int>(i) + 1);
    }
    top->addWidget(request);

    auto* received = new QGroupBox("Received", this);
    auto* receivedGrid = new QGridLayout(received);
    Edit2 = new QLineEdit(received);
    Edit2->setObjectName("Edit2");
    Edit2->setReadOnly(true);
    constexpr int kSpareColumn = static_cast<int>(kGridBytes) + 1;
    receivedGrid->setColumnStretch(kSpareColumn, 1);
    receivedGrid->addWidget(Edit2, 0, 0, 1, kSpareColumn + 1);
    Memo1 = new QPlainTextEdit(received);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setMinimumHeight(160);
    receivedGrid->addWidget(Memo1, 1, 0, 1, kSpareColumn + 1);
    const char* rowLabels[] = {"hex", "dec", "decoded", "pairs"};
    for (int row = 0; row < 4; ++row)
        receivedGrid->addWidget(new QLabel(rowLabels[row], received), row + 2, 0);
    for (size_t j = 0; j < kGridBytes; ++j) {
        const int c = static_cast<int>(j) + 1;
        gridHex[j] = cell(received, QString("Edit%1").arg(23 + j));
        gridDecimal[j] = cell(received, QString("Edit%1").arg(33 + j));
        gridDecoded[j] = cell(received, QString("Edit%1").arg(43 + j));
        receivedGrid->addWidget(gridHex[j], 2, c);
        receivedGrid->addWidget(gridDecimal[j], 3, c);
        receivedGrid->addWidget(gridDecoded[j], 4, c);
    }
    for (size_t j = 0; j < kGridPairs; ++j) {
        gridPairs[j] = cell(received, QString("Edit%1").arg(60 + j));
        gridPairs[j]->setFixedWidth(kCellWidth * 2);
        auto* pair = new QPushButton(QString("%1-%2").arg(j + 1).arg(j + 2), received);
        pair->setFixedWidth(kCellWidth * 2);
        // A caption over its cell; it has no action.
        pair->setEnabled(false);
        receivedGrid->addWidget(pair, 6, static_cast<int>(j) + 1);
        receivedGrid->addWidget(gridPairs[j], 5, static_cast<int>(j) + 1);
    }
    top->addWidget(received);

    connect(Button14, &QPushButton::clicked, this, &TSer_monitor::Button14Click);
    connect(Button1, &QPushButton::clicked, this, &TSer_monitor::Button1Click);
    connect(Button12, &QPushButton::clicked, this, &TSer_monitor::Button12Click);
    connect(Button15, &QPushButton::clicked, this, &TSer_monitor::Button12Click);
    connect(RecordTraffic, &QCheckBox::toggled, this, &TSer_monitor::recordToggled);
    connect(browse, &QPushButton::clicked, this, [this] {
        // The file dialog opens without a loop of its own; its choice fills the path.
        auto* dialog = new QFileDialog(this, "Traffic recording", RecordFile->text(),
                                       "Traffic recordings (*.txt);;All files (*)");
        dialog->setObjectName("RecordFileDialog");
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, RecordFile, &QLineEdit::setText);
        dialog->open();
    });
}

void TSer_monitor::setDefaults() {
    ComboBox1->clear();
    const std::string current = m_parts.connection.device;
    if (!current.empty())
        ComboBox1->addItem(qs(current));
    if (m_parts.listPorts)
        for (const std::string& device : m_parts.listPorts())
            if (device != current)
                ComboBox1->addItem(qs(device));
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    ComboBox2->setCurrentText(kDefaultBaud);
    ComboBox3->setCurrentText(kDefaultDataBits);
    ComboBox4->setCurrentIndex(0);
    ComboBox5->setCurrentIndex(0);
    for (size_t i = 0; i < timeOuts.size(); ++i)
        timeOuts[i]->setText(kTimeOutDefaults[i]);
    Button14->setEnabled(!m_reader.started());
    Panel1->setEnabled(m_reader.started());
    Panel2->setEnabled(m_reader.started());
}

void TSer_monitor::showMonitor() {
    setDefaults();
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

QString TSer_monitor::message(int n) const {
    return qs(m_parts.messages.text(n, m_parts.model.language()));
}

void TSer_monitor::tell(const std::string& text) const {
    m_parts.ui.showMessage(message(params::kMsgCaption).toStdString(), text);
}

void TSer_monitor::Button14Click() {
    bool numeric = false;
    const int baud = ComboBox2->currentText().trimmed().toInt(&numeric);
    if (numeric && baud > 0)
        m_parts.connection.BaudRate = baud;
    if (m_parts.closeMainPort)
        m_parts.closeMainPort();
    // The time-outs show the main connection's; the reader's own waits are short polls.
    timeOuts[0]->setText(QString::number(m_parts.connection.PortTimeOut));
    for (size_t i = 1; i < timeOuts.size(); ++i)
        timeOuts[i]->setText("0");
    link::LineSettings line;
    line.baudRate = m_parts.connection.BaudRate;
    line.parity = parityOf(ComboBox5->currentText());
    line.stopBits = stopBitsOf(ComboBox4->currentText());
    const std::string device = ComboBox1->currentText().trimmed().toStdString();
    const bool opened =
        !device.empty() && m_reader.open(device, line) == link::OpenResult::Ok &&
        m_reader.start(
            [this](std::vector<uint8_t> chunk) {
                emit chunkArrived(QByteArray(reinterpret_cast<const char*>(chunk.data()),
                                             static_cast<qsizetype>(chunk.size())));
            },
            [this](ReaderEnd end, const std::string& reason) {
                emit readerEnded(static_cast<int>(end), qs(reason));
            });
    if (!opened) {
        m_reader.stop();
        m_parts.ui.showMessage(kPortFailCaption, kPortFailText);
        return;
    }
    m_display.reset();
    Panel1->setEnabled(true);
    Panel2->setEnabled(true);
    Button14->setEnabled(false);
}

void TSer_monitor::Button1Click() {
    // Asked without a loop of its own: the answer arrives as a signal.
    auto* question = new QInputDialog(this);
    question->setObjectName("MnemonicQuestion");
    question->setWindowTitle(message(kMsgMnemonicQuestion));
    question->setLabelText(QString());
    question->setTextValue(kDefaultMnemonic);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QInputDialog::textValueSelected, this, &TSer_monitor::sendRead);
    question->open();
}

void TSer_monitor::sendRead(const QString& mnemonic) {
    // The port may have closed while the question was open.
    if (!m_reader.started())
        return;
    params::ParameterModel& model = m_parts.model;
    if (const auto position = model.find(mnemonic.trimmed().toStdString()))
        model.setCurrentParameter(*position);
    link::RequestRecord request{};
    request[0] = link::kRequestRead;
    request[1] = model.parameter(model.currentParameter()).Index;
    link::TransmitBuffer frame{};
    const size_t length = link::encodeRequest(request, frame);
    QStringList all;
    for (size_t i = 0; i < length; ++i)
        all << QString::number(frame[i]);
    Edit1->setText(all.join(' ') + ' ');
    // Bytes 1..4, and the fifth of an escaped index; the cells of a shorter frame are empty.
    for (size_t i = 0; i < requestHex.size(); ++i) {
        const bool shown = i < length && (i < 4 || length == 5);
        requestHex[i]->setText(shown ? QString("%1").arg(frame[i], 2, 16, QChar('0')).toUpper()
                                     : QString());
        requestDecimal[i]->setText(shown ? QString::number(frame[i]) : QString());
    }
    const std::vector<uint8_t> bytes(frame.begin(), frame.begin() + static_cast<long>(length));
    if (m_reader.write(bytes.data(), bytes.size()) != static_cast<int>(bytes.size())) {
        tell(message(params::kMsgFrameNotWritten).toStdString());
        return;
    }
    record(Direction::Sent, bytes);
}

void TSer_monitor::showChunk(const QByteArray& bytes) {
    const ChunkShown shown = m_display.feed(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                            static_cast<size_t>(bytes.size()));
    Edit2->setText(qs(shown.runningText));
    for (const ReceivedLine& line : shown.lines) {
        Memo1->appendPlainText(qs(lineText(line.bytes)));
        record(Direction::Received, line.bytes);
    }
    if (shown.grid)
        showGrid(*shown.grid);
}

void TSer_monitor::showGrid(const FrameGrid& grid) {
    for (size_t j = 0; j < kGridBytes; ++j) {
        gridHex[j]->setText(qs(grid.hex[j]));
        gridDecimal[j]->setText(qs(grid.decimal[j]));
        gridDecoded[j]->setText(qs(grid.decoded[j]));
    }
    for (size_t j = 0; j < kGridPairs; ++j)
        gridPairs[j]->setText(qs(grid.pairs[j]));
}

void TSer_monitor::readerStopped(int end, const QString& reason) {
    if (static_cast<ReaderEnd>(end) == ReaderEnd::Stopped)
        return;
    stopPort();
    tell(message(params::kMsgPortLost).toStdString() + reason.toStdString());
}

void TSer_monitor::stopPort() {
    m_reader.stop();
    Button14->setEnabled(true);
    Panel1->setEnabled(false);
    Panel2->setEnabled(false);
}

void TSer_monitor::Button12Click() {
    close();
}

void TSer_monitor::closeEvent(QCloseEvent* event) {
    stopPort();
    RecordTraffic->setChecked(false);
    QDialog::closeEvent(event);
}

void TSer_monitor::recordToggled(bool on) {
    if (!on) {
        m_recorder.reset();
        return;
    }
    const std::string path = RecordFile->text().trimmed().toStdString();
    m_recorder = std::make_unique<TrafficRecorder>(namesFrom(m_parts.model));
    if (path.empty() || !m_recorder->open(path)) {
        tell(path.empty() ? "No file named for the recording" : m_recorder->error());
        m_recorder.reset();
        RecordTraffic->setChecked(false);
    }
}

void TSer_monitor::record(Direction direction, const std::vector<uint8_t>& bytes) {
    if (!m_recorder)
        return;
    if (!m_recorder->record(direction, bytes)) {
        tell(m_recorder->error());
        RecordTraffic->setChecked(false);
    }
}

}  // namespace zrd::cmdmon
