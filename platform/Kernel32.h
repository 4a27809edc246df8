// Kernel services the program uses, each a thin image of the Windows call it stands for:
// files, the command line, physical memory, the user locale's decimal separator, code page
// 1251, and critical sections.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
// Windows itself; min and max stay the standard library's.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Files open through the layer, as on Linux: only regular files (a directory, a named pipe, the
// console or another device does not), and a memory file under its name. Not a call of
// Windows' kernel; every other file call is Windows' own on the handle it gives.
HANDLE OpenRegularFileA(const char* name, DWORD access, DWORD shareMode,
                        SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                        HANDLE templateFile);
#undef CreateFile
#define CreateFileA OpenRegularFileA
#define CreateFile OpenRegularFileA

// The separator Windows writes in file names; it takes '/' as one too.
constexpr char PathSeparator = '\\';
constexpr bool IsPathSeparator(char c) {
    return c == PathSeparator || c == '/';
}
#else

using BOOL = int;
using DWORD = uint32_t;
using UINT = unsigned int;
using HANDLE = void*;
using LCID = uint32_t;
using LCTYPE = uint32_t;
// UTF-16 code units (Windows' own wide character is wchar_t).
using WCHAR = char16_t;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(intptr_t{-1});
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_DEVICE = 0x40;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;

constexpr LCTYPE LOCALE_SDECIMAL = 0x0E;

// The path separator of the platform's file names.
constexpr char PathSeparator = '/';
constexpr bool IsPathSeparator(char c) {
    return c == PathSeparator;
}

// Files. A handle is valid until CloseHandle. Only regular files open: a directory, a named
// pipe or a device does not, and opening never waits. CREATE_NEW makes a new file only: it
// fails on any name that exists, a symbolic link (even one to nothing) included.
HANDLE CreateFileA(const char* name, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void* overlapped);
// Low 32 bits of the size; the high half goes to *high when given. INVALID_FILE_SIZE on failure.
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL CloseHandle(HANDLE handle);
BOOL DeleteFileA(const char* name);
// What the name itself is, a link not followed: FILE_ATTRIBUTE_NORMAL for a regular file,
// _DIRECTORY, _REPARSE_POINT for a symbolic link, _DEVICE for a pipe, socket or device;
// INVALID_FILE_ATTRIBUTES when there is nothing by that name or it cannot be looked at.
DWORD GetFileAttributesA(const char* name);
// Renames a file in one step, so that readers of the new name see the old file or the new one,
// never part of it. A file already at the new name is replaced with MOVEFILE_REPLACE_EXISTING
// (a link there is replaced itself, its target untouched), else the call fails.
BOOL MoveFileExA(const char* existing, const char* newName, DWORD flags);
DWORD GetCurrentProcessId();

// The command line as one text: the program as it was started, then the arguments, quoted as
// Windows' CommandLineToArgvW reads them back (an argument with a blank or a quote in double
// quotes, its quotes escaped with a backslash, the backslashes before a quote doubled).
const char* GetCommandLineA();
// Full path of the running program (module null); the length written, 0 on failure.
DWORD GetModuleFileNameA(void* module, char* buffer, DWORD size);

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    size_t dwTotalPhys;
    size_t dwAvailPhys;
    size_t dwTotalPageFile;
    size_t dwAvailPageFile;
    size_t dwTotalVirtual;
    size_t dwAvailVirtual;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);

// Converts multi-byte text of the code page to UTF-16; the units written, 0 on failure.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int count, WCHAR* out,
                        int outCount);

LCID GetUserDefaultLCID();
// The locale item as text with its terminator; the characters written including it, 0 on
// failure. The process-wide C locale is left as it is.
int GetLocaleInfoA(LCID locale, LCTYPE item, char* data, int size);

// A lock the owning thread may take again.
struct CRITICAL_SECTION {
    alignas(std::max_align_t) unsigned char storage[64];
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
#endif

// The code page of the program's 8-bit texts.
constexpr UINT CP_1251 = 1251;

// A memory file: bytes the caller owns, which CreateFileA opens for reading under the name given
// here instead of a file on disk (a reader is fed without a disk round trip, as the fuzz target
// does). One name at a time; a null name removes it. The bytes stay alive and unchanged while a
// handle on them is open. Opening the name for writing fails. Not a call of Windows' kernel;
// there a handle is on a temporary copy of the bytes that the system deletes when it closes.
void SetMemoryFile(const char* name, const void* data, size_t size);
