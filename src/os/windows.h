// What the Windows layer's two halves share (os/windows.cpp, output/output_windows.cpp): text in
// UTF-16, paths as the system takes them, and the reasons of failed calls as errno values.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "os/platform.h"

namespace swug::platform {

// UTF-8 to UTF-16 and back.
std::wstring utf16_of(const char* text);

// The full path of path, from its drive or server, "." and ".." resolved; empty when the system
// can't tell. No length limit, unlike the C runtime's _wfullpath.
std::wstring full_path(const std::wstring& path);

// A path as the system's file functions take it, at the edge of every call that takes a name:
// UTF-16, and in the extended-length form once its full path reaches MAX_PATH characters, so
// that long paths work whether or not the system allows them in the plain form.
std::wstring widen(const char* path);

std::string narrow(const wchar_t* text);

// The errno value for the reason of a failed Windows call.
int error_of(DWORD code);

int last_windows_error();

// The C runtime calls a file that another process holds EACCES, as it does a denied access; the
// system's own reason, which it keeps in _doserrno, tells them apart. Both are cleared before a
// call, as the runtime sets _doserrno only for a reason of the system's.
void clear_runtime_error();

int last_runtime_error();

bool identify(HANDLE handle, file_identity& identity);

}  // namespace swug::platform
