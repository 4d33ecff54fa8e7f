#include "paths.h"

#include <gtest/gtest.h>

#include <string>

namespace swug {
namespace {

TEST(RewriteBackslashes, EveryBackslashBecomesASlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\work\\fw", "C:/work/fw"},
        {"C:\\", "C:/"},
        {"\\\\srv\\vol\\fw", "//srv/vol/fw"},
        {"\\\\a\\b", "//a/b"},
        {"a\\\\\\b", "a///b"},
        {"/home/fw", "/home/fw"},
        {"", ""},
    };
    for (const auto& [given, expected] : cases) {
        char text[path_capacity] = {};
        std::string(given).copy(text, sizeof text - 1);
        rewrite_backslashes(text);
        EXPECT_STREQ(text, expected) << "from " << given;
    }
}

struct expansion_case {
    const char* argument;
    const char* work_dir;
    path_status status;
    const char* path;
};

TEST(ExpandArgument, OnlyDotSlashIsJoinedToTheWorkingDirectory) {
    const std::string name_299(299, 'n');
    const std::string name_300(300, 'n');
    const std::string dir_200 = "/" + std::string(199, 'd');
    const std::string rest_98 = "./" + std::string(98, 'r');  // 200 + 1 + 98 = 299
    const std::string rest_99 = "./" + std::string(99, 'r');
    const std::string joined_299 = dir_200 + "/" + std::string(98, 'r');
    const expansion_case cases[] = {
        {"./fw.bin", "C:/work", path_status::ok, "C:/work/fw.bin"},
        {"./fw.bin", "C:/", path_status::ok, "C://fw.bin"},
        {"./", "/w", path_status::ok, "/w/"},
        {".\\fw.bin", "C:/work", path_status::ok, ".\\fw.bin"},
        {"fw.bin", "C:/work", path_status::ok, "fw.bin"},
        {"../fw.bin", "C:/work", path_status::ok, "../fw.bin"},
        {".fw.bin", "C:/work", path_status::ok, ".fw.bin"},
        {"fw.bin", "", path_status::ok, "fw.bin"},
        {"./fw.bin", "", path_status::no_work_dir, ""},
        {name_299.c_str(), "/w", path_status::ok, name_299.c_str()},
        {name_300.c_str(), "/w", path_status::too_long, ""},
        {rest_98.c_str(), dir_200.c_str(), path_status::ok, joined_299.c_str()},
        {rest_99.c_str(), dir_200.c_str(), path_status::too_long, ""},
    };
    for (const expansion_case& c : cases) {
        char path[path_capacity];
        EXPECT_EQ(expand_argument(c.argument, c.work_dir, path), c.status) << c.argument;
        EXPECT_STREQ(path, c.path) << c.argument;
    }
}

TEST(Printable, ControlCharactersAreEscapedAndNothingElse) {
    const std::pair<std::string, std::string> cases[] = {
        {"out/app.bin", "out/app.bin"},
        {"C:\\fw\\app.bin", "C:\\fw\\app.bin"},
        {"x.bin\n| image is valid |", "x.bin\\n| image is valid |"},
        {"a\rb\tc", "a\\rb\\tc"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x7f", "\\x7f"},
        {"\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J"},  // the one-byte CSI, as UTF-8
        {"J\xc3\xb6rg \xc2\xa0\xf0\x9f\x98\x80", "J\xc3\xb6rg \xc2\xa0\xf0\x9f\x98\x80"},
        {"\xc2", "\xc2"},
        {"", ""},
    };
    for (const auto& [given, shown] : cases) {
        EXPECT_EQ(printable(given), shown) << given;
    }
}

}  // namespace
}  // namespace swug
