#include "Kernel.h"

#include "Operaciispamyatyu.h"
#include "platform/Kernel32.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t TableBytes = 512;
constexpr uint32_t FromWideBytes = 65536;

// The directory of a path up to and including its last separator; empty without one.
TAnsiString DirectoryOf(const TAnsiString& path) {
    for (uint32_t i = path.Length(); i > 0; --i)
        if (IsPathSeparator(path.Data()[i - 1])) return path.SubString(1, i);
    return {};
}

// The directory of the running program, for a command line that names it without one.
TAnsiString RunningProgramDirectory() {
    char path[4096];
    return GetModuleFileNameA(nullptr, path, sizeof path) > 0 ? DirectoryOf(path) : TAnsiString();
}

} // namespace

TAnsi1251 Ansi1251;
TAnsiString ProgramPath;
TAnsiString ProgramDirectory;
TAnsiString ProgramArguments;

bool SplitAt(TAnsiString& left, TAnsiString& right, TAnsiString source, char separator) {
    const uint32_t length = source.Length();
    const char* s = source.Data();
    // Only quotes and separators matter to the split; the search jumps from one to the next and
    // stops at the string's terminating 0.
    const char marks[] = {'"', separator, 0};
    auto next = [&](uint32_t from) { return from + uint32_t(std::strcspn(s + from, marks)); };
    bool quoted = false;
    uint32_t split = 0;
    for (uint32_t i = length > 0 ? next(0) : 0; i < length; i = next(i + 1)) {
        if (s[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && (i + 1 == length || s[i + 1] != separator)) {
            split = i + 1;
            break;
        }
    }
    if (split != 0) {
        left.AssignTrimmed(source, 1, split - 1);
        right.AssignTrimmed(source, split + 1, length - split);
    }
    Unquote(left);
    return split != 0;
}

void Unquote(TAnsiString& text) {
    const uint32_t length = text.Length();
    if (length < 2 || text.Data()[0] != '"' || text.Data()[length - 1] != '"') return;
    text.Delete(length, 1);
    text.Delete(1, 1);
}

bool TAnsi1251::Allocate() {
    if (toWide == nullptr) toWide = static_cast<char16_t*>(std::malloc(TableBytes));
    if (fromWide == nullptr) fromWide = static_cast<unsigned char*>(std::malloc(FromWideBytes));
    if (toWide == nullptr || fromWide == nullptr) return false;
    ZeroBytes(toWide, TableBytes);
    ZeroBytes(fromWide, FromWideBytes);
    return true;
}

void TAnsi1251::Free() {
    std::free(toWide);
    std::free(fromWide);
    toWide = nullptr;
    fromWide = nullptr;
    ready = false;
}

// When several bytes give the same unit, the highest byte wins.
void TAnsi1251::IndexFromWide() {
    for (uint32_t b = 0; b < 256; ++b)
        if (toWide[b] != 0) fromWide[toWide[b]] = static_cast<unsigned char>(b);
}

bool TAnsi1251::ReadFromFile(const char* fileName) {
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0, read = 0;
    unsigned char bytes[TableBytes];
    const bool ok = GetFileSize(file, &high) == TableBytes && high == 0 &&
                    ReadFile(file, bytes, TableBytes, &read, nullptr) && read == TableBytes;
    CloseHandle(file);
    if (!ok) return false;
    for (uint32_t b = 0; b < 256; ++b)
        toWide[b] = static_cast<char16_t>(bytes[2 * b] | bytes[2 * b + 1] << 8);
    IndexFromWide();
    return true;
}

bool TAnsi1251::BuildFromSystem() {
    Allocate();
    bool converted = false;
    for (uint32_t b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        WCHAR unit = 0;
        if (MultiByteToWideChar(CP_1251, 0, &byte, 1, &unit, 1) > 0) {
            toWide[b] = unit;
            converted = true;
        }
    }
    IndexFromWide();
    return converted;
}

void TAnsi1251::Load(const char* fileName) {
    ready = false;
    if (!Allocate()) return;
    if (FileExists(fileName) && ReadFromFile(fileName)) {
        ready = true;
        return;
    }
    if (!BuildFromSystem()) return;
    ready = true;
    HANDLE file = CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    unsigned char bytes[TableBytes];
    for (uint32_t b = 0; b < 256; ++b) {
        bytes[2 * b] = static_cast<unsigned char>(toWide[b] & 0xFF);
        bytes[2 * b + 1] = static_cast<unsigned char>(toWide[b] >> 8);
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, TableBytes, &written, nullptr) && written == TableBytes;
    CloseHandle(file);
    if (!ok) DeleteFileA(fileName);
}

void StartKernelUnit(const char* commandLine) {
    const TAnsiString line(commandLine);
    TAnsiString path, arguments;
    // A command line without arguments is the program's path alone.
    if (!SplitAt(path, arguments, line, ' ')) path = line.Trim();
    Unquote(path);
    ProgramPath = path;
    ProgramArguments = arguments;
    ProgramDirectory = DirectoryOf(path);
    if (ProgramDirectory.Length() == 0) ProgramDirectory = RunningProgramDirectory();
    TAnsiString fileName = ProgramDirectory + TAnsiString(TableFileName);
    Ansi1251.Load(fileName.CStr());
}

void FinishKernelUnit() {
    Ansi1251.Free();
    ProgramPath.Release();
    ProgramDirectory.Release();
    ProgramArguments.Release();
}

int WideToAnsi(unsigned, uint32_t, const char16_t* input, int count, char* output, int outputSize,
               const char*, int*) {
    if (!Ansi1251.Ready() || input == nullptr || output == nullptr || count <= 0 ||
        outputSize < count)
        return 0;
    for (int i = 0; i < count; ++i)
        output[i] = static_cast<char>(Ansi1251.FromWide(input[i]));
    return count;
}

bool FileExists(const char* fileName) {
    // Shared, so that a file another program has open still counts as there.
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool MeasureTextPerChar(HDC dc, const char* text, int count, int& width, int& height) {
    width = height = 0;
    for (int i = 0; i < count; ++i) {
        SIZE size{};
        GetTextExtentPoint32A(dc, text + i, 1, &size);
        width += size.cx;
        height = size.cy > height ? size.cy : height;
    }
    return true;
}

bool DrawTextPerChar(HDC dc, int x, int y, const char* text, int count) {
    for (int i = 0; i < count; ++i) {
        SIZE size{};
        GetTextExtentPoint32A(dc, text + i, 1, &size);
        TextOutA(dc, x, y, text + i, 1);
        x += size.cx;
    }
    return true;
}
