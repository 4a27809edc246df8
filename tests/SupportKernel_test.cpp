#include "Kernel.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

std::string Contents(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Text(const TAnsiString& s) {
    return s.Length() == 0 ? "" : s.Data();
}

struct Split {
    bool found;
    std::string left, right;
};

Split SplitLine(const char* line) {
    TAnsiString left("old left"), right("old right");
    const bool found = SplitAt(left, right, TAnsiString(line), '=');
    return {found, Text(left), Text(right)};
}

TEST(SupportKernel, SplitAtHonoursQuotesAndSeparatorRuns) {
    auto s = SplitLine("Fmin = 40");
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.left, "Fmin");
    EXPECT_EQ(s.right, "40");

    s = SplitLine("\"a=b\"=1");
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.left, "a=b");
    EXPECT_EQ(s.right, "1");

    s = SplitLine("a==b");
    EXPECT_EQ(s.left, "a=");
    EXPECT_EQ(s.right, "b");

    s = SplitLine("\"x = y\" junk = \"5\"");
    EXPECT_EQ(s.left, "\"x = y\" junk");
    EXPECT_EQ(s.right, "\"5\"");

    s = SplitLine("no separator");
    EXPECT_FALSE(s.found);
    EXPECT_EQ(s.left, "old left");
    EXPECT_EQ(s.right, "old right");
    EXPECT_FALSE(SplitLine("").found);
    EXPECT_FALSE(SplitLine("\"a=b\"").found);

    s = SplitLine("width=");
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.left, "width");
    EXPECT_EQ(s.right, "");
    s = SplitLine("\"a\"b==");
    EXPECT_EQ(s.left, "\"a\"b=");
    EXPECT_EQ(s.right, "");

    // The parts go into the storage the strings already have, and the source may be one of them.
    TAnsiString left("an old key"), right("an old value");
    const char* leftStorage = left.Data();
    const char* rightStorage = right.Data();
    ASSERT_TRUE(SplitAt(left, right, TAnsiString(" Fmax = 1200 "), '='));
    EXPECT_EQ(Text(left), "Fmax");
    EXPECT_EQ(Text(right), "1200");
    EXPECT_EQ(left.Data(), leftStorage);
    EXPECT_EQ(right.Data(), rightStorage);
    TAnsiString path("\"my dir/kavrel\" -x 1");
    ASSERT_TRUE(SplitAt(path, right, path, ' '));
    EXPECT_EQ(Text(path), "my dir/kavrel");
    EXPECT_EQ(Text(right), "-x 1");

    TAnsiString quoted("\"q\""), one("\""), inner("a\"b\"");
    Unquote(quoted);
    Unquote(one);
    Unquote(inner);
    EXPECT_EQ(Text(quoted), "q");
    EXPECT_EQ(Text(one), "\"");
    EXPECT_EQ(Text(inner), "a\"b\"");
}

class TableFile : public testing::Test {
protected:
    void TearDown() override { FinishKernelUnit(); }
    TempDir dir;
    std::string file = dir.File(TableFileName);

    uintmax_t FileSize() const {
        std::error_code e;
        const auto size = std::filesystem::file_size(file, e);
        return e ? 0 : size;
    }
};

TEST_F(TableFile, IsWrittenOnTheFirstStartAndReadOnTheNext) {
    StartKernelUnit(("\"" + dir.Dir() + "kavrel\"").c_str());
    EXPECT_EQ(Text(ProgramDirectory), dir.Dir());
    ASSERT_TRUE(Ansi1251.Ready());
    EXPECT_EQ(FileSize(), 512u);
    EXPECT_EQ(Ansi1251.ToWide(0xC6), u'Ж');
    EXPECT_EQ(Ansi1251.FromWide(u'Ж'), 0xC6);
    EXPECT_EQ(Ansi1251.ToWide(0x98), 0x0098);
    EXPECT_EQ(Ansi1251.FromWide(0x0098), 0x98);
    EXPECT_EQ(Ansi1251.ToWide(0), 0);
    const std::string bytes = Contents(file);
    ASSERT_EQ(bytes.size(), 512u);
    EXPECT_EQ(bytes.substr(2 * 0x98, 2), std::string("\x98\0", 2));
    EXPECT_EQ(bytes.substr(2 * 0xC6, 2), "\x16\x04");

    // A file that holds the table is read and kept as it is, also while another program reads it.
    // A day ago in whole seconds, which every file system and Wine keep exactly.
    const std::filesystem::file_time_type written = std::chrono::floor<std::chrono::seconds>(
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
    std::filesystem::last_write_time(file, written);
    FinishKernelUnit();
    std::ifstream reader(file, std::ios::binary);
    ASSERT_TRUE(reader.is_open());
    StartKernelUnit((dir.Dir() + "kavrel").c_str());
    EXPECT_EQ(Ansi1251.ToWide(0xC6), u'Ж');
    EXPECT_EQ(std::filesystem::last_write_time(file), written);
}

// Only a file that holds the system's own table is used: any other is replaced with it.
TEST_F(TableFile, ThatDisagreesIsReplacedWithTheSystemsTable) {
    std::string changed(512, '\0');
    changed[2 * 'A'] = 'Z';
    for (const std::string& bytes : {std::string(511, 'x'), std::string(513, 'x'), std::string(),
                                     std::string(512, 'x'), changed}) {
        dir.Write(TableFileName, bytes);
        StartKernelUnit((dir.Dir() + "kavrel -arg").c_str());
        EXPECT_TRUE(Ansi1251.Ready()) << bytes.size();
        EXPECT_EQ(FileSize(), 512u) << bytes.size();
        EXPECT_EQ(Ansi1251.ToWide('A'), u'A') << bytes.size();
        EXPECT_EQ(Ansi1251.FromWide(u'Z'), 'Z') << bytes.size();
        EXPECT_EQ(Contents(file).substr(2 * 0xC6, 2), "\x16\x04") << bytes.size();
        FinishKernelUnit();
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dir()), {}), 1);
}

// A link at the name is never written through: its target, here or missing, stays as it was.
// Without the rights to make links (Windows), those cases are left out.
TEST_F(TableFile, ALinkAtItsNameLeavesItsTargetAlone) {
    const std::string notes = dir.Write("notes.txt", "my notes"), missing = dir.File("missing");
    using Make =
        void (*)(const std::filesystem::path&, const std::filesystem::path&, std::error_code&);
    const struct {
        Make make;
        std::string target;
        bool staysLink;
    } cases[] = {{std::filesystem::create_symlink, notes, true},
                 {std::filesystem::create_symlink, missing, true},
                 {std::filesystem::create_hard_link, notes, false}};
    for (const auto& c : cases) {
        std::filesystem::remove(file);
        std::error_code error;
        c.make(c.target, file, error);
        if (error) {
            std::printf("link to %s not made here: %s\n", c.target.c_str(),
                        error.message().c_str());
            continue;
        }
        StartKernelUnit((dir.Dir() + "kavrel").c_str());
        EXPECT_TRUE(Ansi1251.Ready()) << c.target;
        EXPECT_EQ(Ansi1251.FromWide(u'Ж'), 0xC6) << c.target;
        EXPECT_EQ(Contents(notes), "my notes") << c.target;
        EXPECT_FALSE(std::filesystem::exists(missing)) << c.target;
        EXPECT_EQ(std::filesystem::is_symlink(file), c.staysLink) << c.target;
        FinishKernelUnit();
    }
}

// Programs starting at once, each writing the table, never show a reader part of a table file.
TEST_F(TableFile, ProgramsStartingAtOnceNeverShowAPartOfIt) {
    Ansi1251.Load(file.c_str());
    const std::string table = Contents(file);
    ASSERT_EQ(table.size(), 512u);
    std::atomic<bool> starting{true};
    int torn = 0;
    std::thread reader([&] {
        while (starting) {
            std::ifstream in(file, std::ios::binary);
            torn += in.is_open() && std::string(std::istreambuf_iterator<char>(in), {}) != table;
        }
    });
    auto start = [&] {
        for (int i = 0; i < 200; ++i) {
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
            TAnsi1251 tables;
            tables.Load(file.c_str());
            EXPECT_TRUE(tables.Ready());
        }
    };
    std::thread other(start);
    start();
    other.join();
    starting = false;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dir()), {}), 1);
}

TEST_F(TableFile, InADirectoryThatCannotBeWrittenTheBuiltTablesAreUsed) {
    for (const char* program : {"/proc/self/kavrel", "/nonexistent/dir/kavrel"}) {
        StartKernelUnit(program);
        EXPECT_TRUE(Ansi1251.Ready()) << program;
        EXPECT_EQ(Ansi1251.FromWide(u'ш'), 0xF8) << program;
        EXPECT_FALSE(
            std::filesystem::exists(std::filesystem::path(program).parent_path() / TableFileName));
        FinishKernelUnit();
    }
    EXPECT_FALSE(Ansi1251.Ready());
}

#ifndef _WIN32
// Windows has no such files (its pipes: tests/windows/Win32Files_test.cpp).
TEST_F(TableFile, ThatIsANamedPipeIsNeitherReadNorWrittenAndStartUpGoesOn) {
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    StartKernelUnit((dir.Dir() + "kavrel").c_str());
    EXPECT_TRUE(Ansi1251.Ready());
    EXPECT_EQ(Ansi1251.FromWide(u'Ж'), 0xC6);
    struct stat info;
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}
#endif

TEST(SupportKernel, CommandLineGivesPathDirectoryAndArguments) {
    StartKernelUnit("\"/opt/my apps/kavrel\" one \"two three\"");
    EXPECT_EQ(Text(ProgramPath), "/opt/my apps/kavrel");
    EXPECT_EQ(Text(ProgramDirectory), "/opt/my apps/");
    EXPECT_EQ(Text(ProgramArguments), "one \"two three\"");
    // Read back as Windows reads a command line: escaped quotes, backslashes before a quote
    // halved, others kept, blanks around the arguments dropped.
    StartKernelUnit(R"(  "/tmp/q\"x y\\\"z\/kavrel"   a\\"b c"  )");
    EXPECT_EQ(Text(ProgramPath), R"(/tmp/q"x y\"z\/kavrel)");
    EXPECT_EQ(Text(ProgramDirectory), R"(/tmp/q"x y\"z\/)");
    EXPECT_EQ(Text(ProgramArguments), R"(a\\"b c")");

#ifndef _WIN32
    // Found through PATH: the directory is the running program's own (on Windows:
    // tests/windows/Win32Files_test.cpp).
    StartKernelUnit("kavrel");
    EXPECT_EQ(Text(ProgramPath), "kavrel");
    const std::string own = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    EXPECT_EQ(Text(ProgramDirectory), own + "/");
#endif
    FinishKernelUnit();
    EXPECT_EQ(ProgramPath.Length(), 0u);
}

TEST(SupportKernel, WideToAnsiNeedsReadyTablesAndRoom) {
    FinishKernelUnit();
    const char16_t text[] = u"Ошибка€\u4E00";
    char out[16] = {};
    EXPECT_EQ(WideToAnsi(1251, 0, text, 8, out, 16, nullptr, nullptr), 0);
    Ansi1251.Load("/proc/no-such-dir/table");
    EXPECT_EQ(WideToAnsi(1251, 0, text, 8, out, 7, nullptr, nullptr), 0);
    EXPECT_EQ(out[0], 0);
    ASSERT_EQ(WideToAnsi(1251, 0, text, 8, out, 8, nullptr, nullptr), 8);
    EXPECT_EQ(std::string(out, 8), std::string("\xCE\xF8\xE8\xE1\xEA\xE0\x88\0", 8));
    FinishKernelUnit();

    TempDir dir;
    EXPECT_FALSE(FileExists(dir.File("missing").c_str()));
    EXPECT_TRUE(FileExists(dir.Write("present", "x").c_str()));
    EXPECT_FALSE(FileExists(dir.Dir().c_str()));
}

} // namespace
