// The environment a test hands a program it starts: this process's, with the given
// NAME=value entries put in place of those it already has.
#pragma once

#include <string>
#include <vector>

extern char** environ;

namespace korvin::test {

// Owns the texts; envp() points into them for posix_spawn.
class ChildEnvironment {
  public:
    explicit ChildEnvironment(std::vector<std::string> mine) : texts_(std::move(mine)) {
        const std::size_t own = texts_.size();
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            bool replaced = false;
            for (std::size_t i = 0; i < own && !replaced; ++i) {
                const std::string& m = texts_[i];
                replaced = v.compare(0, m.find('=') + 1, m, 0, m.find('=') + 1) == 0;
            }
            if (!replaced) texts_.push_back(v);
        }
        for (auto& t : texts_) pointers_.push_back(t.data());
        pointers_.push_back(nullptr);
    }
    ChildEnvironment(const ChildEnvironment&) = delete;
    ChildEnvironment& operator=(const ChildEnvironment&) = delete;

    char* const* envp() { return pointers_.data(); }

  private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;
};

}  // namespace korvin::test
