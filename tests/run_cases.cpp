#include "run_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace swug::testing {

namespace {

bool needs_device(const run_case& row) {
    return std::any_of(row.given.begin(), row.given.end(), [](const auto& entry) {
        return entry.second.rfind("<character device ", 0) == 0;
    });
}

// What a failure shows of a file: short texts as they are, anything else by its size.
std::string shown(const bytes& content) {
    const bool text =
        std::all_of(content.begin(), content.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    return text && content.size() <= 100 ? "\"" + content + "\""
                                         : std::to_string(content.size()) + " bytes";
}

// The folder after a run, as folder_contents shows it, when the run changed only row.written.
// A link's "{dir}" stands for the folder as this process sees it, for links with absolute targets.
std::map<std::string, bytes> expected_contents(const run_case& row, const std::string& folder) {
    std::map<std::string, bytes> expected;
    for (const auto& [name, content] : row.given) {
        for (auto slash = name.find('/'); slash != std::string::npos;
             slash = name.find('/', slash + 1)) {
            expected[name.substr(0, slash + 1)] = "";
        }
        expected[name] = content;
    }
    for (const auto& [name, content] : row.written) {
        expected[name] =
            content.rfind("-> ", 0) == 0 ? replace_all(content, "{dir}", folder) : content;
    }
    if (row.remove_cwd) {
        expected.erase(row.cwd + "/");
    }
    return expected;
}

}  // namespace

run_result pack_in_folder(const std::string& folder, const bytes& software,
                          const std::optional<bytes>& mcu, bool native) {
    write_file(folder + "/in.bin", software);
    if (mcu) {
        write_file(folder + "/mcu_ota.bin", *mcu);
    }
    run_options options;
    options.cwd = folder;
    options.native = native;
    return run_program("swug_gen", {"in.bin", "up.bin"}, options);
}

void lay_out(const std::string& folder, const std::map<std::string, bytes>& given) {
    for (const auto& [name, content] : given) {
        const std::filesystem::path path = folder + "/" + name;
        if (name.back() == '/') {
            std::filesystem::create_directories(path);
        } else {
            std::filesystem::create_directories(path.parent_path());
            if (!make_device(path.string(), content)) {
                write_file(path.string(), content);
            }
        }
    }
}

void check_run_case(const run_case& row, const std::string& program) {
    SCOPED_TRACE(row.name);
    if (needs_device(row) && !can_make_devices()) {
        std::cout << "[ SKIPPED  ] " << row.name << ": making a device node needs root\n";
        return;
    }
    if (row.user != 0 && !runs_as_root()) {
        std::cout << "[ SKIPPED  ] " << row.name << ": running as another user needs root\n";
        return;
    }
    temp_folder folder;
    if (row.user != 0) {
        // The other user reaches the case's folder and may write in it; the rows' own folders
        // say otherwise where they need to.
        std::filesystem::permissions(std::filesystem::path(folder.path()).parent_path(),
                                     std::filesystem::perms(0711));
        std::filesystem::permissions(folder.path(), std::filesystem::perms(0777));
    }
    lay_out(folder.path(), row.given);
    if (row.prepare) {
        row.prepare(folder.path());
    }
    const std::string dir = seen_work_dir(folder.path() + (row.cwd.empty() ? "" : "/" + row.cwd));
    std::vector<std::string> args;
    for (const std::string& arg : row.args) {
        args.push_back(replace_all(arg, "{dir}", dir));
    }
    run_options options;
    options.cwd = folder.path() + "/" + row.cwd;
    options.remove_cwd = row.remove_cwd;
    options.stdout_path = row.stdout_to;
    options.user = row.user;
    options.groups = row.groups;
    for (const std::string& word : row.wrapper) {
        options.wrapper.push_back(replace_all(word, "{dir}", dir));
    }
    options.stdout_reader_gone = row.stdout_reader_gone;
    const run_result result = run_program(program, args, options);
    EXPECT_EQ(result.ending, exited(row.exit_status));
    EXPECT_EQ(result.out, replace_all(row.out, "{dir}", dir));
    EXPECT_EQ(result.err, replace_all(row.err, "{dir}", dir));
    check_folder(row, folder.path());
}

void check_folder(const run_case& row, const std::string& folder) {
    const std::map<std::string, bytes> expected = expected_contents(row, folder);
    std::map<std::string, bytes> found;
    for (const auto& [name, content] : folder_contents(folder)) {
        found[name] = content;
    }
    for (const auto& [name, content] : expected) {
        const auto it = found.find(name);
        if (it == found.end()) {
            ADD_FAILURE() << name << " is missing";
        } else if (it->second != content) {
            const auto [at, ignored] =
                std::mismatch(content.begin(), content.end(), it->second.begin(), it->second.end());
            ADD_FAILURE() << name << " differs from byte " << at - content.begin() << " on: it is "
                          << shown(it->second) << ", expected " << shown(content);
        }
    }
    for (const auto& [name, content] : found) {
        if (expected.count(name) == 0) {
            ADD_FAILURE() << name << " was left behind: " << shown(content);
        }
    }
    for (const auto& [name, metadata] : row.metadata) {
        EXPECT_EQ(metadata_text(folder + "/" + name), metadata) << name;
    }
}

}  // namespace swug::testing
