// The outputs on Linux: paths resolved one name at a time through held folders, the rules of
// shared (sticky) folders, mount points and append-only folders, what a replacement takes over
// from the old file, and the one-step rename that puts it in place.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "os/linux.h"
#include "output/system.h"

namespace swug::output_system {

using platform::is_foreign;
using platform::is_on_proc;
using platform::is_shared_folder;

namespace {

// What the signal handler cleans up: each temporary file that has a name, by its folder's
// descriptor, its name in that folder and its identity, so that a folder moved meanwhile is
// cleaned where it now is, and a file that took the name since is left alone. The handler reads
// these only; they change with the signals blocked.
struct temporary_slot {
    int folder = -1;
    char name[NAME_MAX + 1] = {};
    dev_t device = 0;
    ino_t inode = 0;
};
constexpr int temporary_slots = 2;
temporary_slot temporaries[temporary_slots];
volatile std::sig_atomic_t temporary_armed[temporary_slots] = {};
// What the rest of the module knows each slot by: the name the caller gave the file (empty for a
// free slot), and, while the file has no name yet, a descriptor of it that keeps it until it gets
// one; the caller's own descriptor is closed before that.
std::string temporary_keys[temporary_slots];
int unnamed_files[temporary_slots] = {-1, -1};

// Removes the slot's file when its name still leads to it. Async-signal-safe.
void remove_temporary(const temporary_slot& slot) {
    struct stat info {};
    if (fstatat(slot.folder, slot.name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        info.st_dev == slot.device && info.st_ino == slot.inode) {
        unlinkat(slot.folder, slot.name, 0);
    }
}

int slot_of(int folder, const std::string& name) {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (!temporary_keys[slot].empty() && temporaries[slot].folder == folder &&
            name == temporary_keys[slot]) {
            return slot;
        }
    }
    return -1;
}

// Lets the slot go: its file is no longer this run's to remove.
void free_slot(int slot) {
    temporary_armed[slot] = 0;
    if (unnamed_files[slot] >= 0) {
        close(unnamed_files[slot]);
        unnamed_files[slot] = -1;
    }
    temporary_keys[slot].clear();
}

// Removes every temporary file of this run; what an ending signal runs. Async-signal-safe.
void remove_temporaries() {
    for (int slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_armed[slot] != 0) {
            remove_temporary(temporaries[slot]);
        }
    }
}

int folder_fd(const output_place& place) {
    return static_cast<int>(place.folder.native());
}

// True when a file system is mounted on name (a file bind-mounted into a container): no rename
// can take its place.
bool is_mount_point(int folder, const std::string& name) {
#ifdef STATX_ATTR_MOUNT_ROOT
    struct statx info {};
    return statx(folder, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE,
                 &info) == 0 &&
           (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    (void)folder;
    (void)name;
    return false;
#endif
}

// True for a folder whose entries may be added but never renamed or removed (chattr +a).
bool is_append_only(int folder) {
    int flags = 0;
    return ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
}

// The path of one of this process's descriptors, to open the file again by.
std::string descriptor_path(int descriptor) {
    return "/proc/self/fd/" + std::to_string(descriptor);
}

// Opens place's existing file with flags and checks that it is still the file that was found.
int open_found_file(const output_place& place, int flags, int& fd) {
    fd = place.descriptor.is_open()
             ? open(descriptor_path(static_cast<int>(place.descriptor.native())).c_str(), flags)
             : openat(folder_fd(place), place.name.c_str(), flags | O_NOFOLLOW);
    if (fd < 0) {
        return platform::last_error();
    }
    platform::file_status now;
    if (platform::status_of(fd, now) != 0 || !(now.identity == place.status.identity)) {
        close(fd);
        fd = -1;
        return EAGAIN;  // the name was given to another file meanwhile
    }
    return 0;
}

// The names of fd's extended attributes, each followed by a zero byte.
int attribute_names(int fd, std::string& names) {
    for (int tries = 0;; ++tries) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0) {
            return platform::last_error();
        }
        names.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return 0;
        }
        // The list grew between the two calls.
        if (errno != ERANGE || tries == 3) {
            return platform::last_error();
        }
    }
}

// What a replacement takes over from the file it replaces, as a plain write would keep it: 0, or
// why it can't. The ACL and extended attributes of to become those of from (an ACL that to got
// from its folder goes), but for those a plain write drops too (a program's capabilities).
int copy_extended_attributes(int from_fd, int to_fd) {
    // A plain write drops a program's capabilities, and the integrity labels belong to the
    // content, which is new.
    static constexpr const char* not_copied[] = {"security.capability", "security.ima",
                                                 "security.evm"};
    static constexpr char access_acl[] = "system.posix_acl_access";
    std::string names;
    if (const int error = attribute_names(from_fd, names); error != 0) {
        return error == ENOTSUP ? 0 : error;
    }
    bool has_acl = false;
    std::string value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        if (std::any_of(std::begin(not_copied), std::end(not_copied),
                        [name](const char* skipped) { return std::strcmp(name, skipped) == 0; })) {
            continue;
        }
        has_acl = has_acl || std::strcmp(name, access_acl) == 0;
        const ssize_t size = fgetxattr(from_fd, name, nullptr, 0);
        value.assign(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
        const ssize_t got = size >= 0 ? fgetxattr(from_fd, name, value.data(), value.size()) : -1;
        if (got < 0 ||
            fsetxattr(to_fd, name, value.data(), static_cast<std::size_t>(got), 0) != 0) {
            return platform::last_error();
        }
    }
    // An ACL the new file took from its folder's default ACL would open it to more, or fewer,
    // users than the old file.
    if (!has_acl && fremovexattr(to_fd, access_acl) != 0 && errno != ENODATA && errno != ENOTSUP) {
        return platform::last_error();
    }
    return 0;
}

// The inode flags (chattr) a replacement takes over: those their owner may set on a file, such as
// no-dump, no-atime, synchronous, no-copy-on-write. Immutable and append-only are not among them:
// a file that has either could not have been opened for writing.
constexpr int carried_flags =
    (FS_FL_USER_MODIFIABLE | FS_NOCOW_FL | FS_JOURNAL_DATA_FL | FS_NOCOMP_FL | FS_DAX_FL) &
    ~(FS_IMMUTABLE_FL | FS_APPEND_FL);

// Gives to exactly the carried flags of from, keeping its flags of other kinds (how its file
// system stores it): 0, or why it can't. Some (no-copy-on-write) take only while to is empty.
int copy_flags(int from_fd, int to_fd) {
    int old_flags = 0;
    if (ioctl(from_fd, FS_IOC_GETFLAGS, &old_flags) != 0) {
        // A file system without such flags: nothing to carry.
        return errno == ENOTTY || errno == ENOTSUP || errno == EINVAL ? 0 : platform::last_error();
    }
    int flags = 0;
    if (ioctl(to_fd, FS_IOC_GETFLAGS, &flags) != 0) {
        return platform::last_error();
    }
    const int wanted = (flags & ~carried_flags) | (old_flags & carried_flags);
    if (wanted != flags && ioctl(to_fd, FS_IOC_SETFLAGS, &wanted) != 0) {
        return platform::last_error();
    }
    // A file system may take the call and leave out a flag it doesn't know.
    if (ioctl(to_fd, FS_IOC_GETFLAGS, &flags) != 0) {
        return platform::last_error();
    }
    return (flags & carried_flags) == (old_flags & carried_flags) ? 0 : EOPNOTSUPP;
}

// What a new file for the existing one takes over before a byte is written: owner, group, ACL,
// extended attributes and inode flags; or why it can't.
rewrite_reason take_over(const output_place& place, int old_fd, int fd) {
    const platform::file_status& old = place.status;
    platform::file_status created;
    if (platform::status_of(fd, created) != 0) {
        return rewrite_reason::attributes_not_kept;
    }
    if (created.owner != old.owner) {
        if (fchown(fd, static_cast<uid_t>(old.owner), static_cast<gid_t>(old.group)) != 0) {
            return rewrite_reason::owner_not_kept;
        }
    } else if (created.group != old.group &&
               fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(old.group)) != 0) {
        return rewrite_reason::group_not_kept;
    }
    if (copy_extended_attributes(old_fd, fd) != 0 || copy_flags(old_fd, fd) != 0) {
        return rewrite_reason::attributes_not_kept;
    }
    return rewrite_reason::none;
}

}  // namespace

namespace {

// One walk along an output path.
struct output_walk : platform::path_walk {
    bool arrived = false;  // place names the output
};

// A link in /proc stands for one of the process's open files; the system follows it there.
failure follow_descriptor_link(output_walk& walk, const std::string& part, bool last,
                               output_place& place) {
    platform::held_handle followed(
        openat(static_cast<int>(walk.folder.native()), part.c_str(), O_PATH | O_CLOEXEC));
    struct stat info {};
    if (!followed.is_open() || fstat(static_cast<int>(followed.native()), &info) != 0) {
        return {failure_kind::cannot_create, platform::last_error()};
    }
    if (S_ISDIR(info.st_mode)) {
        walk.folder = std::move(followed);
        return {};
    }
    if (!last) {
        return {failure_kind::cannot_create, ENOTDIR};
    }
    place.descriptor = std::move(followed);
    place.exists = true;
    platform::status_of(static_cast<int>(place.descriptor.native()), place.status);
    place.obstacle = rewrite_reason::descriptor;
    walk.arrived = true;
    return {};
}

failure follow_link(output_walk& walk, int link, const struct stat& info,
                    const struct stat& folder_info, const std::string& part, bool last,
                    output_place& place) {
    if (is_on_proc(static_cast<int>(walk.folder.native()))) {
        return follow_descriptor_link(walk, part, last, place);
    }
    const int error = platform::follow_link(walk, link, info, folder_info);
    if (error == platform::planted_link) {
        return {failure_kind::foreign_link};
    }
    return error != 0 ? failure{failure_kind::cannot_create, error} : failure{};
}

// The existing file that the path ends in.
failure arrive_at_file(output_walk& walk, int entry, const struct stat& info,
                       const struct stat& folder_info, const std::string& part,
                       output_place& place) {
    if (is_shared_folder(folder_info) && is_foreign(info, folder_info)) {
        return {failure_kind::foreign_file};
    }
    place.name = part;
    place.exists = true;
    platform::status_of(entry, place.status);
    // Where only owners may rename, only the file's or the folder's owner (or root) can put a
    // new file in the old one's place.
    if ((folder_info.st_mode & S_ISVTX) != 0 && geteuid() != 0 && info.st_uid != geteuid() &&
        folder_info.st_uid != geteuid()) {
        place.obstacle = rewrite_reason::folder_forbids_replacing;
    } else if (is_mount_point(static_cast<int>(walk.folder.native()), part)) {
        place.obstacle = rewrite_reason::mount_point;
    }
    walk.arrived = true;
    return {};
}

// Takes the next name of the path, relative to the folder reached so far.
failure take_next_name(output_walk& walk, output_place& place) {
    const std::string part = walk.parts.front();
    walk.parts.pop_front();
    const bool last = walk.parts.empty();
    if (part.empty() || part == ".") {
        return {};
    }
    const int fd = openat(static_cast<int>(walk.folder.native()), part.c_str(),
                          O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT || !last) {
            return {failure_kind::cannot_create, platform::last_error()};
        }
        place.name = part;  // nothing there yet: a new file of that name
        walk.arrived = true;
        return {};
    }
    platform::held_handle entry(fd);
    struct stat info {};
    struct stat folder_info {};
    if (fstat(fd, &info) != 0 || fstat(static_cast<int>(walk.folder.native()), &folder_info) != 0) {
        return {failure_kind::cannot_create, platform::last_error()};
    }
    if (S_ISLNK(info.st_mode)) {
        return follow_link(walk, fd, info, folder_info, part, last, place);
    }
    if (S_ISDIR(info.st_mode)) {
        if (last) {
            return {failure_kind::cannot_create, EISDIR};
        }
        walk.folder = std::move(entry);
        return {};
    }
    if (!last) {
        return {failure_kind::cannot_create, ENOTDIR};
    }
    return arrive_at_file(walk, fd, info, folder_info, part, place);
}

}  // namespace

failure find_output_place(const char* path, output_place& place) {
    place = output_place();
    if (path[0] == '\0') {
        return {failure_kind::cannot_create, ENOENT};  // no name to give the new file
    }
    // The path is walked one name at a time, each relative to the folder before it, so that what
    // is checked is what is used: a name that changes meanwhile can't lead elsewhere.
    output_walk walk;
    if (const int error = platform::start_walk(path, walk); error != 0) {
        return {failure_kind::cannot_create, error};
    }
    while (!walk.arrived && !walk.parts.empty()) {
        if (const failure taken = take_next_name(walk, place)) {
            return taken;
        }
    }
    if (!walk.arrived) {
        return {failure_kind::cannot_create,
                EISDIR};  // the path ends in a folder: "out/", ".", ".."
    }
    // The folder is opened for reading, so that it can be synced; one that may be searched and
    // written but not read is used as it is.
    const int readable =
        openat(static_cast<int>(walk.folder.native()), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable >= 0) {
        walk.folder.reset(readable);
        if (is_append_only(readable) && place.obstacle == rewrite_reason::none) {
            place.obstacle = rewrite_reason::append_only_folder;
        }
    }
    platform::file_status folder_status;
    if (const int error =
            platform::status_of(static_cast<int>(walk.folder.native()), folder_status);
        error != 0) {
        return {failure_kind::cannot_create, error};
    }
    place.folder_identity = folder_status.identity;
    place.folder = std::move(walk.folder);
    return {};
}

bool same_name(const std::string& a, const std::string& b) {
    return a == b;
}

int open_existing_for_writing(const output_place& place, int& fd) {
    // Not emptied: the old content stays until the end.
    return open_found_file(place, O_WRONLY | O_NOCTTY | O_CLOEXEC, fd);
}

int open_in_place(const output_place& place, int& fd) {
    return open_found_file(place, O_WRONLY | O_NOCTTY | O_CLOEXEC, fd);
}

int create_in_place(const output_place& place, int& fd) {
    fd = openat(folder_fd(place), place.name.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    return fd < 0 ? platform::last_error() : 0;
}

namespace {

// A file with no name in place's folder, which no signal can leave behind: fd, and kept, a
// descriptor of it that holds it until it is given a name through /proc. Neither (fd -1, and 0
// returned) where the file system can't make such a file (some network and FUSE file systems)
// or /proc is not there to name it by.
int create_unnamed(const output_place& place, mode_t mode, int& fd, int& kept) {
    fd = openat(folder_fd(place), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd < 0) {
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? 0
                                                                         : platform::last_error();
    }
    kept = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    struct stat file {};
    struct stat named {};
    if (kept >= 0 && fstat(fd, &file) == 0 && stat(descriptor_path(kept).c_str(), &named) == 0 &&
        named.st_dev == file.st_dev && named.st_ino == file.st_ino) {
        return 0;
    }
    const int error = kept < 0 ? platform::last_error() : 0;
    if (kept >= 0) {
        close(kept);
    }
    close(fd);
    fd = kept = -1;
    return error;
}

// A named file instead, which an ending signal removes and only SIGKILL can leave behind.
int create_named(const output_place& place, const std::string& name, mode_t mode, int& fd) {
    fd = openat(folder_fd(place), name.c_str(),
                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
    return fd < 0 ? platform::last_error() : 0;
}

// Gives the slot's file, which has none yet, the name in its folder: 0, EEXIST when the name is
// taken, or another reason.
int link_unnamed(int slot, const std::string& name) {
    return linkat(AT_FDCWD, descriptor_path(unnamed_files[slot]).c_str(), temporaries[slot].folder,
                  name.c_str(), AT_SYMLINK_FOLLOW) == 0
               ? 0
               : platform::last_error();
}

// Names the slot's file, which has none yet: directly the final name when that is free, which
// then needs no rename (done), else a hidden name of its own to rename from, which the ending
// signals remove until then.
int name_unnamed(const output_place& place, int slot, bool& done) {
    int error = link_unnamed(slot, place.name);
    done = error == 0;
    for (int tries = 0; error == EEXIST && tries < 100; ++tries) {
        const std::string name = tries == 0 ? temporary_keys[slot] : temporary_name(place.name);
        error = name.size() > NAME_MAX ? ENAMETOOLONG : link_unnamed(slot, name);
        if (error == 0) {
            std::memcpy(temporaries[slot].name, name.c_str(), name.size() + 1);
            temporary_armed[slot] = 1;
        }
    }
    if (error == 0) {
        close(unnamed_files[slot]);
        unnamed_files[slot] = -1;
    }
    return error;
}

// Renames the file from over place's final name: a name that is still free is taken only if it
// stays free; what took it meanwhile (another run of this user's, say) is replaced only where it
// could have been written in the first place, never a file that another user put in a shared
// folder.
int rename_into_place(const output_place& place, const char* from) {
    const int folder = folder_fd(place);
    const char* final_name = place.name.c_str();
    if (renameat2(folder, from, folder, final_name, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EEXIST && errno != EINVAL) {
        return platform::last_error();
    }
    struct stat now {};
    struct stat folder_info {};
    if (fstatat(folder, final_name, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        fstat(folder, &folder_info) == 0 && is_shared_folder(folder_info) &&
        is_foreign(now, folder_info)) {
        return EEXIST;
    }
    return renameat(folder, from, folder, final_name) != 0 ? platform::last_error() : 0;
}

}  // namespace

int create_temporary(const output_place& place, const std::string& name, int old_fd, int& fd,
                     rewrite_reason& lost) {
    if (name.size() > NAME_MAX) {
        return ENAMETOOLONG;
    }
    const platform::ending_held held;
    platform::on_ending(remove_temporaries);
    int slot = 0;
    while (slot < temporary_slots && !temporary_keys[slot].empty()) {
        ++slot;
    }
    if (slot == temporary_slots) {
        return EMFILE;
    }
    // 0666 lets the umask and the folder's default ACL decide, as for a plain create. A new file
    // for an existing one stays private until it has taken over the old one's permissions.
    const mode_t mode = old_fd >= 0 ? 0600 : 0666;
    temporary_keys[slot] = name;  // allocated before there is a file to lose
    int kept = -1;
    int error = create_unnamed(place, mode, fd, kept);
    const bool named = error == 0 && fd < 0;
    if (named) {
        error = create_named(place, name, mode, fd);
    }
    struct stat info {};
    if (error == 0 && fstat(fd, &info) != 0) {
        error = platform::last_error();
        if (named) {
            unlinkat(folder_fd(place), name.c_str(), 0);
        }
    }
    if (error != 0) {
        for (const int opened : {fd, kept}) {
            if (opened >= 0) {
                close(opened);
            }
        }
        fd = -1;
        temporary_keys[slot].clear();
        return error;
    }
    unnamed_files[slot] = kept;
    temporary_slot& registered = temporaries[slot];
    registered.folder = folder_fd(place);
    std::memcpy(registered.name, name.c_str(), name.size() + 1);
    registered.device = info.st_dev;
    registered.inode = info.st_ino;
    temporary_armed[slot] = named ? 1 : 0;
    lost = old_fd >= 0 ? take_over(place, old_fd, fd) : rewrite_reason::none;
    return 0;
}

int finish_temporary(const output_place& place, int fd) {
    // Without set-user-ID and set-group-ID: a plain write clears them from new content too.
    if (place.exists && fchmod(fd, static_cast<mode_t>(place.status.permissions & 0777u)) != 0) {
        return platform::last_error();
    }
    return fsync(fd) != 0 ? platform::last_error() : 0;
}

int commit_temporary(const output_place& place, const std::string& name, owned_descriptor& old) {
    const platform::ending_held held;
    const int slot = slot_of(folder_fd(place), name);
    if (slot < 0) {
        return ENOENT;
    }
    // A file without a name gets one only now, so that until here no signal, SIGKILL included,
    // can leave it behind; a hidden name is armed for the ending signals until the rename.
    bool done = false;
    if (unnamed_files[slot] >= 0) {
        if (const int error = name_unnamed(place, slot, done); error != 0) {
            return error;
        }
    }
    if (!done) {
        if (const int error = rename_into_place(place, temporaries[slot].name); error != 0) {
            return error;
        }
    }
    free_slot(slot);
    // Closed only now, so that nobody watching the old file sees it closed after writing before
    // the new one is in place.
    old.reset();
    return 0;
}

int reopen_temporary(const output_place& place, const std::string& name, int& fd) {
    const int slot = slot_of(folder_fd(place), name);
    if (slot < 0 || unnamed_files[slot] < 0) {
        return ENOENT;
    }
    fd = fcntl(unnamed_files[slot], F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? platform::last_error() : 0;
}

void discard_temporary(const output_place& place, const std::string& name) {
    const platform::ending_held held;
    if (const int slot = slot_of(folder_fd(place), name); slot >= 0) {
        if (temporary_armed[slot] != 0) {
            remove_temporary(temporaries[slot]);
        }
        free_slot(slot);
    }
}

int identity_now(const output_place& place, platform::file_identity& identity) {
    const int entry = openat(folder_fd(place), place.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (entry < 0) {
        return platform::last_error();
    }
    platform::file_status status;
    const int error = platform::status_of(entry, status);
    close(entry);
    identity = status.identity;
    return error;
}

int sync_folder(const output_place& place) {
    int reason = fsync(folder_fd(place)) != 0 ? platform::last_error() : 0;
    // Some file systems can't sync a folder and say so; their renames are as safe as they get. A
    // folder this process may not read is held without access (EBADF) and can't be synced by it.
    if (reason == EINVAL || reason == ENOTSUP || reason == EBADF) {
        reason = 0;
    }
    return reason;
}

namespace {

int create_scratch_in(const char* folder, int& fd) {
    fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return fd < 0 ? platform::last_error() : 0;
    }
    // A file system without nameless files: a name that is gone again before any signal can
    // come between.
    std::string name = std::string(folder) + "/.swug-scratch-XXXXXX";
    const platform::ending_held held;
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return platform::last_error();
    }
    unlink(name.c_str());
    return 0;
}

}  // namespace

int create_scratch(int& fd) {
    // The caller's temporary folder, and /tmp when that one can't take the file.
    const char* folder = std::getenv("TMPDIR");
    if (folder != nullptr && folder[0] == '/' && create_scratch_in(folder, fd) == 0) {
        return 0;
    }
    return create_scratch_in("/tmp", fd);
}

}  // namespace swug::output_system
