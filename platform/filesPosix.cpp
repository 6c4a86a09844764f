// filesPosix.cpp
// Files on POSIX systems: folders, new files that no child process inherits, syncing to the disk
// and replacing renames, for writers that must never leave a partial file under its final name.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

bool platformMakeFolder(const char* path) { return mkdir(path, 0755) == 0 || errno == EEXIST; }

FILE* platformCreateFile(const char* path, bool exclusive) {
    int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC), 0644);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

bool platformSyncFile(FILE* file) { return fflush(file) == 0 && !ferror(file) && fsync(fileno(file)) == 0; }

bool platformReplaceFile(const char* from, const char* to) { return rename(from, to) == 0; }

int platformProcessId() { return int(getpid()); }
