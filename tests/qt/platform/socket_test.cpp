// The client socket against a server on the loopback.
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <cerrno>
#include <memory>
#include <vector>

#include "platform/clientsocket.h"
#include "platform/oserror.h"
#include "qtenv.h"

namespace {

using platform::SocketErrorKind;

struct Recorder {
    std::unique_ptr<platform::ClientSocket> socket = qttest::backend().createsocket();
    int connecting = 0, connects = 0, disconnects = 0, errors = 0, reads = 0;
    int errorcode = 0;
    SocketErrorKind errorkind = SocketErrorKind::General;
    std::vector<std::uint8_t> received;
    int chunk = 2044;  // the most one read event takes

    explicit Recorder(quint16 port) {
        socket->address = "127.0.0.1";
        socket->port = port;
        socket->onconnecting = [this] { ++connecting; };
        socket->onconnect = [this] { ++connects; };
        socket->ondisconnect = [this] { ++disconnects; };
        socket->onerror = [this](SocketErrorKind k, int& code) {
            ++errors;
            errorkind = k;
            errorcode = code;
        };
        socket->onread = [this] {
            ++reads;
            std::uint8_t buf[4096];
            const int want = std::min(chunk, socket->receivelength());
            const int got = socket->receivebuf(buf, want);
            received.insert(received.end(), buf, buf + got);
        };
    }
};

// While it lives, the calling thread is in a network namespace of its own, where no interface
// is up, not even loopback (nothing can leave it), and 127.0.0.99 is marked unreachable: a
// connect to 127.0.0.1 there fails at once with "Network is unreachable", one to 127.0.0.99 with
// "No route to host". Making one needs CAP_SYS_ADMIN.
class UnreachableNamespace {
  public:
    UnreachableNamespace() : home_(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)) {
        if (home_ < 0 || ::unshare(CLONE_NEWNET) != 0) return;
        inside_ = true;
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        rtentry rt{};
        auto* dst = reinterpret_cast<sockaddr_in*>(&rt.rt_dst);
        auto* mask = reinterpret_cast<sockaddr_in*>(&rt.rt_genmask);
        dst->sin_family = mask->sin_family = AF_INET;
        ::inet_pton(AF_INET, "127.0.0.99", &dst->sin_addr);
        ::inet_pton(AF_INET, "255.255.255.255", &mask->sin_addr);
        rt.rt_flags = RTF_UP | RTF_HOST | RTF_REJECT;
        ready_ = s >= 0 && ::ioctl(s, SIOCADDRT, &rt) == 0;
        if (s >= 0) ::close(s);
    }
    ~UnreachableNamespace() {
        leave();
        if (home_ >= 0) ::close(home_);
    }
    bool ready() const { return ready_; }
    void leave() {
        if (inside_ && ::setns(home_, CLONE_NEWNET) == 0) inside_ = false;
    }

  private:
    int home_;
    bool inside_ = false;
    bool ready_ = false;
};

class Sockets : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress::LocalHost)); }
    // Connects `r` and returns the server's end.
    QTcpSocket* connect(Recorder& r) {
        r.socket->setactive(true);
        if (!server.waitForNewConnection(5000)) return nullptr;
        QTcpSocket* peer = server.nextPendingConnection();
        return QTest::qWaitFor([&] { return r.socket->active(); }, 5000) ? peer : nullptr;
    }
    QTcpServer server;
};

TEST_F(Sockets, ConnectReadsEverythingAndDisconnectsBeforeReturning) {
    Recorder r(server.serverPort());
    r.socket->setactive(true);
    EXPECT_EQ(r.connecting, 1);  // inside the call
    EXPECT_FALSE(r.socket->active());
    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket* peer = server.nextPendingConnection();
    EXPECT_TRUE(qttest::eventually([&] { return r.connects == 1; }));
    EXPECT_TRUE(r.socket->active());

    // One write, several packets' worth: read events continue while bytes remain.
    QByteArray data(5000, '\0');
    for (int i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    peer->write(data);
    peer->flush();
    ASSERT_TRUE(qttest::eventually([&] { return r.received.size() == std::size_t(5000); }));
    EXPECT_GE(r.reads, 3);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(r.received.data()), 5000), data);

    // More than the system takes at once from a peer that does not read yet: nothing is lost
    // and what follows comes after it.
    std::vector<std::uint8_t> block(8 << 20);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i % 251);
    EXPECT_EQ(r.socket->sendbuf(block.data(), static_cast<int>(block.size())),
              static_cast<int>(block.size()));
    const std::uint8_t hello[] = {1, 2, 3};
    EXPECT_EQ(r.socket->sendbuf(hello, 3), 3);
    block.insert(block.end(), hello, hello + 3);
    QByteArray got;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            got += peer->readAll();
            return got.size() >= static_cast<qsizetype>(block.size());
        },
        20000));
    EXPECT_TRUE(got == QByteArray(reinterpret_cast<const char*>(block.data()),
                                  static_cast<qsizetype>(block.size())));

    r.socket->setactive(false);
    EXPECT_EQ(r.disconnects, 1);
    EXPECT_FALSE(r.socket->active());
    EXPECT_EQ(r.socket->sendbuf(hello, 3), 0);
    EXPECT_TRUE(
        qttest::eventually([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(r.disconnects, 1);
    EXPECT_EQ(r.errors, 0);
}

TEST_F(Sockets, AFrameSentRightBeforeClosingStillGoesOut) {
    Recorder r(server.serverPort());
    QTcpSocket* peer = connect(r);
    ASSERT_NE(peer, nullptr);
    const std::uint8_t ack[10] = {0x80, 0x46, 0x0A, 0x00, 0x01, 0x80, 0x20, 0x20, 0x91, 0x96};
    EXPECT_EQ(r.socket->sendbuf(ack, 10), 10);
    r.socket->setactive(false);  // no event-loop turn in between
    QByteArray got;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            got += peer->readAll();
            return got.size() >= 10 || peer->state() == QAbstractSocket::UnconnectedState;
        },
        5000));
    got += peer->readAll();
    EXPECT_EQ(got, QByteArray(reinterpret_cast<const char*>(ack), 10));
}

TEST_F(Sockets, PeerCloseIsADisconnectNotAnError) {
    Recorder r(server.serverPort());
    QTcpSocket* peer = connect(r);
    ASSERT_NE(peer, nullptr);
    peer->close();
    EXPECT_TRUE(qttest::eventually([&] { return r.disconnects == 1; }));
    EXPECT_FALSE(r.socket->active());
    EXPECT_EQ(r.errors, 0);
}

TEST_F(Sockets, PeerResetIsAnErrorWithTheSystemsCode) {
    Recorder r(server.serverPort());
    std::string order;
    r.socket->ondisconnect = [&] { order += "disconnect;"; };
    r.socket->onerror = [&](SocketErrorKind k, int& code) {
        order += "error;";
        r.errorkind = k;
        r.errorcode = code;
        r.socket->setactive(false);  // as the program's handler does
    };
    QTcpSocket* peer = connect(r);
    ASSERT_NE(peer, nullptr);
    const linger reset{1, 0};  // closing sends a reset instead of the orderly end
    ASSERT_EQ(::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                           &reset, sizeof reset),
              0);
    peer->abort();
    EXPECT_TRUE(qttest::eventually([&] { return order == "error;disconnect;"; })) << order;
    EXPECT_EQ(r.errorcode, ECONNRESET);
    EXPECT_EQ(r.errorkind, SocketErrorKind::Receive);
    EXPECT_FALSE(r.socket->active());
}

TEST_F(Sockets, RefusedConnectReportsTheErrno) {
    const quint16 port = server.serverPort();
    server.close();
    Recorder r(port);
    // The handler closes the socket from inside the error event.
    r.socket->onerror = [&](SocketErrorKind k, int& code) {
        ++r.errors;
        r.errorkind = k;
        r.errorcode = code;
        r.socket->setactive(false);
    };
    r.socket->setactive(true);
    EXPECT_TRUE(qttest::eventually([&] { return r.errors == 1; }));
    EXPECT_EQ(r.errorcode, ECONNREFUSED);
    EXPECT_EQ(platform::oserrortext(r.errorcode), "Connection refused");
    EXPECT_EQ(r.errorkind, SocketErrorKind::Connect);
    EXPECT_FALSE(r.socket->active());
    EXPECT_EQ(r.connects, 0);
    EXPECT_EQ(r.disconnects, 0);

    // The socket can connect afterwards.
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, port));
    r.socket->setactive(true);
    EXPECT_TRUE(qttest::eventually([&] { return r.connects == 1; }));
}

TEST_F(Sockets, ReaderClosingInsideTheReadEventGetsNoMoreEvents) {
    Recorder r(server.serverPort());
    r.socket->onread = [&] {
        ++r.reads;
        r.socket->setactive(false);
    };
    QTcpSocket* peer = connect(r);
    ASSERT_NE(peer, nullptr);
    peer->write(QByteArray(6000, 'x'));
    EXPECT_TRUE(qttest::eventually([&] { return r.disconnects == 1; }));
    // A later event would show here; the queue is run dry first.
    QCoreApplication::processEvents();
    EXPECT_EQ(r.reads, 1);
}

TEST_F(Sockets, ConnectFailuresCarryTheSystemsOwnCode) {
    // No network at all, then an exciter that is switched off: no route to its host. Only
    // loopback addresses, in a namespace where even loopback is down.
    struct Case {
        const char* address;
        int code;
        const char* text;
    };
    Recorder r(server.serverPort());
    for (const auto& c : {Case{"127.0.0.1", ENETUNREACH, "Network is unreachable"},
                          Case{"127.0.0.99", EHOSTUNREACH, "No route to host"}}) {
        SCOPED_TRACE(c.address);
        const int before = r.errors;
        r.socket->address = c.address;
        {
            UnreachableNamespace ns;
            if (!ns.ready())
                GTEST_SKIP() << "no network namespace of our own (needs CAP_SYS_ADMIN)";
            r.socket->setactive(true);  // the descriptor is made inside the namespace
        }
        EXPECT_EQ(r.errors, before);  // raised from the event loop, not inside the call
        EXPECT_TRUE(qttest::eventually([&] { return r.errors == before + 1; }));
        EXPECT_EQ(r.errorcode, c.code);
        EXPECT_EQ(platform::oserrortext(r.errorcode), c.text);
        EXPECT_EQ(r.errorkind, SocketErrorKind::Connect);
        EXPECT_EQ(r.connects + r.disconnects, 0);
    }
}

}  // namespace
