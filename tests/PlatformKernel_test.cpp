#include "TempDir.h"
#include "platform/Kernel32.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(PlatformKernel, FilesAreCreatedReadSizedAndDeleted) {
    TempDir dir;
    const std::string name = dir.File("data.bin");
    HANDLE out = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(out, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    EXPECT_TRUE(CloseHandle(out));

    HANDLE in = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(in, &high), 5u);
    EXPECT_EQ(high, 0u);
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(in, buffer, 8, &read, nullptr));
    EXPECT_EQ(read, 5u);
    EXPECT_EQ(std::string(buffer, read), "hello");
    EXPECT_TRUE(CloseHandle(in));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));

    EXPECT_TRUE(DeleteFileA(name.c_str()));
    EXPECT_FALSE(DeleteFileA(name.c_str()));
    for (const std::string& bad : {name, dir.Dir(), std::string()})
        EXPECT_EQ(CreateFileA(bad.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE)
            << bad;
    EXPECT_EQ(CreateFileA((dir.Dir() + "no/such/dir").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
}

// Opening never waits and takes regular files only: a named pipe without a writer or reader,
// a device and a directory are refused for reading and for writing.
TEST(PlatformKernel, OnlyRegularFilesOpenAndOpeningNeverWaits) {
    TempDir dir;
    const std::string pipe = dir.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& name : {pipe, std::string("/dev/null"), dir.Dir()}) {
        EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE)
            << name;
        EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE)
            << name;
    }
    struct stat info;
    ASSERT_EQ(stat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// The name itself is looked at, a link not followed; CREATE_NEW takes no name that exists, a
// dangling link included; a rename replaces only when told to, and then a link itself.
TEST(PlatformKernel, NamesAreLookedAtCreatedNewAndRenamedAsOnWindows) {
    TempDir dir;
    const std::string file = dir.Write("file", "x"), link = dir.File("link"),
                      pipe = dir.File("pipe"), moved = dir.File("moved");
    ASSERT_EQ(symlink(dir.File("missing").c_str(), link.c_str()), 0);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(dir.Dir().c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(link.c_str()), FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(GetFileAttributesA(pipe.c_str()), FILE_ATTRIBUTE_DEVICE);
    EXPECT_EQ(GetFileAttributesA(moved.c_str()), INVALID_FILE_ATTRIBUTES);
    for (const std::string& name : {file, link})
        EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE)
            << name;
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    HANDLE made = CreateFileA(moved.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    EXPECT_FALSE(MoveFileExA(moved.c_str(), file.c_str(), 0));
    EXPECT_TRUE(MoveFileExA(moved.c_str(), link.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetFileAttributesA(link.c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

HANDLE OpenToRead(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadUpTo(HANDLE file, DWORD count) {
    char buffer[64] = {};
    DWORD read = 99;
    EXPECT_TRUE(ReadFile(file, buffer, count, &read, nullptr));
    return std::string(buffer, read);
}

// A memory file stands in for the disk file of its name while it is set: each handle reads the
// bytes from its own position, knows their size, cannot write; the disk file returns after.
TEST(PlatformKernel, MemoryFilesAreReadInsteadOfTheDiskFileOfTheirName) {
    TempDir dir;
    const std::string name = dir.File("settings.ini");
    HANDLE out = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteFile(out, "disk", 4, nullptr, nullptr));
    EXPECT_TRUE(CloseHandle(out));

    const char bytes[] = "Fmin=40\r\nFmax";
    SetMemoryFile(name.c_str(), bytes, 13);
    HANDLE first = OpenToRead(name), second = OpenToRead(name);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_NE(first, second);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(first, &high), 13u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(ReadUpTo(first, 5), "Fmin=");
    EXPECT_EQ(ReadUpTo(second, 2), "Fm");
    EXPECT_EQ(ReadUpTo(first, 64), "40\r\nFmax");
    EXPECT_EQ(ReadUpTo(first, 64), "");
    DWORD written = 9;
    EXPECT_FALSE(WriteFile(first, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    for (DWORD disposition : {OPEN_EXISTING, CREATE_ALWAYS})
        EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(GetFileSize(first, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(ReadUpTo(second, 3), "in=");
    EXPECT_TRUE(CloseHandle(second));

    SetMemoryFile(name.c_str(), "", 0);
    HANDLE empty = OpenToRead(name);
    EXPECT_EQ(GetFileSize(empty, nullptr), 0u);
    EXPECT_TRUE(CloseHandle(empty));

    SetMemoryFile(nullptr, nullptr, 0);
    HANDLE disk = OpenToRead(name);
    EXPECT_EQ(ReadUpTo(disk, 64), "disk");
    EXPECT_TRUE(CloseHandle(disk));
}

// A few memory handles can be open at once; a freed one opens again.
TEST(PlatformKernel, MemoryHandlesAreLimitedAndReused) {
    SetMemoryFile("memory.ini", "ab", 2);
    std::vector<HANDLE> handles;
    for (HANDLE h; (h = OpenToRead("memory.ini")) != INVALID_HANDLE_VALUE && handles.size() < 9;)
        handles.push_back(h);
    EXPECT_EQ(handles.size(), 4u);
    EXPECT_TRUE(CloseHandle(handles[2]));
    handles[2] = OpenToRead("memory.ini");
    EXPECT_EQ(ReadUpTo(handles[2], 2), "ab");
    for (HANDLE h : handles)
        EXPECT_TRUE(CloseHandle(h));
    SetMemoryFile(nullptr, nullptr, 0);
    EXPECT_EQ(OpenToRead("memory.ini"), INVALID_HANDLE_VALUE);
}

TEST(PlatformKernel, ProgramCommandLineMemoryAndCodePage) {
    const std::string line = GetCommandLineA();
    EXPECT_NE(line.find("platform_kernel_tests"), std::string::npos) << line;
    char path[4096];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    EXPECT_EQ(path[0], '/');

    MEMORYSTATUS status;
    GlobalMemoryStatus(&status);
    EXPECT_GT(status.dwTotalPhys, size_t{64} << 20);

    const char bytes[] = "\xC6\xE0\x88\x41";
    WCHAR units[4] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_1251, 0, bytes, 4, units, 4), 4);
    EXPECT_EQ(units[0], u'Ж');
    EXPECT_EQ(units[1], u'а');
    EXPECT_EQ(units[2], u'€');
    EXPECT_EQ(units[3], u'A');
    EXPECT_EQ(MultiByteToWideChar(CP_1251, 0, "\x98", 1, units, 1), 1);
    EXPECT_EQ(units[0], WCHAR(0x98));
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "A", 1, units, 1), 0);
}

// Arguments come back as Windows' CommandLineToArgvW reads them: a program folder with a quote
// and a blank, escaped quotes, backslashes doubled only before a quote, an empty argument.
TEST(PlatformKernel, CommandLineQuotesArgumentsAsWindowsReadsThem) {
    if (const char* to = getenv("KAVREL_COMMAND_LINE_TO")) { // the child: its line, and no more
        std::ofstream(to) << GetCommandLineA();
        return;
    }
    TempDir dir;
    const std::string to = dir.File("line.txt");
    const char* argv[] = {"/d/q\"x y/kavrel",
                          "--gtest_filter=*CommandLineQuotes*",
                          "a b",
                          "c\"d",
                          "e\\",
                          "f\\\"g",
                          "h\\ i\\",
                          "",
                          nullptr};
    setenv("KAVREL_COMMAND_LINE_TO", to.c_str(), 1);
    pid_t child = -1;
    const int spawned =
        posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, const_cast<char**>(argv), environ);
    unsetenv("KAVREL_COMMAND_LINE_TO");
    ASSERT_EQ(spawned, 0);
    int status = -1;
    waitpid(child, &status, 0);
    std::ifstream in(to);
    EXPECT_EQ(
        std::string(std::istreambuf_iterator<char>(in), {}),
        R"("/d/q\"x y/kavrel" --gtest_filter=*CommandLineQuotes* "a b" "c\"d" e\ "f\\\"g" "h\ i\\" "")");
}

// The separator comes from the user's locale settings; the process's C locale stays "C".
TEST(PlatformKernel, LocaleDecimalSeparatorFollowsTheUsersSettings) {
    char separator[16];
    setenv("LC_ALL", "C", 1);
    ASSERT_GT(GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SDECIMAL, separator, 16), 0);
    EXPECT_STREQ(separator, ".");
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    locale_t russian = newlocale(LC_NUMERIC_MASK, "ru_RU.UTF-8", locale_t(0));
    if (russian != locale_t(0)) {
        freelocale(russian);
        ASSERT_GT(GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SDECIMAL, separator, 16), 0);
        EXPECT_STREQ(separator, ",");
    } else {
        std::printf("the ru_RU.UTF-8 locale is not generated here: ',' not checked\n");
    }
    unsetenv("LC_ALL");
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_EQ(GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SDECIMAL, separator, 1), 0);
}

TEST(PlatformKernel, CriticalSectionsAreReentrantAndExclusive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 10000; ++i) {
            EnterCriticalSection(&section);
            EnterCriticalSection(&section);
            ++counter;
            LeaveCriticalSection(&section);
            LeaveCriticalSection(&section);
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(counter, 20000);
    DeleteCriticalSection(&section);
}

} // namespace
