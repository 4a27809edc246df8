#include "OutputFile.h"

#include <png.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

OutputFile::OutputFile(std::string path) : path(std::move(path)) {
    temporary = this->path + ".partial-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = "cannot write " + this->path + ": " + std::strerror(errno);
        temporary.clear();
        return;
    }
    // mkstemp makes the file private; the output gets the mode a plain new file would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
}

OutputFile::~OutputFile() {
    if (file != nullptr) std::fclose(file);
    if (!temporary.empty()) std::remove(temporary.c_str());
}

bool OutputFile::Commit() {
    if (file == nullptr) return false;
    const bool written = std::fflush(file) == 0 && !std::ferror(file);
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    temporary.clear();
    return true;
}

bool WritePng(FILE* to, const uint32_t* pixels, unsigned width, unsigned height) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> opaque(pixels, pixels + size_t(width) * height);
    for (uint32_t& p : opaque)
        p |= 0xFF000000u;
    return png_image_write_to_stdio(&png, to, 0, opaque.data(), int(width * 4), nullptr) != 0;
}
