// What the Linux layer's two halves share (os/linux.cpp, output/output_linux.cpp): the rules of
// shared folders, where another user may have put an entry for this process to find.
#pragma once

#include <sys/stat.h>

namespace swug::platform {

// A folder that others may write but where only owners may remove entries: /tmp and the like.
bool is_shared_folder(const struct stat& folder);

// Neither this process's nor the folder owner's, so possibly planted by anybody.
bool is_foreign(const struct stat& entry, const struct stat& folder);

}  // namespace swug::platform
