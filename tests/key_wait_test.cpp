// The key wait at the end of an interactive run: raw keys on a terminal, never a hang otherwise.
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

TEST(KeyWait, OneRawKeyOnATerminalEndsTheRunAndRestoresTheTerminal) {
    if (target_is_windows()) {
        GTEST_SKIP() << "a POSIX terminal";
    }
    // Ctrl-C, Ctrl-Z and Ctrl-\ are keys like any other while the program waits; a key of several
    // bytes leaves none behind; a signal from outside ends the run but never leaves the terminal
    // without echo.
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
            kill(program.pid, c.signal_number);
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

TEST(KeyWait, RedirectedInputNeverHangs) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[1]);  // a pipe whose writer is gone
    temp_folder folder;
    run_options options;
    options.cwd = folder.path();
    options.stdin_fd = ends[0];
    const run_result closed_pipe = run_program("swug_gen", {"a"}, options);
    close(ends[0]);
    EXPECT_EQ(closed_pipe.ending, exited(1));
    EXPECT_EQ(closed_pipe.out, wrong_count_run);

    // One byte is taken and the rest left for the next reader, here the wrapper's cat.
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "xy", 2), 2);
    close(ends[1]);
    options.stdin_fd = ends[0];
    options.wrapper = {"sh", "-c", "\"$0\" \"$@\"; cat"};
    const run_result two_keys = run_program("swug_gen", {"a"}, options);
    close(ends[0]);
    options.wrapper.clear();
    EXPECT_EQ(two_keys.ending, exited(0));
    EXPECT_EQ(two_keys.out, wrong_count_run + "y");

    // An empty file instead of the machine's /dev/null: both are at their end at once.
    const temp_folder input;
    write_file(input / "empty", "");
    options.stdin_fd = -1;
    options.stdin_path = input / "empty";
    const run_result empty_file = run_program("swug_gen", {}, options);
    EXPECT_EQ(empty_file.ending, exited(1));
    EXPECT_EQ(empty_file.out,
              "can't find the software file data/VRK520_SW.bin \nPress any key to exit!");
}

// --help and --version print and end: their text is not followed by the prompt, and no key is taken
// from standard input.
TEST(KeyWait, HelpAndVersionTakeNoKey) {
    temp_folder folder;
    run_options options;
    options.cwd = folder.path();
    options.wrapper = {"sh", "-c", "\"$0\" \"$@\"; cat"};
    for (const char* word : {"--help", "--version"}) {
        SCOPED_TRACE(word);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(write(ends[1], "xy", 2), 2);
        close(ends[1]);
        options.stdin_fd = ends[0];
        const run_result result = run_program("swug_gen", {word}, options);
        close(ends[0]);
        EXPECT_EQ(result.ending, exited(0));
        EXPECT_EQ(result.out.substr(result.out.size() - 3), "\nxy") << result.out;
    }
}

}  // namespace
}  // namespace swug::testing
