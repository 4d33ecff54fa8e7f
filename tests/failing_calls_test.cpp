// swug_gen and swug_info when a system call fails that no file or folder can make fail: a sync, a
// rename, a close, a seek. The failing calls are chosen per row (SWUG_FAIL, see failing_calls.c).
#include <gtest/gtest.h>
#include <unistd.h>

#include "run_cases.h"

namespace swug::testing {
namespace {

const bytes ten = "0123456789";
const bytes old = "old image";
const std::string ten_summary = "| gen image file checksum=0000020d,size=0000000a |\n";
const std::string io_error = "Input/output error";

// Runs the row's program with these calls failing, as "name:errno[:passes]" separated by commas.
std::vector<std::string> failing(const std::string& calls) {
#ifdef SWUG_FAILING_CALLS
    // The sanitizers' runtime wants to come first; this library only passes calls on to it.
    return {"env", "LD_PRELOAD=" SWUG_FAILING_CALLS, "SWUG_FAIL=" + calls,
            "ASAN_OPTIONS=verify_asan_link_order=0"};
#else
    (void)calls;
    return {};
#endif
}

// swug_gen reports a failure on standard output after what it printed before, and notes that
// don't fail the run on standard error.
run_case gen_row(const std::string& name, const std::string& calls, int exit_status,
                 const std::string& out, const std::string& failure_or_note, const bytes& left) {
    const bool failed = exit_status != 0;
    run_case row{name,        {{"in.bin", ten}, {"up.bin", old}},   {"in.bin", "up.bin"},
                 exit_status, failed ? out + failure_or_note : out, failed ? "" : failure_or_note};
    if (left != old) {
        row.written = {{"up.bin", left}};
    }
    row.wrapper = failing(calls);
    return row;
}

TEST(FailingCalls, SwugGenSaysWhichStepFailedAndKeepsTheOldImage) {
#ifndef SWUG_FAILING_CALLS
    GTEST_SKIP() << "system calls are made to fail on Linux only";
#endif
    if (target_is_windows()) {
        GTEST_SKIP() << "system calls are made to fail in native programs only";
    }
    const bytes image = upgrade_image(ten);
    const std::string cant_write = "can't write the upgrade image up.bin: ";
    const std::string written_over =
        "the upgrade image up.bin was written over in place, not replaced in one step: ";
    const std::vector<run_case> rows = {
        gen_row("the new file's sync fails", "fsync:5", 1, "", cant_write + io_error + "\n", old),
        gen_row("the rename fails", "rename:5", 1, ten_summary, cant_write + io_error + "\n", old),
        gen_row("a close fails", "close:5", 1, "", cant_write + io_error + "\n", old),
        gen_row("a write fails", "write:28", 1, "", cant_write + "No space left on device\n", old),
        gen_row("the header's write fails", "pwrite:5", 1, "", cant_write + io_error + "\n", old),
        gen_row("the output can't go back to its start", "lseek:29", 1, "",
                cant_write + "Illegal seek\n", old),
        gen_row("the old file's mode can't be given", "fchmod:1", 1, "",
                cant_write + "Operation not permitted\n", old),
        gen_row("the software image can't be read", "read:5", 1, "",
                "can't read the software file in.bin: " + io_error + "\n", old),
        gen_row("the new file can't be created", "openat:5", 1, "",
                "can't create the upgrade image up.bin: " + io_error + "\n", old),
        // After the rename the new image is in place: a folder that can't be synced is a warning.
        gen_row("the folder's sync fails after the rename", "fsync:5:1", 0, ten_summary,
                "the upgrade image up.bin is in place, but its folder can't be synced to the "
                "disk: " +
                    io_error + "\n",
                image),
        // A folder that the file system can't sync at all is no failure.
        gen_row("the folder can't be synced on this file system", "fsync:22:1", 0, ten_summary, "",
                image),
        gen_row("there is no room for a new file", "create:28", 0, ten_summary,
                written_over + "there is no room for a new file beside it\n", image),
        gen_row("the folder allows no new files", "create:13", 0, ten_summary,
                written_over + "its folder allows no new files\n", image),
        // Written over: the whole image is built elsewhere first, so the old content stays
        // until the first byte goes over it, and a failure after that says so.
        gen_row("written over, with no room for the image", "create:13,fallocate:28", 1,
                ten_summary, cant_write + "No space left on device\n", old),
        gen_row("written over, the first write over it fails", "create:13,write:28:1", 1,
                ten_summary, cant_write + "No space left on device\n", old),
        gen_row("written over, the header can't be written", "create:13,pwrite:5", 1, "",
                cant_write + io_error + "\n", old),
        gen_row("written over, the software image can't be read", "create:13,read:5", 1, "",
                "can't read the software file in.bin: " + io_error + "\n", old),
        gen_row("written over, the sync fails", "create:13,fsync:5", 1, ten_summary,
                cant_write + io_error + "\n", image),
        gen_row("written over, the old file can't be cut to size", "create:13,ftruncate:5", 1,
                ten_summary, cant_write + io_error + "\n", image),
    };
    for (const run_case& row : rows) {
        check_run_case(row);
    }
    // The image written over a file is built in a scratch file in TMPDIR first.
    std::vector<run_case> scratch_rows = {
        gen_row("no nameless files: a named scratch file, removed at once", "create:13,tmpfile:95",
                0, ten_summary, written_over + "its folder allows no new files\n", image),
        gen_row("no room for a scratch file anywhere", "create:13,tmpfile:28", 1, "",
                "can't create the upgrade image up.bin: No space left on device\n", old),
    };
    for (run_case& row : scratch_rows) {
        row.given["scratch/"] = "";
        row.wrapper.insert(row.wrapper.begin() + 1, "TMPDIR={dir}/scratch");
        check_run_case(row);
    }
}

TEST(FailingCalls, AnOwnerThatCantBeGivenGetsTheImageWrittenOver) {
#ifndef SWUG_FAILING_CALLS
    GTEST_SKIP() << "system calls are made to fail on Linux only";
#endif
    if (target_is_windows() || !runs_as_root()) {
        GTEST_SKIP() << "giving a file another owner needs root and a native program";
    }
    run_case row = gen_row("the owner can't be given", "fchown:1", 0, ten_summary,
                           "the upgrade image up.bin was written over in place, not replaced in "
                           "one step: a new file can't be given its owner\n",
                           upgrade_image(ten));
    row.prepare = [](const std::string& folder) {
        ASSERT_EQ(::chown((folder + "/up.bin").c_str(), 1234, 5678), 0);
    };
    row.metadata = {{"up.bin", "1234:5678 0644"}};
    check_run_case(row);
}

TEST(FailingCalls, SwugInfoWritesBothPartsOrNeither) {
#ifndef SWUG_FAILING_CALLS
    GTEST_SKIP() << "system calls are made to fail on Linux only";
#endif
    if (target_is_windows()) {
        GTEST_SKIP() << "system calls are made to fail in native programs only";
    }
    const std::string report =
        "| image up.bin |\n| size=0000008d |\n| magic=ZQ-TR5200 Image |\n| length=0000000a |\n"
        "| sum=0000020d |\n| upgrade_boot=00000000 |\n| mcu_ota_flag=00000001 |\n"
        "| mcu_addr=0000008a |\n| mcu_len=00000003 |\n| mcu_sum=00000126 |\n"
        "| check size: ok |\n| check magic: ok |\n| check length: ok |\n| check sum: ok |\n"
        "| check upgrade_boot: ok |\n| check unused_bytes: ok |\n| check mcu_ota_flag: ok |\n"
        "| check mcu_addr: ok |\n| check mcu_len: ok |\n| check file_end: ok |\n"
        "| check mcu_sum: ok |\n| image is valid |\n";
    const std::string wrote =
        "| wrote the software image to s.out, size=0000000a |\n"
        "| wrote the MCU ota image to m.out, size=00000003 |\n";
    struct info_row {
        std::string name;
        std::string calls;
        int exit_status;
        std::string out;
        std::string err;
        bool written;
    };
    const std::vector<info_row> rows = {
        {"the software part's sync fails", "fsync:5", 2, report,
         "swug_info: can't write s.out: " + io_error + "\n", false},
        {"the MCU part's sync fails", "fsync:5:1", 2, report,
         "swug_info: can't write m.out: " + io_error + "\n", false},
        {"the MCU part's write fails", "write:28:1", 2, report,
         "swug_info: can't write m.out: No space left on device\n", false},
        {"the MCU part's mode can't be given", "fchmod:5:1", 2, report,
         "swug_info: can't write m.out: " + io_error + "\n", false},
        {"the first rename fails", "rename:5", 2, report + wrote,
         "swug_info: can't write s.out: " + io_error + "\n", false},
        {"the image can't go back to a part's start", "lseek:29", 2, report,
         "swug_info: can't read the upgrade image up.bin: Illegal seek\n", false},
        {"the image can't be read", "read:5:1", 2, "",
         "swug_info: can't read the upgrade image up.bin: " + io_error + "\n", false},
        {"the folder's sync fails after the renames", "fsync:5:3", 0, report + wrote,
         "swug_info: m.out is in place, but its folder can't be synced to the disk: " + io_error +
             "\n",
         true},
    };
    for (const info_row& r : rows) {
        run_case row{r.name,
                     {{"up.bin", upgrade_image(ten, bytes("abc"))},
                      {"s.out", "old software"},
                      {"m.out", "old mcu"}},
                     {"--sw", "s.out", "--mcu", "m.out", "up.bin"},
                     r.exit_status,
                     r.out,
                     r.err};
        if (r.written) {
            row.written = {{"s.out", ten}, {"m.out", "abc"}};
        }
        row.wrapper = failing(r.calls);
        check_run_case(row, "swug_info");
    }
}

}  // namespace
}  // namespace swug::testing
