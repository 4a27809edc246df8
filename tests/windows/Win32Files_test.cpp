// Files on Windows as the program opens them (platform/win32/Files.cpp) and the kernel unit's
// Windows paths: regular files only, never a device or a pipe; the memory file; the program's
// directory and the table file beside it; line endings of a text file.
#include "Kernel.h"
#include "Ttekstoviyfayl.h"
#include "platform/Kernel32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A fresh folder (its name holds a blank) for one test, removed with its contents afterwards.
class ScratchDir {
public:
    ScratchDir() : path(fs::temp_directory_path() / ("kavrel test " + std::to_string(Serial()))) {
        fs::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The folder with its trailing separator, as Windows writes it.
    std::string Dir() const { return path.string() + "\\"; }
    std::string File(const std::string& name) const { return Dir() + name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        return File(name);
    }

private:
    static unsigned long Serial() {
        static unsigned long count = 0;
        return GetCurrentProcessId() * 1000ul + ++count;
    }
    fs::path path;
};

HANDLE OpenForReading(const std::string& name, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags,
                       nullptr);
}

std::string ReadAll(HANDLE file) {
    std::string text;
    char chunk[64];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        text.append(chunk, read);
    return text;
}

std::string Text(const TAnsiString& s) {
    return s.Length() == 0 ? "" : s.Data();
}

// The temporary copies that memory-file handles stand on, in the system's temporary folder.
size_t TemporaryCopies() {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
        count += entry.path().filename().string().rfind("kvm", 0) == 0;
    return count;
}

TEST(Win32Files, RegularFilesOpenAndDirectoriesAndDevicesDoNot) {
    ScratchDir dir;
    HANDLE file = OpenForReading(dir.Write("a.ini", "abc"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "abc");
    CloseHandle(file);
    // The same file through the long-path prefix is still a regular file.
    file = OpenForReading("\\\\?\\" + dir.File("a.ini"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "abc");
    CloseHandle(file);

    // Windows opens a directory when asked with backup semantics; the program's files never do.
    EXPECT_EQ(OpenForReading(dir.Dir(), FILE_FLAG_BACKUP_SEMANTICS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenForReading("NUL"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenForReading(dir.File("missing.ini")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenForReading(""), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST(Win32Files, APipeIsRefusedWithoutItsServerSeeingAClient) {
    const std::string name = "\\\\.\\pipe\\kavrel-test-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND,
                                     PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 64, 64, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string pipe = name.substr(4); // pipe\kavrel-test-...
    std::string slashes = name;
    for (char& c : slashes)
        if (c == '\\') c = '/';
    for (const std::string& path :
         {name, slashes, "\\\\?\\" + pipe, "\\\\?\\GLOBALROOT\\Device\\Named" + pipe,
          "\\\\localhost\\" + pipe, "\\\\?\\UNC\\localhost\\PIPE" + pipe.substr(4)})
        EXPECT_EQ(OpenForReading(path), INVALID_HANDLE_VALUE) << path;
    // A client that came and went would leave the pipe closing, not listening.
    EXPECT_FALSE(ConnectNamedPipe(server, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PIPE_LISTENING));
    CloseHandle(server);
}

TEST(Win32Files, TheMemoryFileOpensForReadingUnderItsNameOnly) {
    ScratchDir dir;
    const std::string name = dir.File("memory.ini");
    const char bytes[] = "Fmin=40\r\nFmax=1200";
    const size_t copies = TemporaryCopies();
    SetMemoryFile(name.c_str(), bytes, sizeof bytes - 1);
    HANDLE first = OpenForReading(name), second = OpenForReading(name);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(first, &high), sizeof bytes - 1);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(ReadAll(first), std::string(bytes));
    EXPECT_EQ(ReadAll(second), std::string(bytes)) << "each handle reads from the start";
    CloseHandle(first);
    CloseHandle(second);
    EXPECT_EQ(TemporaryCopies(), copies) << "a closed handle's copy is deleted";

    EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fs::exists(name)) << "nothing is written to the disk under the name";

    SetMemoryFile(name.c_str(), "", 0);
    HANDLE empty = OpenForReading(name);
    ASSERT_NE(empty, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(empty, nullptr), 0u);
    CloseHandle(empty);
    SetMemoryFile(nullptr, nullptr, 0);
    EXPECT_EQ(OpenForReading(name), INVALID_HANDLE_VALUE);
}

TEST(Win32Kernel, TheProgramDirectoryAndTableFileFollowWindowsPaths) {
    ScratchDir dir;
    StartKernelUnit(("\"" + dir.File("kavrel.exe") + "\" --ini x.ini").c_str());
    EXPECT_EQ(Text(ProgramPath), dir.File("kavrel.exe"));
    EXPECT_EQ(Text(ProgramDirectory), dir.Dir());
    EXPECT_EQ(Text(ProgramArguments), "--ini x.ini");
    ASSERT_TRUE(Ansi1251.Ready());
    EXPECT_EQ(Ansi1251.ToWide(0xC0), u'\u0410');
    EXPECT_EQ(Ansi1251.ToWide(0xB8), u'\u0451');
    EXPECT_EQ(Ansi1251.FromWide(u'\u044F'), 0xFF);
    ASSERT_TRUE(fs::exists(dir.File(TableFileName)));
    EXPECT_EQ(fs::file_size(dir.File(TableFileName)), 512u);
    FinishKernelUnit();
}

TEST(Win32Kernel, EitherSlashEndsTheProgramsFolder) {
    ScratchDir dir;
    std::string slashes = dir.Dir();
    for (char& c : slashes)
        if (c == '\\') c = '/';
    const std::string mixed = dir.Dir() + "sub/";
    fs::create_directories(mixed);
    StartKernelUnit(("\"" + mixed + "kavrel.exe\"").c_str());
    EXPECT_EQ(Text(ProgramDirectory), mixed);
    EXPECT_TRUE(fs::exists(mixed + TableFileName));
    FinishKernelUnit();
    StartKernelUnit(("\"" + slashes + "kavrel.exe\"").c_str());
    EXPECT_EQ(Text(ProgramDirectory), slashes);
    FinishKernelUnit();
}

TEST(Win32Kernel, AProgramNamedWithoutFolderLivesWhereItRuns) {
    char running[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, running, MAX_PATH), 0u);
    const std::string path = running;
    StartKernelUnit("kavrel.exe");
    EXPECT_EQ(Text(ProgramDirectory), path.substr(0, path.rfind('\\') + 1));
    FinishKernelUnit();
}

TEST(Win32Kernel, TextLinesEndAtEveryLineEnding) {
    ScratchDir dir;
    const std::string name = dir.Write("lines.ini", "a\r\nb\nc\rd");
    std::vector<std::string> lines;
    TTekstoviyFayl reader{TAnsiString(name.c_str())};
    reader.SetLineHandler(
        [](const char* line, TTekstoviyFayl*, void* data) {
            static_cast<std::vector<std::string>*>(data)->push_back(line);
            return true;
        },
        &lines);
    EXPECT_TRUE(reader.ReadLines());
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d"}));
}

} // namespace
