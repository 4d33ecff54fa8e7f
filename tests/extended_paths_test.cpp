#include "os/extended_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace swug::platform {
namespace {

TEST(ExtendedLengthPath, FullPathsTakeThePrefixOthersStayAsTheyAre) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\work\\fw\\up.bin", L"\\\\?\\C:\\work\\fw\\up.bin"},
        {L"z:\\", L"\\\\?\\z:\\"},
        {L"C:/work/fw/up.bin", L"\\\\?\\C:\\work\\fw\\up.bin"},  // the form takes no "/"
        {L"\\\\srv\\vol\\fw\\up.bin", L"\\\\?\\UNC\\srv\\vol\\fw\\up.bin"},
        {L"//srv/vol/up.bin", L"\\\\?\\UNC\\srv\\vol\\up.bin"},
        {L"\\\\?\\C:\\work\\up.bin", L"\\\\?\\C:\\work\\up.bin"},  // there already
        {L"\\\\?\\UNC\\srv\\vol", L"\\\\?\\UNC\\srv\\vol"},
        {L"\\\\.\\COM1", L"\\\\.\\COM1"}, {L"\\\\.\\NUL", L"\\\\.\\NUL"},  // devices
        {L"\\\\.svr\\vol\\x", L"\\\\?\\UNC\\.svr\\vol\\x"},  // a server whose name starts with "."
        {L"up.bin", L"up.bin"}, {L"work\\up.bin", L"work\\up.bin"}, {L"", L""},  // relative
        {L"\\work\\up.bin", L"\\work\\up.bin"},  // relative to the current drive
        {L"C:up.bin", L"C:up.bin"},              // relative to the drive's current folder
        {L"C:", L"C:"}, {L"1:\\x", L"1:\\x"}, {L"\\\\\\x", L"\\\\\\x"}, {L"\\\\?", L"\\\\?"},
    };
    for (const auto& [full, expected] : cases) {
        EXPECT_EQ(extended_length_path(full), expected);
    }
}

TEST(PathForSystem, OnlyAFullPathOfMaxPathCharactersOrMoreChangesForm) {
    const std::wstring folder = L"C:\\" + std::wstring(240, L'd') + L"\\";  // 244 characters
    const std::wstring name_15(15, L'n'), name_16(16, L'n');
    const std::wstring server = L"\\\\srv\\vol\\" + std::wstring(250, L's');  // 260 characters
    const std::tuple<std::wstring, std::wstring, std::wstring> cases[] = {  // given, full, expected
        {L"up.bin", L"C:\\work\\up.bin", L"up.bin"},
        {name_15, folder + name_15, name_15},                        // 259 characters: as given
        {name_16, folder + name_16, L"\\\\?\\" + folder + name_16},  // 260: the full path
        {L"..\\" + name_16, folder + name_16, L"\\\\?\\" + folder + name_16},
        {L"C:/" + std::wstring(240, L'd') + L"/" + name_16, folder + name_16,
         L"\\\\?\\" + folder + name_16},
        {server, server, L"\\\\?\\UNC\\srv\\vol\\" + std::wstring(250, L's')},
        {L"NUL", L"\\\\.\\NUL", L"NUL"},
        {L"up.bin", L"", L"up.bin"},  // the full path is not known
    };
    for (const auto& [given, full, expected] : cases) {
        EXPECT_EQ(path_for_system(given, full), expected);
    }
}

}  // namespace
}  // namespace swug::platform
