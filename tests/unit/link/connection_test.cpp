#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <string>

#include "support/mainformfixture.h"

namespace {

using korvin::test::MainFormTest;

class Connection : public MainFormTest {
  protected:
    void SetUp() override {
        MainFormTest::SetUp();
        start();
    }
    bool measureenabled() {
        for (auto* b : main->measurebuttons())
            if (!b->enabled()) return false;
        return true;
    }
};

TEST_F(Connection, ConnectAndDisconnectSetTextsButtonsAndLog) {
    main->btn_connect.click();
    EXPECT_EQ(sock->address, "192.168.1.100");
    EXPECT_EQ(sock->port, 5700);
    EXPECT_EQ(main->statustext(), "Connecting the Exciter...");
    EXPECT_FALSE(main->btn_connect.enabled());
    EXPECT_FALSE(main->btn_disconnect.enabled());
    sock->acceptconnect();
    EXPECT_EQ(main->statustext(), "Successfully connected with server!");
    EXPECT_FALSE(main->btn_connect.enabled());
    EXPECT_TRUE(main->btn_disconnect.enabled());
    EXPECT_TRUE(measureenabled());
    main->btn_disconnect.click();
    EXPECT_EQ(main->statustext(), "Successfully disconnected with server!");
    EXPECT_TRUE(main->btn_connect.enabled());
    EXPECT_FALSE(main->btn_disconnect.enabled());
    EXPECT_FALSE(main->btmbtn_ste.enabled());
    const auto lines = loglines();
    EXPECT_EQ(lines, (std::vector<std::string>{"Initialized successfully!",
                                               "Successfully connected with server!",
                                               "Successfully disconnected with server!"}));
}

TEST_F(Connection, ARefusedConnectShowsTheSystemTextWithoutItsFullStop) {
    main->btn_connect.click();
    sock->refuse(ECONNREFUSED);
    const std::string text = "Connection Error:Connection refused,Please Check!";
    EXPECT_EQ(main->statustext(), text);
    EXPECT_EQ(backend.desk.errorboxes(), std::vector<std::string>{text});
    EXPECT_TRUE(main->btn_connect.enabled());
    EXPECT_FALSE(main->btn_disconnect.enabled());
    EXPECT_FALSE(main->btmbtn_snr.enabled());
    EXPECT_EQ(loglines().back(), text);
}

TEST_F(Connection, AnErrorOnAnEstablishedLinkDisconnectsFirst) {
    connect();
    sock->raiseerror(ECONNRESET, platform::SocketErrorKind::Receive);
    EXPECT_EQ(main->statustext(), "Successfully disconnected with server!");
    EXPECT_FALSE(sock->active());
    const auto lines = loglines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Successfully disconnected with server!");
    EXPECT_EQ(lines.back(), "Connection Error:Connection reset by peer,Please Check!");
}

TEST_F(Connection, UnknownErrorCodesLeaveTheSystemTextOut) {
    main->btn_connect.click();
    sock->refuse(987654);
    EXPECT_EQ(main->statustext(), "Connection Error:,Please Check!");
}

// The whole process in German, as the toolkit sets it from such a desktop at start-up.
class GermanProcessLocale {
  public:
    GermanProcessLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
        on_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~GermanProcessLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    bool on() const { return on_; }

  private:
    std::string saved_;
    bool on_ = false;
};

TEST_F(Connection, AGermanDesktopChangesNeitherTheSystemTextsNorThePort) {
    GermanProcessLocale german;
    if (!german.on()) GTEST_SKIP() << "no de_DE.UTF-8 locale: scripts/install-deps.sh makes it";
    main->edt_port.settext("5700.4");
    main->btn_connect.click();
    EXPECT_EQ(sock->port, 5700);
    sock->refuse(ECONNREFUSED);
    EXPECT_EQ(main->statustext(), "Connection Error:Connection refused,Please Check!");
    main->btn_connect.click();
    sock->refuse(987654);  // no text, in any language
    EXPECT_EQ(main->statustext(), "Connection Error:,Please Check!");
}

TEST_F(Connection, PortsOutsideTheRangeNeverReachTheSocket) {
    for (const char* port : {"0", "-5", "65536", "70000.2"}) {
        main->edt_port.settext(port);
        main->btn_connect.click();
        EXPECT_EQ(sock->activations, 0) << port;
        EXPECT_EQ(main->statustext(), "Connection Error:Invalid argument,Please Check!");
        EXPECT_TRUE(main->btn_connect.enabled());
    }
    main->edt_port.settext("5700.5");  // rounds half to even
    main->btn_connect.click();
    EXPECT_EQ(sock->port, 5700);
    EXPECT_EQ(sock->activations, 1);
}

TEST_F(Connection, AnOpenThatRaisesIsUndoneSilently) {
    sock->failopen = true;
    main->btn_connect.click();
    EXPECT_TRUE(main->btn_connect.enabled());
    EXPECT_FALSE(main->btn_disconnect.enabled());
    EXPECT_TRUE(backend.desk.errorboxes().empty());
}

TEST_F(Connection, ThePortEditTakesOnlyDigitsSignPointAndControls) {
    main->edt_port.settext("");
    for (char c : std::string("5a7 -.0x9")) main->edt_port.typechar(c);
    EXPECT_EQ(main->edt_port.text(), "57-.09");
    main->edt_port.typechar(8);  // backspace
    EXPECT_EQ(main->edt_port.text(), "57-.0");
    char c31 = 31, c30 = 30;
    main->edt_portKeyPress(c31);
    main->edt_portKeyPress(c30);
    EXPECT_EQ(c31, 0);
    EXPECT_EQ(c30, 30);
}

TEST_F(Connection, ThePeerClosingDisablesTheMeasurementButtons) {
    connect();
    sock->peerclose();
    EXPECT_TRUE(main->btn_connect.enabled());
    EXPECT_FALSE(measureenabled());
}

TEST_F(Connection, DebugModeKeepsTheMeasurementButtonsThroughFailures) {
    main.reset();
    start({"debug"});
    EXPECT_TRUE(measureenabled());
    main->btn_connect.click();
    sock->refuse(ECONNREFUSED);
    EXPECT_TRUE(measureenabled());
}

}  // namespace
