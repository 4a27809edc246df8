// Feeds arbitrary bytes through the text file reader, with a handler that splits each line at
// '=' and checks and parses both sides as numbers, as the settings reader does.
#include "Kernel.h"
#include "Preobrazovaniechisel.h"
#include "Ttekstoviyfayl.h"
#include "VirtualForms.h"

#include <sys/mman.h>
#include <unistd.h>

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

// The input lives in an anonymous memory file, rewritten for every input and opened by the
// reader under its /proc name, so that no input touches the disk.
class MemoryFile {
public:
    MemoryFile() : fd(memfd_create("kavrel-fuzz.ini", MFD_CLOEXEC)) {
        if (fd >= 0) name = "/proc/self/fd/" + std::to_string(fd);
    }
    bool Fill(const uint8_t* data, size_t size) const {
        return fd >= 0 && ftruncate(fd, 0) == 0 &&
               (size == 0 || pwrite(fd, data, size, 0) == ssize_t(size));
    }
    const char* Name() const { return name.c_str(); }

private:
    int fd;
    std::string name;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const MemoryFile file;
    if (!file.Fill(data, size)) return 0;
    TTekstoviyFayl reader{TAnsiString(file.Name())};
    reader.SetLineHandler(Handle, nullptr);
    reader.ReadLines();
    TakeRecordedMessageBoxes();
    return 0;
}
