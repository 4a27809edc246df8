// Files on Windows as the Linux build opens them: only regular files, opening never waits, and
// the memory file under its name. Every other file call is Windows' own on the handle given.
#include "platform/Kernel32.h"

#include <mutex>
#include <string>

// From here on, CreateFileA is Windows' own call again.
#undef CreateFileA

namespace {

// The memory file: its name and the caller's bytes.
struct MemoryFile {
    std::mutex lock;
    std::string name;
    const char* data = nullptr;
    size_t size = 0;
};
MemoryFile& Memory() {
    static MemoryFile file;
    return file;
}

bool Separator(char c) {
    return c == '\\' || c == '/';
}

// Whether the text starts with the lower-case word, in any case, followed by a separator.
bool StartsWithPart(const char* text, const char* word) {
    size_t i = 0;
    for (; word[i] != '\0'; ++i)
        if (text[i] == '\0' || (text[i] | 0x20) != word[i]) return false;
    return Separator(text[i]);
}

// Names that reach past the file system: the device namespace (\\.\pipe\..., \\.\COM1), the
// object namespace behind \\?\ other than a drive's or a share's path (\\?\pipe\...,
// \\?\GLOBALROOT\...), and a server's pipes (\\server\pipe\..., \\?\UNC\server\pipe\...).
// Refusing them before opening means no pipe server ever sees a client come and go.
bool DeviceName(const char* name) {
    if (!Separator(name[0]) || !Separator(name[1])) return false;
    const char* server = name + 2;
    if ((name[2] == '.' || name[2] == '?') && Separator(name[3])) {
        const char* rest = name + 4;
        const bool drive = ((rest[0] | 0x20) >= 'a' && (rest[0] | 0x20) <= 'z') && rest[1] == ':';
        if (name[2] == '?' && drive) return false;
        if (name[2] == '.' || !StartsWithPart(rest, "unc")) return true;
        server = rest + 4;
    }
    while (*server != '\0' && !Separator(*server))
        ++server;
    return *server != '\0' && StartsWithPart(server + 1, "pipe");
}

// Whether the open handle is a regular file: on a disk, and not a directory.
bool RegularFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk) return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

// A handle on a copy of the bytes: a temporary file that the system keeps in its cache and
// deletes when the handle closes, so that ReadFile, GetFileSize and CloseHandle are Windows' own.
HANDLE OpenMemoryCopy(const char* data, size_t size) {
    char folder[MAX_PATH + 1], path[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "kvm", 0, path) == 0)
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(path);
        return file;
    }
    if (!WriteAll(file, data, size) ||
        SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

} // namespace

HANDLE OpenRegularFileA(const char* name, DWORD access, DWORD shareMode,
                        SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                        HANDLE templateFile) {
    if (name == nullptr || *name == '\0' || DeviceName(name)) return INVALID_HANDLE_VALUE;
    MemoryFile& memory = Memory();
    {
        std::lock_guard<std::mutex> guard(memory.lock);
        if (!memory.name.empty() && memory.name == name)
            return (access & GENERIC_WRITE) != 0 || disposition != OPEN_EXISTING
                       ? INVALID_HANDLE_VALUE
                       : OpenMemoryCopy(memory.data, memory.size);
    }
    HANDLE file = CreateFileA(name, access, shareMode, security, disposition, flags, templateFile);
    if (file == INVALID_HANDLE_VALUE || RegularFile(file)) return file;
    CloseHandle(file);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

void SetMemoryFile(const char* name, const void* data, size_t size) {
    MemoryFile& memory = Memory();
    std::lock_guard<std::mutex> guard(memory.lock);
    memory.name = name == nullptr ? "" : name;
    memory.data = static_cast<const char*>(data);
    memory.size = data == nullptr ? 0 : size;
}
