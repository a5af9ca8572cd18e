// The local-address watcher: a polling thread that only looks up, and the history rules that run on
// the user-interface thread when its answers arrive.
#include "platform/IdIPWatch.h"

#include "platform/Platform.h"

#include <QFile>
#include <QThread>

#include <condition_variable>
#include <mutex>

/// Looks the address up every interval until stopped; answers through a queued signal.
class TIdIPWatchPoller : public QThread {
    Q_OBJECT
public:
    explicit TIdIPWatchPoller(int intervalMs) : m_intervalMs(intervalMs) {}

    ~TIdIPWatchPoller() override { stop(); }

    /// Ends the loop and joins the thread.
    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        wait();
    }

signals:
    void looked(const QString &address);

protected:
    void run() override
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            lock.unlock();
            const QString address = olm::platform::Platform::current().localAddress();
            lock.lock();
            if (m_stopping)
                break;
            emit looked(address);
            m_wake.wait_for(lock, std::chrono::milliseconds(m_intervalMs), [this] { return m_stopping; });
        }
    }

private:
    const int m_intervalMs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

TIdIPWatch::TIdIPWatch(QObject *parent) : QObject(parent) {}

TIdIPWatch::~TIdIPWatch()
{
    stopPolling();
    addToHistory(m_current);
    if (m_historyEnabled)
        SaveHistory();
}

void TIdIPWatch::setActive(bool active)
{
    if (active == Active())
        return;
    if (!active) {
        stopPolling();
        return;
    }
    // The first answer is wanted at once (a sign-in may ask right away); the thread takes over after.
    ForceCheck();
    m_poller = std::make_unique<TIdIPWatchPoller>(m_watchInterval);
    connect(m_poller.get(), &TIdIPWatchPoller::looked, this, &TIdIPWatch::takeAddress, Qt::QueuedConnection);
    m_poller->start();
}

QString TIdIPWatch::LocalIP()
{
    if (!m_looked)
        ForceCheck();
    return m_current;
}

void TIdIPWatch::setMaxHistoryEntries(int count)
{
    m_maxHistoryEntries = qMax(0, count);
    while (m_history.size() > m_maxHistoryEntries)
        m_history.removeFirst();
}

void TIdIPWatch::ForceCheck()
{
    takeAddress(olm::platform::Platform::current().localAddress());
}

bool TIdIPWatch::SaveHistory() const
{
    QFile file(m_historyFilename);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QString &address : m_history)
        file.write(address.toLatin1() + "\r\n");
    return file.flush();
}

void TIdIPWatch::takeAddress(const QString &address)
{
    m_looked = true;
    if (address == m_current)
        return;
    // The history keeps the addresses the machine lost, not the ones it gained.
    addToHistory(m_current);
    m_previous = m_current;
    m_current = address;
    emit StatusChanged(m_current);
}

void TIdIPWatch::addToHistory(const QString &address)
{
    if (address.isEmpty() || address == QLatin1String("127.0.0.1"))
        return;
    if (!m_history.isEmpty() && m_history.constLast() == address)
        return;
    m_history.append(address);
    while (m_history.size() > m_maxHistoryEntries)
        m_history.removeFirst();
}

void TIdIPWatch::stopPolling()
{
    if (!m_poller)
        return;
    m_poller->stop();
    m_poller.reset();
}

#include "IdIPWatch.moc"
