// The client socket over QTcpSocket, with the event semantics of platform::ClientSocket.
#pragma once

#include <QObject>
#include <QTcpSocket>

#include "platform/clientsocket.h"

namespace platform::qt {

class QtClientSocket : public QObject, public ClientSocket {
    Q_OBJECT
  public:
    QtClientSocket();
    ~QtClientSocket() override;

    void setactive(bool a) override;
    bool active() const override { return state_ == State::Connected; }
    int receivelength() override;
    int receivebuf(std::uint8_t* buf, int n) override;
    int sendbuf(const std::uint8_t* buf, int n) override;

    // The errno value reported for a Qt socket error.
    static int errnofor(QAbstractSocket::SocketError e);

  private:
    enum class State { Idle, Connecting, Connected };
    void onqtconnected();
    void onqtdisconnected();
    void onqterror(QAbstractSocket::SocketError e);
    void readevent();
    void queueread();

    QTcpSocket socket_;
    State state_ = State::Idle;
    bool readqueued_ = false;
};

}  // namespace platform::qt
