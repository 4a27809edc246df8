// Scale labels through the GDI stand-in: each label measured twice and drawn once, as the axis
// scales do on every tick, on a back buffer of the default picture size.
#include "platform/Gdi.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int Width = 670, Height = 330, Labels = 60;

// Labels of the time and frequency scales: "-9,9" ... "0" and "100" ... "1200".
std::vector<std::string> ScaleLabels() {
    std::vector<std::string> labels;
    for (int i = 0; i < Labels; ++i) {
        char text[16];
        if (i % 2 == 0)
            std::snprintf(text, sizeof text, "-%d,%d", 9 - i / 20, 9 - i % 10);
        else
            std::snprintf(text, sizeof text, "%d", 100 * (i % 12 + 1));
        labels.emplace_back(text);
    }
    return labels;
}

void MeasureTwiceAndDraw(benchmark::State& state, const wchar_t* face) {
    std::vector<uint32_t> pixels(size_t(Width) * Height);
    HDC dc = CreatePixelDC(pixels.data(), Width, Height, Width * 4, {});
    WCHAR name[LF_FACESIZE] = {};
    for (int i = 0; face[i] != 0 && i < LF_FACESIZE - 1; ++i)
        name[i] = WCHAR(face[i]);
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, RUSSIAN_CHARSET, 0, 0,
                             ANTIALIASED_QUALITY, 16, name);
    SelectObject(dc, font);
    SetTextColor(dc, RGB(0, 255, 0));
    SetBkColor(dc, 0);
    const std::vector<std::string> labels = ScaleLabels();
    for (auto _ : state) {
        int x = 0;
        for (const std::string& label : labels) {
            SIZE first{}, second{};
            GetTextExtentPoint32A(dc, label.data(), int(label.size()), &first);
            GetTextExtentPoint32A(dc, label.data(), int(label.size()), &second);
            TextOutA(dc, x % (Width - first.cx), (x / Width) * 14 % Height, label.data(),
                     int(label.size()));
            x += second.cx + 7;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["labels"] = Labels;
    DeleteDC(dc);
    DeleteObject(font);
}

void BM_LabelsMsSansSerif(benchmark::State& state) {
    MeasureTwiceAndDraw(state, L"MS Sans Serif");
}
void BM_LabelsTahoma(benchmark::State& state) {
    MeasureTwiceAndDraw(state, L"Tahoma");
}

} // namespace

BENCHMARK(BM_LabelsMsSansSerif)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LabelsTahoma)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
