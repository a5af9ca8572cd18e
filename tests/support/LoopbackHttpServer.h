// An HTTP server on 127.0.0.1 for tests: every request gets one canned answer (a status, headers and a
// body, or a body cut short of its announced length), or none at all.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

class LoopbackHttpServer : public QObject {
public:
    /// Listens on a free port of 127.0.0.1 (a failed QVERIFY when it cannot).
    LoopbackHttpServer();

    /// The next answers: status line, extra header lines (each ended by "\r\n") and body. announcedBytes
    /// other than -1 is sent as the length in place of the body's own, and the connection closed after it.
    void respond(int status, const QByteArray &reason, const QByteArray &body, const QByteArray &headers = {},
                 qint64 announcedBytes = -1);
    /// Accepts requests and never answers.
    void staySilent() { m_silent = true; }

    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString &path) const;
    /// The last request's head, as received.
    QByteArray lastRequest() const { return m_request; }
    /// Every request's first line, in order.
    QList<QByteArray> requestLines() const { return m_requestLines; }

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QByteArray m_pending;
    QByteArray m_request;
    QList<QByteArray> m_requestLines;
    int m_status = 200;
    QByteArray m_reason = "OK";
    QByteArray m_headers;
    QByteArray m_body;
    qint64 m_announced = -1;
    bool m_silent = false;
};
