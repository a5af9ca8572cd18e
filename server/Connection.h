// One QSQLITE connection with a unique name, WAL journal and busy timeout, and the driver's raw handle.
#pragma once

#include <QString>

#include <memory>

struct sqlite3;

namespace olm::server {

class Connection {
public:
    enum class Mode { OpenExisting, Create };
    /// Opens (or, with Create, creates) the file; null with *error set when that fails.
    static std::unique_ptr<Connection> open(const QString &path, Mode mode, QString *error);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    sqlite3 *handle() const { return m_handle; }
    QString path() const { return m_path; }
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_busyTimeout; }
    /// Runs one statement that takes no values; false with *error set on failure.
    bool run(const QString &sql, QString *error = nullptr);
    /// The SQLite result code of the last failed run().
    int lastResultCode() const { return m_lastResult; }

    static constexpr int defaultBusyTimeout = 5000;

private:
    Connection(QString name, QString path, sqlite3 *handle);
    QString m_name;
    QString m_path;
    sqlite3 *m_handle = nullptr;
    int m_lastResult = 0;
    int m_busyTimeout = defaultBusyTimeout;
};

} // namespace olm::server
