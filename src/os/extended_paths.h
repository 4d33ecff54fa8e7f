// Windows paths beyond MAX_PATH characters. The system's file functions take a path of up to
// 32767 characters in the extended-length form, "\\?\C:\dir\name", which they use as it stands:
// no "/" becomes "\", no "." or ".." is resolved, so only a full path may be put in that form.
// Pure functions on UTF-16 text, kept apart from the Windows layer so that every system tests them.
#pragma once

#include <cstddef>
#include <string>

namespace swug::platform {

// Windows' MAX_PATH: a path of this many characters or more, counted in full from its drive or
// server, needs the extended-length form.
constexpr std::size_t windows_max_path = 260;

// The extended-length form of a full path (as GetFullPathNameW gives it): "C:\dir\name" becomes
// "\\?\C:\dir\name", a network path "\\server\share\name" becomes "\\?\UNC\server\share\name",
// and "/" separators become "\". A path already in that form, a device path ("\\.\COM1") and
// anything that is not a full path (a relative, folder-relative or drive-relative one) come back
// as they are.
std::wstring extended_length_path(const std::wstring& full);

// The path to hand to the system for a path as given, whose full form is full (empty when it is
// not known): the path as given while the full form is shorter than MAX_PATH, else the full form
// in the extended-length form.
std::wstring path_for_system(const std::wstring& given, const std::wstring& full);

}  // namespace swug::platform
