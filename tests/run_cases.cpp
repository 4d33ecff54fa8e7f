#include "run_cases.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace swug::testing {

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::string::size_type at = 0; (at = text.find(from, at)) != std::string::npos;
         at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

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
    options.remove_cwd = row.remove_cwd;
    const run_result result = run_program(program, args, options);
    EXPECT_EQ(result.exit_status, row.exit_status);
    EXPECT_EQ(result.out, replace_all(row.out, "{dir}", dir));

    std::map<std::string, bytes> expected;
    for (const auto& [name, content] : row.given) {
        if (name.back() != '/') {
            expected[name] = content;
        }
    }
    for (const auto& [name, content] : row.written) {
        expected[name] = content;
    }
    std::map<std::string, bytes> found;
    for (const auto& [name, content] : folder_contents(folder.path())) {
        if (name.back() != '/') {
            found[name] = content;
        }
    }
    EXPECT_EQ(found.size(), expected.size());
    for (const auto& [name, content] : expected) {
        const auto it = found.find(name);
        if (it == found.end()) {
            ADD_FAILURE() << name << " is missing";
        } else if (it->second != content) {
            ADD_FAILURE() << name << " differs: " << it->second.size() << " bytes, expected "
                          << content.size();
        }
    }
    for (const auto& [name, content] : found) {
        if (expected.count(name) == 0) {
            ADD_FAILURE() << name << " was left behind";
        }
    }
}

}  // namespace swug::testing
