// Where the client keeps its files, chosen from a scripted environment and writability.
#include "services/userfolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "unit/services/servicetestutil.h"

namespace {

namespace fs = std::filesystem;

class Folders : public ::testing::Test {
  protected:
    FolderLookup lookup(bool writable) {
        return {[this](const char* name) -> const char* {
                    const auto it = env.find(name);
                    return it == env.end() ? nullptr : it->second.c_str();
                },
                [writable](const std::string& folder) {
                    EXPECT_EQ(folder, kExe);
                    return writable;
                },
                kExe};
    }
    static mode_t modeof(const std::string& folder) {
        struct stat st {};
        EXPECT_EQ(::stat(folder.c_str(), &st), 0) << folder;
        return st.st_mode & 07777;
    }

    static constexpr const char* kExe = "/opt/korvin/bin/";
    svctest::TempFolder home;
    std::string homevar = home.path().substr(0, home.path().size() - 1);
    std::map<std::string, std::string> env;
};

TEST_F(Folders, WritableExecutableFolderKeepsEverythingBesideIt) {
    env = {{"HOME", homevar}, {"XDG_CONFIG_HOME", home / "cfg"}, {"XDG_STATE_HOME", home / "st"}};
    const UserFolders f = userfolders(lookup(true));
    EXPECT_EQ(f.config, kExe);
    EXPECT_EQ(f.logs, kExe);
    EXPECT_EQ(f.saves, kExe);
    EXPECT_TRUE(fs::is_empty(home.path()));
}

TEST_F(Folders, UnwritableOneTakesTheXdgFoldersAndCreatesThemPrivate) {
    env = {{"HOME", "/nonexistent"},
           {"XDG_CONFIG_HOME", home / "cfg"},
           {"XDG_STATE_HOME", home / "st/deep"},
           {"XDG_DATA_HOME", home / "data"}};
    fs::create_directory(home / "cfg");
    ::chmod((home / "cfg").c_str(), 0755);
    const UserFolders f = userfolders(lookup(false));
    EXPECT_EQ(f.config, home / "cfg/korvin/");
    EXPECT_EQ(f.logs, home / "st/deep/korvin/");
    EXPECT_EQ(f.saves, home / "data/korvin/");
    EXPECT_EQ(modeof(home / "cfg"), 0755u);  // an existing folder is left as it is
    for (const std::string& made : {home / "cfg/korvin", home / "st", home / "st/deep",
                                    home / "st/deep/korvin", home / "data/korvin"})
        EXPECT_EQ(modeof(made), 0700u) << made;
    EXPECT_EQ(userfolders(lookup(false)).logs, f.logs);  // a second start finds them
}

TEST_F(Folders, UnsetOrRelativeXdgVariablesFallBackToHomeThenToTheExecutableFolder) {
    env = {{"HOME", homevar}, {"XDG_CONFIG_HOME", "relative/cfg"}, {"XDG_STATE_HOME", ""}};
    const UserFolders f = userfolders(lookup(false));
    EXPECT_EQ(f.config, home / ".config/korvin/");
    EXPECT_EQ(f.logs, home / ".local/state/korvin/");
    EXPECT_EQ(f.saves, home / ".local/share/korvin/");
    EXPECT_TRUE(fs::is_directory(f.logs));

    env = {{"XDG_DATA_HOME", home / "data"}};
    const UserFolders nohome = userfolders(lookup(false));
    EXPECT_EQ(nohome.config, kExe);
    EXPECT_EQ(nohome.logs, kExe);
    EXPECT_EQ(nohome.saves, home / "data/korvin/");
}

}  // namespace
