// Replacing a whole file so that a reader, or the next start after a crash or a full disk, finds
// either the old text or the new one, never a part of it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform {

// The system calls a replacement makes, each with the system's meaning (-1 and errno on
// failure). A test derives from it to make any one of them fail.
class FileCalls {
  public:
    virtual ~FileCalls() = default;
    virtual int open(const std::string& name, int flags, mode_t mode);
    virtual ssize_t write(int fd, const char* data, std::size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const std::string& from, const std::string& to);
    virtual int unlink(const std::string& name);
};

// The calls as the system makes them.
FileCalls& systemfilecalls();

// Writes `text` to a new file in the folder of `name`'s final target and renames it over the
// target once every write, the fsync and the close have succeeded; a link stays a link. False
// on any failure, with the target as it was and the new file removed. Only a regular file is
// replaced: anything else at the end of the chain (a device, a pipe, a folder) is refused.
bool replacefile(const std::string& name, const std::string& text,
                 FileCalls& calls = systemfilecalls());

}  // namespace platform
