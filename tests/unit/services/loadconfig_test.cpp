#include "services/loadconfig.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/component.h"
#include "platform/testkit/headless.h"
#include "services/settings.h"
#include "unit/services/servicetestutil.h"

namespace {

class LoadConfig : public ::testing::Test {
  protected:
    void SetUp() override {
        // Values no rule produces, so every field must be assigned by loadconfig.
        settings.autosavecfg = {true, -7, 99, "stale/"};
        settings.defaultip = "stale";
        settings.savecomm = true;
        ipedt.setaddress(kDefaultExciterIp);  // as the main window shows it before loading
    }
    void load() { loadconfig(folder.path(), folder.path(), ipedt, settings); }
    // Loads an existing file and checks it is left exactly as it was.
    void loadexisting(const std::string& text) {
        svctest::writefile(ini(), text);
        load();
        EXPECT_EQ(svctest::readfile(ini()), text);
    }
    void expectdefaults(const std::string& path) {
        EXPECT_FALSE(settings.autosavecfg.enabled);
        EXPECT_EQ(settings.autosavecfg.cycle, 0);
        EXPECT_EQ(settings.autosavecfg.cycletype, 0);
        EXPECT_EQ(settings.autosavecfg.path, path);
        EXPECT_EQ(settings.defaultip, kDefaultExciterIp);
        EXPECT_FALSE(settings.savecomm);
        EXPECT_EQ(ipedt.address(), kDefaultExciterIp);
    }
    std::string ini() const { return folder / "config.ini"; }

    platform::HeadlessBackend backend;
    svctest::TempFolder folder;
    platform::IpEdit ipedt{"ipedt_dest"};
    Settings settings;
};

TEST_F(LoadConfig, FirstStartWritesSixKeysInThreeSectionsAndLeavesTheEdit) {
    ipedt.setaddress("10.1.2.3");
    const std::string saves = "/home/op/.local/share/korvin/";
    loadconfig(folder.path(), saves, ipedt, settings);
    EXPECT_EQ(svctest::readfile(ini()),
              "[AUTO_SAVE]\r\nSwitch=0\r\nCycle=0\r\nType=0\r\nPath=" + saves +
                  "\r\n[CONFIG]\r\nDefault IP=192.168.1.100\r\n[SAVE_COMM]\r\nSwitch=0\r\n");
    EXPECT_EQ(ipedt.address(), "10.1.2.3");
    ipedt.setaddress(kDefaultExciterIp);
    expectdefaults(saves);
    EXPECT_TRUE(backend.desk.errorboxes().empty());
}

TEST_F(LoadConfig, ValuesFollowTheReadingRules) {
    loadexisting(
        "[AUTO_SAVE]\r\nSwitch=2\r\nCycle=0x10\r\nType=260\r\nPath=/data/imd\r\n"
        "[config]\r\ndefault ip=10.0.0.300\r\n[SAVE_COMM]\r\nSwitch=yes\r\n");
    EXPECT_TRUE(settings.autosavecfg.enabled);
    EXPECT_EQ(settings.autosavecfg.cycle, 16);
    EXPECT_EQ(settings.autosavecfg.cycletype, 4);
    EXPECT_EQ(settings.autosavecfg.path, "/data/imd");  // no separator added
    EXPECT_EQ(ipedt.address(), "10.0.0.255");
    EXPECT_EQ(settings.defaultip, "10.0.0.255");
    EXPECT_FALSE(settings.savecomm);

    loadexisting("[AUTO_SAVE]\nSwitch=0\nCycle=$10\nType=abc\n[SAVE_COMM]\nSwitch=-1\n");
    EXPECT_FALSE(settings.autosavecfg.enabled);
    EXPECT_EQ(settings.autosavecfg.cycle, 16);
    EXPECT_EQ(settings.autosavecfg.cycletype, 0);
    EXPECT_TRUE(settings.savecomm);
}

TEST_F(LoadConfig, MissingKeysTakeDefaultsWithoutTouchingTheFile) {
    loadexisting("[CONFIG]\nDefault IP=10.2.3.4\n");
    EXPECT_EQ(ipedt.address(), "10.2.3.4");
    EXPECT_EQ(settings.defaultip, "10.2.3.4");
    EXPECT_FALSE(settings.autosavecfg.enabled);
    EXPECT_EQ(settings.autosavecfg.cycle, 0);
    EXPECT_EQ(settings.autosavecfg.cycletype, 0);
    EXPECT_EQ(settings.autosavecfg.path, folder.path());
    EXPECT_FALSE(settings.savecomm);
    ipedt.setaddress(kDefaultExciterIp);

    // Three fields are no address: the edit, and so defaultip, keep the default.
    loadexisting("[CONFIG]\nDefault IP=10.0.0\n");
    expectdefaults(folder.path());

    loadexisting("");
    expectdefaults(folder.path());
}

TEST_F(LoadConfig, UnusableFilesReadAsDefaults) {
    loadexisting("this is not\n an ini file ]]]==[[\n\x01\x02=\n");
    expectdefaults(folder.path());

    std::string binary(4096, '\0');
    std::mt19937 rng(7);
    for (char& c : binary) c = static_cast<char>(rng());
    loadexisting(binary);
    expectdefaults(folder.path());

    // Over a megabyte is no settings file, even when it starts like one.
    std::string huge = "[AUTO_SAVE]\nSwitch=1\n[SAVE_COMM]\nSwitch=1\n";
    huge.append(2 << 20, 'x');
    loadexisting(huge);
    expectdefaults(folder.path());

    std::filesystem::remove(ini());
    std::filesystem::create_directory(ini());
    load();
    expectdefaults(folder.path());
    EXPECT_TRUE(backend.desk.errorboxes().empty());
}

TEST_F(LoadConfig, UnwritableFolderKeepsTheDefaultsInMemory) {
    const std::string missing = folder / "gone/";
    loadconfig(missing, missing, ipedt, settings);
    expectdefaults(missing);
    EXPECT_FALSE(svctest::exists(missing + "config.ini"));
    EXPECT_TRUE(backend.desk.errorboxes().empty());
}

}  // namespace
