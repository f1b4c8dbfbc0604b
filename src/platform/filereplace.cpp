#include "platform/filereplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

namespace platform {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows at most
constexpr int kMaxTempTries = 100;

std::string folderof(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

// A fresh file beside `target`. The name holds the process id, so a file left by a crashed
// run of another process is stepped over rather than reused.
int opentemp(const std::string& target, FileCalls& calls, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int i = 0; i < kMaxTempTries; ++i) {
        temp = target + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        const int fd = calls.open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool writeall(FileCalls& calls, int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = calls.write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file that `name` ends in once its symbolic links are followed (it may not exist yet);
// nullopt when the chain cannot be followed. The link is kept and its target replaced: an
// operator who keeps the settings elsewhere through a link keeps that arrangement.
std::optional<std::string> finaltarget(const std::string& name) {
    std::string at = name;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0)
            return errno == ENOENT ? std::optional<std::string>(at) : std::nullopt;
        if (!S_ISLNK(st.st_mode)) return at;
        std::error_code ec;
        const std::string link = std::filesystem::read_symlink(at, ec).string();
        if (ec || link.empty()) return std::nullopt;
        at = link.front() == '/' ? link : folderof(at) + link;
    }
    return std::nullopt;
}

// The rename is only durable once the folder is synced too. The new file is already in place
// when this runs, so a failure here is not reported: memory and file agree either way.
void syncfolder(const std::string& target) {
    const std::string folder = folderof(target);
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

int FileCalls::open(const std::string& name, int flags, mode_t mode) {
    return ::open(name.c_str(), flags, mode);
}

ssize_t FileCalls::write(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}

int FileCalls::fsync(int fd) {
    return ::fsync(fd);
}

int FileCalls::close(int fd) {
    return ::close(fd);
}

int FileCalls::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

int FileCalls::unlink(const std::string& name) {
    return ::unlink(name.c_str());
}

FileCalls& systemfilecalls() {
    static FileCalls calls;
    return calls;
}

bool replacefile(const std::string& name, const std::string& text, FileCalls& calls) {
    const std::optional<std::string> target = finaltarget(name);
    if (!target) return false;
    struct stat old {};
    const bool existed = ::stat(target->c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;
    std::string temp;
    const int fd = opentemp(*target, calls, temp);
    if (fd < 0) return false;
    // The replacement keeps the permissions the operator gave the old file.
    if (existed) ::fchmod(fd, old.st_mode & 07777);
    const bool written = writeall(calls, fd, text) && calls.fsync(fd) == 0;
    const bool closed = calls.close(fd) == 0;
    if (!written || !closed || calls.rename(temp, *target) != 0) {
        calls.unlink(temp);
        return false;
    }
    syncfolder(*target);
    return true;
}

}  // namespace platform
