#include "messages.h"

#include <gtest/gtest.h>

#include <string>

namespace swug {
namespace {

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
        {"end\xc2\x85", "end\\xc2\\x85"},  // the last two bytes of a name
        {"\xc2", "\xc2"},
        {"", ""},
    };
    for (const auto& [given, shown] : cases) {
        EXPECT_EQ(printable(given), shown) << given;
    }
}

}  // namespace
}  // namespace swug
