// A client socket driven by a test script: the test decides when the connect completes or
// fails, what bytes arrive and when the peer closes; it reads back what was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/clientsocket.h"

namespace platform {

class ScriptedSocket : public ClientSocket {
  public:
    void setactive(bool a) override;
    bool active() const override { return state_ == State::Connected; }
    int receivelength() override { return static_cast<int>(rx_.size() - rxread_); }
    int receivebuf(std::uint8_t* buf, int n) override;
    int sendbuf(const std::uint8_t* buf, int n) override;

    // Script.
    bool failopen = false;  // the next setactive(true) throws
    bool connecting() const { return state_ == State::Connecting; }
    void acceptconnect();   // the pending connect succeeds
    void refuse(int code);  // the pending connect fails with an error
    void raiseerror(int code, SocketErrorKind kind = SocketErrorKind::General);
    void peerclose();                                      // the exciter closes the connection
    void deliver(const std::vector<std::uint8_t>& bytes);  // bytes arrive: one read event
    void readevent();                                      // a read event with whatever is waiting

    std::vector<std::vector<std::uint8_t>> sent;  // every sendbuf call
    int activations = 0;

  private:
    enum class State { Idle, Connecting, Connected };
    void droprx();

    State state_ = State::Idle;
    // Arrived bytes; those before rxread_ have been read. The storage serves delivery after
    // delivery: a read takes a block at once, not byte by byte.
    std::vector<std::uint8_t> rx_;
    std::size_t rxread_ = 0;
};

}  // namespace platform
