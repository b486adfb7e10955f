#pragma once
// One HTTP request to a server on 127.0.0.1, answered while the event loop
// runs (so the server may live in the test's own thread); bounded in time.
#include <QTcpSocket>
#include <QTest>

struct HttpReply {
    int status = 0; // 0: no whole answer within the time
    QByteArray head;
    QByteArray body;
};

inline HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& target,
                             int timeoutMs = 10000) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    socket.write(method + " " + target +
                 " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n");
    QByteArray data;
    HttpReply reply;
    const bool whole = QTest::qWaitFor(
        [&] {
            data += socket.readAll();
            const qsizetype end = data.indexOf("\r\n\r\n");
            if (end < 0)
                return socket.state() == QAbstractSocket::UnconnectedState;
            reply.head = data.left(end);
            const qsizetype at = reply.head.toLower().indexOf("content-length:");
            const qsizetype length =
                at < 0 ? -1 : reply.head.mid(at + 15).split('\r')[0].trimmed().toLongLong();
            reply.body = data.mid(end + 4);
            return length >= 0 && reply.body.size() >= length;
        },
        timeoutMs);
    if (whole && !reply.head.isEmpty())
        reply.status = reply.head.mid(9, 3).toInt();
    return reply;
}
