// filesWindows.cpp
// Files on Windows: folders (a drive such as C: counts as there), new files that no child process
// inherits, syncing to the disk and renames that replace an existing file, as filesPosix.cpp.
#include <windows.h>

#include <direct.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include "platform/platform.h"

bool platformMakeFolder(const char* path) {
    if (_mkdir(path) == 0 || errno == EEXIST) return true;
    int error = errno;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    errno = error;
    return false;
}

FILE* platformCreateFile(const char* path, bool exclusive) {
    int fd = _open(path, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT | (exclusive ? _O_EXCL : _O_TRUNC),
                   _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    FILE* file = _fdopen(fd, "wb");
    if (!file) {
        int error = errno;
        _close(fd);
        errno = error;
    }
    return file;
}

bool platformSyncFile(FILE* file) {
    return fflush(file) == 0 && !ferror(file) && _commit(_fileno(file)) == 0;
}

bool platformReplaceFile(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

int platformProcessId() { return _getpid(); }
