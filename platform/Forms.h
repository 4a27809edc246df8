// The form framework and window services the program uses. So far: the system message box.
#pragma once

using UINT = unsigned int;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr int IDOK = 1;

// Shows text (code page 1251) in the system's message box and returns when the user closes it.
// A null caption stands for the system's default caption.
int MessageBoxA(void* owner, const char* text, const char* caption, UINT style);
