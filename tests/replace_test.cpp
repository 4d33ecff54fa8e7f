// The upgrade image is replaced only once complete: a run ended by a signal, a file-size limit,
// or another run writing the same output never leaves a partial image or removes another's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "run_cases.h"

namespace swug::testing {
namespace {

const bytes ten = "0123456789";
const std::string ten_summary = "| gen image file checksum=0000020d,size=0000000a |\n";

// IDs of nobody on the machine, for files of other users and runs as other users.
constexpr unsigned other = 61001;
constexpr unsigned second = 61002;
constexpr unsigned team = 61500;

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

setup_step link_of(unsigned user, const std::string& target, const std::string& name) {
    return [=](const std::string& folder) {
        std::filesystem::create_symlink(target, folder + "/" + name);
        owner(name, user, user)(folder);
    };
}

setup_step hard_link(const std::string& existing, const std::string& name) {
    return [=](const std::string& folder) {
        std::filesystem::create_hard_link(folder + "/" + existing, folder + "/" + name);
    };
}

// A row of the table below: the run, its setup as root, who runs it, and what each listed file's
// owner, mode, ACL and attributes must be afterwards.
struct plain_write_case {
    run_case run;
    setup_step prepare;
    unsigned user = 0;
    std::vector<unsigned> groups;
    std::map<std::string, std::string> metadata;
};

// What a plain open for writing by the same user would refuse is refused, what it keeps is kept;
// where a file can't be replaced in one step, it is written over, and said so. "shared/" is a
// folder like /tmp: anybody may write it, only owners may remove.
std::vector<run_case> plain_write_cases() {
    const bytes image = upgrade_image(ten);
    const setup_step shared = mode("shared", 01777);
    const std::string rewritten =
        "the upgrade image {name} was written over in place, not "
        "replaced in one step: ";
    const plain_write_case cases[] = {
        {{"another user's file planted in a shared folder is not written",
          {{"in.bin", ten}, {"shared/release.bin", "OLD"}},
          {"in.bin", "shared/release.bin"},
          1,
          "can't write the upgrade image shared/release.bin: it is another user's file in a "
          "shared folder\n"},
         steps({shared, owner("shared/release.bin", other, other),
                mode("shared/release.bin", 06777)}),
         0,
         {},
         {{"shared/release.bin", "61001:61001 6777"}}},
        {{"a sticky folder that a group may write is shared too",
          {{"in.bin", ten}, {"team/release.bin", "OLD"}},
          {"in.bin", "team/release.bin"},
          1,
          "can't write the upgrade image team/release.bin: it is another user's file in a shared "
          "folder\n"},
         steps({mode("team", 01770), owner("team/release.bin", other, other)})},
        {{"another user's link in a shared folder is not followed",
          {{"in.bin", ten}, {"shared/", ""}, {"victim.bin", "SECRET"}},
          {"in.bin", "shared/link.bin"},
          1,
          "can't write the upgrade image shared/link.bin: it leads through another user's "
          "symbolic link in a shared folder\n",
          "",
          {{"shared/link.bin", "-> ../victim.bin"}}},
         steps({shared, link_of(other, "../victim.bin", "shared/link.bin"),
                mode("victim.bin", 0600)})},
        {{"nor is such a link on the way to the folder",
          {{"in.bin", ten}, {"shared/", ""}, {"store/victim.bin", "SECRET"}},
          {"in.bin", "shared/store/victim.bin"},
          1,
          "can't write the upgrade image shared/store/victim.bin: it leads through another "
          "user's symbolic link in a shared folder\n",
          "",
          {{"shared/store", "-> ../store"}}},
         steps({shared, link_of(other, "../store", "shared/store")})},
        {{"the runner's own link in a shared folder is followed",
          {{"in.bin", ten}, {"shared/", ""}, {"store.bin", "OLD"}},
          {"in.bin", "shared/mine.bin"},
          0,
          ten_summary,
          "",
          {{"shared/mine.bin", "-> ../store.bin"}, {"store.bin", image}}},
         steps({shared, link_of(0, "../store.bin", "shared/mine.bin")})},
        {{"a link of the shared folder's owner is followed",
          {{"in.bin", ten}, {"box/", ""}, {"store.bin", "OLD"}},
          {"in.bin", "box/link.bin"},
          0,
          ten_summary,
          "",
          {{"box/link.bin", "-> ../store.bin"}, {"store.bin", image}}},
         steps({owner("box", second, second), mode("box", 01777),
                link_of(second, "../store.bin", "box/link.bin"), owner("store.bin", other, other),
                mode("store.bin", 0644)}),
         other,
         {},
         {{"store.bin", "61001:61001 0644"}}},
        {{"a member of the file's group keeps its owner and group: the file is written over",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          replace_all(rewritten, "{name}", "up.bin") + "a new file can't be given its owner\n",
          {{"up.bin", image}, {"keep.bin", image}}},
         steps(
             {owner("up.bin", other, team), mode("up.bin", 0660), hard_link("up.bin", "keep.bin")}),
         second,
         {team},
         {{"up.bin", "61001:61500 0660"}}},
        {{"the owner's file in one of the owner's groups is replaced, the group kept",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          "",
          {{"up.bin", image}, {"keep.bin", "OLD"}}},
         steps(
             {owner("up.bin", other, team), mode("up.bin", 0640), hard_link("up.bin", "keep.bin")}),
         other,
         {team},
         {{"up.bin", "61001:61500 0640"}}},
        {{"root keeps owner and group",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          "",
          {{"up.bin", image}}},
         steps({owner("up.bin", 1234, 5678), mode("up.bin", 0640)}),
         0,
         {},
         {{"up.bin", "1234:5678 0640"}}},
        {{"a group that can't be kept: the file is written over",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          replace_all(rewritten, "{name}", "up.bin") + "a new file can't be given its group\n",
          {{"up.bin", image}, {"keep.bin", image}}},
         steps(
             {owner("up.bin", other, team), mode("up.bin", 0666), hard_link("up.bin", "keep.bin")}),
         other,
         {},
         {{"up.bin", "61001:61500 0666"}}},
        {{"a read-only image is refused",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          1,
          "can't write the upgrade image up.bin: it is read-only\n"},
         steps({owner("up.bin", other, other), mode("up.bin", 0444)}),
         other},
        {{"root replaces a read-only image, which stays read-only",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          "",
          {{"up.bin", image}}},
         steps({mode("up.bin", 0444)}),
         0,
         {},
         {{"up.bin", "0:0 0444"}}},
        {{"a folder that allows no new files: the writable file is written over",
          {{"in.bin", ten}, {"upload/up.bin", "OLDOLDOLDOLDOLDOLDOLDOLD"}},
          {"in.bin", "upload/up.bin"},
          0,
          ten_summary,
          replace_all(rewritten, "{name}", "upload/up.bin") + "its folder allows no new files\n",
          {{"upload/up.bin", image}, {"upload/keep.bin", image}}},
         steps({owner("upload/up.bin", other, other), mode("upload/up.bin", 0666),
                hard_link("upload/up.bin", "upload/keep.bin"), mode("upload", 0755)}),
         other,
         {},
         {{"upload/up.bin", "61001:61001 0666"}}},
        {{"a sticky folder's own file: written over, as only its owner may replace it",
          {{"in.bin", ten}, {"box/up.bin", "OLD"}},
          {"in.bin", "box/up.bin"},
          0,
          ten_summary,
          replace_all(rewritten, "{name}", "box/up.bin") +
              "its folder lets only the file's owner replace it\n",
          {{"box/up.bin", image}, {"box/keep.bin", image}}},
         steps({mode("box/up.bin", 0666), hard_link("box/up.bin", "box/keep.bin"),
                mode("box", 01777)}),
         other,
         {},
         {{"box/up.bin", "0:0 0666"}}},
        {{"an mcu_ota.bin that can't be opened is left out, and said so",
          {{"in.bin", ten}, {"mcu_ota.bin", "abc"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          "can't open the MCU ota file mcu_ota.bin: Permission denied; the upgrade image is made "
          "without it\n",
          {{"up.bin", image}}},
         steps({mode("mcu_ota.bin", 0600)}),
         other},
        {{"set-user-ID and set-group-ID bits don't carry over to new content",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          "",
          {{"up.bin", image}}},
         steps({mode("up.bin", 06755)}),
         0,
         {},
         {{"up.bin", "0:0 0755"}}},
        {{"another user's own image loses set-user-ID and set-group-ID too",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          "",
          {{"up.bin", image}, {"keep.bin", "OLD"}}},
         steps({owner("up.bin", other, other), mode("up.bin", 06750),
                hard_link("up.bin", "keep.bin")}),
         other,
         {},
         {{"up.bin", "61001:61001 0750"}, {"keep.bin", "61001:61001 6750"}}},
        {{"the ACL and user attributes are kept",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          "",
          {{"up.bin", image}}},
         steps({mode("up.bin", 0640),
                [](const std::string& folder) {
                    set_acl(folder + "/up.bin", "u::rw-,u:61001:---,g::r--,m::r--,o::r--");
                    setxattr((folder + "/up.bin").c_str(), "user.build", "42", 2, 0);
                    setxattr((folder + "/up.bin").c_str(), "user.signed", "", 0, 0);
                }}),
         0,
         {},
         {{"up.bin",
           "0:0 0644 acl=u::rw-,u:61001:---,g::r--,m::r--,o::r-- user.build=42 "
           "user.signed="}}},
        {{"a folder's default ACL doesn't reach a replacement",
          {{"in.bin", ten}, {"open/up.bin", "OLD"}},
          {"in.bin", "open/up.bin"},
          0,
          ten_summary,
          "",
          {{"open/up.bin", image}}},
         steps({mode("open/up.bin", 0640),
                [](const std::string& folder) {
                    set_acl(folder + "/open", "u::rwx,u:61003:rwx,g::r-x,m::rwx,o::r-x", true);
                }}),
         0,
         {},
         {{"open/up.bin", "0:0 0640"}}},
        {{"attributes this user can't read: the file is written over",
          {{"in.bin", ten}, {"up.bin", "OLD"}},
          {"in.bin", "up.bin"},
          0,
          ten_summary,
          replace_all(rewritten, "{name}", "up.bin") +
              "a new file can't be given its ACL or attributes\n",
          {{"up.bin", image}}},
         steps({[](const std::string& folder) {
                    setxattr((folder + "/up.bin").c_str(), "user.build", "42", 2, 0);
                },
                owner("up.bin", other, other), mode("up.bin", 0200)}),
         other,
         {},
         {{"up.bin", "61001:61001 0200 user.build=42"}}},
        {{"a new image gets the folder's default ACL",
          {{"in.bin", ten}, {"private/", ""}},
          {"in.bin", "private/new.bin"},
          0,
          ten_summary,
          "",
          {{"private/new.bin", image}}},
         [](const std::string& folder) {
             set_acl(folder + "/private", "u::rwx,g::r-x,o::---", true);
         },
         0,
         {},
         {{"private/new.bin", "0:0 0640"}}},
    };
    std::vector<run_case> rows;
    for (const plain_write_case& c : cases) {
        rows.push_back(c.run);
        rows.back().prepare = c.prepare;
        rows.back().user = c.user;
        rows.back().groups = c.groups;
        rows.back().metadata = c.metadata;
    }
    // A file bind-mounted over the output's name, as a container gets it, inside the run's own
    // mount namespace: no rename can take its place, a write can.
    if (std::system("unshare --mount true") == 0) {
        rows.push_back({"a file mounted over its name is written over",
                        {{"in.bin", ten}, {"host.bin", "OLD"}, {"up.bin", ""}},
                        {"in.bin", "up.bin"},
                        0,
                        ten_summary,
                        replace_all(rewritten, "{name}", "up.bin") + "it is a mount point\n",
                        {{"host.bin", image}}});
        rows.back().wrapper = {"unshare",
                               "--mount",
                               "--propagation",
                               "private",
                               "sh",
                               "-c",
                               "mount --bind host.bin up.bin && exec \"$0\" \"$@\""};
        // Mounted only once the run has found its output and made its temporary file, which is
        // when the software image's FIFO gets its bytes: then the rename itself fails.
        rows.push_back({"a file mounted over its name during the run: the rename fails",
                        {{"host.bin", "HOST"}, {"up.bin", "OLD"}},
                        {"in.fifo", "up.bin"},
                        1,
                        "| gen image file checksum=000001a4,size=00000005 |\n"
                        "can't write the upgrade image up.bin: Device or resource busy\n",
                        "",
                        {{"in.fifo", "<not a regular file>"}}});
        rows.back().prepare = [](const std::string& folder) {
            mkfifo((folder + "/in.fifo").c_str(), 0600);
        };
        rows.back().wrapper = {
            "unshare",
            "--mount",
            "--propagation",
            "private",
            "sh",
            "-c",
            "\"$0\" \"$@\" & exec 3>in.fifo; until ls -a | grep -q '^[.]up[.]bin[.]swug-'; do :; "
            "done; mount --bind host.bin up.bin && echo data >&3; exec 3>&-; wait $!"};
    }
    return rows;
}

TEST(Replace, NeverLessSafeThanAPlainWrite) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX owners, modes and shared folders";
    }
    if (!runs_as_root()) {
        GTEST_SKIP() << "files of other users need root";
    }
    for (const run_case& row : plain_write_cases()) {
        check_run_case(row);
    }
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

running_program start_pack(const temp_folder& folder, const std::string& input,
                           const std::string& output = "up.bin") {
    run_options options;
    options.cwd = folder.path();
    return spawn_program("swug_gen", {input, output}, options);
}

TEST(Replace, ASignalWhileCopyingKeepsThePreviousImage) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX signals and FIFOs";
    }
    const bytes previous = upgrade_image("previous");
    // The temporary file of an existing image is private whatever the umask.
    const mode_t mask = umask(0);
    const struct {
        int signal_number;
        std::string ending;
        std::size_t stray_files;
        bool ignored = false;  // the caller ignores SIGHUP: the run goes on to its end
    } cases[] = {
        {SIGHUP, exited(0), 0, true},
        {SIGINT, "killed by SIGINT", 0},
        {SIGTERM, "killed by SIGTERM", 0},
        {SIGHUP, "killed by SIGHUP", 0},
        {SIGQUIT, "killed by SIGQUIT", 0},
        {SIGUSR1, "killed by SIGUSR1", 0},
        {SIGALRM, "killed by SIGALRM", 0},
        {SIGUSR2, "killed by SIGUSR2", 0},
        {SIGSEGV, "killed by SIGSEGV", 0},
        {SIGABRT, "killed by SIGABRT", 0},
        {SIGBUS, "killed by SIGBUS", 0},
        {SIGSYS, "killed by SIGSYS", 0},
        {SIGRTMIN, "killed by signal " + std::to_string(SIGRTMIN), 0},
        {SIGKILL, "killed by SIGKILL", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        temp_folder folder;
        write_file(folder / "up.bin", previous);
        fed_input input(folder, "in.fifo");
        run_options options;
        options.cwd = folder.path();
        if (c.ignored) {
            options.wrapper = {"sh", "-c", "trap '' HUP && exec \"$0\" \"$@\""};
        }
        running_program run = spawn_program("swug_gen", {"in.fifo", "up.bin"}, options);
        // More than one buffer, so that the new file already holds data.
        input.feed(bytes(600000, 'x'));
        ASSERT_TRUE(wait_for_temporary_data(folder, "up.bin"));
        kill(run.pid, c.signal_number);
        if (c.ignored) {
            input.end();
        }
        const run_result result = finish_program(run, "");
        EXPECT_EQ(result.ending, c.ending);
        EXPECT_TRUE(read_file(folder / "up.bin") ==
                    (c.ignored ? upgrade_image(bytes(600000, 'x')) : previous));
        // Only SIGKILL can't be caught: then at most the one temporary file stays, named as such,
        // and readable by its owner alone.
        const std::vector<std::string> stray = temporary_files(folder, "up.bin");
        EXPECT_EQ(stray.size(), c.stray_files);
        for (const std::string& name : stray) {
            EXPECT_EQ(name.size(), std::string(".up.bin.swug-").size() + 6) << name;
            struct stat info {};
            EXPECT_EQ(stat((folder / name).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0600u) << name;
        }
        EXPECT_EQ(folder_contents(folder.path()).size(), 2 + c.stray_files);
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
        mode_t umask = 022;
    } cases[] = {
        {"a new image", 0, 0644},
        {"a new image under umask 0", 0, 0666, 0},
        {"a private image", 0600, 0600},
        {"a group-readable image", 0640, 0640},
        {"a group-readable image under umask 077", 0640, 0640, 077},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        umask(c.umask);
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

// Sets a folder's append-only flag for as long as the object lives: entries may be added to it,
// but never renamed or removed.
class append_only_folder {
public:
    explicit append_only_folder(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {
        int flags = 0;
        set_ = ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0 &&
               (flags |= FS_APPEND_FL, ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0);
    }
    ~append_only_folder() {
        int flags = 0;
        if (set_ && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_APPEND_FL;
            ioctl(fd_, FS_IOC_SETFLAGS, &flags);
        }
        close(fd_);
    }
    append_only_folder(const append_only_folder&) = delete;
    append_only_folder& operator=(const append_only_folder&) = delete;
    bool is_set() const { return set_; }

private:
    int fd_;
    bool set_ = false;
};

TEST(Replace, AnAppendOnlyFolderGetsItsImageWrittenInPlace) {
    if (target_is_windows() || !runs_as_root()) {
        GTEST_SKIP() << "setting a folder append-only needs root on a POSIX system";
    }
    const std::string note =
        "the upgrade image log/{name} was written over in place, not "
        "replaced in one step: its folder is append-only\n";
    for (const bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "an existing image" : "a new image");
        temp_folder folder;
        lay_out(folder.path(), {{"in.bin", ten}, {"log/old.bin", "OLD"}});
        const append_only_folder flag(folder / "log");
        if (!flag.is_set()) {
            GTEST_SKIP() << "the file system has no append-only flag";
        }
        const std::string name = existing ? "old.bin" : "new.bin";
        const run_result result = run_in(folder.path(), "swug_gen", {"in.bin", "log/" + name});
        EXPECT_EQ(result.ending, exited(0));
        EXPECT_EQ(result.out, ten_summary);
        EXPECT_EQ(result.err, replace_all(note, "{name}", name));
        std::vector<std::pair<std::string, bytes>> expected = {
            {"in.bin", ten}, {"log/", ""}, {"log/old.bin", "OLD"}};
        if (existing) {
            expected.back().second = upgrade_image(ten);
        } else {
            expected.emplace_back("log/new.bin", upgrade_image(ten));
            std::sort(expected.begin(), expected.end());
        }
        EXPECT_EQ(folder_contents(folder.path()), expected);
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
    ASSERT_TRUE(wait_for_temporary_data(folder, "shared/late.bin"));
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
// run's own file where it now is, and nothing else.
TEST(Replace, ASignalCleansUpTheRunsOwnFileWhereverItIsNow) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX signals and FIFOs";
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
        running_program run = spawn_program("swug_gen", {"in.fifo", "out/up.bin"}, options);
        input.feed(bytes(600000, 'x'));
        ASSERT_TRUE(wait_for_temporary_data(folder, "out/up.bin"));
        const std::vector<std::pair<std::string, bytes>> left = c.change(folder);
        kill(run.pid, SIGTERM);
        EXPECT_EQ(finish_program(run, "").ending, "killed by SIGTERM");
        EXPECT_EQ(folder_contents(folder.path()), left);
    }
}

}  // namespace
}  // namespace swug::testing
