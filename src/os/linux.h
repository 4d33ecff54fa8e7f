// What the Linux layer's two halves share (os/linux.cpp, output/output_linux.cpp): the rules of
// shared folders, where another user may have put an entry for this process to find, and the walk
// along a path one name at a time that applies them to every link met on the way.
#pragma once

#include <sys/stat.h>

#include <deque>
#include <string>

#include "os/platform.h"

namespace swug::platform {

// A folder that others may write but where only owners may remove entries: /tmp and the like.
bool is_shared_folder(const struct stat& folder);

// Neither this process's nor the folder owner's, so possibly planted by anybody.
bool is_foreign(const struct stat& entry, const struct stat& folder);

// True for a descriptor in /proc, whose links (/proc/self/fd/1, behind /dev/stdout) lead to open
// files rather than to names: only the system can follow them.
bool is_on_proc(int fd);

// One walk along a path: each name is opened relative to the folder held before it, so that what
// is checked is what is used, and a name that changes meanwhile can't lead elsewhere.
struct path_walk {
    held_handle folder;             // the folder reached so far
    std::deque<std::string> parts;  // the names still to go; "" for repeated slashes
    int hops = 0;                   // links followed so far
};

// Starts a new walk along path at the root or the current folder; ENOENT for an empty path.
int start_walk(const char* path, path_walk& walk);

// Puts the text of link, an entry of the walk's folder held with O_PATH | O_NOFOLLOW, in front of
// the names still to go. In a shared folder, another user's link is not followed: planted_link.
// ELOOP past as many links as the system follows.
int follow_link(path_walk& walk, int link, const struct stat& link_info,
                const struct stat& folder_info);

}  // namespace swug::platform
