#include "runtime/files.h"
#include "runtime/strings.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

constexpr const char *TEMP_PATH_DEFAULT = "/tmp/";
constexpr mode_t FILE_MODE = 0600;

char TempPath[TEMP_PATH_SIZE];
ObjectTable FileTable;
FileHandle CurrentFile;

int32_t TempPathQuery() {
    const char *dir = getenv("TMPDIR");
    if (!dir || dir[0] != '/')
        dir = TEMP_PATH_DEFAULT;
    size_t length = strlen(dir);
    size_t total = length + (dir[length - 1] == '/' ? 0 : 1);
    if (total > size_t(TEMP_PATH_SIZE - 1)) {
        TempPath[0] = 0;
        return 0;
    }
    memcpy(TempPath, dir, length);
    TempPath[total - 1] = '/';
    TempPath[total] = 0;
    return int32_t(total);
}

int FileTableInit() {
    // A write to a closed pipe (stderr) or past a file-size limit (the player file) fails
    // with an error that the caller handles, instead of ending the process with its files
    // left behind.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    CurrentFile = 0;
    return ObjectTableInit(&FileTable, sizeof(FileHandle), FILE_TABLE_GROWTH, 0, 0);
}

// O_EXCL refuses anything already there (a planted file, FIFO or link, dangling or not)
// without touching it; the mode is set again because the umask may have taken bits away
// that reopening the file through its descriptor needs.
static int OpenPrivate(const char *name) {
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, FILE_MODE);
    if (fd < 0)
        return -1;
    if (fchmod(fd, FILE_MODE) != 0) {
        close(fd);
        unlink(name);
        return -1;
    }
    return fd;
}

intptr_t FileCreate(int32_t number, const char *name) {
    CurrentFile = 0;
    if (!name || name[0] != '/' || number < OBJECT_ANY || number > OBJECT_NUMBER_MAX)
        return 0;
    int fd = OpenPrivate(name);
    if (fd < 0)
        return 0;
    FileHandle handle = fd + 1;
    FileHandle *record = static_cast<FileHandle *>(ObjectOpen(&FileTable, number));
    if (!record) {
        close(fd);
        return 0;
    }
    if (*record)
        close(int(*record - 1));
    *record = handle;
    CurrentFile = handle;
    return number == OBJECT_ANY ? reinterpret_cast<intptr_t>(record) : handle;
}

int FileWriteData(const void *buffer, uint32_t length) {
    if (!CurrentFile || !buffer || !length)
        return 0;
    const char *next = static_cast<const char *>(buffer);
    size_t left = length;
    while (left) {
        ssize_t written = write(int(CurrentFile - 1), next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return 0;
        next += written;
        left -= size_t(written);
    }
    return 1;
}

const char *FileDescriptorPath(intptr_t number) {
    FileHandle *record = static_cast<FileHandle *>(ObjectFind(&FileTable, number));
    if (!record || !*record)
        return nullptr;
    char *start = StringTop;
    StringCut = 0;
    StrAppend(FD_PATH_PREFIX);
    StrFromInt(int32_t(*record - 1));
    StringTop = start;
    return StringCut ? nullptr : start;
}

void FileClose(intptr_t number) {
    FileHandle *record = static_cast<FileHandle *>(ObjectFind(&FileTable, number));
    if (!record || !*record)
        return;
    // A closed descriptor may be reused by the next open: never write through it again.
    if (CurrentFile == *record)
        CurrentFile = 0;
    close(int(*record - 1));
    ObjectRelease(&FileTable, number);
}

int FileDelete(const char *name) {
    return name && unlink(name) == 0;
}

int DirectoryCreate(char *pattern) {
    if (!pattern || pattern[0] != '/' || !mkdtemp(pattern))
        return -1;
    // Whoever may write to the parent could have put something else under the name since.
    int fd = open(pattern, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 077) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    rmdir(pattern); // ours when it is empty; anything else it leaves alone
    return -1;
}

int DirectoryDelete(const char *name, int descriptor) {
    if (descriptor >= 0)
        close(descriptor);
    return name && rmdir(name) == 0;
}

void FileCloseAll() {
    ObjectCloseAll(&FileTable, FileClose);
}
