#include "Preobrazovaniechisel.h"

#include "Matematicheskieoperacii.h"
#include "Operaciisostrokami.h"
#include "Operaciispamyatyu.h"
#include "platform/Forms.h"
#include "platform/Kernel32.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

char NumberSymbols[NumberSymbolCount] = {',', '.', 'e', 'E', '-', '0', '0', '1', '2', '3', '4',
                                         '5', '6', '7', '8', '9', '0', '1', '2', '3', '4', '5',
                                         '6', '7', '8', '9', '-', ',', '.', 'e', 'E'};

namespace {

using Extended = long double;

constexpr Extended Log10Of2 = 0.301029995663981195214L;
constexpr double Largest = 1e307;
constexpr int ExponentLimit = 307;
constexpr int DigitPowerLimit = 30;
// The longest number text without exponent that the place limits admit: a minus sign, 31
// integer and 30 fraction digits and the separator.
constexpr uint32_t MaxNumberText = 2 * DigitPowerLimit + 3;

const char16_t* const NoDigitsMessage = u"Строка не содержит цифр между разделителями.";
const char16_t* const RangeMessage = u"Число выходит за допустимый диапазон значений.";
const char16_t* const ExponentMessage =
    u"Порядок числа.\n Должен быть больше или равен -307 и меньше или равен 307.";

char Primary() {
    return NumberSymbols[0];
}
char Secondary() {
    return NumberSymbols[1];
}
char Minus() {
    return NumberSymbols[4];
}
char Zero() {
    return NumberSymbols[5];
}

bool IsDigit(char c) {
    return std::memchr(NumberSymbols + 6, c, 10) != nullptr;
}

bool AllDigits(const char* text, uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i)
        if (!IsDigit(text[i])) return false;
    return true;
}

// Index of the first a, or of the first b when there is no a; count when neither occurs.
uint32_t FindEither(const char* text, uint32_t count, char a, char b) {
    const char* p = FindChar(const_cast<char*>(text), a, count);
    if (p == nullptr) p = FindChar(const_cast<char*>(text), b, count);
    return p == nullptr ? count : uint32_t(p - text);
}

uint32_t SeparatorAt(const char* text, uint32_t count) {
    return FindEither(text, count, Primary(), Secondary());
}

uint32_t ExponentAt(const char* text, uint32_t count) {
    return FindEither(text, count, NumberSymbols[2], NumberSymbols[3]);
}

int BinaryExponent(double v) {
    return int((std::bit_cast<uint64_t>(v) >> 52) & 0x7FF) - 1023;
}

// Ten to an integer power as Pow gives it; the powers that formatting visits are computed once.
double TenTo(int power) {
    constexpr int Lowest = -2 * ExponentLimit, Highest = 2 * ExponentLimit;
    static const auto powers = [] {
        std::array<double, Highest - Lowest + 1> table{};
        for (int k = Lowest; k <= Highest; ++k)
            table[size_t(k - Lowest)] = Pow(10.0, k);
        return table;
    }();
    return power >= Lowest && power <= Highest ? powers[size_t(power - Lowest)] : Pow(10.0, power);
}

void ShowError(const char16_t* text) {
    const TAnsiString message = AnsiFromWide(TWideString(text));
    MessageBoxA(nullptr, message.Length() > 0 ? message.Data() : "", nullptr, MB_ICONERROR);
}

// The value of a number text (minus sign, digits, separator) times ten to exponent, correctly
// rounded: the digits are rewritten in the form the exact conversion reads.
double ExactValue(const char* text, uint32_t count, int exponent) {
    char form[MaxNumberText + 16];
    uint32_t n = 0;
    for (uint32_t i = 0; i < count && n < MaxNumberText; ++i) {
        const char c = text[i];
        form[n++] = c == Minus()                         ? '-'
                    : c == Primary() || c == Secondary() ? '.'
                                                         : char('0' + (c - Zero()));
    }
    form[n++] = 'e';
    const char* end = std::to_chars(form + n, form + sizeof form, exponent).ptr;
    double value = 0.0;
    std::from_chars(form, end, value);
    return value;
}

// The value of a number text without exponent; false when its digits' places reach beyond
// 10^30 or below 10^-30.
bool DigitsValue(const char* text, uint32_t count, double& value) {
    const uint32_t separator = SeparatorAt(text, count);
    const int power = int(separator) - 1;
    const int significant = int(count) - (separator < count ? 1 : 0);
    if (power > DigitPowerLimit || power - significant + 1 < -DigitPowerLimit) return false;
    value = ExactValue(text, count, 0);
    return true;
}

// Writes a minimal text into a buffer too small for the number.
int TooSmall(char* buffer, uint32_t bufferSize) {
    if (bufferSize > 0) buffer[0] = 0;
    return 0;
}

// The largest digit k with acc + k*unit < value, searched from 3, 6 and 9.
int NextDigit(double acc, double unit, double value) {
    auto below = [&](int k) { return acc + k * unit < value; };
    int k = below(9) ? 9 : below(6) ? 6 : below(3) ? 3 : 0;
    while (k < 9 && below(k + 1))
        ++k;
    return k;
}

// The digit positions of a fixed-form text: digit i sits behind the sign and padding, and
// behind the separator from the n-th digit on.
struct DigitLayout {
    char* text;
    uint32_t lead;
    int integerDigits;
    char& operator[](int i) const {
        return text[lead + uint32_t(i) + (i >= integerDigits ? 1 : 0)];
    }
};

// Rounds the written digits up by one in the last place; digits that are all nines, which
// have no place for the carry, stay as they are.
void RoundUp(const DigitLayout& digits, int positions) {
    int i = positions - 1;
    while (i >= 0 && digits[i] == NumberSymbols[15])
        --i;
    if (i < 0) return;
    ++digits[i];
    for (int j = i + 1; j < positions; ++j)
        digits[j] = Zero();
}

// How many of the digit positions, position j holding the place 10^(n - 1 - j), lie within
// the precision of value: places of at least half the distance to the next double.
int PrecisePositions(double value, int n, int positions) {
    const double spacing = std::nextafter(value, Largest * 10) - value;
    if (2 * TenTo(n - positions) > spacing) return positions;
    int j = 0;
    while (j < positions && 2 * TenTo(n - 1 - j) > spacing)
        ++j;
    return j;
}

// Writes the shortest digits that read back as value over the digit positions, position j
// holding the place 10^(n - 1 - j), zeros where they have no digit. The positions run up to
// the one behind the last digit, at least to from and at most to positions; returns that end.
int WriteShortestDigits(const DigitLayout& digits, double value, int n, int from, int positions) {
    char form[32];
    const char* end =
        std::to_chars(form, form + sizeof form, value, std::chars_format::scientific).ptr;
    const char* marker = std::find(static_cast<const char*>(form), end, 'e');
    char shortest[20];
    int count = 0;
    for (const char* p = form; p < marker && count < 20; ++p)
        if (*p != '.') shortest[count++] = *p;
    int exponent = 0;
    std::from_chars(marker + (marker[1] == '+' ? 2 : 1), end, exponent);
    const int needed = n + count - exponent - 1;
    const int stop = needed < from ? from : needed > positions ? positions : needed;
    for (int j = 0; j < stop; ++j) {
        const int k = exponent - (n - 1 - j);
        digits[j] = k >= 0 && k < count ? char(Zero() + (shortest[k] - '0')) : Zero();
    }
    return stop;
}

} // namespace

void FillNumberSymbols(const char* localeSeparator) {
    const bool comma = localeSeparator != nullptr && localeSeparator[0] == ',';
    NumberSymbols[0] = comma ? ',' : '.';
    NumberSymbols[1] = comma ? '.' : ',';
}

void StartNumberConversionUnit() {
    char separator[16] = {};
    if (GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SDECIMAL, separator, sizeof separator) > 0)
        FillNumberSymbols(separator);
    else
        FillNumberSymbols(",");
}

bool IsNumberText(const char* text, uint32_t count) {
    if (text == nullptr) return false;
    const uint32_t sign = count > 0 && text[0] == Minus() ? 1 : 0;
    const uint32_t separator = SeparatorAt(text, count);
    const uint32_t exponent = ExponentAt(text, count);
    if (separator < count && exponent < separator) return false;
    const uint32_t integerEnd = separator < exponent ? separator : exponent;
    if (integerEnd <= sign || !AllDigits(text, sign, integerEnd)) return false;
    if (separator < count && !AllDigits(text, separator + 1, exponent)) return false;
    // A marker that ends the text counts as no exponent part.
    if (exponent + 1 >= count) return true;
    uint32_t digits = exponent + 1;
    if (text[digits] == Minus()) ++digits;
    return digits < count && AllDigits(text, digits, count);
}

int TextToDouble(double* result, const char* text, uint32_t count, bool showErrors,
                 double* exponentOut) {
    if (text == nullptr) {
        if (result != nullptr) *result = 0.0;
        return NumberOk;
    }
    if (!IsNumberText(text, count)) {
        if (showErrors) ShowError(NoDigitsMessage);
        return NumberNotANumber;
    }
    double mantissa = 0.0, exponent = 0.0;
    const uint32_t marker = ExponentAt(text, count);
    bool inRange = true;
    if (marker < count) {
        inRange = TextToDouble(&mantissa, text, marker, false, nullptr) == NumberOk &&
                  TextToDouble(&exponent, text + marker + 1, count - marker - 1, false, nullptr) ==
                      NumberOk;
    } else {
        inRange = DigitsValue(text, count, mantissa);
    }
    if (!inRange) {
        if (showErrors) ShowError(RangeMessage);
        return NumberOutOfRange;
    }
    if (exponentOut != nullptr) {
        if (result != nullptr) *result = mantissa;
        *exponentOut = exponent;
        return NumberOk;
    }
    double value = 0.0;
    int code = NumberOk;
    if (mantissa != 0.0) {
        const Extended estimate = BinaryExponent(mantissa) * Log10Of2 + exponent;
        if (estimate >= -ExponentLimit && estimate <= ExponentLimit) {
            value = ExactValue(text, marker, int(exponent));
        } else {
            if (showErrors) ShowError(ExponentMessage);
            value = estimate <= 0 ? 0.0 : (mantissa > 0 ? Largest : -Largest);
            code = NumberExponentOutOfRange;
        }
    }
    if (result != nullptr) *result = value;
    return code;
}

int EstimateDecimalExponent(double value) {
    const auto t = static_cast<float>(BinaryExponent(value) * Log10Of2);
    const int c = FloorToInt(t);
    return double(t) - c > 0.9 ? c + 1 : c;
}

int DecimalExponent(double value) {
    const int e = EstimateDecimalExponent(value);
    return TenTo(e) <= value ? e + 1 : e;
}

int FormatFixed(char* buffer, uint32_t bufferSize, double value, int minIntDigits, int decimals) {
    bool negative = value < 0;
    double v = negative ? -value : value;
    decimals = decimals < 0 ? 0 : (decimals > ExponentLimit ? ExponentLimit : decimals);
    if (!(v < Largest)) v = Largest;
    int d = DecimalExponent(v);
    const double half = 0.5 * TenTo(-decimals);
    if (half > v) {
        v = 0.0;
        negative = false;
    }
    const bool grew = d > 0 && v + half >= TenTo(d);
    if (grew) ++d;

    const int n = d > 1 ? d : 1;
    const int padding = d < minIntDigits && minIntDigits > n ? minIntDigits - n : 0;
    const int positions = n + decimals;
    const uint32_t lead = (negative ? 1 : 0) + uint32_t(padding);
    const uint32_t length = lead + uint32_t(positions) + (decimals > 0 ? 1 : 0);
    if (buffer == nullptr) return int(length);
    if (bufferSize < length) return TooSmall(buffer, bufferSize);

    if (negative) buffer[0] = Minus();
    for (uint32_t i = negative ? 1 : 0; i < length; ++i)
        buffer[i] = Zero();
    if (decimals > 0) buffer[lead + uint32_t(n)] = Primary();
    if (bufferSize > length) buffer[length] = 0;

    const DigitLayout digits{buffer, lead, n};
    uint32_t written = length;
    const int precise = PrecisePositions(v, n, positions);
    if (precise < positions) {
        // The last places fall below the value's precision, where the running sum of the digit
        // search would drift: the text ends with the shortest digits that read back as the
        // value, and within the integer part the remaining places stay zeros, so the number
        // keeps its magnitude.
        const int last = WriteShortestDigits(digits, v, n, precise, positions);
        const int stop = last > n ? last : n;
        written = lead + uint32_t(stop) + (stop > n ? 1 : 0);
        if (written < bufferSize) buffer[written] = 0;
    } else {
        double acc = 0.0;
        for (int i = 0; i < positions; ++i) {
            const double unit = TenTo(n - i - 1);
            const int k = NextDigit(acc, unit, v);
            digits[i] = static_cast<char>(Zero() + k);
            acc += k * unit;
        }
        const double tenth = TenTo(n - positions - 1);
        if (acc + tenth != acc && acc + 5 * tenth < v) RoundUp(digits, positions);
    }
    // A digit reserved for a carry that did not come (a tie below a power of ten) is dropped
    // unless the minimum width wants it.
    if (grew && digits[0] == Zero() && minIntDigits < n) {
        MoveBytes(&digits[0], &digits[1], written - lead - 1);
        buffer[written - 1] = 0;
        return int(written - 1);
    }
    return int(written);
}

int FormatDouble(char* buffer, uint32_t bufferSize, double value, int intDigits, int decimals,
                 bool exponentForm) {
    if (!exponentForm) return FormatFixed(buffer, bufferSize, value, intDigits, decimals);
    intDigits = intDigits < 1 ? 1 : intDigits;
    decimals = decimals < 0 ? 0 : decimals;
    bool negative = value < 0;
    double v = negative ? -value : value;
    if (!(v < Largest)) v = Largest;
    const int g = DecimalExponent(v);
    int h = intDigits - g, x = g - intDigits;
    if (x - decimals < -ExponentLimit) {
        if (x >= -ExponentLimit) {
            decimals = x + ExponentLimit;
        } else if (g - 1 >= -ExponentLimit) {
            intDigits = 1;
            h = 1 - g;
            x = g - 1;
            decimals = g + ExponentLimit - 1;
        } else {
            v = 0.0;
            negative = false;
            x = h = 0;
        }
    }
    if (v + 0.5 * TenTo(x - decimals) >= TenTo(g)) {
        --h;
        ++x;
    }
    const int mantissaLength = intDigits + (negative ? 1 : 0) + (decimals > 0 ? 1 + decimals : 0);
    const int total = mantissaLength + (v != 0.0 ? 5 : 0);
    if (buffer == nullptr) return total;
    if (bufferSize < uint32_t(total)) return TooSmall(buffer, bufferSize);
    const double scaled = static_cast<double>(Extended(negative ? -v : v) * TenTo(h));
    const int written = FormatFixed(buffer, bufferSize, scaled, intDigits, decimals);
    if (written > mantissaLength) return TooSmall(buffer, bufferSize);
    if (scaled == 0.0) return written;
    buffer[written] = NumberSymbols[2];
    const uint32_t rest = bufferSize - uint32_t(written) - 1;
    return written + 1 + FormatFixed(buffer + written + 1, rest, x, 3, 0);
}

int TrimZeros(char* buffer, int length) {
    if (buffer == nullptr || length <= 0) return length;
    auto n = uint32_t(length);
    if (FindChar(buffer, Primary(), n) == nullptr && FindChar(buffer, Secondary(), n) == nullptr)
        return length;
    uint32_t mantissaEnd = ExponentAt(buffer, n);
    if (mantissaEnd < n) {
        uint32_t digits = mantissaEnd + 1;
        if (digits < n && buffer[digits] == Minus()) ++digits;
        n = SqueezeChar(buffer, digits, Zero(), true, n);
        if (n == mantissaEnd + 1)
            n = SqueezeChar(buffer, mantissaEnd, buffer[mantissaEnd], true, n);
    }
    if (mantissaEnd > 0) {
        const uint32_t before = n;
        n = SqueezeChar(buffer, mantissaEnd - 1, Zero(), false, n);
        mantissaEnd -= before - n;
    }
    if (mantissaEnd > 0 && buffer[mantissaEnd - 1] == Primary())
        n = SqueezeChar(buffer, mantissaEnd - 1, Primary(), true, n);
    return int(n);
}

TAnsiString FormatNumber(double value, int intDigits, int decimals, bool exponentForm,
                         bool keepZeros) {
    constexpr uint32_t WorkSize = 100;
    char work[WorkSize];
    int length = FormatDouble(work, WorkSize, value, intDigits, decimals, exponentForm);
    if (length <= 0 || length >= int(WorkSize)) return {};
    work[length] = 0;
    if (!keepZeros) length = TrimZeros(work, length);
    return TAnsiString(work);
}
