// The key wait at the end of an interactive run, raw keys on a terminal, and a terminal as the
// output: what a transcript can't say.
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "program_runner.h"

namespace swug::testing {
namespace {

const std::string wrong_count_run = "Parameter Error [2]\nPress any key to exit!";

bool wait_for_lflag(int fd, tcflag_t flags, bool set) {
    for (int tries = 0; tries < 500; ++tries) {
        termios now{};
        if (tcgetattr(fd, &now) == 0 && ((now.c_lflag & flags) == flags) == set) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Waits until the process pid is stopped by a signal.
bool wait_until_stopped(int pid) {
    for (int tries = 0; tries < 500; ++tries) {
        const std::optional<bytes> stat = read_file("/proc/" + std::to_string(pid) + "/stat");
        if (stat && stat->compare(stat->rfind(')') + 1, 3, " T ") == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(KeyWait, OneRawKeyOnATerminalEndsTheRunAndRestoresTheTerminal) {
    if (target_is_windows()) {
        GTEST_SKIP() << "a POSIX terminal";
    }
    // Ctrl-C, Ctrl-Z and Ctrl-\ are keys like any other while the program waits; a key of several
    // bytes leaves none behind; a signal from outside ends the run but never leaves the terminal
    // without echo, nor keys typed ahead for the next program.
    const struct {
        std::string keys;
        int signal_number;
        std::string ending;
    } cases[] = {
        {"x", 0, exited(1)},
        {"\x03", 0, exited(1)},
        {"\x1A", 0, exited(1)},
        {"\x1C", 0, exited(1)},
        {"\r", 0, exited(1)},
        {"\x1b[A", 0, exited(1)},
        {"\xC3\xA9", 0, exited(1)},
        {"", SIGUSR1, "killed by SIGUSR1"},
        {"", SIGALRM, "killed by SIGALRM"},
        {"", SIGTERM, "killed by SIGTERM"},
        {"", SIGHUP, "killed by SIGHUP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys + c.ending);
        int master = -1;
        int slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        termios before{};
        ASSERT_EQ(tcgetattr(slave, &before), 0);
        ASSERT_NE(before.c_lflag & ECHO, 0u);

        temp_folder folder;
        run_options options;
        options.cwd = folder.path();
        options.stdin_fd = slave;
        options.terminal_session = true;
        running_program program = spawn_program("swug_gen", {"a"}, options);

        std::string out;
        while (out.size() < wrong_count_run.size()) {
            const std::string more = read_some(program);
            ASSERT_FALSE(more.empty()) << "ended early after: " << out;
            out += more;
        }
        // The key must not be echoed, nor wait for Enter, nor end the process as a signal.
        EXPECT_TRUE(wait_for_lflag(slave, ECHO | ICANON | ISIG, false));
        if (c.signal_number != 0) {
            // Keys typed while the run is stopped are still unread when the signal ends it.
            kill(program.pid, SIGSTOP);
            EXPECT_TRUE(wait_until_stopped(program.pid));
            ASSERT_EQ(write(master, "typed", 5), 5);
            kill(program.pid, c.signal_number);
            kill(program.pid, SIGCONT);
        } else {
            ASSERT_EQ(write(master, c.keys.data(), c.keys.size()),
                      static_cast<ssize_t>(c.keys.size()));
        }
        const run_result result = finish_program(program, out);
        EXPECT_EQ(result.ending, c.ending);
        EXPECT_EQ(result.out, wrong_count_run);

        termios after{};
        ASSERT_EQ(tcgetattr(slave, &after), 0);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        // Nothing of the key is left for the next program to read.
        after.c_lflag &= ~static_cast<tcflag_t>(ICANON);
        after.c_cc[VMIN] = 0;
        after.c_cc[VTIME] = 0;
        ASSERT_EQ(tcsetattr(slave, TCSANOW, &after), 0);
        char left[8];
        EXPECT_EQ(read(slave, left, sizeof left), 0);
        close(slave);
        close(master);
    }
}

// A terminal of the test's own as the output: refused as no file, and nothing of the image reaches
// it (a mark typed after the run is all that its other end reads).
TEST(KeyWait, ATerminalAsTheOutputIsRefusedAndGetsNoByte) {
    if (target_is_windows()) {
        GTEST_SKIP() << "a POSIX terminal";
    }
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string terminal = ttyname(slave);
    temp_folder folder;
    write_file(folder / "in.bin", "0123456789");
    run_options options;
    options.cwd = folder.path();
    const run_result result = run_program("swug_gen", {"in.bin", terminal}, options);
    EXPECT_EQ(result.ending, exited(1));
    EXPECT_EQ(result.out, "can't write the upgrade image " + terminal + ": Illegal seek\n");
    ASSERT_EQ(write(slave, "END", 3), 3);
    std::string seen;
    char chunk[256];
    for (ssize_t got = 1; got > 0 && seen.find("END") == std::string::npos;) {
        got = read(master, chunk, sizeof chunk);
        seen.append(chunk, got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    EXPECT_EQ(seen, "END");
    close(slave);
    close(master);
}

}  // namespace
}  // namespace swug::testing
