#include "messages.h"

#include <gtest/gtest.h>

#include <string>

namespace swug {
namespace {

TEST(Printable, ControlCharactersAreEscapedAndNothingElse) {
    const std::pair<std::string, std::string> cases[] = {
        {"out/app.bin", "out/app.bin"}, {"C:\\fw\\app.bin", "C:\\fw\\app.bin"}, {"", ""},
        {"x.bin\n| image is valid |", "x.bin\\n| image is valid |"},
        {"a\rb\tc", "a\\rb\\tc"}, {"\x1b[31mred", "\\x1b[31mred"}, {"\x7f", "\\x7f"},
        {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},  // the one-byte CSI, as UTF-8
        {"J\xc3\xb6rg \xc2\xa0\xf0\x9f\x98\x80", "J\xc3\xb6rg \xc2\xa0\xf0\x9f\x98\x80"},
        {"end\xc2\x85", "end\\xc2\\x85"},  // the last two bytes of a name
        {"\xc2", "\xc2"}, {std::string("a\0b", 3), "a\\x00b"},
        // The same controls as lone bytes, which 8-bit terminals obey; bytes of characters pass.
        {"a\x9b" "2Jb", "a\\x9b2Jb"}, {"\x80\x9f\xa0\xff", "\\x80\\x9f\xa0\xff"},
        {"\xe0\x80\x80", "\xe0\\x80\\x80"},  // an overlong form is no character
        {"\xc3\x80\xe2\x82\xac", "\xc3\x80\xe2\x82\xac"},
    };
    for (const auto& [given, shown] : cases) {
        EXPECT_EQ(printable(given), shown) << given;
    }
}

}  // namespace
}  // namespace swug
