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
    rx_.clear();
    if (wasconnected && ondisconnect) ondisconnect();
}

int ScriptedSocket::receivebuf(std::uint8_t* buf, int n) {
    const auto k = static_cast<std::ptrdiff_t>(std::min<std::size_t>(n > 0 ? n : 0, rx_.size()));
    std::copy(rx_.begin(), rx_.begin() + k, buf);
    rx_.erase(rx_.begin(), rx_.begin() + k);
    return static_cast<int>(k);
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
    rx_.clear();
    if (ondisconnect) ondisconnect();
}

void ScriptedSocket::deliver(const std::vector<std::uint8_t>& bytes) {
    rx_.insert(rx_.end(), bytes.begin(), bytes.end());
    readevent();
}

void ScriptedSocket::readevent() {
    if (onread) onread();
}

}  // namespace platform
