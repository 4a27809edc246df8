#include "Kernel.h"

#include "Operaciispamyatyu.h"
#include "platform/Kernel32.h"

#include <cstdio>
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

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// The first argument of a command line as Windows' CommandLineToArgvW reads it: blanks end it
// outside double quotes, a quote toggles quoting, and backslashes are literal except before a
// quote, where each pair gives one backslash and an odd one escapes the quote. Returns the
// position after it.
uint32_t FirstArgument(const char* line, TAnsiString& argument) {
    uint32_t i = 0, n = 0;
    while (Blank(line[i]))
        ++i;
    argument.SetLength(uint32_t(std::strlen(line + i)));
    char* out = argument.CStr();
    if (out == nullptr) return i;
    for (bool quoted = false; line[i] != '\0' && (quoted || !Blank(line[i]));) {
        uint32_t backslashes = 0;
        while (line[i + backslashes] == '\\')
            ++backslashes;
        if (line[i + backslashes] != '"') {
            for (const uint32_t end = i + (backslashes > 0 ? backslashes : 1); i < end; ++i)
                out[n++] = line[i];
            continue;
        }
        for (uint32_t k = 0; k < backslashes / 2; ++k)
            out[n++] = '\\';
        i += backslashes + 1;
        if (backslashes % 2 == 1)
            out[n++] = '"';
        else
            quoted = !quoted;
    }
    argument.SetLength(n);
    return i;
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

// The byte table as the file holds it: 256 little-endian UTF-16 units.
void TAnsi1251::FileBytes(unsigned char* bytes) const {
    for (uint32_t b = 0; b < 256; ++b) {
        bytes[2 * b] = static_cast<unsigned char>(toWide[b] & 0xFF);
        bytes[2 * b + 1] = static_cast<unsigned char>(toWide[b] >> 8);
    }
}

bool TAnsi1251::FileAgrees(const char* fileName) const {
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0, read = 0;
    unsigned char bytes[TableBytes], expected[TableBytes];
    const bool whole = GetFileSize(file, &high) == TableBytes && high == 0 &&
                       ReadFile(file, bytes, TableBytes, &read, nullptr) && read == TableBytes;
    CloseHandle(file);
    FileBytes(expected);
    return whole && std::memcmp(bytes, expected, TableBytes) == 0;
}

bool TAnsi1251::BuildFromSystem() {
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

namespace {

// Nothing at the name, or a regular file: a name the table may be renamed onto. A link, a
// directory, a pipe or a device there is someone else's.
bool Replaceable(const char* fileName) {
    const DWORD attributes = GetFileAttributesA(fileName);
    return attributes == INVALID_FILE_ATTRIBUTES ||
           (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Writes the bytes to a new file beside fileName, created for this call only (never an existing
// name, never through a link), and returns its name; empty when none could be written.
TAnsiString WriteNewFileBeside(const char* fileName, const unsigned char* bytes, DWORD size) {
    // Another thread or a file left by a program that ended early may hold a name: the next.
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".%lu-%d.tmp",
                      static_cast<unsigned long>(GetCurrentProcessId()), attempt);
        TAnsiString name = TAnsiString(fileName) + TAnsiString(suffix);
        HANDLE file = CreateFileA(name.CStr(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD written = 0;
        const bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
        if (CloseHandle(file) && ok) return name;
        DeleteFileA(name.CStr());
        return {};
    }
    return {};
}

} // namespace

// Readers of the name see the old file or the whole new one, never a part. The name is looked
// at again just before the rename, so that a link put there meanwhile is left alone.
void TAnsi1251::Store(const char* fileName) const {
    if (!Replaceable(fileName) || FileAgrees(fileName)) return;
    unsigned char bytes[TableBytes];
    FileBytes(bytes);
    TAnsiString written = WriteNewFileBeside(fileName, bytes, TableBytes);
    if (written.Length() == 0) return;
    if (!Replaceable(fileName) || !MoveFileExA(written.CStr(), fileName, MOVEFILE_REPLACE_EXISTING))
        DeleteFileA(written.CStr());
}

void TAnsi1251::Load(const char* fileName) {
    ready = Allocate() && BuildFromSystem();
    if (ready && fileName != nullptr) Store(fileName);
}

void StartKernelUnit(const char* commandLine, bool tableFile) {
    TAnsiString path;
    const uint32_t rest = FirstArgument(commandLine, path);
    ProgramPath = path;
    ProgramArguments = TAnsiString(commandLine + rest).Trim();
    ProgramDirectory = DirectoryOf(path);
    if (ProgramDirectory.Length() == 0) ProgramDirectory = RunningProgramDirectory();
    TAnsiString fileName = ProgramDirectory + TAnsiString(TableFileName);
    Ansi1251.Load(tableFile ? fileName.CStr() : nullptr);
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
