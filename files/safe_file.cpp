#include "files/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "files/utf8_path.h"

namespace velkor {

ssize_t FileOps::Write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}
int FileOps::Fsync(int fd) {
#ifdef _WIN32
    return ::_commit(fd);
#else
    return ::fsync(fd);
#endif
}
int FileOps::Rename(const char* from, const char* to) {
#ifdef _WIN32
    // Windows' rename refuses an existing target; this replaces it in one step instead.
    if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
#else
    return std::rename(from, to);
#endif
}

FileOps& SystemFileOps() {
    static FileOps ops;
    return ops;
}

namespace {

// Descriptors are not handed to child processes. On Windows they also read and write bytes
// as they are, not text with its line ends translated.
#ifdef _WIN32
constexpr int kOpenFlags = O_BINARY | O_NOINHERIT;
#else
constexpr int kOpenFlags = O_CLOEXEC;
#endif

std::string Describe(const char* what, const std::string& path, int error) {
    return std::string(what) + " " + path + ": " + std::strerror(error);
}

// Closes a descriptor on every path out of a function.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Close() {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

const char* KindOf(std::filesystem::file_type type) {
    switch (type) {
        case std::filesystem::file_type::directory:
            return "a folder";
        case std::filesystem::file_type::block:
        case std::filesystem::file_type::character:
            return "a device";
        case std::filesystem::file_type::fifo:
            return "a pipe";
        case std::filesystem::file_type::socket:
            return "a socket";
        default:
            return "not a regular file";
    }
}

// Creates a new, empty file beside `target` and returns its descriptor; its name in `name`.
// The mode 0666 lets the process's umask decide, as for any new file it creates.
int CreateTemporary(const std::string& target, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = OpenDescriptorUtf8(name, O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(FileOps& ops, int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ops.Write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable. Not every file system can flush a directory, and the
// new contents are in place either way, so a failure here is not reported.
void SyncDirectoryOf(const std::string& path) {
#ifdef _WIN32
    (void)path;  // the write-through move has already made it durable
#else
    std::string directory = std::filesystem::path(path).parent_path().string();
    if (directory.empty()) directory = ".";
    Descriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) ::fsync(fd.Get());
#endif
}

// Whether a process with this id runs now. An id that cannot be asked about (another user's
// process) counts as running.
bool ProcessAlive(long pid) {
#ifdef _WIN32
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

// The process id in a temporary's name "<file>.tmp-PID-N"; 0 when `name` is no such name.
long TemporaryOwner(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    long pid = 0;
    std::size_t i = prefix.size();
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        pid = pid * 10 + (name[i] - '0');
        if (pid > INT_MAX) return 0;
    }
    if (i == prefix.size() || i + 1 >= name.size() || name[i] != '-') return 0;
    for (++i; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
    }
    return pid;
}

// A save killed between creating its temporary and the rename leaves the temporary behind.
// Those of processes that no longer run are removed; a live process's may be a save going on
// now (in this process too, on another thread), so it stays. A process id reused since keeps
// its leftover until a later save.
void RemoveStaleTemporaries(const std::string& target) {
    const std::filesystem::path name = PathFromUtf8(target);
    const std::string prefix = PathToUtf8(name.filename()) + ".tmp-";
    std::filesystem::path directory = name.parent_path();
    if (directory.empty()) directory = ".";
    std::error_code error;
    std::filesystem::directory_iterator entries(directory, error);
    if (error) return;
    std::vector<std::filesystem::path> stale;
    for (const std::filesystem::directory_entry& entry : entries) {
        const long pid = TemporaryOwner(PathToUtf8(entry.path().filename()), prefix);
        if (pid > 0 && !ProcessAlive(pid)) stale.push_back(entry.path());
    }
    for (const std::filesystem::path& path : stale) RemoveFileUtf8(PathToUtf8(path));
}

}  // namespace

FileReadStatus ReadWholeFile(const std::string& path, std::string& bytes, std::string& error,
                             std::size_t maxBytes) {
    bytes.clear();
#ifdef _WIN32
    constexpr int kNoWait = 0;
#else
    // A pipe opened for reading would wait for a writer before open returns; the type check
    // below refuses it anyway, so it must not be waited for.
    constexpr int kNoWait = O_NONBLOCK;
#endif
    Descriptor fd(OpenDescriptorUtf8(path, O_RDONLY | kOpenFlags | kNoWait));
    if (!fd.Valid()) {
        if (errno == ENOENT) return FileReadStatus::kMissing;
        const int openError = errno;
        // Windows refuses to open a directory at all; it is still a file that is not regular,
        // not an unreadable one.
        std::error_code ec;
        if (std::filesystem::is_directory(PathFromUtf8(path), ec)) {
            error = path + ": not a regular file";
            return FileReadStatus::kNotRegular;
        }
        error = Describe("cannot open", path, openError);
        return FileReadStatus::kFailed;
    }
    struct stat info;
    if (::fstat(fd.Get(), &info) != 0) {
        error = Describe("cannot examine", path, errno);
        return FileReadStatus::kFailed;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return FileReadStatus::kNotRegular;
    }
#ifndef _WIN32
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
#endif
    const auto tooLarge = [&] {
        error = path + ": larger than " + std::to_string(maxBytes) + " bytes";
        bytes.clear();
        return FileReadStatus::kTooLarge;
    };
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) return tooLarge();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got == 0) return FileReadStatus::kRead;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = Describe("cannot read", path, errno);
            bytes.clear();
            return FileReadStatus::kFailed;
        }
        // The size checked above can grow while the file is read.
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) return tooLarge();
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string ReplaceableTarget(const std::string& path, std::string& target) {
    namespace fs = std::filesystem;
    fs::path name = PathFromUtf8(path);
    std::error_code error;
    // A link is followed by hand, not by canonical(): a dangling link names the file to create,
    // and the link the user made stays a link.
    for (int hops = 0;; ++hops) {
#ifndef _WIN32
        // /dev/stdout and the other descriptor links lead into /proc, whose links name what a
        // process has open: a terminal, a pipe, or a file some other program is writing.
        if (name.lexically_normal().string().starts_with("/proc/")) {
            return path +
                   " is a process's open descriptor, not a regular file; nothing is "
                   "written to it";
        }
#endif
        if (!fs::is_symlink(fs::symlink_status(name, error))) break;
        if (hops == 40) return path + ": too many levels of symbolic links; nothing is written";
        const fs::path next = fs::read_symlink(name, error);
        if (error) return Describe("cannot follow the link", path, error.value());
        name = next.is_absolute() ? next : name.parent_path() / next;
    }
    target = PathToUtf8(name);
    const fs::file_type type = fs::symlink_status(name, error).type();
    // Not found is a new file; a status that cannot be had (no permission) is left to the
    // write, which reports it.
    if (type == fs::file_type::regular || type == fs::file_type::not_found ||
        type == fs::file_type::none) {
        return "";
    }
    return path + " is " + KindOf(type) + ", not a regular file; nothing is written to it";
}

bool SameReplaceableTarget(const std::string& a, const std::string& b) {
    const auto full = [](const std::string& path) {
        std::string target = path;
        ReplaceableTarget(path, target);
        std::error_code error;
        // Made absolute first: a relative name that does not exist yet is otherwise kept as
        // it is spelled.
        std::filesystem::path name = std::filesystem::absolute(PathFromUtf8(target), error);
        if (error) return PathFromUtf8(target).lexically_normal();
        std::filesystem::path canonical = std::filesystem::weakly_canonical(name, error);
        return error ? name.lexically_normal() : canonical;
    };
    return full(a) == full(b);
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string& error,
                         FileOps& ops) {
    std::string target;
    if (std::string refused = ReplaceableTarget(path, target); !refused.empty()) {
        error = std::move(refused);
        return false;
    }
    std::string temporary;
    Descriptor fd(CreateTemporary(target, temporary));
    if (!fd.Valid()) {
        error = Describe("cannot create", temporary, errno);
        return false;
    }
    const auto fail = [&](const char* what) {
        error = Describe(what, temporary, errno);
        fd.Close();
        RemoveFileUtf8(temporary);
        return false;
    };
#ifndef _WIN32
    // (Windows has no permission bits to carry over: a read-only target makes the move fail.)
    struct stat existing;
    if (::stat(target.c_str(), &existing) == 0 &&
        ::fchmod(fd.Get(), existing.st_mode & 07777) != 0) {
        return fail("cannot set the permissions of");
    }
#endif
    if (!WriteAll(ops, fd.Get(), bytes)) return fail("cannot write");
    if (ops.Fsync(fd.Get()) != 0) return fail("cannot flush");
    if (fd.Close() != 0) return fail("cannot close");
    if (ops.Rename(temporary.c_str(), target.c_str()) != 0) {
        error = Describe("cannot rename", temporary, errno);
        RemoveFileUtf8(temporary);
        return false;
    }
    SyncDirectoryOf(target);
    RemoveStaleTemporaries(target);
    return true;
}

}  // namespace velkor
