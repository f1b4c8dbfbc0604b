#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/buffers.h"
#include "engine/prepare.h"
#include "engine/resultlayout.h"
#include "support/mainformfixture.h"

namespace {

using korvin::test::MainFormTest;

TEST(VersionText, IsTheFileVersionCutToSixCharacters) {
    EXPECT_EQ(versiontext("1.0.7.0"), "V1.0.7");
    EXPECT_EQ(versiontext("12.3.4.5"), "V12.3.");
    EXPECT_EQ(versiontext("1.0"), "V1.0");
    EXPECT_EQ(versiontext(""), "");
}

TEST(EngineWarmUp, IsFoundInTheEngineByName) {
    EXPECT_TRUE(engine::prepare());
}

class Startup : public MainFormTest {
  protected:
    // The six measurement buttons and their menu items.
    bool measure(bool enabled) {
        for (auto* b : main->measurebuttons())
            if (b->enabled() != enabled) return false;
        for (auto* m : main->mniMeasure1.items)
            if (m->enabled != enabled) return false;
        return main->measurebuttons().size() == 6 && main->mniMeasure1.items.size() == 6;
    }
};

TEST_F(Startup, RunModeComesFromASingleExactArgument) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{}, RunNormal},
        {{"debug"}, RunDebug},
        {{"super"}, RunSuper},
        {{"Debug"}, RunNormal},
        {{"DEBUG"}, RunNormal},
        {{"Super"}, RunNormal},
        {{"debug", "super"}, RunNormal},
        {{"debug", "x"}, RunNormal},
        {{"other"}, RunNormal},
    };
    start();
    for (const auto& [args, mode] : cases) {
        main->getstartpara(args);
        EXPECT_EQ(main->runmode, mode) << (args.empty() ? "" : args[0]);
    }
}

TEST_F(Startup, NormalStartShowsCaptionStatusAndOnlyConnect) {
    start();
    EXPECT_EQ(main->caption(), "KORVIN V1.0.7");
    EXPECT_EQ(main->statustext(), "Initialized successfully!");
    EXPECT_TRUE(main->btn_connect.enabled());
    EXPECT_FALSE(main->btn_disconnect.enabled());
    EXPECT_TRUE(measure(false));
    main->mniQua1.click();  // disabled with its button
    EXPECT_EQ(formkind(), 0);
    EXPECT_EQ(main->img1.hint(), "Veltrax Communication");
    EXPECT_EQ(backend.desk.slept, 100);
    EXPECT_EQ(main->tmr_tick.interval(), 10);
    EXPECT_FALSE(main->tmr_out.enabled());
    EXPECT_TRUE(main->tmr_update.enabled());
    EXPECT_EQ(loglines(), std::vector<std::string>{"Initialized successfully!"});
}

TEST_F(Startup, NoVersionGivesACaptionWithATrailingBlank) {
    backend.desk.version = "";
    start({"super"});
    EXPECT_EQ(main->caption(), "KORVIN ");
    EXPECT_TRUE(measure(false));
}

TEST_F(Startup, DebugStartEnablesTheMeasurementButtons) {
    start({"debug"});
    EXPECT_TRUE(measure(true));
    EXPECT_FALSE(main->btn_disconnect.enabled());
}

TEST_F(Startup, OpeningAWindowLocksTheButtonsAndClosingUnlocksThem) {
    start();
    connect();
    main->btmbtn_spe.click();
    EXPECT_EQ(formkind(), 4);
    EXPECT_TRUE(measure(false));
    EXPECT_FALSE(main->btn_disconnect.enabled());
    EXPECT_FALSE(main->btn_connect.enabled());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->form().iconindex, 3);
    window->form().close();
    EXPECT_EQ(formkind(), 0);
    EXPECT_TRUE(measure(true));
    EXPECT_TRUE(main->btn_disconnect.enabled());
    main->btmbtn_snr.click();
    EXPECT_EQ(formkind(), 5);
    window->form().close();
    main->mniQua1.click();  // the menu opens a window as its button does
    EXPECT_EQ(formkind(), 6);
    EXPECT_TRUE(measure(false));
    EXPECT_EQ(window->form().iconindex, 1);
    window->form().close();
    const auto lines = loglines();
    EXPECT_EQ(lines[2], "Open Spectrum Window!");
    EXPECT_EQ(lines[3], "Open SNR&IMD Window!");
    EXPECT_EQ(lines[4], "Open Signal Quality Window!");
}

TEST_F(Startup, AWindowClosedAfterTheLinkDroppedLeavesItsButtonsEnabled) {
    start();
    connect();
    main->btmbtn_ste.click();
    sock->peerclose();
    window->form().close();
    EXPECT_TRUE(measure(true));
    EXPECT_TRUE(main->btn_disconnect.enabled());
    main->btn_disconnect.click();
    EXPECT_TRUE(main->btn_connect.enabled());
    EXPECT_FALSE(main->btn_disconnect.enabled());
}

TEST_F(Startup, ClosingWithTheLinkUpLogsTheDisconnectLast) {
    start();
    connect();
    main->btmbtn_eye.click();
    main->mniExit1.click();  // the same path as the title bar's close box
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(formkind(), 0);  // the open window was closed first
    EXPECT_FALSE(sock->active());
    const auto lines = loglines();
    EXPECT_EQ(lines.back(), "Successfully disconnected with server!");
}

TEST_F(Startup, AWorkerThreadThatCannotStartIsReportedAndStartUpGoesOn) {
    starter = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    start();
    EXPECT_EQ(main->statustext(), "Initialized successfully!");
    EXPECT_TRUE(main->btn_connect.enabled());
    main->mniExit1.click();  // nothing was started, so nothing fails to end
    EXPECT_EQ(backend.desk.errorboxes(),
              std::vector<std::string>{"System startup Error,Please check!"});
    EXPECT_TRUE(loglines().empty());
}

// A worker stuck on its disk does not hold the program open: closing gives up on it after the
// stop limit and says so, and the thread frees itself whenever it does end.
TEST_F(Startup, AWorkerThreadThatDoesNotEndIsLeftBehindAndReported) {
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false, ended = false;
    };
    auto gate = std::make_shared<Gate>();
    int made = 0;
    // The log thread (the first made) stands still until the gate opens.
    starter = [gate, &made](std::function<void()> body) {
        if (made++ > 0) return std::thread(std::move(body));
        return std::thread([gate, body = std::move(body)] {
            std::unique_lock<std::mutex> lock(gate->mutex);
            gate->changed.wait(lock, [&] { return gate->open; });
            lock.unlock();
            body();
            lock.lock();
            gate->ended = true;
            gate->changed.notify_all();
        });
    };
    start();
    main->stoplimit = std::chrono::milliseconds(20);
    main->mniExit1.click();
    EXPECT_TRUE(main->closed());
    EXPECT_EQ(backend.desk.errorboxes(), std::vector<std::string>{"log_thread.Destroy err!"});
    std::unique_lock<std::mutex> lock(gate->mutex);
    gate->open = true;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->ended; });
}

TEST_F(Startup, TheStatusPaneHintShowsTheWholeText) {
    start();
    main->btn_connect.click();
    sock->refuse(111);
    main->statusbar_1.mousemove();
    EXPECT_TRUE(main->statusbar_1.showhint());
    EXPECT_EQ(main->statusbar_1.hint(), main->statustext());
}

TEST_F(Startup, DebugModeFeedsTheOpenWindowWithSyntheticCaptures) {
    start({"debug"});
    main->btmbtn_ste.click();
    main->simulatedata();
    const std::vector<std::int32_t> first(buffers().sampleblock,
                                          buffers().sampleblock + resultlayout::kSampleCount);
    main->simulatedata();
    EXPECT_EQ(window->datas, 2);
    EXPECT_TRUE(window->statuses.empty());
    // Noise holds no signal an engine could lock: if the engine says so, one line tells it.
    const auto lines = loglines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), exciter::kNoSignalText),
              resultlayout::locked(buffers().resultblock) ? 0 : 1);
    // Values stay within -7999..8000.
    for (std::size_t k = 0; k < resultlayout::kSampleCount; ++k) {
        ASSERT_GE(buffers().sampleblock[k], -7999);
        ASSERT_LE(buffers().sampleblock[k], 8000);
    }
    // The next run draws other captures: the generator is seeded from the clock at start-up.
    loglines();
    start({"debug"});
    main->btmbtn_ste.click();
    main->simulatedata();
    EXPECT_NE(std::vector<std::int32_t>(buffers().sampleblock,
                                        buffers().sampleblock + resultlayout::kSampleCount),
              first);
}

}  // namespace

namespace {

TEST_F(Startup, SuperModeDumpsBothHalvesOfEveryCapture) {
    start({"super"});
    connect();
    main->btmbtn_ste.click();
    backend.clock.advance(2100);
    for (int n = 1; n <= 32; ++n)
        sock->deliver(korvin::test::packet(32, static_cast<std::uint8_t>(n)));
    ASSERT_EQ(window->datas, 1);
    const auto lines = loglines();
    const auto header = std::find(lines.begin(), lines.end(), "Receive complex:");
    ASSERT_NE(header, lines.end());
    // 4096 dump lines, the second half's header (a timestamp and a blank), 4096 more.
    ASSERT_GE(lines.end() - header, 1 + 4096 + 1 + 4096);
    EXPECT_EQ(header[4097], "");
    const std::vector<std::uint8_t> first = korvin::test::packet(32, 1);
    const auto i = static_cast<std::int16_t>(first[8] | (first[9] << 8));
    const auto q = static_cast<std::int16_t>(first[10] | (first[11] << 8));
    EXPECT_EQ(header[1], std::to_string(i) + " " + std::to_string(q));
}

}  // namespace
