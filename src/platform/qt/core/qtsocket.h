// The client socket: a non-blocking TCP socket of our own, watched by QSocketNotifier, with the
// event semantics of platform::ClientSocket. Owning the descriptor lets every connect failure and
// every error on an established link carry the system's own errno (QTcpSocket only gives error
// classes, and takes a reset for an orderly close).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <vector>

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
    // Takes all n bytes while connected: what the system cannot take at once is kept and sent,
    // in order, as soon as the socket is writable.
    int sendbuf(const std::uint8_t* buf, int n) override;

  private:
    enum class State { Idle, Connecting, Connected };
    void startconnect();
    void closelink();  // closes the descriptor; raises nothing
    void quieten();
    void faillater(SocketErrorKind kind, int code);
    void fail(SocketErrorKind kind, int code);
    void onwritable();
    void onreadable();
    void becomeconnected();
    bool flushpending();  // false on an error of the link (in errno)

    int fd_ = -1;
    State state_ = State::Idle;
    unsigned link_ = 0;     // advanced at every close, so events queued for a closed link drop
    bool failing_ = false;  // an error of this link is queued
    QSocketNotifier* readable_ = nullptr;
    QSocketNotifier* writable_ = nullptr;
    std::vector<std::uint8_t> pending_;  // bytes the system has not taken yet
};

}  // namespace platform::qt
