#include "files/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace kijunchi {

std::string outputRefusal(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};  // a new file (or one the writer will refuse)
    if (S_ISREG(st.st_mode)) return {};
    return "ファイル「" + path + "」には書き込めません（通常のファイルではありません）。";
}

namespace {

std::string systemReason() {
    return std::strerror(errno);
}

// A name beside target for a file about to take its place: hidden, of this process, unused.
std::string besideName(const std::string& target, unsigned attempt) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) +
           ".tmp";
}

// The file open as fd, written whole and without a name, made the file at path: linked in
// directly when path names nothing yet, else linked beside it and renamed over it.
std::string placeUnnamed(int fd, const std::string& target) {
    if (::fsync(fd) != 0) return systemReason();
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return {};
    if (errno != EEXIST) return systemReason();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string beside = besideName(target, attempt);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, beside.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            return systemReason();
        }
        if (std::rename(beside.c_str(), target.c_str()) == 0) return {};
        std::string why = systemReason();
        ::unlink(beside.c_str());
        return why;
    }
    return std::strerror(EEXIST);
}

}  // namespace

std::string replaceFileWhole(const std::string& path,
                             const std::function<std::string(const std::string& file)>& write) {
    // A device or a pipe is not replaced by a file of the same name.
    if (std::string refused = outputRefusal(path); !refused.empty()) return refused;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    // A file without a name in the target's folder, written through its path under /proc.
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            std::string why = write("/proc/self/fd/" + std::to_string(fd));
            if (why.empty()) why = placeUnnamed(fd, path);
            ::close(fd);
            return why;
        }
        // Not every file system makes one (EOPNOTSUPP, EISDIR on an older kernel): a named one.
        if (errno == ENOENT || errno == EACCES || errno == ENOTDIR || errno == EROFS)
            return systemReason();
    }
    int fd = -1;
    std::string temp;
    for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = besideName(path, attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return systemReason();
    }
    if (fd < 0) return std::strerror(EEXIST);
    ::close(fd);
    std::string why = write(temp);
    if (why.empty() && std::rename(temp.c_str(), path.c_str()) != 0) why = systemReason();
    if (!why.empty()) ::unlink(temp.c_str());
    return why;
}

std::string writeBytesWhole(const std::string& path, std::string_view bytes) {
    return replaceFileWhole(path, [&](const std::string& file) -> std::string {
        const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) return systemReason();
        for (std::string_view rest = bytes; !rest.empty();) {
            const ssize_t n = ::write(fd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                std::string why = n < 0 ? systemReason() : std::strerror(EIO);
                ::close(fd);
                return why;
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        const bool synced = ::fsync(fd) == 0;
        std::string why = synced ? std::string() : systemReason();
        if (::close(fd) != 0 && why.empty()) why = systemReason();
        return why;
    });
}

bool awaitPipeWriter(int fd, std::string& head) {
    head.clear();
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) {
        // Without blocking, a read of a pipe that has no writer ends at once with nothing; one
        // whose writer has not written yet says EAGAIN. A byte read is kept in head.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (;;) {
            char byte = 0;
            const ssize_t n = ::read(fd, &byte, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n == 1) head.assign(1, byte);
            if (n == 1 || (n < 0 && errno == EAGAIN)) break;
            if (n < 0 || std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

}  // namespace kijunchi
