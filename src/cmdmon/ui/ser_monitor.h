#pragma once

// The command monitor: its own port with its own line settings, a reader thread that hands each
// chunk over through a queued signal, the received frames as text and grid, one read request at
// a time, and a recording of the traffic.

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cmdmon/frame_display.h"
#include "cmdmon/port_reader.h"
#include "cmdmon/traffic_record.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zrd {
class UserInterface;
}
namespace zrd::params {
class MessageTable;
class ParameterModel;
}  // namespace zrd::params
namespace zrd::session {
struct ConnectionSettings;
}

namespace zrd::cmdmon {

// The question for the mnemonic of "Read" is captioned with this message.
inline constexpr int kMsgMnemonicQuestion = 55;
inline constexpr const char* kDefaultMnemonic = "HVER";
inline constexpr const char* kPortFailCaption = "Attention ";
inline constexpr const char* kPortFailText = "Com port not install";

// What the monitor works with, owned by the program.
struct MonitorParts {
    UserInterface& ui;
    const params::MessageTable& messages;
    params::ParameterModel& model;
    session::ConnectionSettings& connection;
    // Closes the main link's port: the main window goes offline until it connects again.
    std::function<void()> closeMainPort;
    // The serial devices of this machine, as the connection dialog lists them.
    std::function<std::vector<std::string>()> listPorts;
};

class TSer_monitor : public QDialog {
    Q_OBJECT
public:
    TSer_monitor(MonitorParts parts, QWidget* parent = nullptr);
    ~TSer_monitor() override;

    // Shows the window modally (without a loop of its own), its settings at their defaults.
    void showMonitor();

    // The grid's rows, bytes 1..10 and pairs 1-2..9-10.
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox4;
    QComboBox* ComboBox5;
    std::array<QLineEdit*, 5> timeOuts{};  // Edit55 .. Edit59
    QPushButton* Button14;
    QGroupBox* Panel1;
    QGroupBox* Panel2;
    QPushButton* Button1;
    QPushButton* Button12;
    QPushButton* Button15;
    QLineEdit* Edit1;
    std::array<QLineEdit*, 5> requestHex{};      // Edit3 .. Edit7
    std::array<QLineEdit*, 5> requestDecimal{};  // Edit13 .. Edit17
    QLineEdit* Edit2;
    QPlainTextEdit* Memo1;
    std::array<QLineEdit*, kGridBytes> gridHex{};      // Edit23 .. Edit32
    std::array<QLineEdit*, kGridBytes> gridDecimal{};  // Edit33 .. Edit42
    std::array<QLineEdit*, kGridBytes> gridDecoded{};  // Edit43 .. Edit52
    std::array<QLineEdit*, kGridPairs> gridPairs{};    // Edit60 .. Edit68
    QCheckBox* RecordTraffic;
    QLineEdit* RecordFile;

signals:
    // From the reader thread: one chunk of received bytes.
    void chunkArrived(QByteArray bytes);
    // From the reader thread: it ended, and why.
    void readerEnded(int end, QString reason);

public slots:
    void Button14Click();
    void Button1Click();
    // "Reset" and "Exit": the reader stops, the port closes, the window closes.
    void Button12Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void setDefaults();
    void showChunk(const QByteArray& bytes);
    void showGrid(const FrameGrid& grid);
    void readerStopped(int end, const QString& reason);
    void sendRead(const QString& mnemonic);
    void stopPort();
    void recordToggled(bool on);
    void record(Direction direction, const std::vector<uint8_t>& bytes);
    [[nodiscard]] QString message(int n) const;
    // Shows a text in a box with the program's caption.
    void tell(const std::string& text) const;

    MonitorParts m_parts;
    PortReader m_reader;
    FrameDisplay m_display;
    // Made when a recording starts: the names of the database loaded by then.
    std::unique_ptr<TrafficRecorder> m_recorder;
};

}  // namespace zrd::cmdmon
