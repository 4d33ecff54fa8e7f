/* Makes chosen system calls fail in a program it is preloaded into (LD_PRELOAD), so that the tests
 * can reach the error paths that no file or folder can provoke: a sync, a rename or a close that
 * fails. SWUG_FAIL lists the calls as "name:errno[:passes[:failures]]" separated by commas:
 * "fsync:5" makes every fsync fail with EIO, "write:28:2" lets two writes through and fails the
 * rest with ENOSPC, "write:122:0:1" fails the first write with EDQUOT and lets the rest through.
 * Calls on standard input, output and error always go through, so the program's messages do. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

/* Whether this call of name should fail, and with which error number. */
static int failure_for(const char* name) {
    static int passed[64];
    static int failed[64];
    const char* list = getenv("SWUG_FAIL");
    int entry = 0;
    while (list != NULL && *list != '\0' && entry < 64) {
        const char* colon = strchr(list, ':');
        const char* end = strchr(list, ',');
        if (end == NULL) {
            end = list + strlen(list);
        }
        if (colon != NULL && colon < end && (size_t)(colon - list) == strlen(name) &&
            strncmp(list, name, strlen(name)) == 0) {
            char* rest = NULL;
            const int error = (int)strtol(colon + 1, &rest, 10);
            const int passes =
                (rest != NULL && *rest == ':') ? (int)strtol(rest + 1, &rest, 10) : 0;
            const int failures = (rest != NULL && *rest == ':') ? atoi(rest + 1) : 0;
            if (passed[entry] < passes || (failures > 0 && failed[entry] == failures)) {
                ++passed[entry];
                return 0;
            }
            ++failed[entry];
            return error;
        }
        list = *end == ',' ? end + 1 : end;
        ++entry;
    }
    return 0;
}

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))
/* The mode that open and openat take only with O_CREAT or O_TMPFILE. */
#define MODE_ARGUMENT(flags, mode)                                        \
    do {                                                                  \
        if (((flags)&O_CREAT) != 0 || ((flags)&O_TMPFILE) == O_TMPFILE) { \
            va_list more_;                                                \
            va_start(more_, flags);                                       \
            (mode) = va_arg(more_, mode_t);                               \
            va_end(more_);                                                \
        }                                                                 \
    } while (0)
/* Calls on names rather than on a descriptor fail whenever they are listed. */
#define FAIL_ON_NAME(name) FAIL_ON_FILE(STDERR_FILENO + 1, name)
#define FAIL_ON_FILE(fd, name)                         \
    do {                                               \
        int error_ = (fd) > 2 ? failure_for(name) : 0; \
        if (error_ != 0) {                             \
            errno = error_;                            \
            return -1;                                 \
        }                                              \
    } while (0)

int fsync(int fd) {
    FAIL_ON_FILE(fd, "fsync");
    return REAL(fsync)(fd);
}

int fchmod(int fd, mode_t mode) {
    FAIL_ON_FILE(fd, "fchmod");
    return REAL(fchmod)(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group) {
    FAIL_ON_FILE(fd, "fchown");
    return REAL(fchown)(fd, owner, group);
}

int ftruncate(int fd, off_t length) {
    FAIL_ON_FILE(fd, "ftruncate");
    return REAL(ftruncate)(fd, length);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    FAIL_ON_FILE(fd, "fallocate");
    return REAL(fallocate)(fd, mode, offset, length);
}

off_t lseek(int fd, off_t offset, int whence) {
    FAIL_ON_FILE(fd, "lseek");
    return REAL(lseek)(fd, offset, whence);
}

ssize_t read(int fd, void* buffer, size_t count) {
    FAIL_ON_FILE(fd, "read");
    return REAL(read)(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    FAIL_ON_FILE(fd, "write");
    return REAL(write)(fd, buffer, count);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    FAIL_ON_FILE(fd, "pwrite");
    return REAL(pwrite)(fd, buffer, count, offset);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    FAIL_ON_FILE(fd, "fsetxattr");
    return REAL(fsetxattr)(fd, name, value, size, flags);
}

int renameat(int from_folder, const char* from, int to_folder, const char* to) {
    FAIL_ON_NAME("rename");
    return REAL(renameat)(from_folder, from, to_folder, to);
}

int renameat2(int from_folder, const char* from, int to_folder, const char* to, unsigned flags) {
    FAIL_ON_NAME("rename");
    return REAL(renameat2)(from_folder, from, to_folder, to, flags);
}

int unlinkat(int folder, const char* name, int flags) {
    FAIL_ON_NAME("unlink");
    return REAL(unlinkat)(folder, name, flags);
}

int mkostemp(char* name, int flags) {
    FAIL_ON_NAME("mkostemp");
    return REAL(mkostemp)(name, flags);
}

/* A nameless file in a folder (O_TMPFILE) counts as "create", a new file there, and as "tmpfile",
 * which "tmpfile:95" (EOPNOTSUPP) turns into a file system without nameless files. */
int openat(int folder, const char* name, int flags, ...) {
    mode_t mode = 0;
    MODE_ARGUMENT(flags, mode);
    const int nameless = (flags & O_TMPFILE) == O_TMPFILE;
    if (nameless) {
        FAIL_ON_NAME("tmpfile");
    }
    FAIL_ON_NAME(nameless || (flags & O_CREAT) != 0 ? "create" : "openat");
    return REAL(openat)(folder, name, flags, mode);
}

int linkat(int from_folder, const char* from, int to_folder, const char* to, int flags) {
    FAIL_ON_NAME("link");
    return REAL(linkat)(from_folder, from, to_folder, to, flags);
}

/* Only the setting of inode flags (chattr) counts, as "setflags". */
int ioctl(int fd, unsigned long request, ...) {
    va_list more;
    va_start(more, request);
    void* argument = va_arg(more, void*);
    va_end(more);
    if (request == FS_IOC_SETFLAGS) {
        FAIL_ON_FILE(fd, "setflags");
    }
    return REAL(ioctl)(fd, request, argument);
}

/* Nameless files opened by a folder's path, the tools' scratch files, count as "scratch", other
 * opens as "open". */
int open(const char* name, int flags, ...) {
    mode_t mode = 0;
    MODE_ARGUMENT(flags, mode);
    FAIL_ON_NAME((flags & O_TMPFILE) == O_TMPFILE ? "scratch" : "open");
    return REAL(open)(name, flags, mode);
}

/* The file is closed all the same, as a failed close on a network file system leaves it. */
int close(int fd) {
    const int error = fd > 2 ? failure_for("close") : 0;
    const int closed = REAL(close)(fd);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return closed;
}
