#include "core/ui/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

namespace zrd::ui {
namespace {

constexpr const char* kPort = "connection/port";
constexpr const char* kBaudRate = "connection/baud";
constexpr const char* kTimeOut = "connection/timeout";
constexpr const char* kFastGap = "connection/fastGap";
constexpr const char* kAutoReconnect = "connection/autoReconnect";
constexpr const char* kLastPage = "window/lastPage";
constexpr const char* kSharedScale = "viewerOptions/sharedScale";
constexpr const char* kViewerBeside = "viewerOptions/besideProgram";
constexpr const char* kFlagOn = "1";
constexpr const char* kFlagOff = "0";
constexpr int kMaxBaudRate = 100'000'000;
constexpr int kMaxTimeOutMs = 600'000;
constexpr int kMaxFastGapBytes = 1000;
// A larger file is no settings file of ours.
constexpr qint64 kMaxFileBytes = 1 << 20;

QString colourKey(const QString& viewer, int channel) {
    return QStringLiteral("viewers/%1/channel%2").arg(viewer).arg(channel);
}

std::optional<int> wholeNumber(const QString& text, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

// Whether a value read is one the program could have written.
bool usable(const QString& key, const QString& value) {
    if (key == kPort)
        return !value.isEmpty() &&
               std::none_of(value.begin(), value.end(), [](QChar c) { return c < ' '; });
    if (key == kBaudRate)
        return wholeNumber(value, 1, kMaxBaudRate).has_value();
    if (key == kTimeOut)
        return wholeNumber(value, 1, kMaxTimeOutMs).has_value();
    if (key == kFastGap)
        return wholeNumber(value, 0, kMaxFastGapBytes).has_value();
    if (key == kLastPage)
        return wholeNumber(value, 0, 1000).has_value();
    if (key == kSharedScale || key == kViewerBeside || key == kAutoReconnect)
        return value == kFlagOn || value == kFlagOff;
    if (key.startsWith("viewers/"))
        return value.size() == 7 && value.startsWith('#') && QColor::isValidColorName(value);
    // Keys of other versions of the program are kept as they are.
    return true;
}

// A file QSettings must not be given: not UTF-8 text, or holding serialized objects, whose
// reading would trust the bytes.
bool readable(const QByteArray& bytes) {
    if (bytes.contains('\0') || bytes.contains("@Variant("))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    // The decoding runs when its result is taken.
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

}  // namespace

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

std::vector<SettingsFile::Problem> SettingsFile::load() {
    std::vector<Problem> problems;
    m_values.clear();
    if (m_path.isEmpty() || !QFileInfo::exists(m_path))
        return problems;
    QFile file(m_path);
    bool broken = !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes;
    if (!broken)
        broken = !readable(file.readAll());
    file.close();
    std::map<QString, QString> values;
    if (!broken) {
        const QSettings settings(m_path, QSettings::IniFormat);
        broken = settings.status() != QSettings::NoError;
        for (const QString& key : settings.allKeys())
            values[key] = settings.value(key).toString();
    }
    if (broken) {
        // Set aside rather than overwritten: the user may want what was in it.
        const QString aside = m_path + ".broken";
        QFile::remove(aside);
        const bool moved = QFile::rename(m_path, aside);
        problems.push_back({Problem::Kind::Unreadable,
                            {m_path.toStdString(), (moved ? aside : m_path).toStdString()}});
        return problems;
    }
    for (const auto& [key, value] : values) {
        if (usable(key, value))
            m_values[key] = value;
        else
            problems.push_back(
                {Problem::Kind::UnusableValue, {m_path.toStdString(), key.toStdString()}});
    }
    return problems;
}

std::optional<SettingsFile::Problem> SettingsFile::save() const {
    if (m_path.isEmpty())
        return std::nullopt;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSettings settings(m_path, QSettings::IniFormat);
    settings.clear();
    for (const auto& [key, value] : m_values)
        settings.setValue(key, value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return Problem{Problem::Kind::NotSaved, {m_path.toStdString()}};
    return std::nullopt;
}

std::optional<QString> SettingsFile::text(const QString& key) const {
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

std::optional<int> SettingsFile::number(const QString& key) const {
    const auto value = text(key);
    if (!value)
        return std::nullopt;
    bool ok = false;
    const int n = value->toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

std::optional<SettingsFile::Connection> SettingsFile::connection() const {
    const auto port = text(kPort);
    const auto baud = number(kBaudRate);
    const auto timeOut = number(kTimeOut);
    if (!port || !baud || !timeOut)
        return std::nullopt;
    // Files of earlier versions have no gap: the safe timing.
    return Connection{port->toStdString(), *baud, *timeOut, number(kFastGap).value_or(0),
                      flag(kAutoReconnect)};
}

void SettingsFile::setConnection(const Connection& connection) {
    m_values[kPort] = QString::fromStdString(connection.device);
    m_values[kBaudRate] = QString::number(connection.baudRate);
    m_values[kTimeOut] = QString::number(connection.timeOutMs);
    m_values[kFastGap] = QString::number(connection.fastGapBytes);
    setFlag(kAutoReconnect, connection.autoReconnect);
}

std::optional<int> SettingsFile::lastPage(int pageCount) const {
    const auto page = number(kLastPage);
    if (!page || *page < 0 || *page >= pageCount)
        return std::nullopt;
    return page;
}

void SettingsFile::setLastPage(int page) {
    m_values[kLastPage] = QString::number(page);
}

QColor SettingsFile::channelColour(const QString& viewer, int channel,
                                   const QColor& fallback) const {
    const auto name = text(colourKey(viewer, channel));
    return name ? QColor(*name) : fallback;
}

void SettingsFile::setChannelColour(const QString& viewer, int channel, const QColor& colour) {
    m_values[colourKey(viewer, channel)] = colour.name(QColor::HexRgb);
}

bool SettingsFile::flag(const QString& key) const {
    return text(key) == QString(kFlagOn);
}

void SettingsFile::setFlag(const QString& key, bool on) {
    m_values[key] = on ? kFlagOn : kFlagOff;
}

bool SettingsFile::sharedScale() const {
    return flag(kSharedScale);
}

void SettingsFile::setSharedScale(bool on) {
    setFlag(kSharedScale, on);
}

bool SettingsFile::viewerBeside() const {
    return flag(kViewerBeside);
}

void SettingsFile::setViewerBeside(bool on) {
    setFlag(kViewerBeside, on);
}

}  // namespace zrd::ui
