// Starts a program as Explorer starts a desktop program (no console, no standard handles) or
// with this one's standard handles, and tells the message boxes it shows:
//   program_boxes detached|inherited SECONDS PROGRAM
// For SECONDS it looks for the program's dialog windows; each new one is printed as
// "box:", whether the program's control window ("Vespira 1.2") was up then, and its text, and
// then answered with OK. At the end the program is ended and "boxes: N" printed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

struct TSearch {
    DWORD process;
    std::set<HWND>* seen;
    HWND found;
    bool controlUp;
};

BOOL CALLBACK LongestStatic(HWND child, LPARAM text) {
    char name[64] = "", said[4096] = "";
    GetClassNameA(child, name, sizeof name);
    GetWindowTextA(child, said, sizeof said);
    auto* longest = reinterpret_cast<std::string*>(text);
    if (lstrcmpiA(name, "Static") == 0 && std::strlen(said) > longest->size()) *longest = said;
    return TRUE;
}

BOOL CALLBACK OfTheProgram(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<TSearch*>(search);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != s->process || !IsWindowVisible(window)) return TRUE;
    char name[64] = "", title[64] = "";
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(title, "Vespira 1.2") == 0) s->controlUp = true;
    if (std::strcmp(name, "#32770") == 0 && s->seen->insert(window).second) s->found = window;
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: program_boxes detached|inherited SECONDS PROGRAM\n", stderr);
        return 2;
    }
    const bool detached = std::strcmp(argv[1], "detached") == 0;
    STARTUPINFOA start{};
    start.cb = sizeof start;
    if (!detached) {
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        for (HANDLE h : {start.hStdInput, start.hStdOutput, start.hStdError})
            SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    std::string command = std::string("\"") + argv[3] + "\"";
    PROCESS_INFORMATION program{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, !detached,
                        detached ? DETACHED_PROCESS : 0, nullptr, nullptr, &start, &program)) {
        std::printf("program_boxes: %s cannot be started (error %lu)\n", argv[3], GetLastError());
        return 1;
    }
    std::set<HWND> seen;
    const DWORD until = GetTickCount() + DWORD(std::atoi(argv[2])) * 1000;
    while (GetTickCount() < until && WaitForSingleObject(program.hProcess, 100) == WAIT_TIMEOUT) {
        TSearch search{program.dwProcessId, &seen, nullptr, false};
        EnumWindows(OfTheProgram, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) continue;
        Sleep(300); // until its text is set
        std::string text;
        EnumChildWindows(search.found, LongestStatic, reinterpret_cast<LPARAM>(&text));
        std::printf("box: control window %s\n%s\n", search.controlUp ? "up" : "not up",
                    text.c_str());
        std::fflush(stdout);
        PostMessageA(search.found, WM_COMMAND, IDOK, 0);
    }
    DWORD status = 0;
    GetExitCodeProcess(program.hProcess, &status);
    if (status == STILL_ACTIVE) TerminateProcess(program.hProcess, 0);
    std::printf("boxes: %zu\n%s\n", seen.size(),
                status == STILL_ACTIVE ? "the program ran on" : "the program ended");
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
    return 0;
}
