// The canned HTTP answers of the loopback test server.
#include "tests/support/LoopbackHttpServer.h"

#include <QTcpSocket>
#include <QtTest>

LoopbackHttpServer::LoopbackHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
}

void LoopbackHttpServer::respond(int status, const QByteArray &reason, const QByteArray &body,
                                 const QByteArray &headers, qint64 announcedBytes)
{
    m_status = status;
    m_reason = reason;
    m_headers = headers;
    m_body = body;
    m_announced = announcedBytes;
    m_silent = false;
}

QUrl LoopbackHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LoopbackHttpServer::serve(QTcpSocket *socket)
{
    m_pending += socket->readAll();
    if (!m_pending.contains("\r\n\r\n"))
        return;
    m_request = m_pending;
    m_requestLines.append(m_pending.left(m_pending.indexOf("\r\n")));
    m_pending.clear();
    if (m_silent)
        return;
    const qint64 length = m_announced < 0 ? m_body.size() : m_announced;
    socket->write("HTTP/1.1 " + QByteArray::number(m_status) + ' ' + m_reason + "\r\n" + m_headers
                  + "Content-Length: " + QByteArray::number(length) + "\r\nConnection: close\r\n\r\n" + m_body);
    socket->disconnectFromHost();
}
