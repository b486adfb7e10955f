#pragma once
// Serves the lab page (its HTML, CSS and script from the program's
// resources), /state.json and /events, where each listener gets the board's
// JSON snapshot as a server-sent event at once and after every change, at
// most one every `pace` milliseconds. Read-only: any method but GET is
// refused. With a token, every request must bring it as ?token=, or gets 403.
#include <QAbstractHttpServer>
#include <QDateTime>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTimer>

#include <functional>

class LabBoard;
class QTcpSocket;

class LabServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr int MaxListeners = 64;

    // `board` must outlive the server; an empty `token` lets every request in.
    LabServer(const LabBoard& board, const QByteArray& token,
              std::function<QDateTime()> clock = &QDateTime::currentDateTimeUtc, int paceMs = 250,
              QObject* parent = nullptr);

    // The board changed: the listeners hear of it within the pace.
    void boardChanged();
    int listeners() const;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    static void
    reply(const QHttpServerRequest& request, QTcpSocket* socket, const QByteArray& body,
          const QByteArray& type,
          QHttpServerResponder::StatusCode status = QHttpServerResponder::StatusCode::Ok);
    void startEvents(QTcpSocket* socket);
    void sendEvents();
    QByteArray event() const;

    const LabBoard& m_board;
    QByteArray m_token;
    std::function<QDateTime()> m_clock;
    QList<QPointer<QTcpSocket>> m_listeners;
    QTimer m_pace;
    QTimer m_keepAlive;
};
