#include "files/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace kijunchi {

std::string outputRefusal(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};  // a new file (or one the writer will refuse)
    if (S_ISREG(st.st_mode)) return {};
    return "ファイル「" + path + "」には書き込めません（通常のファイルではありません）。";
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
