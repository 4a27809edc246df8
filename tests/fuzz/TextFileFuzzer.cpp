// Feeds arbitrary bytes through the text file reader, with a handler that splits each line at
// '=' and checks and parses both sides as numbers, as the settings reader does.
#include "Kernel.h"
#include "Preobrazovaniechisel.h"
#include "Ttekstoviyfayl.h"
#include "VirtualForms.h"

#include <unistd.h>

#include <cstdio>
#include <string>

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

bool Handle(const char* line, TTekstoviyFayl*, void*) {
    TAnsiString left, right;
    if (SplitAt(left, right, TAnsiString(line), '=')) {
        Parse(left);
        Parse(right);
    }
    return true;
}

const std::string& FileName() {
    static const std::string name = "/tmp/kavrel-fuzz-" + std::to_string(getpid()) + ".ini";
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(FileName().c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    TTekstoviyFayl reader{TAnsiString(FileName().c_str())};
    reader.SetLineHandler(Handle, nullptr);
    reader.ReadLines();
    TakeRecordedMessageBoxes();
    return 0;
}
