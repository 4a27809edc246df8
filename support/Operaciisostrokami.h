// Routines on counted character arrays. None of them fails on an absent text.
#pragma once

#include <cstdint>

uint32_t StrLength(const char* text);
uint32_t WideStrLength(const char16_t* text);
// Every oldChar among the first count characters becomes newChar.
void ReplaceChar(char* text, char newChar, char oldChar, uint32_t count);
// The first occurrence of c among the first count characters, or null.
char* FindChar(char* text, char c, uint32_t count);
// Removes every character of the set and closes up; returns the new count and writes a 0 behind
// it when it shrank. An absent or empty set gives 0.
uint32_t RemoveChars(char* text, const char* set, uint32_t count, uint32_t setSize);
// How many of the first count characters belong to the set; no text gives count, an empty set
// or a count of 0 gives 0.
uint32_t CountCharsInSet(const char* text, const char* set, uint32_t count, uint32_t setSize);
// If text[position] is c, removes its run forward from position, or backward ending at position
// (never the first character of the text), closes up, writes a 0 behind the new end and
// returns the new count. Otherwise, and for a position outside the text, returns count.
uint32_t SqueezeChar(char* text, uint32_t position, char c, bool forward, uint32_t count);
