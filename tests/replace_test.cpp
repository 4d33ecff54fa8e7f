// The upgrade image is replaced only once complete: a run ended by a signal, a file-size limit,
// or another run writing the same output never leaves a partial image or removes another's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "run_cases.h"

namespace swug::testing {
namespace {

const bytes ten = "0123456789";

// A software image that arrives through a FIFO, so that a test decides when the run goes on.
class fed_input {
public:
    fed_input(const temp_folder& folder, const std::string& name) : path_(folder / name) {
        if (mkfifo(path_.c_str(), 0600) != 0) {
            throw std::runtime_error("mkfifo failed");
        }
        // Read and write, so that opening it never waits for the other end.
        fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
    }
    ~fed_input() { end(); }
    fed_input(const fed_input&) = delete;
    fed_input& operator=(const fed_input&) = delete;

    void feed(const bytes& data) const {
        ASSERT_EQ(write(fd_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }
    void end() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

private:
    std::string path_;
    int fd_ = -1;
};

// Names in folder that look like a temporary file of an output named final.
std::vector<std::string> temporary_files(const temp_folder& folder, const std::string& final) {
    std::vector<std::string> found;
    for (const auto& [name, content] : folder_contents(folder.path())) {
        if (name.rfind("." + final + ".swug-", 0) == 0) {
            found.push_back(name);
        }
    }
    return found;
}

// Waits until the run has written something into its temporary file.
bool wait_for_temporary_data(const temp_folder& folder, const std::string& final) {
    for (int tries = 0; tries < 1000; ++tries) {
        for (const std::string& name : temporary_files(folder, final)) {
            struct stat info {};
            if (stat((folder / name).c_str(), &info) == 0 && info.st_size > 0) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

running_program start_pack(const temp_folder& folder, const std::string& input) {
    run_options options;
    options.cwd = folder.path();
    return spawn_program("swug_gen", {input, "up.bin"}, options);
}

TEST(Replace, ASignalWhileCopyingKeepsThePreviousImage) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX signals and FIFOs";
    }
    const bytes previous = upgrade_image("previous");
    const struct {
        int signal_number;
        std::string ending;
        std::size_t stray_files;
    } cases[] = {
        {SIGINT, "killed by SIGINT", 0},   {SIGTERM, "killed by SIGTERM", 0},
        {SIGHUP, "killed by SIGHUP", 0},   {SIGQUIT, "killed by SIGQUIT", 0},
        {SIGUSR1, "killed by SIGUSR1", 0}, {SIGALRM, "killed by SIGALRM", 0},
        {SIGKILL, "killed by SIGKILL", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        temp_folder folder;
        write_file(folder / "up.bin", previous);
        fed_input input(folder, "in.fifo");
        running_program run = start_pack(folder, "in.fifo");
        // More than one buffer, so that the new file already holds data.
        input.feed(bytes(600000, 'x'));
        ASSERT_TRUE(wait_for_temporary_data(folder, "up.bin"));
        kill(run.pid, c.signal_number);
        const run_result result = finish_program(run, "");
        EXPECT_EQ(result.ending, c.ending);
        EXPECT_EQ(read_file(folder / "up.bin"), previous);
        // Only SIGKILL can't be caught: then at most the one temporary file stays, named as such.
        const std::vector<std::string> stray = temporary_files(folder, "up.bin");
        EXPECT_EQ(stray.size(), c.stray_files);
        for (const std::string& name : stray) {
            EXPECT_EQ(name.size(), std::string(".up.bin.swug-").size() + 6) << name;
        }
        EXPECT_EQ(folder_contents(folder.path()).size(), 2 + c.stray_files);
    }
}

TEST(Replace, TwoRunsIntoOneOutputEachLeaveACompleteImage) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX FIFOs";
    }
    const bytes first(300000, 'a');
    const bytes second(200000, 'b');
    const struct {
        std::string name;
        bool second_is_killed;
        bytes expected;
    } cases[] = {
        {"the run that ends last wins", false, upgrade_image(second)},
        {"a run that fails leaves the other's image", true, upgrade_image(first)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder folder;
        fed_input input_a(folder, "a.fifo");
        fed_input input_b(folder, "b.fifo");
        running_program run_a = start_pack(folder, "a.fifo");
        running_program run_b = start_pack(folder, "b.fifo");
        // Both are writing before either ends.
        input_a.feed(first.substr(0, 1000));
        input_b.feed(second.substr(0, 1000));
        for (int tries = 0; tries < 1000 && temporary_files(folder, "up.bin").size() < 2; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_EQ(temporary_files(folder, "up.bin").size(), 2u);
        input_a.feed(first.substr(1000));
        input_a.end();
        EXPECT_EQ(finish_program(run_a, "").ending, exited(0));
        if (c.second_is_killed) {
            kill(run_b.pid, SIGTERM);
            EXPECT_EQ(finish_program(run_b, "").ending, "killed by SIGTERM");
        } else {
            input_b.feed(second.substr(1000));
            input_b.end();
            EXPECT_EQ(finish_program(run_b, "").ending, exited(0));
        }
        EXPECT_TRUE(read_file(folder / "up.bin") == c.expected) << "up.bin is not that image";
        EXPECT_TRUE(temporary_files(folder, "up.bin").empty());
    }
}

TEST(Replace, TheNewImageKeepsTheOldOnesPermissions) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX permission bits";
    }
    const mode_t mask = umask(022);
    const struct {
        std::string name;
        mode_t old_mode;  // 0: there is no old image
        mode_t expected;
    } cases[] = {
        {"a new image", 0, 0644},
        {"a private image", 0600, 0600},
        {"a group-readable image", 0640, 0640},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder folder;
        write_file(folder / "in.bin", ten);
        if (c.old_mode != 0) {
            write_file(folder / "up.bin", "OLD");
            ASSERT_EQ(chmod((folder / "up.bin").c_str(), c.old_mode), 0);
        }
        EXPECT_EQ(run_in(folder.path(), "swug_gen", {"in.bin", "up.bin"}).ending, exited(0));
        struct stat info {};
        ASSERT_EQ(stat((folder / "up.bin").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.expected);
    }
    umask(mask);
}

// Puts the file-size limit back as it was when it goes.
class file_size_limit_restorer {
public:
    file_size_limit_restorer() { getrlimit(RLIMIT_FSIZE, &saved_); }
    ~file_size_limit_restorer() { setrlimit(RLIMIT_FSIZE, &saved_); }
    file_size_limit_restorer(const file_size_limit_restorer&) = delete;
    file_size_limit_restorer& operator=(const file_size_limit_restorer&) = delete;

private:
    rlimit saved_{};
};

TEST(Replace, AFileSizeLimitIsAWriteErrorAndKeepsTheOldImage) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX resource limits";
    }
    const file_size_limit_restorer restorer;
    run_case row = {"a file-size limit",
                    {{"in.bin", bytes(300000, 's')}, {"up.bin", "OLD"}},
                    {"in.bin", "up.bin"},
                    1,
                    "can't write the upgrade image up.bin: File too large\n"};
    // Set once the folder's files are written; the run inherits it.
    row.prepare = [](const std::string&) {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 100000;
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    check_run_case(row);
}

}  // namespace
}  // namespace swug::testing
