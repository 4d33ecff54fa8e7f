#include "paths.h"

#include <cstring>

namespace swug {

void rewrite_backslashes(char* text) {
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == '\\') {
            *c = '/';
        }
    }
}

std::size_t utf16_length(const char* text) {
    std::size_t units = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if ((byte & 0xC0u) != 0x80u) {
            // A lead byte starts a character; one of four bytes needs a surrogate pair.
            units += (byte & 0xF8u) == 0xF0u ? 2 : 1;
        }
    }
    return units;
}

std::size_t path_length(const char* path) {
    return platform::path_length_in_utf16 ? utf16_length(path) : std::strlen(path);
}

path_status expand_argument(const char* argument, const char* work_dir,
                            char (&path)[path_capacity]) {
    std::memset(path, 0, sizeof path);
    if (!starts_with_dot_slash(argument)) {
        const std::size_t size = std::strlen(argument);
        if (path_length(argument) > path_max_length || size >= path_capacity) {
            return path_status::too_long;
        }
        std::memcpy(path, argument, size + 1);
        return path_status::ok;
    }
    if (work_dir[0] == '\0') {
        return path_status::no_work_dir;
    }
    const char* name = argument + 2;
    const std::size_t dir_length = std::strlen(work_dir);
    const std::size_t name_length = std::strlen(name);
    if (path_length(work_dir) + 1 + path_length(name) > path_max_length ||
        dir_length + 1 + name_length >= path_capacity) {
        return path_status::too_long;
    }
    std::memcpy(path, work_dir, dir_length);
    path[dir_length] = '/';
    std::memcpy(path + dir_length + 1, name, name_length + 1);
    return path_status::ok;
}

}  // namespace swug
