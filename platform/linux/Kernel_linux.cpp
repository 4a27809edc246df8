// Kernel services on Linux: POSIX files and memory files, /proc for the command line and the
// program's path, sysconf for physical memory, the user's locale settings for the decimal
// separator, iconv for code page 1251.
#include "platform/Kernel32.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <string>

namespace {

int Descriptor(HANDLE h) {
    return static_cast<int>(reinterpret_cast<intptr_t>(h));
}
HANDLE Handle(int fd) {
    return reinterpret_cast<HANDLE>(intptr_t{fd});
}

// Appends one argument as Windows' CommandLineToArgvW reads it back: as it is when it holds no
// blank or quote and is not empty; otherwise in double quotes, each quote escaped with a
// backslash and the backslashes before a quote, or before the closing one, doubled.
void AppendArgument(std::string& line, const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += arg;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        line += c;
        backslashes = 0;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

// The command line read once from /proc: the arguments, each as AppendArgument writes it,
// joined by blanks.
std::string ReadCommandLine() {
    std::string line;
    const int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return line;
    std::string raw;
    char chunk[4096];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
        raw.append(chunk, size_t(n));
    close(fd);
    size_t start = 0;
    while (start < raw.size()) {
        const size_t end = raw.find('\0', start);
        if (start > 0) line += ' ';
        AppendArgument(line, raw.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return line;
}

// The memory file and the reading positions of the handles open on it. A memory handle is
// -2 - its slot: below INVALID_HANDLE_VALUE, a value no descriptor takes.
struct MemoryHandle {
    const char* data = nullptr;
    size_t size = 0, position = 0;
    bool open = false;
};
struct MemoryFiles {
    std::mutex lock;
    std::string name;
    const char* data = nullptr;
    size_t size = 0;
    MemoryHandle handles[4];
};
MemoryFiles& Memory() {
    static MemoryFiles files;
    return files;
}

HANDLE OpenMemoryFile(MemoryFiles& memory) {
    for (intptr_t slot = 0; slot < intptr_t(std::size(memory.handles)); ++slot) {
        MemoryHandle& handle = memory.handles[slot];
        if (handle.open) continue;
        handle = {memory.data, memory.size, 0, true};
        return reinterpret_cast<HANDLE>(-2 - slot);
    }
    return INVALID_HANDLE_VALUE;
}

// The open memory handle h stands for, or null for any other handle.
MemoryHandle* MemoryHandleOf(HANDLE h) {
    MemoryFiles& memory = Memory();
    const intptr_t value = reinterpret_cast<intptr_t>(h), count = std::size(memory.handles);
    if (value > -2 || value < -1 - count) return nullptr;
    const intptr_t slot = -2 - value;
    std::lock_guard<std::mutex> guard(memory.lock);
    return memory.handles[slot].open ? &memory.handles[slot] : nullptr;
}

using Mutex = std::recursive_mutex;
static_assert(sizeof(Mutex) <= sizeof(CRITICAL_SECTION::storage));

Mutex& MutexOf(CRITICAL_SECTION* section) {
    return *std::launder(reinterpret_cast<Mutex*>(section->storage));
}

} // namespace

HANDLE CreateFileA(const char* name, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
    if (name == nullptr || *name == '\0') return INVALID_HANDLE_VALUE;
    const bool reading = access & GENERIC_READ, writing = access & GENERIC_WRITE;
    MemoryFiles& memory = Memory();
    {
        std::lock_guard<std::mutex> guard(memory.lock);
        if (!memory.name.empty() && memory.name == name)
            return writing || disposition != OPEN_EXISTING ? INVALID_HANDLE_VALUE
                                                           : OpenMemoryFile(memory);
    }
    // Opening never waits (a named pipe without a writer would block for ever), and only
    // regular files, for which O_NONBLOCK changes nothing, count as files.
    int flags = O_CLOEXEC | O_NONBLOCK;
    flags |= reading && writing ? O_RDWR : writing ? O_WRONLY : O_RDONLY;
    if (disposition == CREATE_ALWAYS) flags |= O_CREAT | O_TRUNC;
    // O_EXCL also refuses a symbolic link at the name, dangling or not.
    if (disposition == CREATE_NEW) flags |= O_CREAT | O_EXCL;
    const int fd = open(name, flags, 0644);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return Handle(fd);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void*) {
    if (MemoryHandle* memory = MemoryHandleOf(file)) {
        const size_t n = std::min<size_t>(count, memory->size - memory->position);
        if (n > 0) std::memcpy(buffer, memory->data + memory->position, n);
        memory->position += n;
        if (read != nullptr) *read = DWORD(n);
        return 1;
    }
    DWORD done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(Descriptor(file), out + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (read != nullptr) *read = done;
            return 0;
        }
        if (n == 0) break;
        done += DWORD(n);
    }
    if (read != nullptr) *read = done;
    return 1;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void*) {
    DWORD done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(Descriptor(file), in + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += DWORD(n);
    }
    if (written != nullptr) *written = done;
    return done == count;
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
    uint64_t size = 0;
    struct stat info;
    if (const MemoryHandle* memory = MemoryHandleOf(file))
        size = memory->size;
    else if (fstat(Descriptor(file), &info) == 0)
        size = static_cast<uint64_t>(info.st_size);
    else
        return INVALID_FILE_SIZE;
    if (high != nullptr) *high = DWORD(size >> 32);
    return DWORD(size);
}

BOOL CloseHandle(HANDLE handle) {
    if (MemoryHandle* memory = MemoryHandleOf(handle)) {
        std::lock_guard<std::mutex> guard(Memory().lock);
        memory->open = false;
        return 1;
    }
    return handle != INVALID_HANDLE_VALUE && close(Descriptor(handle)) == 0;
}

void SetMemoryFile(const char* name, const void* data, size_t size) {
    MemoryFiles& memory = Memory();
    std::lock_guard<std::mutex> guard(memory.lock);
    memory.name = name == nullptr ? "" : name;
    memory.data = static_cast<const char*>(data);
    memory.size = data == nullptr ? 0 : size;
}

BOOL DeleteFileA(const char* name) {
    return name != nullptr && unlink(name) == 0;
}

DWORD GetFileAttributesA(const char* name) {
    struct stat info;
    if (name == nullptr || lstat(name, &info) != 0) return INVALID_FILE_ATTRIBUTES;
    if (S_ISREG(info.st_mode)) return FILE_ATTRIBUTE_NORMAL;
    if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return S_ISLNK(info.st_mode) ? FILE_ATTRIBUTE_REPARSE_POINT : FILE_ATTRIBUTE_DEVICE;
}

BOOL MoveFileExA(const char* existing, const char* newName, DWORD flags) {
    if (existing == nullptr || newName == nullptr) return 0;
    if (flags & MOVEFILE_REPLACE_EXISTING) return rename(existing, newName) == 0;
    return renameat2(AT_FDCWD, existing, AT_FDCWD, newName, RENAME_NOREPLACE) == 0;
}

DWORD GetCurrentProcessId() {
    return DWORD(getpid());
}

const char* GetCommandLineA() {
    static const std::string line = ReadCommandLine();
    return line.c_str();
}

DWORD GetModuleFileNameA(void*, char* buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    const ssize_t n = readlink("/proc/self/exe", buffer, size - 1);
    if (n <= 0) return 0;
    buffer[n] = '\0';
    return DWORD(n);
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    std::memset(status, 0, sizeof *status);
    status->dwLength = sizeof *status;
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) status->dwTotalPhys = size_t(pages) * size_t(pageSize);
    const long available = sysconf(_SC_AVPHYS_PAGES);
    if (available > 0 && pageSize > 0) status->dwAvailPhys = size_t(available) * size_t(pageSize);
}

// Byte by byte, as code page 1251 has one character a byte. Its one byte without a character,
// 0x98, becomes the control character of the same number, as Windows' own table gives it.
int MultiByteToWideChar(UINT codePage, DWORD, const char* text, int count, WCHAR* out,
                        int outCount) {
    if (codePage != CP_1251 || text == nullptr || count <= 0 || out == nullptr || outCount < count)
        return 0;
    iconv_t cd = iconv_open("UTF-16LE", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    int converted = 0;
    for (; converted < count; ++converted) {
        char* in = const_cast<char*>(text + converted);
        size_t inLeft = 1;
        char* o = reinterpret_cast<char*>(out + converted);
        size_t outLeft = sizeof(WCHAR);
        if (iconv(cd, &in, &inLeft, &o, &outLeft) != size_t(-1) && outLeft == 0) continue;
        if (static_cast<unsigned char>(text[converted]) != 0x98) break;
        out[converted] = WCHAR(0x98);
    }
    iconv_close(cd);
    return converted == count ? count : 0;
}

LCID GetUserDefaultLCID() {
    return 0x0400;
}

int GetLocaleInfoA(LCID, LCTYPE item, char* data, int size) {
    if (item != LOCALE_SDECIMAL || data == nullptr || size <= 0) return 0;
    locale_t user = newlocale(LC_NUMERIC_MASK, "", locale_t(0));
    if (user == locale_t(0)) user = newlocale(LC_NUMERIC_MASK, "C", locale_t(0));
    if (user == locale_t(0)) return 0;
    const char* separator = nl_langinfo_l(RADIXCHAR, user);
    const size_t length = separator == nullptr ? 0 : std::strlen(separator);
    int written = 0;
    if (length > 0 && length + 1 <= size_t(size)) {
        std::memcpy(data, separator, length + 1);
        written = int(length + 1);
    }
    freelocale(user);
    return written;
}

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    new (section->storage) Mutex();
}
void EnterCriticalSection(CRITICAL_SECTION* section) {
    MutexOf(section).lock();
}
void LeaveCriticalSection(CRITICAL_SECTION* section) {
    MutexOf(section).unlock();
}
void DeleteCriticalSection(CRITICAL_SECTION* section) {
    MutexOf(section).~Mutex();
}
