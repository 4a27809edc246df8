// Decimal number text: syntax check, parsing with result codes and Russian messages, fixed and
// exponent formatting with the user locale's decimal separator.
#pragma once

#include "Tstring.h"

#include <cstdint>

// 0 primary and 1 secondary decimal separator, 2 'e', 3 'E', 4 '-', 5 '0', 6-15 the digits,
// 16-30 the characters a number may hold.
constexpr uint32_t NumberSymbolCount = 31;
extern char NumberSymbols[NumberSymbolCount];

// Start-up of the unit: the primary separator from the user locale.
void StartNumberConversionUnit();
// Fills the table for a locale whose decimal separator is localeSeparator (',' first makes
// ',' primary; anything else, or none, makes '.' primary).
void FillNumberSymbols(const char* localeSeparator);

// Syntax check of count characters: optional minus, digits, optional separator and digits,
// optional exponent marker with optional minus and digits.
bool IsNumberText(const char* text, uint32_t count);

enum NumberCode : int {
    NumberOk = 0,
    NumberNotANumber = -1,
    NumberOutOfRange = -2,
    NumberExponentOutOfRange = -3,
};
// Parses count characters. On NumberNotANumber and NumberOutOfRange the result is not written;
// on NumberExponentOutOfRange it is clamped to 0 or +-1e307. With showErrors each failure is
// explained in the system message box.
int TextToDouble(double* result, const char* text, uint32_t count, bool showErrors,
                 double* exponentOut);

// Fixed form with at least minIntDigits integer digits and `decimals` decimals. Returns the text
// length; with no buffer the size needed; 0 (and an empty text) when the buffer is too small.
int FormatFixed(char* buffer, uint32_t bufferSize, double value, int minIntDigits, int decimals);
// FormatFixed, or with exponentForm a mantissa of intDigits integer digits and an exponent of
// at least three digits (1.23e004, 1.00e-005).
int FormatDouble(char* buffer, uint32_t bufferSize, double value, int intDigits, int decimals,
                 bool exponentForm);
// Removes trailing zeros of the fraction and leading zeros of the exponent in place.
int TrimZeros(char* buffer, int length);
// FormatDouble into a string, trimmed unless keepZeros; empty when it needs 100 characters or more.
TAnsiString FormatNumber(double value, int intDigits, int decimals, bool exponentForm,
                         bool keepZeros);
int EstimateDecimalExponent(double value);
int DecimalExponent(double value);
