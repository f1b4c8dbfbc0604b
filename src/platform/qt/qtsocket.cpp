#include "platform/qt/qtsocket.h"

#include <cerrno>

namespace platform::qt {

QtClientSocket::QtClientSocket() {
    connect(&socket_, &QTcpSocket::connected, this, &QtClientSocket::onqtconnected);
    connect(&socket_, &QTcpSocket::disconnected, this, &QtClientSocket::onqtdisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &QtClientSocket::onqterror);
    connect(&socket_, &QTcpSocket::readyRead, this, &QtClientSocket::readevent);
}

QtClientSocket::~QtClientSocket() {
    // Closing on destruction raises no events: the owner is going away.
    state_ = State::Idle;
    socket_.disconnect(this);
    socket_.abort();
}

void QtClientSocket::setactive(bool a) {
    if (a) {
        if (state_ != State::Idle) return;
        state_ = State::Connecting;
        if (onconnecting) onconnecting();
        // The handler may have abandoned the connect already.
        if (state_ != State::Connecting) return;
        socket_.connectToHost(QString::fromStdString(address), static_cast<quint16>(port));
        return;
    }
    const bool wasconnected = state_ == State::Connected;
    state_ = State::Idle;  // set first: abort() may emit disconnected, which is ours to raise
    readqueued_ = false;
    socket_.abort();
    if (wasconnected && ondisconnect) ondisconnect();
}

int QtClientSocket::receivelength() {
    return static_cast<int>(socket_.bytesAvailable());
}

int QtClientSocket::receivebuf(std::uint8_t* buf, int n) {
    if (n <= 0) return 0;
    const qint64 got = socket_.read(reinterpret_cast<char*>(buf), n);
    return got < 0 ? 0 : static_cast<int>(got);
}

int QtClientSocket::sendbuf(const std::uint8_t* buf, int n) {
    if (state_ != State::Connected || n <= 0) return 0;
    const qint64 put = socket_.write(reinterpret_cast<const char*>(buf), n);
    // Hand the bytes to the system now, as a socket send does: QTcpSocket would hold them until
    // the next event-loop turn, and a close before then (abort) would throw them away.
    socket_.flush();
    return put < 0 ? 0 : static_cast<int>(put);
}

void QtClientSocket::onqtconnected() {
    if (state_ != State::Connecting) return;
    state_ = State::Connected;
    if (onconnect) onconnect();
    // Bytes may have arrived together with the connect.
    if (state_ == State::Connected && socket_.bytesAvailable() > 0) queueread();
}

void QtClientSocket::onqtdisconnected() {
    if (state_ != State::Connected) return;
    state_ = State::Idle;
    readqueued_ = false;
    if (ondisconnect) ondisconnect();
}

void QtClientSocket::onqterror(QAbstractSocket::SocketError e) {
    // The peer closing the link is a disconnect, reported by onqtdisconnected.
    if (e == QAbstractSocket::RemoteHostClosedError) return;
    if (state_ == State::Idle) return;
    SocketErrorKind kind = SocketErrorKind::General;
    if (state_ == State::Connecting) {
        // Qt has given the connect up; a later setactive(true) starts afresh.
        state_ = State::Idle;
        kind = e == QAbstractSocket::HostNotFoundError ? SocketErrorKind::Lookup
                                                       : SocketErrorKind::Connect;
    }
    int code = errnofor(e);
    if (onerror) onerror(kind, code);
}

void QtClientSocket::readevent() {
    readqueued_ = false;
    if (state_ != State::Connected) return;
    if (onread) onread();
    // readyRead is not raised again for bytes already buffered: the reader takes at most a
    // packet per event, so another read event follows while anything is left.
    if (state_ == State::Connected && socket_.bytesAvailable() > 0) queueread();
}

void QtClientSocket::queueread() {
    if (readqueued_) return;
    readqueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (readqueued_) readevent();  // else a readyRead has served it meanwhile
        },
        Qt::QueuedConnection);
}

int QtClientSocket::errnofor(QAbstractSocket::SocketError e) {
    switch (e) {
        case QAbstractSocket::ConnectionRefusedError:
            return ECONNREFUSED;
        case QAbstractSocket::HostNotFoundError:
            return EHOSTUNREACH;
        case QAbstractSocket::SocketTimeoutError:
            return ETIMEDOUT;
        case QAbstractSocket::NetworkError:
            return ENETUNREACH;
        case QAbstractSocket::SocketAccessError:
            return EACCES;
        case QAbstractSocket::RemoteHostClosedError:
            return ECONNRESET;
        default:
            return EIO;
    }
}

}  // namespace platform::qt
