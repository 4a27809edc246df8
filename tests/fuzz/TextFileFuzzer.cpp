// Feeds arbitrary bytes through the text file reader, with a handler that splits each line at
// '=' and checks and parses both sides as numbers, as the settings reader does.
#include "Kernel.h"
#include "Preobrazovaniechisel.h"
#include "Ttekstoviyfayl.h"
#include "VirtualForms.h"

namespace {

void Parse(const TAnsiString& text) {
    const uint32_t length = text.Length();
    const char* data = length > 0 ? text.Data() : "";
    if (IsNumberText(data, length)) {
        double value = 0.0;
        TextToDouble(&value, data, length, true, nullptr);
        char buffer[64];
        FormatDouble(buffer, sizeof buffer, value, 1, 3, value > 1e6);
        FormatNumber(value, 1, 2, true, false);
    }
}

// The line and its two sides go into strings kept for the whole input, whose storage serves
// every line of it.
struct LineParts {
    TAnsiString text, left, right;
};

bool Handle(const char* line, TTekstoviyFayl*, void* data) {
    LineParts& parts = *static_cast<LineParts*>(data);
    parts.text.Assign(line);
    if (SplitAt(parts.left, parts.right, parts.text, '=')) {
        Parse(parts.left);
        Parse(parts.right);
    }
    return true;
}

} // namespace

// The reader opens the input as a memory file, so that no input goes through the disk or the
// system's file calls.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TAnsiString name("kavrel-fuzz.ini");
    SetMemoryFile(name.Data(), data, size);
    LineParts parts;
    TTekstoviyFayl reader{name};
    reader.SetLineHandler(Handle, &parts);
    reader.ReadLines();
    TakeRecordedMessageBoxes();
    return 0;
}
