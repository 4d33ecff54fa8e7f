// Runs that meet a signal, another run, or another user at a chosen moment: the upgrade image is
// replaced only once complete, and nothing of another is ever removed or redirected.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "run_cases.h"

namespace swug::testing {
namespace {

const bytes ten = "0123456789";

// IDs of nobody on the machine, for files of other users and runs as other users.
constexpr unsigned other = 61001;
constexpr unsigned second = 61002;

using setup_step = std::function<void(const std::string& folder)>;

// A row's setup as root: its steps in order.
setup_step steps(std::vector<setup_step> list) {
    return [list](const std::string& folder) {
        for (const setup_step& step : list) {
            step(folder);
        }
    };
}

setup_step owner(const std::string& name, unsigned user, unsigned group) {
    return [=](const std::string& folder) {
        if (lchown((folder + "/" + name).c_str(), user, group) != 0) {
            throw std::runtime_error("lchown failed");
        }
    };
}

setup_step mode(const std::string& name, mode_t bits) {
    return [=](const std::string& folder) {
        if (chmod((folder + "/" + name).c_str(), bits) != 0) {
            throw std::runtime_error("chmod failed");
        }
    };
}

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
    const std::size_t slash = final.rfind('/') + 1;  // 0 without a folder
    const std::string prefix = final.substr(0, slash) + "." + final.substr(slash) + ".swug-";
    std::vector<std::string> found;
    for (const auto& [name, content] : folder_contents(folder.path())) {
        if (name.rfind(prefix, 0) == 0) {
            found.push_back(name);
        }
    }
    return found;
}

// Waits until the run has made its new file and, unless empty will do, written something into it.
bool wait_for_new_data(const running_program& run, bool empty = false) {
    for (int tries = 0; tries < 1000; ++tries) {
        const std::vector<std::uintmax_t> sizes = new_file_sizes(run.pid);
        if (!sizes.empty() && (empty || sizes.back() > 0)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Where a file system can make no nameless files, the new file has a hidden name from the start,
// which the ending signals remove.
const std::vector<std::string> without_unnamed_files = failing_calls("tmpfile:95");

running_program start_pack(const temp_folder& folder, const std::string& input,
                           const std::string& output = "up.bin") {
    run_options options;
    options.cwd = folder.path();
    return spawn_program("swug_gen", {input, output}, options);
}

TEST(Replace, ASignalWhileCopyingKeepsThePreviousImage) {
    if (target_is_windows() || without_unnamed_files.empty()) {
        GTEST_SKIP() << "POSIX signals and FIFOs, and failing calls";
    }
    const bytes previous = upgrade_image("previous");
    // The temporary file of an existing image is private whatever the umask.
    const mode_t mask = umask(0);
    const struct {
        int signal_number;
        std::string ending;
        bool caught = true;    // a named new file is removed
        bool ignored = false;  // the caller ignores SIGHUP: the run goes on to its end
    } cases[] = {
        {SIGHUP, exited(0), true, true},
        {SIGINT, "killed by SIGINT"},
        {SIGTERM, "killed by SIGTERM"},
        {SIGHUP, "killed by SIGHUP"},
        {SIGQUIT, "killed by SIGQUIT"},
        {SIGUSR1, "killed by SIGUSR1"},
        {SIGALRM, "killed by SIGALRM"},
        {SIGUSR2, "killed by SIGUSR2"},
        {SIGSEGV, "killed by SIGSEGV"},
        {SIGABRT, "killed by SIGABRT"},
        {SIGBUS, "killed by SIGBUS"},
        {SIGSYS, "killed by SIGSYS"},
        {SIGRTMIN, "killed by signal " + std::to_string(SIGRTMIN)},
        // The two signals the C library keeps for itself, and SIGKILL, can't be caught.
        {32, "killed by signal 32", false},
        {33, "killed by signal 33", false},
        {SIGKILL, "killed by SIGKILL", false},
    };
    for (const bool named : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.ending + (named ? ", named new file" : ""));
            temp_folder folder;
            write_file(folder / "up.bin", previous);
            fed_input input(folder, "in.fifo");
            run_options options;
            options.cwd = folder.path();
            if (named) {
                options.wrapper = without_unnamed_files;
            }
            if (c.ignored) {
                options.wrapper.insert(options.wrapper.end(),
                                       {"sh", "-c", "trap '' HUP && exec \"$0\" \"$@\""});
            }
            running_program run = spawn_program("swug_gen", {"in.fifo", "up.bin"}, options);
            // More than one buffer, so that the new file already holds data.
            input.feed(bytes(600000, 'x'));
            ASSERT_TRUE(wait_for_new_data(run));
            kill(run.pid, c.signal_number);
            if (c.ignored) {
                input.end();
            }
            const run_result result = finish_program(run, "");
            EXPECT_EQ(result.ending, c.ending);
            EXPECT_TRUE(read_file(folder / "up.bin") ==
                        (c.ignored ? upgrade_image(bytes(600000, 'x')) : previous));
            // A file without a name is gone with the process whatever ends it; a named one stays
            // only after a signal that can't be caught, named as such, and readable by its owner
            // alone.
            const std::size_t stray_files = named && !c.caught ? 1 : 0;
            const std::vector<std::string> stray = temporary_files(folder, "up.bin");
            EXPECT_EQ(stray.size(), stray_files);
            for (const std::string& name : stray) {
                EXPECT_EQ(name.size(), std::string(".up.bin.swug-").size() + 6) << name;
                struct stat info {};
                EXPECT_EQ(stat((folder / name).c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 07777, 0600u) << name;
            }
            EXPECT_EQ(folder_contents(folder.path()).size(), 2 + stray_files);
        }
    }
    umask(mask);
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
        ASSERT_TRUE(wait_for_new_data(run_a, true));
        ASSERT_TRUE(wait_for_new_data(run_b, true));
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

TEST(Replace, ANameThatFlickersIntoALinkNeverRedirectsTheImage) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX shared folders";
    }
    if (!runs_as_root()) {
        GTEST_SKIP() << "another user's links need root";
    }
    // Another user makes shared/up.bin flicker between nothing and a link to the victim's file,
    // while the victim (and root) write shared/up.bin again and again.
    temp_folder folder;
    std::filesystem::permissions(std::filesystem::path(folder.path()).parent_path(),
                                 std::filesystem::perms(0711));
    std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
    lay_out(folder.path(), {{"in.bin", ten}, {"shared/", ""}, {"victim.bin", "SECRET"}});
    steps({mode("shared", 01777), owner("victim.bin", second, second), mode("victim.bin", 0600)})(
        folder.path());
    const std::string name = folder / "shared/up.bin";
    // The flickering process, ended with the test however the test ends.
    struct child_process {
        pid_t pid;
        ~child_process() {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    };
    const child_process flicker{fork()};
    if (flicker.pid == 0) {
        if (setresgid(other, other, other) != 0 || setresuid(other, other, other) != 0) {
            _exit(1);
        }
        for (;;) {
            // Either fails while the name is taken; the next turn tries again.
            if (symlink("../victim.bin", name.c_str()) == 0) {
                unlink(name.c_str());
            }
        }
    }
    for (int run = 0; run < 100; ++run) {
        run_options options;
        options.cwd = folder.path();
        options.user = run % 2 == 0 ? second : 0;
        run_program("swug_gen", {"in.bin", "shared/up.bin"}, options);
        struct stat info {};
        // What the run wrote is taken away again, so that the name can flicker once more.
        if (lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            unlink(name.c_str());
        }
        ASSERT_EQ(read_file(folder / "victim.bin"), "SECRET") << "after run " << run;
        ASSERT_EQ(metadata_text(folder / "victim.bin"), "61002:61002 0600");
    }
}

TEST(Replace, AFileAnotherUserPutsInASharedFolderDuringTheRunIsNotReplaced) {
    if (target_is_windows() || !runs_as_root()) {
        GTEST_SKIP() << "another user's file needs root on a POSIX system";
    }
    temp_folder folder;
    std::filesystem::permissions(std::filesystem::path(folder.path()).parent_path(),
                                 std::filesystem::perms(0711));
    lay_out(folder.path(), {{"shared/", ""}});
    mode("shared", 01777)(folder.path());
    fed_input input(folder, "in.fifo");
    running_program run = start_pack(folder, "in.fifo", "shared/late.bin");
    input.feed(bytes(600000, 'x'));
    ASSERT_TRUE(wait_for_new_data(run));
    // Meanwhile another user takes the name that was free when the run looked.
    const pid_t planter = fork();
    if (planter == 0) {
        if (setresgid(other, other, other) != 0 || setresuid(other, other, other) != 0) {
            _exit(1);
        }
        const int fd =
            open((folder / "shared/late.bin").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        _exit(fd >= 0 && write(fd, "MINE", 4) == 4 ? 0 : 1);
    }
    int status = 0;
    waitpid(planter, &status, 0);
    ASSERT_EQ(status, 0);
    input.end();
    const run_result result = finish_program(run, "");
    EXPECT_EQ(result.ending, exited(1));
    EXPECT_EQ(result.out,
              "| gen image file checksum=044aa200,size=000927c0 |\n"
              "can't write the upgrade image shared/late.bin: File exists\n");
    EXPECT_EQ(read_file(folder / "shared/late.bin"), "MINE");
    EXPECT_EQ(metadata_text(folder / "shared/late.bin"), "61001:61001 0644");
    EXPECT_TRUE(temporary_files(folder, "shared/late.bin").empty());
}

// What happens to the names between the start of the run and a signal; the clean-up removes the
// run's own file where it now is, and nothing else. The new file has a name here, as where the
// file system can make no nameless files.
TEST(Replace, ASignalCleansUpTheRunsOwnFileWhereverItIsNow) {
    if (target_is_windows() || without_unnamed_files.empty()) {
        GTEST_SKIP() << "POSIX signals and FIFOs, and failing calls";
    }
    struct change_case {
        std::string name;
        // Changes the names and says what the folder must hold after the signal.
        std::function<std::vector<std::pair<std::string, bytes>>(const temp_folder&)> change;
    };
    const std::vector<change_case> cases = {
        {"the folder was moved",
         [](const temp_folder& folder) {
             std::filesystem::rename(folder / "out", folder / "moved");
             return std::vector<std::pair<std::string, bytes>>{
                 {"in.fifo", "<not a regular file>"}, {"moved/", ""}, {"moved/up.bin", "OLD"}};
         }},
        {"another file took the temporary file's name",
         [](const temp_folder& folder) {
             const std::string temporary = temporary_files(folder, "out/up.bin").at(0);
             write_file(folder / "theirs", "THEIRS");
             std::filesystem::rename(folder / "theirs", folder / temporary);
             return std::vector<std::pair<std::string, bytes>>{{"in.fifo", "<not a regular file>"},
                                                               {"out/", ""},
                                                               {temporary, "THEIRS"},
                                                               {"out/up.bin", "OLD"}};
         }},
    };
    for (const change_case& c : cases) {
        SCOPED_TRACE(c.name);
        temp_folder folder;
        lay_out(folder.path(), {{"out/up.bin", "OLD"}});
        fed_input input(folder, "in.fifo");
        run_options options;
        options.cwd = folder.path();
        options.wrapper = without_unnamed_files;
        running_program run = spawn_program("swug_gen", {"in.fifo", "out/up.bin"}, options);
        input.feed(bytes(600000, 'x'));
        ASSERT_TRUE(wait_for_new_data(run));
        const std::vector<std::pair<std::string, bytes>> left = c.change(folder);
        kill(run.pid, SIGTERM);
        EXPECT_EQ(finish_program(run, "").ending, "killed by SIGTERM");
        EXPECT_EQ(folder_contents(folder.path()), left);
    }
}

}  // namespace
}  // namespace swug::testing
