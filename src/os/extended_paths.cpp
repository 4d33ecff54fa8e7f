#include "os/extended_paths.h"

#include <algorithm>

namespace swug::platform {

namespace {

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool is_drive_letter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::wstring with_backslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

}  // namespace

std::wstring extended_length_path(const std::wstring& full) {
    if (full.size() >= 3 && is_drive_letter(full[0]) && full[1] == L':' && is_separator(full[2])) {
        return L"\\\\?\\" + with_backslashes(full);
    }
    if (full.size() >= 3 && is_separator(full[0]) && is_separator(full[1]) &&
        !is_separator(full[2])) {
        // "\\?\..." and "\\.\..." are there already, or name a device.
        if ((full[2] == L'?' || full[2] == L'.') && (full.size() == 3 || is_separator(full[3]))) {
            return full;
        }
        return L"\\\\?\\UNC\\" + with_backslashes(full.substr(2));
    }
    return full;
}

std::wstring path_for_system(const std::wstring& given, const std::wstring& full) {
    if (full.size() < windows_max_path) {
        return given;
    }
    return extended_length_path(full);
}

}  // namespace swug::platform
