// The exciter connection: connecting, closing and the socket's events.
#include <cerrno>
#include <cstring>
#include <exception>

#include "link/exciterlink.h"
#include "platform/oserror.h"

namespace exciter {

std::string linkErrorMessage(int code) {
    std::string text = platform::oserrortext(code);
    if (text.size() > 255) return {};
    while (!text.empty() && (static_cast<unsigned char>(text.back()) < 33 || text.back() == '.'))
        text.pop_back();
    return text;
}

bool Link::connect(const std::string& address, long long port) {
    bool started = true;
    if (port < 1 || port > 65535) {
        // The port edit takes "-" and "."; such a port never reaches the socket layer.
        int code = EINVAL;
        socketerror(platform::SocketErrorKind::Connect, code);
    } else {
        socket_->address = address;
        socket_->port = static_cast<int>(port);
        try {
            socket_->setactive(true);
        } catch (const std::exception&) {
            started = false;
        }
    }
    std::memset(buffers_->sampleblock, 0, sizeof buffers_->sampleblock);
    return started;
}

void Link::disconnect() {
    if (socket_->active()) socket_->setactive(false);
}

void Link::connecting() {
    owner_.linkchanged(LinkEvent::Connecting, "Connecting the Exciter...");
}

void Link::connectdone() {
    state_.rxheld = 0;  // part of a frame from an earlier connection never joins this one's bytes
    const std::string text = "Successfully connected with server!";
    owner_.linkchanged(LinkEvent::Connected, text);
    owner_.log(LogKind::Text, text);
}

void Link::disconnected() {
    const std::string text = "Successfully disconnected with server!";
    owner_.linkchanged(LinkEvent::Disconnected, text);
    owner_.log(LogKind::Text, text);
}

void Link::socketerror(platform::SocketErrorKind, int& code) {
    const std::string text = "Connection Error:" + linkErrorMessage(code) + ",Please Check!";
    owner_.linkchanged(LinkEvent::Failed, text);
    socket_->setactive(false);
    code = 0;
    owner_.log(LogKind::Text, text);
    owner_.errorbox(text);
}

}  // namespace exciter
