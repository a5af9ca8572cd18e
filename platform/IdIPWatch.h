// The local-address watcher of a window: polls the local address on a thread of its own, keeps the
// current address for the user-interface thread and a short history of the addresses the machine lost.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class TIdIPWatchPoller;

/// Lives on the user-interface thread; only the lookups run on its polling thread, through
/// Platform::current() (so a test destroys the watcher before its FakePlatform).
class TIdIPWatch : public QObject {
    Q_OBJECT
public:
    explicit TIdIPWatch(QObject *parent = nullptr);
    /// Stops and joins the polling thread, adds the current address to the history and, with history
    /// enabled, writes the history file.
    ~TIdIPWatch() override;

    /// Polling on or off. Switching on looks the address up at once, then every WatchInterval ms.
    bool Active() const { return m_poller != nullptr; }
    void setActive(bool active);

    /// The current local address (dotted); looked up now if the watcher has never looked.
    QString LocalIP();
    /// The address before the last change.
    QString PreviousIP() const { return m_previous; }

    /// Whether the history is written to HistoryFilename on destruction; on by default.
    bool HistoryEnabled() const { return m_historyEnabled; }
    void setHistoryEnabled(bool enabled) { m_historyEnabled = enabled; }
    /// The history file, relative to the current folder at destruction; "iphist.dat" by default.
    QString HistoryFilename() const { return m_historyFilename; }
    void setHistoryFilename(const QString &fileName) { m_historyFilename = fileName; }
    /// At most this many addresses are kept (25); the oldest goes first.
    int MaxHistoryEntries() const { return m_maxHistoryEntries; }
    void setMaxHistoryEntries(int count);
    /// The history, oldest first.
    QStringList IPHistoryList() const { return m_history; }

    /// Milliseconds between lookups (1000); takes effect at the next activation.
    int WatchInterval() const { return m_watchInterval; }
    void setWatchInterval(int milliseconds) { m_watchInterval = milliseconds; }

    /// Looks the address up now, on the calling thread, and takes the answer as a poll would.
    void ForceCheck();
    /// Writes the history, one address per line (CR LF), replacing the file.
    bool SaveHistory() const;

signals:
    /// The current address changed.
    void StatusChanged(const QString &address);

private:
    void takeAddress(const QString &address);
    void addToHistory(const QString &address);
    void stopPolling();

    std::unique_ptr<TIdIPWatchPoller> m_poller;
    bool m_looked = false;
    QString m_current;
    QString m_previous;
    QStringList m_history;
    bool m_historyEnabled = true;
    QString m_historyFilename = QStringLiteral("iphist.dat");
    int m_maxHistoryEntries = 25;
    int m_watchInterval = 1000;
};
