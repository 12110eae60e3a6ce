#pragma once

#include <QColor>
#include <QString>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zrd::ui {

// What the program remembers between runs: the connection, the main window's last page and the
// viewers' channel colours, in an INI file of the user's configuration folder. Values are
// checked when read; a file that cannot be read at all is set aside and the defaults are used.
class SettingsFile {
public:
    // A problem with the file, and the texts its message names: the file and the copy set
    // aside, the file and the key, or the file.
    struct Problem {
        enum class Kind { Unreadable, UnusableValue, NotSaved } kind;
        std::vector<std::string> arguments;
    };

    // The connection of the last port that opened.
    struct Connection {
        std::string device;
        int baudRate;
        int timeOutMs;
        int fastGapBytes = 0;  // the fast link's gap; 0 for the safe timing
        bool autoReconnect = false;
    };

    // An empty path keeps everything in memory: nothing is read or written.
    explicit SettingsFile(QString path);

    // Reads the file (a missing one is no problem). A file that cannot be read is renamed to
    // "<file>.broken" and nothing of it is used; an unusable value is dropped.
    std::vector<Problem> load();
    // Writes every setting; a problem when the file cannot be written.
    std::optional<Problem> save() const;

    [[nodiscard]] const QString& path() const { return m_path; }

    [[nodiscard]] std::optional<Connection> connection() const;
    void setConnection(const Connection& connection);

    // The last page, when one is remembered below pageCount.
    [[nodiscard]] std::optional<int> lastPage(int pageCount) const;
    void setLastPage(int page);

    // The colour of a viewer's channel (viewer "online" or "offline", channel from 1); the
    // fallback when none is remembered.
    [[nodiscard]] QColor channelColour(const QString& viewer, int channel,
                                       const QColor& fallback) const;
    void setChannelColour(const QString& viewer, int channel, const QColor& colour);

    // The viewers' options: one value range for signals of the same unit, and the viewer as a
    // normal window beside the program instead of the modal one. Off when none is remembered.
    [[nodiscard]] bool sharedScale() const;
    void setSharedScale(bool on);
    [[nodiscard]] bool viewerBeside() const;
    void setViewerBeside(bool on);

private:
    std::optional<QString> text(const QString& key) const;
    std::optional<int> number(const QString& key) const;
    bool flag(const QString& key) const;
    void setFlag(const QString& key, bool on);

    QString m_path;
    std::map<QString, QString> m_values;  // every key of the file, checked ones included
};

}  // namespace zrd::ui
