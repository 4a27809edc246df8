// Reads a text file line by line and hands each line to a handler.
#pragma once

#include "Tstring.h"
#include "platform/Kernel32.h"

class TTekstoviyFayl;

// Receives one line (without its ending, valid only during the call), the reader and the user
// data; returns true to go on, false to stop reading.
using TLineHandler = bool (*)(const char* line, TTekstoviyFayl* reader, void* userData);

class TTekstoviyFayl {
public:
    explicit TTekstoviyFayl(TAnsiString fileName) : name(fileName) {}
    ~TTekstoviyFayl() { Close(); }
    TTekstoviyFayl(const TTekstoviyFayl&) = delete;
    TTekstoviyFayl& operator=(const TTekstoviyFayl&) = delete;

    void SetLineHandler(TLineHandler lineHandler, void* data);
    // Reads the file from its beginning and calls the handler once per line, in file order. A
    // line ends at a carriage return, a line feed, a carriage return with line feed, or a 0
    // byte; the last line counts also without an ending; a line longer than the buffer is
    // skipped. A UTF-8 byte-order mark at the start is skipped; a file that starts with a UTF-16
    // one gives no lines (Utf16 then tells). False when no handler is set, the file cannot be
    // opened or read, is UTF-16, or the handler stops; true otherwise (the file then stays open
    // until Close or destruction).
    bool ReadLines();
    // The last ReadLines found a UTF-16 file, which this reader does not read.
    bool Utf16() const { return utf16; }
    bool Open();
    void Close();

    // The read buffer's size; a line needs one byte more than its characters.
    static constexpr uint32_t BufferSize = 4096;

private:
    bool ReadAll(char* buffer, uint64_t size);
    bool Fail(char* buffer);

    TLineHandler handler = nullptr;
    void* userData = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;
    TAnsiString name;
    bool utf16 = false;
};
