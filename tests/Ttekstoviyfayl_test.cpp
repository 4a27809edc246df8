#include "TempDir.h"
#include "Ttekstoviyfayl.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

struct Reading {
    std::vector<std::string> lines;
    size_t stopAfter = SIZE_MAX;
};

bool Collect(const char* line, TTekstoviyFayl*, void* data) {
    auto* reading = static_cast<Reading*>(data);
    reading->lines.emplace_back(line);
    return reading->lines.size() < reading->stopAfter;
}

struct Result {
    bool ok;
    std::vector<std::string> lines;
};

Result ReadFile(const std::string& name, size_t stopAfter = SIZE_MAX) {
    Reading reading;
    reading.stopAfter = stopAfter;
    TTekstoviyFayl reader{TAnsiString(name.c_str())};
    reader.SetLineHandler(Collect, &reading);
    const bool ok = reader.ReadLines();
    return {ok, reading.lines};
}

using Lines = std::vector<std::string>;

TEST(Ttekstoviyfayl, EveryLineEndingEndsALineAndTheLastLineNeedsNone) {
    TempDir dir;
    const std::pair<std::string, Lines> cases[] = {
        {"Fmin=40\r\nFmax=1200\r\n", {"Fmin=40", "Fmax=1200"}},
        {"Fmin=40\rFmax=1200\r", {"Fmin=40", "Fmax=1200"}},
        {"Fmin=40\nFmax=1200\n", {"Fmin=40", "Fmax=1200"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\nb\r\n\r\nc\r\r", {"a", "", "b", "", "c", ""}},
        {"\n", {""}},
        {"last without ending", {"last without ending"}},
        {std::string("zero\0ends", 9), {"zero", "ends"}},
        {"a\n\r", {"a", ""}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"\xEF\xBB\xBF"
         "Fmin=40\r\nx",
         {"Fmin=40", "x"}}, // a UTF-8 mark is skipped
        {"\xEF\xBB\xBF", {}},
        {"x\xEF\xBB\xBF", {"x\xEF\xBB\xBF"}}, // only at the start
    };
    for (const auto& [bytes, lines] : cases) {
        const Result r = ReadFile(dir.Write("lines.ini", bytes));
        EXPECT_TRUE(r.ok) << bytes;
        EXPECT_EQ(r.lines, lines) << bytes;
    }
}

TEST(Ttekstoviyfayl, LinesAcrossTheBufferBoundaryArriveWholeAndOnce) {
    TempDir dir;
    for (size_t first : {4090u, 4093u, 4094u, 4095u, 4096u}) {
        const std::string a(first, 'a'), b(300, 'b');
        // The carriage return ends a block and its line feed starts the next one.
        const std::string bytes = std::string(4094, 'x') + "\r\n" + a.substr(0, 10) + "\r\n" + b +
                                  "\n" + std::string(first % 4000, 'c');
        const Result r = ReadFile(dir.Write("long.ini", bytes));
        ASSERT_TRUE(r.ok);
        Lines expected = {std::string(4094, 'x'), a.substr(0, 10), b};
        if (first % 4000 != 0) expected.push_back(std::string(first % 4000, 'c'));
        EXPECT_EQ(r.lines, expected) << first;
    }
    std::string many;
    Lines expected;
    for (int i = 0; i < 2000; ++i) {
        expected.push_back("key" + std::to_string(i) + "=" + std::to_string(i * 7));
        many += expected.back() + (i % 2 ? "\r\n" : "\n");
    }
    EXPECT_EQ(ReadFile(dir.Write("many.ini", many)).lines, expected);
}

TEST(Ttekstoviyfayl, LinesLongerThanTheBufferAreSkipped) {
    TempDir dir;
    for (size_t length : {4095u, 4096u, 9000u, 20000u}) {
        const std::string bytes =
            "before\r\n" + std::string(length, 'y') + "\r\nafter\r\n" + std::string(length, 'z');
        const Result r = ReadFile(dir.Write("huge.ini", bytes));
        EXPECT_TRUE(r.ok) << length;
        EXPECT_EQ(r.lines, (Lines{"before", "after"})) << length;
    }
}

TEST(Ttekstoviyfayl, MissingEmptyUnreadableAndStoppedReads) {
    TempDir dir;
    EXPECT_FALSE(ReadFile(dir.File("missing.ini")).ok);
    EXPECT_FALSE(ReadFile("").ok);
    EXPECT_FALSE(ReadFile(dir.Dir()).ok);
#ifndef _WIN32
    // A named pipe that nobody writes is no settings file, and reading it does not wait (the
    // Windows build's pipes: tests/windows/Win32Files_test.cpp).
    ASSERT_EQ(mkfifo(dir.File("pipe.ini").c_str(), 0600), 0);
    const Result pipe = ReadFile(dir.File("pipe.ini"));
    EXPECT_FALSE(pipe.ok);
    EXPECT_TRUE(pipe.lines.empty());
#endif

    const Result empty = ReadFile(dir.Write("empty.ini", ""));
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.lines.empty());

    const Result stopped = ReadFile(dir.Write("three.ini", "a\r\nb\r\nc\r\n"), 2);
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.lines, (Lines{"a", "b"}));

    // UTF-16 of either byte order gives no lines and says so.
    for (const char* mark : {"\xFF\xFE", "\xFE\xFF"}) {
        Reading unread;
        TTekstoviyFayl wide{
            TAnsiString(dir.Write("wide.ini", std::string(mark) + "Fmin=2\r\n").c_str())};
        wide.SetLineHandler(Collect, &unread);
        EXPECT_FALSE(wide.ReadLines());
        EXPECT_TRUE(wide.Utf16());
        EXPECT_TRUE(unread.lines.empty());
    }

    TTekstoviyFayl noHandler{TAnsiString(dir.File("three.ini").c_str())};
    EXPECT_FALSE(noHandler.ReadLines());

    // Every read starts from the beginning of the file.
    Reading reading;
    TTekstoviyFayl twice{TAnsiString(dir.File("three.ini").c_str())};
    twice.SetLineHandler(Collect, &reading);
    EXPECT_TRUE(twice.ReadLines());
    EXPECT_TRUE(twice.ReadLines());
    EXPECT_FALSE(twice.Utf16());
    EXPECT_EQ(reading.lines, (Lines{"a", "b", "c", "a", "b", "c"}));
}

} // namespace
