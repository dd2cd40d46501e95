#include "cli/pdf_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "analysis/store_image.h"

extern char** environ;

namespace kijunchi {

namespace {

constexpr std::string_view kRequestMagic = "kijunchi-pdf-request 1";

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// A broken pipe (the program ended before it read the request) is an error of the write, not
// the end of kijunchi-report.
class IgnoreBrokenPipe {
public:
    IgnoreBrokenPipe() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &saved_);
    }
    ~IgnoreBrokenPipe() { ::sigaction(SIGPIPE, &saved_, nullptr); }
    IgnoreBrokenPipe(const IgnoreBrokenPipe&) = delete;
    IgnoreBrokenPipe& operator=(const IgnoreBrokenPipe&) = delete;

private:
    struct sigaction saved_ {};
};

std::string runPdfProgram(const std::string& program, const std::string& request) {
    if (::access(program.c_str(), X_OK) != 0)
        return "--pdf は使えません。PDFを書くプログラム " + std::string(kPdfProgramName) +
               " がありません: " + program;
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) return "PDFを書くプログラムを起動できません。";
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return "PDFを書くプログラムを起動できません。";
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::string name = kPdfProgramName;
    char* argv[] = {name.data(), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (spawned != 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        return "PDFを書くプログラムを起動できません: " + program;
    }
    {
        // The program reads the whole request before it writes anything back.
        const IgnoreBrokenPipe ignore;
        writeAll(toChild[1], request);
        ::close(toChild[1]);
    }
    std::string message = readAll(fromChild[0]);
    ::close(fromChild[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && message.empty()) return {};
    if (message.empty()) message = "PDFを書くプログラムが途中で終わりました: " + program;
    return message;
}

}  // namespace

std::string pdfRequestBytes(const std::string& path, const AnalysisStore& store,
                            const PdfHead& head) {
    std::string bytes;
    appendImageText(bytes, kRequestMagic);
    appendImageText(bytes, path);
    appendImageText(bytes, head.runningHead);
    appendImageText(bytes, std::to_string(head.description.size()));
    for (const std::string& line : head.description) appendImageText(bytes, line);
    appendStoreImage(bytes, store);
    return bytes;
}

std::optional<PdfRequest> readPdfRequest(std::string_view bytes) {
    const auto magic = readImageText(bytes);
    if (!magic || *magic != kRequestMagic) return std::nullopt;
    PdfRequest request;
    const auto path = readImageText(bytes);
    const auto runningHead = readImageText(bytes);
    const auto lines = readImageText(bytes);
    if (!path || !runningHead || !lines || lines->empty() || lines->size() > 6 ||
        lines->find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    request.path = *path;
    request.head.runningHead = *runningHead;
    for (long i = std::stol(*lines); i > 0; --i) {
        auto line = readImageText(bytes);
        if (!line) return std::nullopt;
        request.head.description.push_back(std::move(*line));
    }
    request.store = readStoreImage(bytes);
    if (!request.store || !bytes.empty()) return std::nullopt;
    return request;
}

PdfWriter pdfProgramWriter(std::string programPath) {
    return [programPath = std::move(programPath)](const std::string& path,
                                                  const AnalysisStore& store, const PdfHead& head) {
        return runPdfProgram(programPath, pdfRequestBytes(path, store, head));
    };
}

std::string pdfProgramBesideThisOne() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return kPdfProgramName;
    return (self.parent_path() / kPdfProgramName).string();
}

}  // namespace kijunchi
