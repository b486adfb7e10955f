#include "LabServer.h"
#include "LabBoard.h"
#include "LabOptions.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QTcpSocket>

namespace {
using Status = QHttpServerResponder::StatusCode;

// The page may load only its own parts and talk only to this server, and the
// token in its address goes nowhere else.
const QByteArray Policy = "default-src 'none'; script-src 'self'; style-src 'self'; "
                          "connect-src 'self'; img-src 'self'; base-uri 'none'; "
                          "form-action 'none'; frame-ancestors 'none'";

} // namespace

void LabServer::reply(const QHttpServerRequest& request, QTcpSocket* socket, const QByteArray& body,
                      const QByteArray& type, Status status) {
    auto responder = makeResponder(request, socket);
    responder.write(body,
                    {{"Content-Type", type},
                     {"Cache-Control", "no-store"},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Referrer-Policy", "no-referrer"},
                     {"Content-Security-Policy", Policy}},
                    status);
}

namespace {
QByteArray resource(const QString& name) {
    QFile file(QStringLiteral(":/lab/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

LabServer::LabServer(const LabBoard& board, const QByteArray& token,
                     std::function<QDateTime()> clock, int paceMs, QObject* parent)
    : QAbstractHttpServer(parent), m_board(board), m_token(token), m_clock(std::move(clock)) {
    m_pace.setSingleShot(true);
    m_pace.setInterval(paceMs);
    connect(&m_pace, &QTimer::timeout, this, &LabServer::sendEvents);
    // A comment now and then keeps proxies from closing a quiet stream and
    // finds listeners that went away.
    m_keepAlive.setInterval(15000);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] {
        for (const auto& socket : std::as_const(m_listeners))
            if (socket)
                socket->write(": still here\n\n");
    });
    m_keepAlive.start();
}

void LabServer::boardChanged() {
    if (!m_pace.isActive())
        m_pace.start();
}

int LabServer::listeners() const {
    return int(std::count_if(m_listeners.begin(), m_listeners.end(),
                             [](const auto& socket) { return !socket.isNull(); }));
}

bool LabServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QByteArray given =
        request.query().queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8();
    if (!m_token.isEmpty() && !LabToken::matches(m_token, given)) {
        reply(request, socket, "This page needs its token: ?token=...\n", "text/plain",
              Status::Forbidden);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        reply(request, socket, "Read-only: only GET.\n", "text/plain", Status::MethodNotAllowed);
        return true;
    }
    const QString path = request.url().path();
    if (path == u"/" || path == u"/index.html") {
        const QByteArray query = m_token.isEmpty() ? QByteArray() : "?token=" + m_token;
        reply(request, socket, resource("index.html").replace("{{query}}", query),
              "text/html; charset=utf-8");
    } else if (path == u"/lab.css") {
        reply(request, socket, resource("lab.css"), "text/css; charset=utf-8");
    } else if (path == u"/lab.js") {
        reply(request, socket, resource("lab.js"), "text/javascript; charset=utf-8");
    } else if (path == u"/state.json") {
        reply(request, socket, QJsonDocument(m_board.snapshot(m_clock())).toJson(),
              "application/json");
    } else if (path == u"/events") {
        startEvents(socket);
    } else {
        return false;
    }
    return true;
}

void LabServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    reply(request, socket, "Not found.\n", "text/plain", Status::NotFound);
}

void LabServer::startEvents(QTcpSocket* socket) {
    m_listeners.removeIf([](const auto& listener) { return listener.isNull(); });
    if (m_listeners.size() >= MaxListeners) {
        socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                      "Connection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    // The stream has no length: it ends when either side closes it.
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"
                  "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
                  "Connection: close\r\n\r\nretry: 3000\n\n" +
                  event());
    m_listeners.append(socket);
}

QByteArray LabServer::event() const {
    return "data: " + QJsonDocument(m_board.snapshot(m_clock())).toJson(QJsonDocument::Compact) +
           "\n\n";
}

void LabServer::sendEvents() {
    m_listeners.removeIf([](const auto& listener) {
        return listener.isNull() || listener->state() != QAbstractSocket::ConnectedState;
    });
    if (m_listeners.isEmpty())
        return;
    const QByteArray text = event();
    for (const auto& socket : std::as_const(m_listeners))
        // A listener that reads too slowly loses its stream, not our memory.
        if (socket->bytesToWrite() > 1 << 20)
            socket->abort();
        else
            socket->write(text);
}
