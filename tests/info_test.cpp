// swug_info while something happens to its files during the run: what a transcript can't say,
// because it needs a signal or a change at a chosen moment of the run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <thread>

#include "run_cases.h"

namespace swug::testing {
namespace {

// A FIFO with a reader attached that reads only when told to, so that a run writing to it blocks
// once the pipe is full.
class fifo_reader {
public:
    explicit fifo_reader(const std::string& path) {
        if (mkfifo(path.c_str(), 0600) != 0 ||
            (fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK)) < 0) {
            throw std::runtime_error("can't make the FIFO " + path);
        }
    }
    ~fifo_reader() { close(fd_); }
    fifo_reader(const fifo_reader&) = delete;
    fifo_reader& operator=(const fifo_reader&) = delete;

    bool holds_data() const {
        int count = 0;
        return ioctl(fd_, FIONREAD, &count) == 0 && count > 0;
    }
    // Everything up to the end, when the last writer closes it.
    bytes read_to_end() {
        fcntl(fd_, F_SETFL, 0);
        bytes data;
        char chunk[65536];
        for (ssize_t got = 0; (got = read(fd_, chunk, sizeof chunk)) > 0;) {
            data.append(chunk, static_cast<std::size_t>(got));
        }
        return data;
    }

private:
    int fd_ = -1;
};

// Polls until ready() holds; false after ten seconds.
bool wait_until(const std::function<bool()>& ready) {
    for (int tries = 0; tries < 2000; ++tries) {
        if (ready()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// The sizes of the hidden files of outputs being written, smallest first.
std::vector<std::uintmax_t> hidden_file_sizes(const temp_folder& folder) {
    std::vector<std::uintmax_t> found;
    for (const auto& [name, content] : folder_contents(folder.path())) {
        if (name[0] == '.' && name.find(".swug-") != std::string::npos) {
            found.push_back(content.size());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(SwugInfo, ASignalWhileBothPartsAreWrittenLeavesNoTemporaryFile) {
    const std::vector<std::string> without_unnamed_files = failing_calls("tmpfile:95");
    if (target_is_windows() || without_unnamed_files.empty()) {
        GTEST_SKIP() << "POSIX signals and FIFOs, and failing calls";
    }
    // With --json the document follows the parts' copies; a full FIFO as standard output holds the
    // run there, with both new files complete and not yet in place: files without a name, or
    // named ones where the file system can make no nameless files.
    const bytes image = upgrade_image("0123456789", bytes("abc"));
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named new files" : "nameless new files");
        temp_folder folder;
        lay_out(folder.path(), {{"up.bin", image}, {"sw.out", "OLD"}});
        fifo_reader report(folder / "report.fifo");
        const int filler = open((folder / "report.fifo").c_str(), O_WRONLY | O_NONBLOCK);
        const bytes block(4096, 'f');
        while (write(filler, block.data(), block.size()) > 0) {
        }
        run_options options;
        options.cwd = folder.path();
        options.stdout_path = folder / "report.fifo";
        if (named) {
            options.wrapper = without_unnamed_files;
        }
        running_program run = spawn_program(
            "swug_info", {"--json", "--sw", "sw.out", "--mcu", "mcu.out", "up.bin"}, options);
        // A nameless file is held open until it gets its name; a named one is closed by then.
        const auto sizes = [&] {
            return named ? hidden_file_sizes(folder) : new_file_sizes(run.pid);
        };
        const std::vector<std::uintmax_t> complete = {3, 10};
        EXPECT_TRUE(wait_until([&] { return sizes() == complete; }))
            << ::testing::PrintToString(sizes());
        kill(run.pid, SIGTERM);
        EXPECT_EQ(finish_program(run, "").ending, "killed by SIGTERM");
        close(filler);
        const std::vector<std::pair<std::string, bytes>> untouched = {
            {"report.fifo", "<not a regular file>"}, {"sw.out", "OLD"}, {"up.bin", image}};
        EXPECT_EQ(folder_contents(folder.path()), untouched);
    }
}

TEST(SwugInfo, AnImageCutShortWhileItIsUnpackedLeavesNoPart) {
    if (target_is_windows()) {
        GTEST_SKIP() << "POSIX FIFOs";
    }
    // The software image goes to a FIFO and waits there once the pipe is full; meanwhile the image
    // is cut inside the zero bytes both parts are made of, so that only the count can tell.
    const bytes image = upgrade_image(bytes(300000, '\0'), bytes(1000, '\0'));
    temp_folder folder;
    write_file(folder / "up.bin", image);
    fifo_reader reader(folder / "sw.fifo");
    run_options options;
    options.cwd = folder.path();
    running_program run =
        spawn_program("swug_info", {"--sw", "sw.fifo", "--mcu", "mcu.out", "up.bin"}, options);
    ASSERT_TRUE(wait_until([&] { return reader.holds_data(); }));
    std::filesystem::resize_file(folder / "up.bin", 128 + 280000);
    reader.read_to_end();
    const run_result result = finish_program(run, "");
    EXPECT_EQ(result.ending, exited(2));
    EXPECT_EQ(result.out,
              "| image up.bin |\n"
              "| size=00049848 |\n"
              "| magic=ZQ-TR5200 Image |\n"
              "| length=000493e0 |\n"
              "| sum=00000000 |\n"
              "| upgrade_boot=00000000 |\n"
              "| mcu_ota_flag=00000001 |\n"
              "| mcu_addr=00049460 |\n"
              "| mcu_len=000003e8 |\n"
              "| mcu_sum=00000000 |\n"
              "| check size: ok |\n"
              "| check magic: ok |\n"
              "| check length: ok |\n"
              "| check sum: ok |\n"
              "| check upgrade_boot: ok |\n"
              "| check unused_bytes: ok |\n"
              "| check mcu_ota_flag: ok |\n"
              "| check mcu_addr: ok |\n"
              "| check mcu_len: ok |\n"
              "| check file_end: ok |\n"
              "| check mcu_sum: ok |\n"
              "| image is valid |\n");
    EXPECT_EQ(result.err, "swug_info: the upgrade image up.bin changed while it was read\n");
    const std::vector<std::pair<std::string, bytes>> after = {
        {"sw.fifo", "<not a regular file>"}, {"up.bin", image.substr(0, 128 + 280000)}};
    EXPECT_EQ(folder_contents(folder.path()), after);
}

}  // namespace
}  // namespace swug::testing
