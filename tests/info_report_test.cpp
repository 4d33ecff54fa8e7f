// The pure parts of swug_info's renderings.
#include "info/info_report.h"

#include <gtest/gtest.h>

namespace swug {
namespace {

TEST(JsonString, EscapesWhatJsonRequiresAndNeverEmitsBadUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain/path.bin", "\"plain/path.bin\""}, {"q\"b\\s", "\"q\\\"b\\\\s\""},
        {std::string("n\nt\tz\0e\x1f\x7f", 9), "\"n\\nt\\tz\\u0000e\\u001f\\u007f\""},
        {"cr\r", "\"cr\\r\""}, {"cut\xE2\x82", "\"cut\\ufffd\\ufffd\""},
        {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        {"bad\xFF", "\"bad\\ufffd\""}, {"overlong\xC0\x80", "\"overlong\\ufffd\\ufffd\""},
        {"two leads\xC3\xC3", "\"two leads\\ufffd\\ufffd\""},
        {"surrogate\xED\xA0\x80", "\"surrogate\\ufffd\\ufffd\\ufffd\""},
        {"last surrogate\xED\xBF\xBF", "\"last surrogate\\ufffd\\ufffd\\ufffd\""},
        // The edges of each length: the first and last code point it may carry, and one beyond.
        {"\x7F\xC2\x80\xDF\xBF", "\"\\u007f\xC2\x80\xDF\xBF\""},
        {"\xE0\xA0\x80\xEF\xBF\xBF", "\"\xE0\xA0\x80\xEF\xBF\xBF\""},
        {"\xE0\x9F\xBF", "\"\\ufffd\\ufffd\\ufffd\""},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\""},
        {"overlong4\xF0\x8F\xBF\xBF", "\"overlong4\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"beyond\xF4\x90\x80\x80", "\"beyond\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"lead\xF5\x80\x80\x80", "\"lead\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"cut4\xF0\x9F\x98", "\"cut4\\ufffd\\ufffd\\ufffd\""},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(json_string(text), expected) << ::testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace swug
