// The few services that differ between POSIX systems and Windows. Everything else in the tool is
// written against the standard library and this header only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace swug::platform {

// True where "\" separates the parts of a path (Windows); elsewhere it is part of a file name.
bool backslash_is_separator();

// Writes the working directory, zero-terminated, into buffer; returns 0, or an errno value
// (ERANGE when it needs more than capacity - 1 characters). buffer is empty after a failure.
int current_directory(char* buffer, std::size_t capacity);

// Waits for one key press without echo; when standard input is not a console, reads one byte of
// it instead, so that end of input ends the wait at once.
void wait_for_key();

enum class file_kind { regular, directory, other, unknown };

file_kind kind_of(std::FILE* stream);

// True when path names an existing folder.
bool is_directory(const char* path);

// Size in bytes of the open regular file, or -1 when it can't be told.
std::int64_t size_of(std::FILE* stream);

// True when path names an existing file that is the very file open as stream, however it is
// spelled: hard links and symbolic links included.
bool is_same_file(std::FILE* stream, const char* path);

}  // namespace swug::platform
