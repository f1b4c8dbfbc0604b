#include "services/formconfig.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/testkit/headless.h"
#include "services/autosavethread.h"
#include "services/globalunit.h"
#include "shell/configdialog.h"
#include "shell/mainfram.h"
#include "unit/services/servicetestutil.h"

namespace {

constexpr char kFile[] =
    "[AUTO_SAVE]\nSwitch=1\nCycle=5\nType=2\nPath=/old/\n\n\n[CONFIG]\nDefault IP=10.0.0.7\n\n\n"
    "[SAVE_COMM]\nSwitch=0\n";

class ConfigDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        backend.desk.exefolder_ = folder.path();
        setmemory(true, 5, 2, "/old/");
    }
    void setmemory(bool on, int cycle, int type, const std::string& path) {
        settings.autosavecfg = {on, cycle, static_cast<std::uint8_t>(type), path};
        settings.defaultip = "10.0.0.7";
        settings.savecomm = false;
    }
    // A dialog as the main window opens it; its reopen requests are recorded with the folder
    // in memory at that moment. A folder change is passed on to `thread` when one is given.
    std::unique_ptr<Tform_config> open(tautosavethread* thread = nullptr,
                                       platform::FileCalls& calls = platform::systemfilecalls()) {
        auto d = std::make_unique<Tform_config>(
            settings,
            [this, thread](bool reopen) {
                if (thread) thread->setfolder(settings.autosavecfg.path);
                if (!reopen) return;
                posts.emplace_back(kMsgReopen, settings.autosavecfg.path);
                if (thread) postautosave(thread, kMsgReopen, nullptr, 0);
            },
            calls);
        d->showmodal();
        return d;
    }
    std::string ini() const { return folder / "config.ini"; }
    std::string file() const { return svctest::readfile(ini()); }

    platform::HeadlessBackend backend;  // first: it outlives the dialogs
    svctest::TempFolder folder;
    Settings settings;
    std::vector<std::pair<unsigned, std::string>> posts;
};

TEST_F(ConfigDialog, ShowsTheSettingsInMemoryWithTheCycleHidden) {
    settings.savecomm = true;
    auto d = open();
    EXPECT_TRUE(d->ckbox_enable.checked() && d->ckbox_save_comm.checked());
    EXPECT_EQ(d->edt_path.text() + d->ipedt_dest1.address(), "/old/10.0.0.7");
    EXPECT_EQ(d->cbb_cycle_type.itemindex(), 2);
    EXPECT_EQ(d->nedt_cycle.roundedvalue(), 5);
    EXPECT_FALSE(d->nedt_cycle.visible() || d->cbb_cycle_type.visible() || d->lbl_1.visible());
}

TEST_F(ConfigDialog, OkUntouchedWritesNothingAndPostsNothing) {
    // The extremes of what the file may hold: a cycle beyond six digits, a type out of range.
    const std::vector<std::function<void()>> memories = {
        [] {},
        [this] { setmemory(false, INT32_MAX, 4, "/x/"); },
        [this] { setmemory(true, INT32_MIN, 255, ""); },
    };
    for (std::size_t i = 0; i < memories.size(); ++i) {
        memories[i]();
        svctest::writefile(ini(), kFile);
        auto d = open();
        d->btmbtn_1.click();
        EXPECT_TRUE(d->closed()) << i;
        EXPECT_EQ(file(), kFile) << i;
        std::filesystem::remove(ini());
        open()->btmbtn_1.click();
        EXPECT_FALSE(svctest::exists(ini())) << i;
    }
    EXPECT_TRUE(posts.empty());
    EXPECT_TRUE(backend.desk.errorboxes().empty());
}

TEST_F(ConfigDialog, EachChangeWritesOnlyItsOwnKeyIntoANewFile) {
    struct Change {
        std::function<void(Tform_config&)> edit;
        std::string written;
        std::function<bool()> stored;
    };
    const std::vector<Change> changes = {
        {[](Tform_config& d) { d.nedt_cycle.settext("9"); }, "[AUTO_SAVE]\r\nCycle=9\r\n",
         [this] { return settings.autosavecfg.cycle == 9; }},
        {[](Tform_config& d) { d.cbb_cycle_type.setitemindex(3); }, "[AUTO_SAVE]\r\nType=3\r\n",
         [this] { return settings.autosavecfg.cycletype == 3; }},
        {[](Tform_config& d) { d.edt_path.settext("/New/"); }, "[AUTO_SAVE]\r\nPath=/New/\r\n",
         [this] { return settings.autosavecfg.path == "/New/"; }},
        {[](Tform_config& d) { d.ckbox_enable.click(); }, "[AUTO_SAVE]\r\nSwitch=0\r\n",
         [this] { return !settings.autosavecfg.enabled; }},
        {[](Tform_config& d) { d.ipedt_dest1.setaddress("10.0.0.300"); },
         "[CONFIG]\r\nDefault IP=10.0.0.255\r\n",
         [this] { return settings.defaultip == "10.0.0.255"; }},
        {[](Tform_config& d) { d.ckbox_save_comm.click(); }, "[SAVE_COMM]\r\nSwitch=1\r\n",
         [this] { return settings.savecomm; }},
    };
    for (const Change& c : changes) {
        setmemory(true, 5, 2, "/old/");
        std::filesystem::remove(ini());
        auto d = open();
        c.edit(*d);
        d->btmbtn_1.click();
        EXPECT_EQ(file(), c.written);
        EXPECT_TRUE(c.stored()) << c.written;
        EXPECT_TRUE(d->closed());
    }
    // Only a folder change with auto-save left on asks for a reopen.
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0], std::make_pair(kMsgReopen, std::string("/New/")));

    // In an existing file only that key changes; whatever else it holds stays, and the file is
    // rewritten with CR LF line ends and without blank lines. A link to it stays a link.
    std::filesystem::remove(ini());
    std::filesystem::create_directory(folder / "etc");
    std::filesystem::create_symlink("etc/korvin.ini", ini());
    svctest::writefile(folder / "etc/korvin.ini",
                       "[OTHER]\r\n; kept\r\nkey=v\r\n\r\n" + std::string(kFile));
    setmemory(true, 5, 2, "/old/");
    auto d = open();
    d->ipedt_dest1.setaddress("10.0.0.8");
    d->btmbtn_1.click();
    EXPECT_EQ(file(),
              "[OTHER]\r\n; kept\r\nkey=v\r\n[AUTO_SAVE]\r\nSwitch=1\r\nCycle=5\r\nType=2\r\n"
              "Path=/old/\r\n[CONFIG]\r\nDefault IP=10.0.0.8\r\n[SAVE_COMM]\r\nSwitch=0\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(ini()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "etc"), {}), 1);
}

// The auto-save thread has its file open in the old folder and is held at its next block while
// the dialog's OK runs; one more block follows.
TEST_F(ConfigDialog, OnlyAFolderChangeWithAutoSaveKeptOnMovesTheNextLine) {
    const std::string line = "2024-03-07 14:05:09,   SNR LID UID,   35.5,   52.0,   51.5\r\n";
    const std::string day = "imd_snr_2024_03_07.txt";
    const std::uint8_t status[4] = {0, 71, 104, 103};
    struct Case {
        bool was, now, moves;
    };
    for (const Case c : {Case{true, true, true}, Case{false, true, false}, {true, false, false}}) {
        const std::string oldf = folder / (std::to_string(c.was) + std::to_string(c.now) + "a/");
        const std::string newf = folder / (std::to_string(c.was) + std::to_string(c.now) + "b/");
        std::filesystem::create_directories(oldf);
        std::filesystem::create_directories(newf);
        setmemory(c.was, 5, 2, oldf);
        svctest::ScriptedClock clock({{2024, 3, 7, 14, 5, 9, 0}}, 2);
        tautosavethread t([&clock] { return clock(); });
        t.setfolder(oldf);
        t.start();
        postautosave(&t, kMsgStatus, status, 4);
        postautosave(&t, kMsgStatus, status, 4);
        clock.waitheld();
        auto d = open(&t);
        d->edt_path.settext(newf);
        if (c.was != c.now) d->ckbox_enable.click();
        d->btmbtn_1.click();
        postautosave(&t, kMsgStatus, status, 4);
        clock.release();
        t.stop();
        EXPECT_EQ(svctest::readfile(oldf + day), c.moves ? line + line : line + line + line);
        EXPECT_EQ(svctest::exists(newf + day), c.moves);
        EXPECT_EQ(settings.autosavecfg.enabled, c.now);
        EXPECT_EQ(file(), "[AUTO_SAVE]\r\nPath=" + newf + (c.was != c.now ? "\r\nSwitch=" : "") +
                              (c.was != c.now ? (c.now ? "1" : "0") : "") + "\r\n");
        std::filesystem::remove(ini());
    }
    EXPECT_EQ(posts.size(), 1u);
}

TEST_F(ConfigDialog, EnableRuleGuardsPathAndBrowseWhichEndsTheFolderWithTheSeparator) {
    setmemory(false, 0, 0, "/typed");
    auto d = open();
    backend.desk.folderchoices = {"/data/imd", "/data/snr/"};
    const auto expect = [&d](bool on) {
        EXPECT_EQ(d->edt_path.readonly(), !on);
        EXPECT_EQ(d->btn_browse.enabled(), on);
        EXPECT_TRUE(d->ckbox_save_comm.enabled() && d->ipedt_dest1.enabled());
    };
    expect(false);
    d->btn_browse.click();
    EXPECT_EQ(d->edt_path.text(), "/typed");
    d->ckbox_enable.click();
    expect(true);
    d->btn_browse.click();
    EXPECT_EQ(d->edt_path.text(), "/data/imd/");
    d->btn_browse.click();
    EXPECT_EQ(d->edt_path.text(), "/data/snr/");
    d->btn_browse.click();  // cancelled
    EXPECT_EQ(d->edt_path.text(), "/data/snr/");
    d->ckbox_enable.click();
    expect(false);
}

TEST_F(ConfigDialog, CancelAndTheCloseBoxChangeNeitherMemoryNorFile) {
    for (bool closebox : {false, true}) {
        svctest::writefile(ini(), kFile);
        auto d = open();
        d->nedt_cycle.settext("77");
        d->edt_path.settext("/elsewhere/");
        d->ckbox_enable.click();
        d->ckbox_save_comm.click();
        d->ipedt_dest1.setaddress("1.2.3.4");
        closebox ? d->close() : d->btmbtn_2.click();
        EXPECT_TRUE(d->closed());
        EXPECT_EQ(d->closeaction(), platform::CloseAction::Free);
        EXPECT_EQ(file(), kFile);
        EXPECT_TRUE(settings.autosavecfg.enabled && !settings.savecomm);
        EXPECT_EQ(settings.autosavecfg.cycle, 5);
        EXPECT_EQ(settings.autosavecfg.path, "/old/");
        EXPECT_EQ(settings.defaultip, "10.0.0.7");
    }
    EXPECT_TRUE(posts.empty());
}

// Real failures: a write that fails leaves file and memory as they were and keeps the dialog
// open; OK again, once the cause is gone, writes the change that failed and those after it.
TEST_F(ConfigDialog, AnUnwritableKeyStopsOkWithTheDialogOpen) {
    struct Arrangement {
        std::string what;
        std::function<void(Tform_config&)> make, mend;
    };
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{16, limit.rlim_max};
    void (*xfsz)(int) = SIG_DFL;
    int reader = -1;
    const std::vector<Arrangement> arrangements = {
        // Root writes through any permission, but not into a folder that does not exist.
        {"link into a missing folder",
         [this](Tform_config&) {
             std::filesystem::remove(ini());
             std::filesystem::create_symlink(folder / "gone/config.ini", ini());
         },
         [this](Tform_config&) { std::filesystem::remove(ini()); }},
        // The device fills up halfway through the new file.
        {"file size limit",
         [&small, &xfsz](Tform_config&) {
             xfsz = std::signal(SIGXFSZ, SIG_IGN);
             ::setrlimit(RLIMIT_FSIZE, &small);
         },
         [&limit, &xfsz](Tform_config&) {
             ::setrlimit(RLIMIT_FSIZE, &limit);
             std::signal(SIGXFSZ, xfsz);
         }},
        // Only a regular file is replaced: a pipe (or a device) at the end of a link is no
        // settings file, even with a reader that would take the text.
        {"link to a pipe",
         [this, &reader](Tform_config&) {
             std::filesystem::remove(ini());
             ::mkfifo((folder / "pipe").c_str(), 0600);
             reader = ::open((folder / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
             std::filesystem::create_symlink("pipe", ini());
         },
         [this, &reader](Tform_config&) {
             ::close(reader);
             std::filesystem::remove(ini());
             std::filesystem::remove(folder / "pipe");
         }},
        // A line break would put lines of its own into the file.
        {"folder with a line break", [](Tform_config& d) { d.edt_path.settext("/new/\n[CONFIG]"); },
         [](Tform_config& d) { d.edt_path.settext("/new/"); }},
    };
    for (const Arrangement& a : arrangements) {
        setmemory(true, 5, 2, "/old/");
        svctest::writefile(ini(), kFile);
        const std::size_t boxes = backend.desk.errorboxes().size();
        auto d = open();
        d->edt_path.settext("/new/");
        d->ckbox_save_comm.click();
        a.make(*d);
        d->btmbtn_1.click();
        a.mend(*d);
        ASSERT_EQ(backend.desk.errorboxes().size(), boxes + 1) << a.what;
        EXPECT_EQ(backend.desk.errorboxes().back(), "Unable to write to " + ini());
        EXPECT_FALSE(d->closed()) << a.what;
        EXPECT_EQ(settings.autosavecfg.path, "/old/") << a.what;
        EXPECT_FALSE(settings.savecomm) << a.what;
        EXPECT_TRUE(posts.empty()) << a.what;
        if (svctest::exists(ini())) {
            EXPECT_EQ(file(), kFile) << a.what;
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}),
                  svctest::exists(ini()) ? 1 : 0)
            << a.what;  // nothing left beside it

        d->btmbtn_1.click();
        EXPECT_TRUE(d->closed()) << a.what;
        EXPECT_TRUE(settings.savecomm) << a.what;
        EXPECT_NE(file().find("Path=/new/\r\n"), std::string::npos) << a.what;
        EXPECT_NE(file().find("[SAVE_COMM]\r\nSwitch=1\r\n"), std::string::npos) << a.what;
        EXPECT_EQ(backend.desk.errorboxes().size(), boxes + 1) << a.what;
        EXPECT_EQ(posts.size(), 1u) << a.what;
        posts.clear();
    }
}

// The system calls of a file replacement, one of which fails as on a full or failing device.
enum class Failing { Open, Write, Fsync, Close, Rename };

class FailingCalls : public platform::FileCalls {
  public:
    std::optional<Failing> failing;

    int open(const std::string& name, int flags, mode_t mode) override {
        return fails(Failing::Open) ? -1 : FileCalls::open(name, flags, mode);
    }
    // Half the text reaches the file before the device is full.
    ssize_t write(int fd, const char* data, std::size_t size) override {
        if (failing == Failing::Write && !halfwritten_) {
            halfwritten_ = true;
            return FileCalls::write(fd, data, size / 2);
        }
        return fails(Failing::Write) ? -1 : FileCalls::write(fd, data, size);
    }
    int fsync(int fd) override { return fails(Failing::Fsync) ? -1 : FileCalls::fsync(fd); }
    // The descriptor is gone whatever close says.
    int close(int fd) override {
        const int r = FileCalls::close(fd);
        return fails(Failing::Close) ? -1 : r;
    }
    int rename(const std::string& from, const std::string& to) override {
        return fails(Failing::Rename) ? -1 : FileCalls::rename(from, to);
    }

  private:
    bool fails(Failing f) {
        if (failing != f) return false;
        errno = f == Failing::Write ? ENOSPC : EIO;
        return true;
    }
    bool halfwritten_ = false;
};

std::string failingname(const ::testing::TestParamInfo<Failing>& info) {
    const char* names[] = {"Open", "Write", "Fsync", "Close", "Rename"};
    return names[static_cast<int>(info.param)];
}

class ConfigDialogFailing : public ConfigDialog, public ::testing::WithParamInterface<Failing> {};

TEST_P(ConfigDialogFailing, KeepsFileAndMemoryUntilOkAgainWritesTheChange) {
    svctest::writefile(ini(), kFile);
    FailingCalls calls;
    calls.failing = GetParam();
    auto d = open(nullptr, calls);
    d->nedt_cycle.settext("9");
    d->ckbox_save_comm.click();
    d->btmbtn_1.click();
    EXPECT_EQ(backend.desk.errorboxes(), std::vector<std::string>{"Unable to write to " + ini()});
    EXPECT_FALSE(d->closed());
    EXPECT_EQ(settings.autosavecfg.cycle, 5);
    EXPECT_EQ(file(), kFile);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

    calls.failing.reset();
    d->btmbtn_1.click();
    EXPECT_TRUE(d->closed());
    EXPECT_TRUE(settings.autosavecfg.cycle == 9 && settings.savecomm);
    EXPECT_EQ(file(),
              "[AUTO_SAVE]\r\nSwitch=1\r\nCycle=9\r\nType=2\r\nPath=/old/\r\n[CONFIG]\r\n"
              "Default IP=10.0.0.7\r\n[SAVE_COMM]\r\nSwitch=1\r\n");
}

INSTANTIATE_TEST_SUITE_P(EachCall, ConfigDialogFailing,
                         ::testing::Values(Failing::Open, Failing::Write, Failing::Fsync,
                                           Failing::Close, Failing::Rename),
                         failingname);

// Through the main window's menu: a fresh dialog each time with its icon, freed once closed.
TEST_F(ConfigDialog, TheMenuOpensAFreshDialogEachTime) {
    Tmainform main;
    main.configopener = openconfigdialog;
    for (bool expected : {false, true}) {
        main.mniConfig2.click();
        ASSERT_EQ(backend.modalstack.size(), 1u);
        auto* d = dynamic_cast<Tform_config*>(backend.modalstack.back());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->iconlist, &main.il1);
        EXPECT_EQ(d->iconindex, 7);
        EXPECT_EQ(d->ckbox_save_comm.checked(), expected);
        d->ckbox_save_comm.setchecked(true);
        expected ? d->close() : d->btmbtn_1.click();
        backend.processevents();  // the dialog frees itself here (ASan sees a leak otherwise)
        EXPECT_TRUE(backend.modalstack.empty());
    }
    EXPECT_TRUE(main.settings().savecomm && main.link().settings.logtraffic);
}

}  // namespace
