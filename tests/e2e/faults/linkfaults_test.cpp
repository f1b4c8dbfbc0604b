// The exciter going away under the real program: closing the connection in the middle of a
// capture, being stopped and started again on the same port, falling silent. The program
// reports it, stays usable, and captures again once an exciter answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "faultrun.h"

namespace {

using namespace korvin::test;

const std::string kInit = "Initialized successfully!";

// The log without the retry lines, whose number depends on how the pace and the reply
// time-out fall against each other.
std::vector<std::string> withoutretries(std::vector<std::string> log) {
    log.erase(std::remove(log.begin(), log.end(), kReread), log.end());
    return log;
}

// After the first exciter has gone: the window closed, the restarted exciter (status block
// 00 50 5A 5B, SNR 40.0 dB) connected from the main window, and a complete capture from it
// shown in a freshly opened window.
void reconnectandcapture(FaultRun& run, const Window& w) {
    ASSERT_TRUE(run.closewindow());
    ASSERT_TRUE(run.restartsim({"--status", "00505A5B"}));
    ASSERT_TRUE(run.connect());
    ASSERT_TRUE(run.openwindow(w));
    ASSERT_TRUE(run.done(1));
    EXPECT_TRUE(run.app().until(
        std::string("state ") + w.form + " lbl_snr",
        [](const std::string& a) { return a == "ok enabled=1 visible=1 caption=40.0dB"; }));
    ASSERT_TRUE(run.closewindow());
    EXPECT_EQ(run.quit(), 0);
}

TEST(ExciterLink, ClosingMidCaptureIsReportedAndTheRestartedExciterCapturesAgain) {
    FaultRun run("close", {"--close-after", "5", "--status", "003C2A2B"});
    ASSERT_TRUE(run.connect());
    ASSERT_TRUE(run.openwindow(kEye));
    ASSERT_TRUE(run.sim().waitforprefix("FAULT close after=5", 15000));
    ASSERT_TRUE(run.app().waitfor("status mainform", "ok " + kDisconnected));
    // An orderly close is no error; the window stays open with its last figures while the
    // main window's buttons follow the link.
    EXPECT_EQ(run.app().command("dismiss"), "error no message box");
    EXPECT_EQ(run.app().command("state TForm_eye lbl_snr"),
              "ok enabled=1 visible=1 caption=30.0dB");
    EXPECT_EQ(run.app().command("state mainform btn_connect").substr(0, 13), "ok enabled=1 ");
    EXPECT_EQ(run.app().command("state mainform btmbtn_spe").substr(0, 13), "ok enabled=0 ");
    reconnectandcapture(run, kEye);
    const std::vector<std::string> open = {kInit,         kConnected, "Open Eye-diagram Window!",
                                           kDisconnected, kConnected, "Open Eye-diagram Window!",
                                           kDisconnected};
    EXPECT_EQ(withoutretries(run.log()), open);
}

TEST(ExciterLink, StoppedMidCaptureIsReportedAndReconnectedOnTheSamePort) {
    FaultRun run("restart", {"--status", "003C2A2B"});
    ASSERT_TRUE(run.connect());
    ASSERT_TRUE(run.openwindow(kSpectrum));
    ASSERT_TRUE(run.done(1));
    ASSERT_TRUE(run.sim().waitforprefix("CAPTURE 2", 15000));
    run.sim().stop();
    ASSERT_TRUE(run.app().waitfor("status mainform", "ok " + kDisconnected));
    // Stopped while acknowledgements are in flight, the exciter may reset the link rather
    // than close it: then the error box follows the disconnect.
    const std::string box = run.app().command("dismiss");
    std::vector<std::string> open = {kInit, kConnected, "Open Spectrum Window!", kDisconnected};
    if (box != "error no message box") {
        ASSERT_EQ(box.rfind("ok Connection Error:", 0), 0u) << box;
        EXPECT_TRUE(box.ends_with(",Please Check!")) << box;
        open.push_back(box.substr(3));
    }
    reconnectandcapture(run, kSpectrum);
    open.insert(open.end(), {kConnected, "Open Spectrum Window!", kDisconnected});
    EXPECT_EQ(withoutretries(run.log()), open);
}

TEST(ExciterLink, SilentExciterClosesTheWindowAfterThreeRetries) {
    FaultRun run("silent", {"--silent"});
    ASSERT_TRUE(run.connect());
    ASSERT_TRUE(run.openwindow(kConstellation));
    // Four capture requests 2 s apart go unanswered; the box comes with the fourth time-out.
    ASSERT_TRUE(run.app().until(
        "dismiss", [](const std::string& a) { return a == "ok " + kGiveUp; }, 30000));
    EXPECT_EQ(run.app().reply(), "ok");  // the window's opening click: it has closed
    EXPECT_EQ(run.app().command("forms").find("TForm_ste*"), std::string::npos);
    EXPECT_EQ(run.app().command("state mainform btmbtn_ste").substr(0, 13), "ok enabled=1 ");
    EXPECT_EQ(run.quit(), 0);
    EXPECT_EQ(countof(run.sim().lines(), kCaptureRequestLine), 4u);
    const std::vector<std::string> log = {kInit,   kConnected,   "Open Constellation Window!",
                                          kReread, kReread,      kReread,
                                          kGiveUp, kDisconnected};
    EXPECT_EQ(run.log(), log);
}

// The system's German text for a refused connect; empty when that locale or glibc's German
// messages are not installed.
std::string germanrefusal() {
    const locale_t de = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t(0));
    if (!de) return {};
    const std::string text = strerror_l(ECONNREFUSED, de);
    freelocale(de);
    return text == "Connection refused" ? std::string() : text;
}

// A loopback port held by a socket that does not listen: connects to it are refused.
struct RefusingPort {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    RefusingPort() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~RefusingPort() { ::close(fd); }
};

TEST(ExciterLink, OnAGermanDesktopErrorTextsStayEnglishAndNumbersKeepTheirPoint) {
    if (germanrefusal().empty())
        GTEST_SKIP() << "the de_DE.UTF-8 locale or glibc's German messages (libc-l10n) are "
                        "missing: scripts/install-deps.sh, run as root, installs them";
    RefusingPort refusing;
    ASSERT_NE(refusing.port, 0);
    E2eCase c("german", {"--status", "00505A5B"});
    ASSERT_TRUE(c.start({}, "", {"LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8", "LANGUAGE=de"}));
    KorvinProcess& app = c.app();
    app.command("set mainform ipedt_dest 127.0.0.1");
    app.command("set mainform edt_port " + std::to_string(refusing.port));
    ASSERT_EQ(app.command("click mainform btn_connect"), "ok");
    const std::string refused = "Connection Error:Connection refused,Please Check!";
    std::string box;
    EXPECT_TRUE(app.until("dismiss", [&](const std::string& a) {
        box = a;
        return a != "error no message box";
    }));
    EXPECT_EQ(box, "ok " + refused);

    // A port with a fraction, written with a point, is rounded as on any desktop.
    app.command("set mainform edt_port " + std::to_string(c.sim().port()) + ".4");
    ASSERT_EQ(app.command("click mainform btn_connect"), "ok");
    ASSERT_TRUE(app.waitfor("status mainform", "ok " + kConnected, 15000));
    ASSERT_TRUE(c.openwindow(kSnr.button, kSnr.form));
    const std::string fortydb = "ok enabled=1 visible=1 caption=40.0dB";
    std::string snr;
    app.until(
        "state TForm_snr lbl_snr",
        [&](const std::string& a) {
            snr = a;
            return a == fortydb;
        },
        20000);
    EXPECT_EQ(snr, fortydb);
    const auto log = logtexts(app.loglines());
    EXPECT_EQ(countof(log, refused), 1u);
}

}  // namespace
