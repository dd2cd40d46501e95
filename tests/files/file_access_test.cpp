// An output is written whole before it takes the place of the old file: a write that fails, or
// a process killed while writing, leaves the folder as it was.
#include "files/file_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/temp_files.h"

namespace kijunchi {
namespace {

using testing::TempFolder;

std::set<std::string> namesIn(const TempFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.insert(entry.path().filename().string());
    return names;
}

// Writes half of "new data" into the file, then ends as `how` says.
std::string writeHalf(const std::string& file, const char* how) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) return "cannot open";
    (void)!::write(fd, "new ", 4);
    ::close(fd);
    if (std::string(how) == "kill") ::raise(SIGKILL);
    return how;
}

TEST(FileAccess, AFailedOrKilledWriteLeavesTheOldFileAndNothingElse) {
    TempFolder folder;
    const int probe = ::open(folder.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
    const bool unnamed = probe >= 0;
    if (probe >= 0) ::close(probe);
    for (const char* how : {"disk full", "kill"}) {
        SCOPED_TRACE(how);
        if (std::string(how) == "kill" && !unnamed)
            GTEST_SKIP() << "no file without a name here: a kill leaves the named temporary";
        const std::string path = folder.write("out.tsv", "old data");
        std::string why;
        if (std::string(how) == "kill") {
            const pid_t child = ::fork();
            if (child == 0) {
                replaceFileWhole(path, [&](const std::string& f) { return writeHalf(f, how); });
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status));
        } else {
            why = replaceFileWhole(path, [&](const std::string& f) { return writeHalf(f, how); });
            EXPECT_EQ(why, how);
        }
        EXPECT_EQ(TempFolder::read(path), "old data");
        EXPECT_EQ(namesIn(folder), std::set<std::string>{"out.tsv"});
    }
}

TEST(FileAccess, AWholeWriteReplacesOrCreatesTheFileAndRefusesAPipe) {
    TempFolder folder;
    const std::string old = folder.write("old.csv", "old data");
    const std::string fresh = folder.file("new.csv");
    for (const std::string& path : {old, fresh}) {
        EXPECT_EQ(writeBytesWhole(path, "new data"), "");
        EXPECT_EQ(TempFolder::read(path), "new data");
    }
    // As a file the program creates anew: readable by others as the mask allows.
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    const std::string pipe = folder.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(writeBytesWhole(pipe, "x"), outputRefusal(pipe));
    EXPECT_NE(outputRefusal(pipe), "");
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"old.csv", "new.csv", "pipe"}));
}

}  // namespace
}  // namespace kijunchi
