// The system message box with Russian lines. message_box_show shows it on the real desktop
// until it is answered; message_box_png OUT.png draws it on the virtual desktop and saves its
// client area, the picture the real desktop must show.
#include "platform/forms/DrawnMessageBox.h"

#ifdef KAVREL_MESSAGE_BOX_PNG
#include "VirtualForms.h"

#include <png.h>

#include <vector>
#endif

namespace {

// "Число вне допустимых пределов" and "Ширина = 1e400", caption "Ошибка", in code page 1251.
const char* const Text = "\xD7\xE8\xF1\xEB\xEE \xE2\xED\xE5 \xE4\xEE\xEF\xF3\xF1\xF2\xE8\xEC\xFB"
                         "\xF5 \xEF\xF0\xE5\xE4\xE5\xEB\xEE\xE2\n\xD8\xE8\xF0\xE8\xED\xE0 = 1e400";
const char* const Caption = "\xCE\xF8\xE8\xE1\xEA\xE0";

#ifdef KAVREL_MESSAGE_BOX_PNG
bool SaveClient(HWND window, const char* path) {
    int width = 0, height = 0, pitch = 0;
    const uint32_t* pixels = WindowClientPixels(window, width, height, pitch);
    if (pixels == nullptr) return false;
    std::vector<uint32_t> image;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.push_back(pixels[size_t(y) * size_t(pitch / 4) + size_t(x)] | 0xFF000000);
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(width);
    png.height = png_uint_32(height);
    png.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&png, path, 0, image.data(), width * 4, nullptr) != 0;
}
#endif

} // namespace

int main(int argc, char** argv) {
#ifdef KAVREL_MESSAGE_BOX_PNG
    bool saved = false;
    VirtualQueueCall([&] {
        saved = argc == 2 && SaveClient(GetActiveWindow(), argv[1]);
        VirtualQueueKey(WM_KEYDOWN, VK_RETURN);
    });
    return DrawnMessageBox(Text, Caption) == IDOK && saved ? 0 : 1;
#else
    (void)argc;
    (void)argv;
    return MessageBoxA(nullptr, Text, Caption, MB_ICONERROR) == IDOK ? 0 : 1;
#endif
}
