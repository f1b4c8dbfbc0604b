// Runs the real korvin-analyze once for a test or benchmark: its standard output and error go
// to files in a scratch folder (no pipe to fill up), read back once it has ended.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace korvin::test {

struct AnalyzeRun {
    int exitcode = -1;  // 128 + signal when it was killed
    std::string out, err;
};

inline std::string readwhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline AnalyzeRun runanalyze(const std::vector<std::string>& args,
                             const std::filesystem::path& scratch) {
    const std::string out = (scratch / "analyze.out").string();
    const std::string err = (scratch / "analyze.err").string();
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> text{KORVIN_ANALYZE_BIN};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    AnalyzeRun run;
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid)
            run.exitcode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&fa);
    run.out = readwhole(out);
    run.err = readwhole(err);
    return run;
}

}  // namespace korvin::test
