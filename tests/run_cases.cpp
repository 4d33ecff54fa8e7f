#include "run_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace swug::testing {

namespace {

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
            write_file(path.string(), content);
        }
    }
}

void check_run_case(const run_case& row, const std::string& program) {
    SCOPED_TRACE(row.name);
    temp_folder folder;
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
    for (const std::string& word : row.wrapper) {
        options.wrapper.push_back(replace_all(word, "{dir}", dir));
    }
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
}

}  // namespace swug::testing
