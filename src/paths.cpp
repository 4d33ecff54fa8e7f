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

path_status expand_argument(const char* argument, const char* work_dir,
                            char (&path)[path_capacity]) {
    std::memset(path, 0, sizeof path);
    if (!starts_with_dot_slash(argument)) {
        const std::size_t length = std::strlen(argument);
        if (length >= path_capacity) {
            return path_status::too_long;
        }
        std::memcpy(path, argument, length + 1);
        return path_status::ok;
    }
    if (work_dir[0] == '\0') {
        return path_status::no_work_dir;
    }
    const char* name = argument + 2;
    const std::size_t dir_length = std::strlen(work_dir);
    const std::size_t name_length = std::strlen(name);
    if (dir_length + 1 + name_length >= path_capacity) {
        return path_status::too_long;
    }
    std::memcpy(path, work_dir, dir_length);
    path[dir_length] = '/';
    std::memcpy(path + dir_length + 1, name, name_length + 1);
    return path_status::ok;
}

}  // namespace swug
