#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A small HTTP server on 127.0.0.1 that answers each path with a canned
// reply, so network code is tested without leaving this machine.
class LoopbackHTTPServer : public QObject
{
public:
    struct Reply
    {
        Reply(int status = 200, QByteArray body = {}, QByteArray extraHeaders = {},
              bool sendLength = true, bool hang = false)
            : status(status), body(std::move(body)), extraHeaders(std::move(extraHeaders)),
              sendLength(sendLength), hang(hang)
        {}
        int status;
        QByteArray body;
        QByteArray extraHeaders; // each line ends with "\r\n"
        bool sendLength;
        bool hang; // accept and never answer
    };

    // Call once the application object exists: the socket needs its event loop.
    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                serve(socket);
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }

    QString baseURL() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    void route(const QString &path, const Reply &reply) { m_routes.insert(path, reply); }
    int requests(const QString &path) const { return m_requests.value(path); }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> line = buffer.left(buffer.indexOf("\r\n")).split(' ');
        const QString path = line.size() > 1 ? QString::fromLatin1(line.at(1)) : QString();
        m_buffers.remove(socket);
        ++m_requests[path];
        const auto it = m_routes.constFind(path);
        const Reply reply = it != m_routes.cend() ? *it : Reply(404, "not here");
        if (reply.hang)
            return;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\n";
        if (reply.sendLength)
            out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        out += reply.extraHeaders + "Connection: close\r\n\r\n" + reply.body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QString, Reply> m_routes;
    QHash<QString, int> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
