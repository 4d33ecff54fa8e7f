#include "paths.h"

#include <cstdio>
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

std::string printable(std::string_view path) {
    std::string shown;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        // The controls U+0080 to U+009F, as UTF-8, are commands to some terminals too.
        const bool c1_control = c == 0xC2 && i + 1 < path.size() &&
                                (static_cast<unsigned char>(path[i + 1]) & 0xE0u) == 0x80u;
        if (c >= 0x20 && c != 0x7F && !c1_control) {
            shown += static_cast<char>(c);
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else {
            const std::size_t count = c1_control ? 2 : 1;
            for (std::size_t k = 0; k < count; ++k) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x",
                              static_cast<unsigned char>(path[i + k]));
                shown += escaped;
            }
            i += count - 1;
        }
    }
    return shown;
}

}  // namespace swug
