// Where the client keeps its files: beside the executable when it may write there (the build
// folder, a copied or unpacked client), in the user's XDG folders when it may not (an installed
// client in /usr/bin).
#pragma once

#include <functional>
#include <string>

// Each with its trailing "/".
struct UserFolders {
    std::string config;  // config.ini
    std::string logs;    // the daily log files
    std::string saves;   // the auto-save folder a new config.ini starts with
};

// What the choice reads from the system; tests put in their own.
struct FolderLookup {
    std::function<const char*(const char*)> getenv;
    std::function<bool(const std::string&)> writable;
    std::string exefolder;

    // The environment, access(W_OK) and the desktop's executable folder.
    static FolderLookup system();
};

// Not writable: $XDG_CONFIG_HOME/korvin/, $XDG_STATE_HOME/korvin/ and $XDG_DATA_HOME/korvin/
// (defaults ~/.config, ~/.local/state, ~/.local/share), created (mode 0700) if missing; with
// neither the variable nor HOME set, the executable's folder as before.
UserFolders userfolders(const FolderLookup& lookup = FolderLookup::system());
