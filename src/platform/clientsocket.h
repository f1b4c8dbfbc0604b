// A non-blocking client socket whose events arrive on the user-interface thread.
//  - setactive(true) starts a connect, raises onconnecting inside the call and may throw
//    SocketOpenError; active() reads true only from onconnect until ondisconnect.
//  - setactive(false) while connected closes the link and raises ondisconnect before it returns;
//    while not connected it only abandons a pending connect.
//  - onerror carries an errno-like code; the link is left to the handler to close.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace platform {

enum class SocketErrorKind { General, Send, Receive, Connect, Disconnect, Accept, Lookup };

struct SocketOpenError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ClientSocket {
  public:
    virtual ~ClientSocket() = default;

    std::string address;  // dotted IPv4
    int port = 0;

    virtual void setactive(bool a) = 0;
    virtual bool active() const = 0;
    // Bytes waiting to be read.
    virtual int receivelength() = 0;
    // Reads up to n waiting bytes into buf; returns how many.
    virtual int receivebuf(std::uint8_t* buf, int n) = 0;
    virtual int sendbuf(const std::uint8_t* buf, int n) = 0;

    std::function<void()> onconnecting;
    std::function<void()> onconnect;
    std::function<void()> ondisconnect;
    std::function<void()> onread;
    std::function<void(SocketErrorKind, int& code)> onerror;
};

}  // namespace platform
