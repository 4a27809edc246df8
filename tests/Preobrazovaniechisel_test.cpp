#include "Kernel.h"
#include "Preobrazovaniechisel.h"
#include "TestText.h"
#include "VirtualForms.h"
#include "platform/Forms.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace {

// Number conversion under a locale whose decimal separator is ',' or '.'.
class Numbers : public testing::TestWithParam<char> {
protected:
    void SetUp() override {
        const char separator[2] = {GetParam(), 0};
        FillNumberSymbols(separator);
        Ansi1251.Load("/proc/no-such-dir/table");
        TakeRecordedMessageBoxes();
    }
    void TearDown() override {
        FillNumberSymbols(".");
        Ansi1251.Free();
    }

    // The locale's separator in place of the '.' of a text.
    std::string Local(std::string text) const {
        for (char& c : text)
            if (c == '.') c = GetParam();
        return text;
    }
};

INSTANTIATE_TEST_SUITE_P(Locales, Numbers, testing::Values(',', '.'));

bool IsNumber(const std::string& text) {
    return IsNumberText(text.c_str(), uint32_t(text.size()));
}

struct Parsed {
    int code;
    double value;
};

Parsed Parse(const std::string& text, bool showErrors = false) {
    double value = -999.0;
    const int code = TextToDouble(&value, text.c_str(), uint32_t(text.size()), showErrors, nullptr);
    return {code, value};
}

std::string Fixed(double value, int minIntDigits, int decimals) {
    char buffer[400];
    const int length = FormatFixed(buffer, sizeof buffer, value, minIntDigits, decimals);
    EXPECT_EQ(FormatFixed(nullptr, 0, value, minIntDigits, decimals) >= length, true);
    return std::string(buffer, size_t(length));
}

std::string Exponent(double value, int intDigits, int decimals) {
    char buffer[100];
    const int length = FormatDouble(buffer, sizeof buffer, value, intDigits, decimals, true);
    return std::string(buffer, size_t(length));
}

std::string Number(double value, int intDigits, int decimals, bool exponentForm) {
    const TAnsiString s = FormatNumber(value, intDigits, decimals, exponentForm, false);
    return s.Length() == 0 ? "" : s.Data();
}

TEST_P(Numbers, SyntaxAcceptsBothSeparatorsAndTheDescribedForms) {
    for (const char* text : {"12", "-12", "12.5", "12,5", "12.", "1.5e3", "1.5E-3", "1.e3", "12e",
                             "0", "007", "-0.0e-0"})
        EXPECT_TRUE(IsNumber(text)) << text;
    for (const char* text : {".5", "-", "", "+5", "1e+3", " 12", "1.2.3", "1e3.5", "12 ", "1e-",
                             "1,2.3", "e5", "1.5x", "--1", "1e3e4"})
        EXPECT_FALSE(IsNumber(text)) << text;
    EXPECT_FALSE(IsNumberText(nullptr, 3));
    // Only the counted characters are looked at.
    EXPECT_TRUE(IsNumberText("12x", 2));
}

TEST_P(Numbers, ParsingGivesValuesAndCodes) {
    EXPECT_EQ(Parse("3,5").value, 3.5);
    EXPECT_EQ(Parse("3.5").value, 3.5);
    EXPECT_EQ(Parse("-40").value, -40.0);
    EXPECT_DOUBLE_EQ(Parse("0.333333333333333").value, 0.333333333333333);
    EXPECT_EQ(Parse("1.5e3").value, 1500.0);
    EXPECT_NEAR(Parse("2.5E-3").value, 0.0025, 1e-18);
    EXPECT_EQ(Parse("1e308").code, NumberExponentOutOfRange);
    EXPECT_EQ(Parse("1e308").value, 1e307);
    EXPECT_EQ(Parse("-2e400").value, -1e307);
    EXPECT_EQ(Parse("1e-400").code, NumberExponentOutOfRange);
    EXPECT_EQ(Parse("1e-400").value, 0.0);
    EXPECT_EQ(Parse("1e300").value, 1e300);

    const std::string digits31(31, '9');
    EXPECT_EQ(Parse(digits31).code, NumberOk);
    EXPECT_EQ(Parse(digits31 + "9").code, NumberOutOfRange);
    EXPECT_EQ(Parse("-" + digits31).code, NumberOutOfRange);
    EXPECT_EQ(Parse("0." + std::string(30, '1')).code, NumberOk);
    EXPECT_EQ(Parse("0." + std::string(31, '1')).code, NumberOutOfRange);
    EXPECT_EQ(Parse("12e").code, NumberOutOfRange);
    EXPECT_EQ(Parse("12e").value, -999.0);
    EXPECT_EQ(Parse("abc").code, NumberNotANumber);
    EXPECT_EQ(Parse("abc").value, -999.0);

    double value = 5.0;
    EXPECT_EQ(TextToDouble(&value, nullptr, 4, true, nullptr), NumberOk);
    EXPECT_EQ(value, 0.0);
    double exponent = 0.0;
    EXPECT_EQ(TextToDouble(&value, "2.5e400", 7, false, &exponent), NumberOk);
    EXPECT_EQ(value, 2.5);
    EXPECT_EQ(exponent, 400.0);
    EXPECT_TRUE(TakeRecordedMessageBoxes().empty());
}

// The value the C library reads from the same digits, with '.' as the separator.
double CLibraryValue(const std::string& text) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(text.c_str(), nullptr, c);
}

std::string RandomDigits(std::mt19937_64& random, int count) {
    std::string digits;
    for (int i = 0; i < count; ++i)
        digits += char('0' + random() % 10);
    return digits;
}

TEST_P(Numbers, ParsedValuesAreCorrectlyRoundedUpToBothEndsOfTheRange) {
    // The process's own locale plays no part.
    const char* before = setlocale(LC_NUMERIC, nullptr);
    const std::string saved = before != nullptr ? before : "C";
    setlocale(LC_NUMERIC, GetParam() == ',' ? "ru_RU.UTF-8" : "C");

    EXPECT_EQ(Parse(Local("0.000000000000000000000000000001e320")).value, 1e290);
    EXPECT_EQ(Parse("1000000000000000000000000000000e-330").value, 1e-300);
    EXPECT_EQ(Parse("1000000000000000000000000000000e-320").value, 1e-290);
    EXPECT_EQ(Parse(Local("-0.000000000000000000000000000001e320")).value, -1e290);

    std::mt19937_64 random(8);
    int inRange = 0, outOfRange = 0;
    for (int n = 0; n < 20000; ++n) {
        const std::string whole = RandomDigits(random, 1 + int(random() % 20));
        const std::string fraction = RandomDigits(random, int(random() % 11));
        const int magnitude = int(random() % 2 ? 300 + random() % 12 : -300 - random() % 12);
        const int exponent = n % 10 == 0 ? 0 : magnitude - int(whole.size()) + 1;
        std::string text = (random() % 2 ? "-" : "") + whole;
        if (!fraction.empty()) text += "." + fraction;
        if (exponent != 0) text += "e" + std::to_string(exponent);
        const Parsed parsed = Parse(Local(text));
        if (parsed.code == NumberExponentOutOfRange) {
            ++outOfRange;
            continue;
        }
        ASSERT_EQ(parsed.code, NumberOk) << text;
        ++inRange;
        ASSERT_EQ(parsed.value, CLibraryValue(text)) << text;
    }
    EXPECT_GT(inRange, 10000);
    EXPECT_GT(outOfRange, 1000);
    setlocale(LC_NUMERIC, saved.c_str());
}

// Where the places fall below a large value's precision, the text ends with digits that read
// back as the value.
TEST_P(Numbers, FixedFormOfLargeValuesReadsBackAsTheValue) {
    EXPECT_EQ(Fixed(1e20, 1, 0), "100000000000000000000");
    EXPECT_EQ(Fixed(1e21, 1, 2), "1000000000000000000000");
    EXPECT_EQ(Fixed(123456789012345680.0, 1, 0), "123456789012345680");
    EXPECT_EQ(Fixed(-1e17, 1, 0), "-100000000000000000");
    EXPECT_EQ(Fixed(4e15, 1, 2), "4000000000000000");
    EXPECT_EQ(Fixed(0.30000000000000004, 1, 30), Local("0.30000000000000004"));

    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> decades(16.0, 40.0), small(0.0, 15.0);
    for (int n = 0; n < 50000; ++n) {
        const double large = std::pow(10.0, decades(random));
        const std::string text = Fixed(large, 1, 0);
        ASSERT_EQ(CLibraryValue(text), large) << text;
        const double fractional = std::pow(10.0, small(random));
        std::string cut = Fixed(fractional, 1, 30);
        std::replace(cut.begin(), cut.end(), GetParam(), '.');
        ASSERT_EQ(CLibraryValue(cut), fractional) << cut;
    }
}

TEST_P(Numbers, FailuresAreExplainedInRussianWhenAsked) {
    Parse("x1", true);
    Parse("1" + std::string(40, '0'), true);
    Parse("1e999", true);
    Parse("x1", false);
    const auto shown = TakeRecordedMessageBoxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(Utf8Of1251(shown[0].text), "Строка не содержит цифр между разделителями.");
    EXPECT_EQ(Utf8Of1251(shown[1].text), "Число выходит за допустимый диапазон значений.");
    EXPECT_EQ(Utf8Of1251(shown[2].text),
              "Порядок числа.\n Должен быть больше или равен -307 и меньше или равен 307.");
    for (const auto& box : shown) {
        EXPECT_TRUE(box.defaultCaption);
        EXPECT_EQ(box.style, MB_ICONERROR);
    }
}

TEST_P(Numbers, FixedFormRoundsAndPads) {
    EXPECT_EQ(Fixed(3.5, 1, 1), Local("3.5"));
    EXPECT_EQ(Fixed(9.96, 1, 1), Local("10.0"));
    EXPECT_EQ(Fixed(0.04, 1, 1), Local("0.0"));
    EXPECT_EQ(Fixed(-0.04, 1, 1), Local("0.0"));
    EXPECT_EQ(Fixed(5, 1, 2), Local("5.00"));
    EXPECT_EQ(Fixed(4.5, 1, 0), "4");
    EXPECT_EQ(Fixed(5, 1, 0), "5");
    EXPECT_EQ(Fixed(7.5, 3, 1), Local("007.5"));
    EXPECT_EQ(Fixed(-7.5, 3, 1), Local("-007.5"));
    EXPECT_EQ(Fixed(1200, 1, 0), "1200");
    EXPECT_EQ(Fixed(-9.9426, 1, 1), Local("-9.9"));
    EXPECT_EQ(Fixed(123.456, 1, 2), Local("123.46"));
    EXPECT_EQ(Fixed(99.96, 1, 1), Local("100.0"));
    // A tie just below a power of ten does not leave a leading zero.
    EXPECT_EQ(Fixed(9.5, 1, 0), "9");
    EXPECT_EQ(Fixed(99.5, 1, 0), "99");
    EXPECT_EQ(Fixed(9.5, 2, 0), "09");
    // Places below the precision of a large value are zeros, never a shorter number.
    EXPECT_EQ(Fixed(1e20, 1, 2), "1" + std::string(20, '0'));
    EXPECT_EQ(Fixed(-1e17, 1, 0), "-100000000000000000");
    EXPECT_EQ(Fixed(1e308, 1, 0), "1" + std::string(307, '0'));
    EXPECT_EQ(Fixed(std::numeric_limits<double>::quiet_NaN(), 1, 0), "1" + std::string(307, '0'));
    EXPECT_EQ(Fixed(0.1, 1, 30).substr(0, 12), Local("0.1000000000"));
    EXPECT_EQ(Fixed(9.999999999999998, 1, 30).substr(0, 6), Local("9.9999"));

    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(FormatFixed(small, 4, 123.25, 1, 2), 0);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(FormatFixed(nullptr, 0, 123.25, 1, 2), 6);
    char exact[6];
    EXPECT_EQ(FormatFixed(exact, 6, 123.25, 1, 2), 6);
}

TEST_P(Numbers, ExponentFormAndTrimming) {
    EXPECT_EQ(Exponent(12345.678, 1, 2), Local("1.23e004"));
    EXPECT_EQ(Exponent(0.0000123, 1, 2), Local("1.23e-005"));
    EXPECT_EQ(Exponent(0.0, 1, 2), Local("0.00"));
    EXPECT_EQ(Exponent(9.999e5, 1, 2), Local("1.00e006"));
    EXPECT_EQ(Exponent(-2.5e-300, 1, 1), Local("-2.5e-300"));
    EXPECT_EQ(Number(12345.678, 1, 2, true), Local("1.23e4"));
    EXPECT_EQ(Number(0.0000123, 1, 2, true), Local("1.23e-5"));
    EXPECT_EQ(Number(0.0, 1, 2, true), "0");
    EXPECT_EQ(Number(2.0, 1, 2, true), "2");
    EXPECT_EQ(Number(12.5, 1, 3, false), Local("12.5"));
    EXPECT_EQ(Number(12.0, 1, 3, false), "12");
    EXPECT_EQ(Number(400, 1, 0, false), "400");
    EXPECT_EQ(Number(1.0, 1, 120, false), "");

    for (const char* text : {"100", "1e005"}) {
        char b[16];
        std::strcpy(b, text);
        EXPECT_EQ(TrimZeros(b, int(std::strlen(b))), int(std::strlen(text)));
        EXPECT_STREQ(b, text);
    }
    char b[16];
    std::strcpy(b, Local("1.50e004").c_str());
    EXPECT_EQ(TrimZeros(b, 8), 5);
    EXPECT_EQ(std::string(b), Local("1.5e4"));
}

TEST(Preobrazovaniechisel, DecimalExponents) {
    EXPECT_EQ(DecimalExponent(0.0), -308);
    EXPECT_EQ(DecimalExponent(1.0), 1);
    EXPECT_EQ(DecimalExponent(9.99), 1);
    EXPECT_EQ(DecimalExponent(10.0), 2);
    EXPECT_EQ(DecimalExponent(100.0), 2);
    EXPECT_EQ(DecimalExponent(127.0), 2);
    EXPECT_EQ(DecimalExponent(128.0), 3);
    EXPECT_EQ(DecimalExponent(1200.0), 4);
    EXPECT_EQ(EstimateDecimalExponent(1e-5), -6);
    EXPECT_EQ(DecimalExponent(1e-5), -5);
}

} // namespace
