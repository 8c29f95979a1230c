#pragma once

// A router's call monitor as a test plays it: a TCP server on 127.0.0.1 that
// writes whatever lines the test gives it to every client connected.

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class FakeCallMonitor : public QObject {
public:
    FakeCallMonitor() {
        connect(&m_server, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                m_clients.append(s);
        });
    }

    // On the port given, or a free one (0).
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_server.serverPort(); }

    int clientCount() {
        m_clients.removeAll(nullptr);
        int n = 0;
        for (const auto& c : std::as_const(m_clients))
            n += c->state() == QAbstractSocket::ConnectedState ? 1 : 0;
        return n;
    }
    bool waitForClient(int timeoutMs = 5000) {
        return QTest::qWaitFor([this]() { return clientCount() > 0; }, timeoutMs);
    }

    void send(const QByteArray& bytes) {
        for (const auto& c : std::as_const(m_clients)) {
            if (c && c->state() == QAbstractSocket::ConnectedState) {
                c->write(bytes);
                c->flush();
            }
        }
    }

    // Closes every connection and stops listening: the router is gone.
    void shutDown() {
        for (const auto& c : std::as_const(m_clients)) {
            if (c) {
                c->disconnectFromHost();
                c->deleteLater();
            }
        }
        m_clients.clear();
        m_server.close();
    }

private:
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_clients;
};
