#include "paths.h"

#include <gtest/gtest.h>

#include <string>

namespace swug {
namespace {

TEST(RewriteBackslashes, EveryBackslashBecomesASlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\work\\fw", "C:/work/fw"}, {"C:\\", "C:/"}, {"\\\\srv\\vol\\fw", "//srv/vol/fw"},
        {"\\\\a\\b", "//a/b"}, {"a\\\\\\b", "a///b"}, {"/home/fw", "/home/fw"}, {"", ""},
    };
    for (const auto& [given, expected] : cases) {
        std::string text = given;
        rewrite_backslashes(text);
        EXPECT_EQ(text, expected) << "from " << given;
    }
}

TEST(ExpandArgument, OnlyDotSlashIsJoinedToTheWorkingDirectory) {
    // Any length: the system takes what it takes and says why it refuses the rest.
    const std::string deep_dir = "/" + std::string(4000, 'd'), long_name(5000, 'n');
    const std::string dot_long_name = "./" + long_name, joined = deep_dir + "/" + long_name;
    const struct {
        const char *argument, *work_dir;
        path_status status;
        const char* path;
    } cases[] = {
        {"./fw.bin", "C:/work", path_status::ok, "C:/work/fw.bin"},
        {"./fw.bin", "C:/", path_status::ok, "C://fw.bin"},
        {"./", "/w", path_status::ok, "/w/"},
        {".\\fw.bin", "C:/work", path_status::ok, ".\\fw.bin"},
        {"fw.bin", "C:/work", path_status::ok, "fw.bin"},
        {"../fw.bin", "C:/work", path_status::ok, "../fw.bin"},
        {".fw.bin", "C:/work", path_status::ok, ".fw.bin"},
        {"fw.bin", "", path_status::ok, "fw.bin"},
        {"./fw.bin", "", path_status::no_work_dir, ""},
        {long_name.c_str(), "/w", path_status::ok, long_name.c_str()},
        {dot_long_name.c_str(), deep_dir.c_str(), path_status::ok, joined.c_str()},
    };
    for (const auto& c : cases) {
        std::string path = "old";
        EXPECT_EQ(expand_argument(c.argument, c.work_dir, path), c.status) << c.argument;
        EXPECT_EQ(path, c.path) << c.argument;
    }
}

}  // namespace
}  // namespace swug
