#include "software_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

swug::software_format guess(const std::string& head) {
    return swug::guess_software_format(reinterpret_cast<const std::uint8_t*>(head.data()),
                                       head.size());
}

TEST(SoftwareFormat, ElfProgramsOfEitherClassAndByteOrder) {
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF\x01\x01\x01",
                                7)),
              swug::software_format::elf);
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF\x02\x02",
                                6)),
              swug::software_format::elf);
    // The magic alone, or with a class that does not exist, is taken as raw bytes.
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF",
                                4)),
              swug::software_format::binary);
    EXPECT_EQ(guess(std::string("\x7f"
                                "ELF\x03\x01",
                                6)),
              swug::software_format::binary);
}

TEST(SoftwareFormat, IntelHexRecords) {
    EXPECT_EQ(guess(":00000001FF\n"), swug::software_format::ihex);
    EXPECT_EQ(guess(":00000001FF"), swug::software_format::ihex);  // the whole file, no line end
    EXPECT_EQ(guess(":020000040800F2\r\n:10000000"), swug::software_format::ihex);
    // A line cut by the probe's end, still within its record's length.
    EXPECT_EQ(guess(":10000000000102030405060708090A0B0C0D0E0F"), swug::software_format::ihex);
    // One digit short or long of what the count asks for, a short record, a non-hex digit.
    EXPECT_EQ(guess(":020000040800F\n"), swug::software_format::binary);
    EXPECT_EQ(guess(":020000040800F2F\n"), swug::software_format::binary);
    EXPECT_EQ(guess(":0000000F\n"), swug::software_format::binary);
    EXPECT_EQ(guess(":00000001FG\n"), swug::software_format::binary);
}

TEST(SoftwareFormat, MotorolaSRecords) {
    EXPECT_EQ(guess("S00600004844521B\n"), swug::software_format::srec);
    EXPECT_EQ(guess("S9030000FC"), swug::software_format::srec);
    EXPECT_EQ(guess("S9030000F\n"), swug::software_format::binary);
    EXPECT_EQ(guess("SX030000FC\n"), swug::software_format::binary);
}

TEST(SoftwareFormat, AnythingElseIsRawBinary) {
    EXPECT_EQ(guess(""), swug::software_format::binary);
    EXPECT_EQ(guess(std::string("\0\0\0\0\0\0\0\0\0\0\0\0", 12)), swug::software_format::binary);
    EXPECT_EQ(guess("Some text\n"), swug::software_format::binary);
}

}  // namespace
