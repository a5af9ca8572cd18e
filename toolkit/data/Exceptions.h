// The error kinds the dataset layer and the windows raise where an error "continues to the code that asked":
// the application's default error display (TApplication::HandleException) shows their Message, EAbort silently.
#pragma once

#include <QString>

#include <exception>

/// Base of every error of ours; Message is what the user is shown.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : Message(std::move(message)), m_utf8(Message.toUtf8()) {}
    const char *what() const noexcept override { return m_utf8.constData(); }
    QString Message;

private:
    QByteArray m_utf8;
};

/// The silent abort: unwinds like an error, but no one shows it.
class EAbort : public Exception {
public:
    EAbort() : Exception(QStringLiteral("Operation aborted")) {}
};

/// A database or dataset failure; Message carries the server's own text where the server refused.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

/// A value that does not convert ("'abc' is not a valid integer value").
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

/// A file that is missing, unreadable or short.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

/// Raises the silent abort.
[[noreturn]] inline void Abort() { throw EAbort(); }
