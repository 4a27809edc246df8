#include "Kernel.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

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
    std::string bytes = [this] {
        std::ifstream written(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(written),
                           std::istreambuf_iterator<char>());
    }();
    ASSERT_EQ(bytes.size(), 512u);
    EXPECT_EQ(bytes.substr(2 * 0x98, 2), std::string("\x98\0", 2));
    EXPECT_EQ(bytes.substr(2 * 0xC6, 2), "\x16\x04");

    // A table file is read as it is: a changed entry shows that it was not rebuilt.
    bytes.assign(512, '\0');
    bytes[2 * 'A'] = 'Z';
    dir.Write(TableFileName, bytes);
    FinishKernelUnit();
    StartKernelUnit((dir.Dir() + "kavrel").c_str());
    ASSERT_TRUE(Ansi1251.Ready());
    EXPECT_EQ(Ansi1251.ToWide('A'), u'Z');
    EXPECT_EQ(Ansi1251.FromWide(u'Z'), 'A');

    // Another program reading the file meanwhile does not make it count as missing.
    FinishKernelUnit();
    std::ifstream reader(file, std::ios::binary);
    ASSERT_TRUE(reader.is_open());
    StartKernelUnit((dir.Dir() + "kavrel").c_str());
    EXPECT_EQ(Ansi1251.ToWide('A'), u'Z');
}

TEST_F(TableFile, OfTheWrongSizeIsRebuiltAndRewritten) {
    for (size_t size : {511u, 513u, 0u}) {
        dir.Write(TableFileName, std::string(size, 'x'));
        StartKernelUnit((dir.Dir() + "kavrel -arg").c_str());
        EXPECT_TRUE(Ansi1251.Ready()) << size;
        EXPECT_EQ(FileSize(), 512u) << size;
        EXPECT_EQ(Ansi1251.ToWide('A'), u'A') << size;
        FinishKernelUnit();
    }
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
