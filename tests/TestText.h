// Code page 1251 text as UTF-8, so that tests compare the program's 8-bit texts with literals.
#pragma once

#include <iconv.h>

#include <string>

inline std::string Utf8Of1251(std::string text) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    std::string out(text.size() * 3, '\0');
    char* in = text.data();
    char* o = out.data();
    size_t inLeft = text.size(), outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}
