#include "platform/qt/core/qtsocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/oserror.h"

namespace platform::qt {

namespace {

bool wouldblock(int e) {
    return e == EAGAIN || e == EWOULDBLOCK || e == EINTR;
}

}  // namespace

QtClientSocket::QtClientSocket() {
    pending_.reserve(4096);  // frames are small: the backlog is not expected to grow past this
}

QtClientSocket::~QtClientSocket() {
    // Closing on destruction raises no events: the owner is going away.
    closelink();
}

void QtClientSocket::setactive(bool a) {
    if (a) {
        if (state_ != State::Idle) return;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) throw SocketOpenError("socket: " + oserrortext(errno));
        fd_ = fd;
        failing_ = false;
        state_ = State::Connecting;
        const unsigned link = link_;
        if (onconnecting) onconnecting();
        // The handler may have abandoned the connect already.
        if (state_ == State::Connecting && link_ == link) startconnect();
        return;
    }
    if (state_ == State::Idle) return;
    const bool wasconnected = state_ == State::Connected;
    if (wasconnected && !failing_) flushpending();  // what the system takes now still goes out
    closelink();
    if (wasconnected && ondisconnect) ondisconnect();
}

void QtClientSocket::startconnect() {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1)
        return faillater(SocketErrorKind::Lookup, EINVAL);
    if (port < 0 || port > 65535) return faillater(SocketErrorKind::Connect, EINVAL);
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    // EINTR leaves the connect going on in the background, like EINPROGRESS.
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0 &&
        errno != EINPROGRESS && errno != EINTR)
        return faillater(SocketErrorKind::Connect, errno);
    // The socket turns writable when the connect has ended, either way.
    writable_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    connect(writable_, &QSocketNotifier::activated, this, &QtClientSocket::onwritable);
}

void QtClientSocket::closelink() {
    for (QSocketNotifier** n : {&readable_, &writable_}) {
        if (!*n) continue;
        (*n)->setEnabled(false);
        (*n)->deleteLater();  // it may be the sender of the event being handled
        *n = nullptr;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    state_ = State::Idle;
    ++link_;
    failing_ = false;
    pending_.clear();
}

// Stops watching a link that has failed: its notifiers would fire on the error again and again
// until it is closed.
void QtClientSocket::quieten() {
    failing_ = true;
    for (QSocketNotifier* n : {readable_, writable_})
        if (n) n->setEnabled(false);
}

// Raises the error from the event loop, never inside the caller (activate, send).
void QtClientSocket::faillater(SocketErrorKind kind, int code) {
    quieten();
    const unsigned link = link_;
    QMetaObject::invokeMethod(
        this,
        [this, link, kind, code] {
            if (link_ == link && state_ != State::Idle) fail(kind, code);
        },
        Qt::QueuedConnection);
}

void QtClientSocket::fail(SocketErrorKind kind, int code) {
    // A failed connect is given up: a later setactive(true) starts afresh.
    if (state_ == State::Connecting)
        closelink();
    else
        quieten();  // the handler may run an event loop (a message box) before it closes the link
    const unsigned link = link_;
    int handed = code;
    if (onerror) onerror(kind, handed);
    // The link is the handler's to close; one it left open is dead all the same.
    if (state_ == State::Connected && link_ == link) {
        closelink();
        if (ondisconnect) ondisconnect();
    }
}

void QtClientSocket::onwritable() {
    if (state_ == State::Connecting) {
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
        if (error != 0) return fail(SocketErrorKind::Connect, error);
        return becomeconnected();
    }
    if (state_ == State::Connected && !failing_ && !flushpending())
        fail(SocketErrorKind::Send, errno);
}

void QtClientSocket::becomeconnected() {
    state_ = State::Connected;
    writable_->setEnabled(false);  // until bytes wait to be sent
    readable_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(readable_, &QSocketNotifier::activated, this, &QtClientSocket::onreadable);
    if (onconnect) onconnect();
}

void QtClientSocket::onreadable() {
    if (state_ != State::Connected || failing_) return;
    std::uint8_t first;
    const ssize_t got = ::recv(fd_, &first, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0) {
        // No second read event from an event loop run inside this one; the notifier fires
        // again afterwards while bytes are left.
        readable_->setEnabled(false);
        const unsigned link = link_;
        if (onread) {
            onread();
        } else {
            std::uint8_t sink[4096];  // nobody reads: drop the bytes rather than spin on them
            while (::recv(fd_, sink, sizeof sink, MSG_DONTWAIT) > 0) {
            }
        }
        if (link_ == link && state_ == State::Connected && !failing_) readable_->setEnabled(true);
        return;
    }
    if (got == 0) {  // the peer's orderly close, after everything it sent has been read
        closelink();
        if (ondisconnect) ondisconnect();
        return;
    }
    if (!wouldblock(errno)) fail(SocketErrorKind::Receive, errno);
}

int QtClientSocket::receivelength() {
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &n) != 0) return 0;
    return n;
}

int QtClientSocket::receivebuf(std::uint8_t* buf, int n) {
    if (fd_ < 0 || n <= 0) return 0;
    // An error here shows at the next read event, which reports it.
    const ssize_t got = ::recv(fd_, buf, static_cast<std::size_t>(n), MSG_DONTWAIT);
    return got < 0 ? 0 : static_cast<int>(got);
}

int QtClientSocket::sendbuf(const std::uint8_t* buf, int n) {
    if (state_ != State::Connected || failing_ || n <= 0) return 0;
    int taken = 0;
    if (pending_.empty()) {
        const ssize_t put = ::send(fd_, buf, static_cast<std::size_t>(n), MSG_NOSIGNAL);
        if (put == n) return n;
        if (put < 0 && !wouldblock(errno)) {
            faillater(SocketErrorKind::Send, errno);
            return 0;
        }
        taken = put < 0 ? 0 : static_cast<int>(put);
    }
    // Behind bytes still waiting, so the frames keep their order.
    pending_.insert(pending_.end(), buf + taken, buf + n);
    writable_->setEnabled(true);
    return n;
}

bool QtClientSocket::flushpending() {
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t put =
            ::send(fd_, pending_.data() + done, pending_.size() - done, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (put < 0) return false;
        done += static_cast<std::size_t>(put);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
    if (writable_) writable_->setEnabled(!pending_.empty());
    return true;
}

}  // namespace platform::qt
