#include "paths.h"

#include <algorithm>

namespace swug {

void rewrite_backslashes(std::string& text) {
    std::replace(text.begin(), text.end(), '\\', '/');
}

path_status expand_argument(const char* argument, const std::string& work_dir, std::string& path) {
    if (!starts_with_dot_slash(argument)) {
        path = argument;
        return path_status::ok;
    }
    if (work_dir.empty()) {
        path.clear();
        return path_status::no_work_dir;
    }
    path = work_dir + "/" + (argument + 2);
    return path_status::ok;
}

}  // namespace swug
