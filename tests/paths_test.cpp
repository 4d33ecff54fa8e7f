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

TEST(Utf16Length, CountsCodeUnitsAsWindowsDoes) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"", 0},
        {"fw.bin", 6},
        {"J\xC3\xB6rg", 4},                           // o with diaeresis: two bytes, one unit
        {"\xE3\x83\x95\xE3\x82\xA1\xE3\x83\xBC", 3},  // three Japanese letters of three bytes
        {"\xF0\x9F\x98\x80", 2},                      // an emoji: four bytes, a surrogate pair
        {"a\xF0\x9F\x93\xA6"
         "b\xEF\xBF\xBF",
         5},                      // U+FFFF is still one unit
        {"\xF4\x8F\xBF\xBF", 2},  // U+10FFFF, the last character
    };
    for (const auto& [text, units] : cases) {
        EXPECT_EQ(utf16_length(text), units) << text;
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
    // Here a path's length is its bytes: 99 letters of three bytes fit, 100 don't.
    std::string japanese_297;
    for (int i = 0; i < 99; ++i) {
        japanese_297 += "\xE3\x83\x95";
    }
    const std::string japanese_299 = japanese_297 + "xy";
    const std::string japanese_300 = japanese_297 + "\xE3\x83\x95";
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
        {japanese_299.c_str(), "/w", path_status::ok, japanese_299.c_str()},
        {japanese_300.c_str(), "/w", path_status::too_long, ""},
    };
    for (const expansion_case& c : cases) {
        char path[path_capacity];
        EXPECT_EQ(expand_argument(c.argument, c.work_dir, path), c.status) << c.argument;
        EXPECT_STREQ(path, c.path) << c.argument;
    }
}

}  // namespace
}  // namespace swug
