#include "Kernel.h"
#include "Operaciisostrokami.h"
#include "Tstring.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const TAnsiString& s) {
    return s.Length() == 0 ? "" : s.Data();
}

TEST(Tstring, EmptyStringsHaveNoBody) {
    for (const TAnsiString& s :
         {TAnsiString(), TAnsiString(""), TAnsiString(nullptr), TAnsiString('\0')}) {
        EXPECT_EQ(s.Length(), 0u);
        EXPECT_EQ(s.Data(), nullptr);
        EXPECT_EQ(s.Capacity(), 0u);
    }
    TAnsiString s;
    EXPECT_EQ(s.CStr(), nullptr);
    EXPECT_EQ(Text(TAnsiString('x')), "x");
}

TEST(Tstring, CopiesShareUntilOneChanges) {
    TAnsiString a("first");
    TAnsiString b = a;
    EXPECT_EQ(a.Data(), b.Data());
    b.Assign("second");
    EXPECT_EQ(Text(a), "first");
    EXPECT_EQ(Text(b), "second");

    TAnsiString c = a;
    char* writable = c.CStr();
    ASSERT_NE(writable, nullptr);
    EXPECT_NE(writable, a.Data());
    writable[0] = 'F';
    EXPECT_EQ(Text(a), "first");
    EXPECT_EQ(Text(c), "First");

    a = a;
    EXPECT_EQ(Text(a), "first");
    b = a;
    a.Release();
    EXPECT_EQ(Text(b), "first");
}

TEST(Tstring, StorageGrowsIn400sAndShrinksBelowHalf) {
    TAnsiString s(std::string(1201, 'x').c_str());
    EXPECT_EQ(s.Capacity(), 1600u);
    s.Assign("0123456789");
    EXPECT_EQ(s.Capacity(), 400u);
    s.Assign(std::string(401, 'y').c_str());
    EXPECT_EQ(s.Capacity(), 800u);
    s.Assign("0123456789");
    EXPECT_EQ(s.Capacity(), 800u);
    EXPECT_EQ(Text(s), "0123456789");
    // A text taken from the string itself survives the change of storage, also when the
    // storage shrinks under it.
    s.Assign(s.Data() + 5);
    EXPECT_EQ(Text(s), "56789");
    TAnsiString shrinking((std::string(1201, 'x') + "tail").c_str());
    shrinking.Assign(shrinking.Data() + 1201);
    EXPECT_EQ(Text(shrinking), "tail");
    EXPECT_EQ(shrinking.Capacity(), 400u);
}

TEST(Tstring, EditingKeepsPositionsAndBounds) {
    TAnsiString s("abcdef");
    EXPECT_EQ(Text(s.SubString(2, 3)), "bcd");
    EXPECT_EQ(s.SubString(5, 3).Length(), 0u);
    EXPECT_EQ(s.SubString(0, 2).Length(), 0u);

    EXPECT_FALSE(s.Delete(5, 3));
    EXPECT_EQ(Text(s), "abcdef");
    ASSERT_TRUE(s.Delete(2, 2));
    EXPECT_EQ(Text(s), "adef");
    ASSERT_TRUE(s.Delete(1, 4));
    EXPECT_EQ(s.Data(), nullptr);

    TAnsiString t("ace");
    ASSERT_TRUE(t.Insert(TAnsiString("b"), 2));
    ASSERT_TRUE(t.Insert(TAnsiString("d"), 4));
    EXPECT_FALSE(t.Insert(TAnsiString("z"), 7));
    EXPECT_EQ(Text(t), "abcde");
    ASSERT_TRUE(t.Insert(t, 1));
    EXPECT_EQ(Text(t), "abcdeabcde");
    EXPECT_EQ(Text(TAnsiString("key") + TAnsiString("=") + TAnsiString("1")), "key=1");

    TAnsiString empty;
    EXPECT_FALSE(empty.Insert(TAnsiString("x"), 2));
    ASSERT_TRUE(empty.Insert(t, 1));
    EXPECT_EQ(empty.Data(), t.Data());

    TAnsiString sized("abc");
    ASSERT_TRUE(sized.SetLength(5));
    EXPECT_EQ(sized.Length(), 3u);
    ASSERT_TRUE(sized.SetLength(2));
    EXPECT_EQ(Text(sized), "ab");
    ASSERT_TRUE(sized.SetLength(0));
    EXPECT_EQ(sized.Data(), nullptr);
}

TEST(Tstring, PartsAreTakenTrimmedIntoTheStringsOwnStorage) {
    const TAnsiString line("  key = value  ");
    TAnsiString part("previous text");
    const char* storage = part.Data();
    ASSERT_TRUE(part.AssignTrimmed(line, 1, 6));
    EXPECT_EQ(Text(part), "key");
    ASSERT_TRUE(part.AssignTrimmed(line, 8, 8));
    EXPECT_EQ(Text(part), "value");
    EXPECT_EQ(part.Data(), storage);

    // A copy sharing the body keeps its text; a part of the string itself is read before the
    // storage changes.
    const TAnsiString copy = part;
    ASSERT_TRUE(part.AssignTrimmed(line, 1, 6));
    EXPECT_EQ(Text(copy), "value");
    EXPECT_EQ(Text(part), "key");
    TAnsiString self(" abc ");
    ASSERT_TRUE(self.AssignTrimmed(self, 2, 3));
    EXPECT_EQ(Text(self), "abc");

    // A blank part empties the string; one outside the source empties it and fails.
    EXPECT_TRUE(part.AssignTrimmed(line, 1, 2));
    EXPECT_EQ(part.Data(), nullptr);
    part.Assign("x");
    EXPECT_FALSE(part.AssignTrimmed(line, 10, 7));
    EXPECT_FALSE(part.AssignTrimmed(line, 0, 3));
    EXPECT_EQ(part.Data(), nullptr);

    TAnsiString counted("longer text");
    ASSERT_TRUE(counted.Assign("abcdef", 3));
    EXPECT_EQ(Text(counted), "abc");
}

TEST(Tstring, TrimAndCompareTreatCodePageLettersAsSigned) {
    EXPECT_EQ(TAnsiString(" \t \r\n ").Trim().Data(), nullptr);
    EXPECT_EQ(Text(TAnsiString("\t\xC0x\xFF  ").Trim()), "\xC0x\xFF");

    EXPECT_EQ(Compare(TAnsiString("\xC0"
                                  "bc"),
                      TAnsiString("abc")),
              -1);
    EXPECT_EQ(Compare(TAnsiString("abc"), TAnsiString("\xC0")), 1);
    EXPECT_EQ(Compare(TAnsiString(), TAnsiString("a")), -1);
    EXPECT_EQ(Compare(TAnsiString(), TAnsiString()), 0);
    EXPECT_EQ(Compare(TAnsiString("ab"), TAnsiString("abc")), -1);
    EXPECT_EQ(Compare(TAnsiString("Fmin"), TAnsiString("Fmin")), 0);
    EXPECT_EQ(Compare(TAnsiString("Fmax"), TAnsiString("Fmin")), -1);
}

TEST(Tstring, WideStringsBecomeCodePageTextThroughTheTables) {
    const TWideString wide(u"Ошибка: x");
    EXPECT_EQ(wide.Length(), 9u);
    Ansi1251.Free();
    EXPECT_EQ(Text(AnsiFromWide(wide)), std::string("\x1E\x48\x38\x31\x3A\x30: x"));

    Ansi1251.Load("/proc/no-such-dir/Ansi1251.wcs");
    ASSERT_TRUE(Ansi1251.Ready());
    EXPECT_EQ(Text(AnsiFromWide(wide)), "\xCE\xF8\xE8\xE1\xEA\xE0: x");
    EXPECT_EQ(AnsiFromWide(TWideString()).Data(), nullptr);
}

// The free routines look at the first count characters only and never fail on absent text.
TEST(Tstring, CountedTextRoutinesReplaceRemoveAndCountCharacters) {
    char dashes[] = "a-b-c-d";
    ReplaceChar(dashes, '+', '-', 3);
    EXPECT_STREQ(dashes, "a+b-c-d");
    ReplaceChar(nullptr, '+', '-', 4);

    char digits[] = "a1b2c3d";
    EXPECT_EQ(RemoveChars(digits, "321", 7, 3), 4u);
    EXPECT_STREQ(digits, "abcd");
    char counted[] = "x1y1z1";
    EXPECT_EQ(RemoveChars(counted, "1", 3, 1), 2u);
    EXPECT_EQ(std::string(counted, 6), (std::string{'x', 'y', '\0', '1', 'z', '1'}));
    char none[] = "xyz";
    EXPECT_EQ(RemoveChars(none, "1", 3, 1), 3u);
    EXPECT_STREQ(none, "xyz");
    EXPECT_EQ(RemoveChars(none, nullptr, 3, 1), 0u);
    EXPECT_EQ(RemoveChars(none, "x", 3, 0), 0u);
    EXPECT_STREQ(none, "xyz");

    EXPECT_EQ(CountCharsInSet("a1b2c3", "123", 6, 3), 3u);
    EXPECT_EQ(CountCharsInSet("a1b2c3", "123", 3, 3), 1u);
    EXPECT_EQ(CountCharsInSet("a1b2c3", "123", 6, 2), 2u);
    EXPECT_EQ(CountCharsInSet(nullptr, "123", 6, 3), 6u);
    EXPECT_EQ(CountCharsInSet("a1b2c3", "123", 6, 0), 0u);
    EXPECT_EQ(CountCharsInSet("a1b2c3", "123", 0, 3), 0u);
}

} // namespace
