// The program's path and the code page 1251 tables that turn UTF-16 texts into 8-bit text, and
// the routines that split key=value lines.
#pragma once

#include "Tstring.h"
#include "platform/Gdi.h"

#include <cstdint>

// Splits source at the first separator outside double quotes (of a run of separators, the
// last); left and right are trimmed and left is unquoted. False, leaving the outputs as they
// were (left still unquoted), when there is no such separator.
bool SplitAt(TAnsiString& left, TAnsiString& right, TAnsiString source, char separator);
// Removes a pair of enclosing double quotes.
void Unquote(TAnsiString& text);

// Byte-to-UTF-16 and UTF-16-to-byte tables of code page 1251.
class TAnsi1251 {
public:
    TAnsi1251() = default;
    TAnsi1251(const TAnsi1251&) = delete;
    TAnsi1251& operator=(const TAnsi1251&) = delete;
    ~TAnsi1251() { Free(); }

    // Builds the tables with the system's conversion; they are ready when it gave any unit.
    // The table file at fileName (none when null) is kept when it holds that very table and
    // otherwise replaced with it, where that is allowed and the name is not someone else's (a
    // link, directory, pipe or device). Whether or not the file could be written, the tables
    // in memory are the ones used.
    void Load(const char* fileName);
    void Free();
    bool Ready() const { return ready; }
    char16_t ToWide(unsigned char b) const { return toWide[b]; }
    unsigned char FromWide(char16_t u) const { return fromWide[u]; }

private:
    bool Allocate();
    bool BuildFromSystem();
    void FileBytes(unsigned char* bytes) const;
    bool FileAgrees(const char* fileName) const;
    void Store(const char* fileName) const;
    void IndexFromWide();

    char16_t* toWide = nullptr;
    unsigned char* fromWide = nullptr;
    bool ready = false;
};

extern TAnsi1251 Ansi1251;
extern TAnsiString ProgramPath;
extern TAnsiString ProgramDirectory;
extern TAnsiString ProgramArguments;

// The name of the table file beside the program.
constexpr const char* TableFileName = "Ansi1251.wcs";

// Start-up of the unit: the program's path, directory and arguments from commandLine, then the
// tables, kept in the table file in the program's directory when tableFile is set (a batch
// tool leaves its folder alone and keeps them in memory only).
void StartKernelUnit(const char* commandLine, bool tableFile = true);
// Frees the tables and releases the path strings.
void FinishKernelUnit();

// UTF-16 to code page 1251 in the manner of WideCharToMultiByte (code page, flags, default
// character and its flag are ignored): each unit becomes its table byte, 0 where the code page
// has none. Returns count, or 0 when the output is too small or the tables are not ready.
int WideToAnsi(unsigned codePage, uint32_t flags, const char16_t* input, int count, char* output,
               int outputSize, const char* defaultChar, int* usedDefault);
// True when the file can be opened for reading.
bool FileExists(const char* fileName);

// Text measured and drawn one character at a time: the width is the sum of the characters'
// widths, the height the largest; drawing advances by each character's width. Both return true.
bool MeasureTextPerChar(HDC dc, const char* text, int count, int& width, int& height);
bool DrawTextPerChar(HDC dc, int x, int y, const char* text, int count);
