// The exciter connection: Connect/Disconnect and the socket's events.
#include <cerrno>
#include <cstring>

#include "engine/buffers.h"
#include "platform/backend.h"
#include "platform/desktop.h"
#include "platform/oserror.h"
#include "services/globalunit.h"
#include "shell/mainfram.h"

std::string linkErrorMessage(int code) {
    std::string text = platform::oserrortext(code);
    if (text.size() > 255) return {};
    while (!text.empty() && (static_cast<unsigned char>(text.back()) < 33 || text.back() == '.'))
        text.pop_back();
    return text;
}

void Tmainform::setlinkbuttons(bool connectenabled) {
    btn_connect.setenabled(connectenabled);
    btn_disconnect.setenabled(!connectenabled);
}

void Tmainform::btn_connectClick() {
    const long long port = edt_port.roundedvalue();
    btn_connect.setenabled(false);
    if (port < 1 || port > 65535) {
        // The edit takes "-" and "."; such a port never reaches the socket layer.
        int code = EINVAL;
        socket_linkError(platform::SocketErrorKind::Connect, code);
    } else {
        socket_link->address = ipedt_dest.address();
        socket_link->port = static_cast<int>(port);
        try {
            socket_link->setactive(true);
        } catch (const std::exception&) {
            setlinkbuttons(true);
        }
    }
    std::memset(sampleblock, 0, sizeof sampleblock);
}

void Tmainform::btn_disconnectClick() {
    if (socket_link->active()) socket_link->setactive(false);
    setlinkbuttons(true);
}

void Tmainform::socket_linkConnecting() {
    statusbar_1.settext("Connecting the Exciter...");
    btn_connect.setenabled(false);
    btn_disconnect.setenabled(false);
}

void Tmainform::socket_linkConnect() {
    rxheld = 0;  // part of a frame from an earlier connection never joins this one's bytes
    setlinkbuttons(false);
    const std::string text = "Successfully connected with server!";
    statusbar_1.settext(text);
    postlog(kMsgText, text);
    setmeasurebuttons(true);
}

void Tmainform::socket_linkDisconnect() {
    setlinkbuttons(true);
    const std::string text = "Successfully disconnected with server!";
    statusbar_1.settext(text);
    postlog(kMsgText, text);
    if (runmode != RunDebug) setmeasurebuttons(false);
}

void Tmainform::socket_linkError(platform::SocketErrorKind, int& code) {
    const std::string text = "Connection Error:" + linkErrorMessage(code) + ",Please Check!";
    statusbar_1.settext(text);
    socket_link->setactive(false);
    code = 0;
    setlinkbuttons(true);
    postlog(kMsgText, text);
    platform::desktop().errorbox(text);
    setlinkbuttons(true);
    if (runmode != RunDebug) setmeasurebuttons(false);
}

void Tmainform::edt_portKeyPress(char& key) {
    const auto c = static_cast<unsigned char>(key);
    const bool pass = c < 31 || c == '-' || c == '.' || (c >= '0' && c <= '9');
    if (!pass) key = 0;
}
