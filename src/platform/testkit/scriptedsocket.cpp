#include "platform/testkit/scriptedsocket.h"

#include <algorithm>

namespace platform {

void ScriptedSocket::setactive(bool a) {
    if (a) {
        if (state_ != State::Idle) return;
        ++activations;
        if (failopen) {
            failopen = false;
            throw SocketOpenError("cannot open socket");
        }
        state_ = State::Connecting;
        if (onconnecting) onconnecting();
        return;
    }
    const bool wasconnected = state_ == State::Connected;
    state_ = State::Idle;
    droprx();
    if (wasconnected && ondisconnect) ondisconnect();
}

int ScriptedSocket::receivebuf(std::uint8_t* buf, int n) {
    const std::size_t k = std::min<std::size_t>(n > 0 ? n : 0, rx_.size() - rxread_);
    std::copy_n(rx_.data() + rxread_, k, buf);
    rxread_ += k;
    if (rxread_ == rx_.size()) droprx();
    return static_cast<int>(k);
}

void ScriptedSocket::droprx() {
    rx_.clear();
    rxread_ = 0;
}

int ScriptedSocket::sendbuf(const std::uint8_t* buf, int n) {
    if (state_ != State::Connected) return 0;
    sent.emplace_back(buf, buf + n);
    return n;
}

void ScriptedSocket::acceptconnect() {
    if (state_ != State::Connecting) return;
    state_ = State::Connected;
    if (onconnect) onconnect();
}

void ScriptedSocket::refuse(int code) {
    if (state_ != State::Connecting) return;
    raiseerror(code, SocketErrorKind::Connect);
}

void ScriptedSocket::raiseerror(int code, SocketErrorKind kind) {
    if (onerror) onerror(kind, code);
}

void ScriptedSocket::peerclose() {
    if (state_ != State::Connected) return;
    state_ = State::Idle;
    droprx();
    if (ondisconnect) ondisconnect();
}

void ScriptedSocket::deliver(const std::vector<std::uint8_t>& bytes) {
    // What was read goes before the new bytes come: the storage never grows past what is unread.
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(rxread_));
    rxread_ = 0;
    rx_.insert(rx_.end(), bytes.begin(), bytes.end());
    readevent();
}

void ScriptedSocket::readevent() {
    if (onread) onread();
}

}  // namespace platform
