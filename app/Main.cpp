// The program's entry on both platforms: the start-up steps of the units, then the program.
#include "Kavrel.h"
#include "Kernel.h"
#include "Preobrazovaniechisel.h"
#include "kavrel_version.h"

#include <cstdio>
#include <cstring>

// Whether the code-page table is kept in a file beside the program (see CMakeLists.txt).
#ifndef KAVREL_TABLE_FILE
#define KAVREL_TABLE_FILE 1
#endif

namespace {

const char* const Usage =
    "usage: kavrel [--help | --version]\n"
    "Shows a scrolling spectrogram of the default sound-capture device's left or right channel.\n"
    "Settings come from kavrel.ini in the current directory, else from\n"
    "$XDG_CONFIG_HOME/kavrel/kavrel.ini (~/.config/kavrel/kavrel.ini); see kavrel(1).\n";

// Asked for its version or its usage, the viewer answers on standard output and ends; it takes
// no other arguments and ignores them. Null when the viewer should start.
const char* Answer(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) return "kavrel " KAVREL_VERSION "\n";
        if (std::strcmp(argv[i], "--help") == 0) return Usage;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    NoteErrorStream();
    if (const char* answer = Answer(argc, argv)) return std::fputs(answer, stdout) < 0 ? 1 : 0;
    StartNumberConversionUnit();
    StartKernelUnit(GetCommandLineA(), KAVREL_TABLE_FILE);
    const int status =
        WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(GetCommandLineA()), SW_SHOW);
    FinishKernelUnit();
    return status;
}
