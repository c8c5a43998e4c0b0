// Reading a small file whole, and replacing a file's contents so that a crash, a full disk or
// a failed write leaves either the old file or the new one, never a truncated mix.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace velkor {

// The system calls whose failure the replacement must survive; tests substitute failing ones.
class FileOps {
  public:
    virtual ~FileOps() = default;
    virtual ssize_t Write(int fd, const void* data, std::size_t size);
    virtual int Fsync(int fd);
    virtual int Rename(const char* from, const char* to);
};

// The real system calls.
FileOps& SystemFileOps();

enum class FileReadStatus {
    kRead,
    kMissing,  // no such file
    kFailed,   // it exists (or may) but could not be read; `error` says why
};

FileReadStatus ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Writes `bytes` to a new file beside `path`, flushes it to the disk and renames it over
// `path` (over the file a symbolic link points to, keeping the link). An existing file keeps
// its permission bits. On failure the temporary file is removed, `path` is untouched, `error`
// says what failed, and the result is false.
bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string& error,
                         FileOps& ops = SystemFileOps());

}  // namespace velkor
