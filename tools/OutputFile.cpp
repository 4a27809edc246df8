#include "OutputFile.h"

#include "Interruption.h"

#include <png.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int MaxLinks = 40;

std::string Folder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// A link in a folder of /proc however reached (/proc/self/fd/N, /dev/fd/N through /dev/fd's
// own link): what it names is a file the kernel opens as it stands, not a path to follow.
bool InProc(const std::string& link) {
    char* folder = realpath(Folder(link).c_str(), nullptr);
    const bool proc = folder != nullptr && std::strncmp(folder, "/proc/", 6) == 0;
    std::free(folder);
    return proc;
}

// Where a chain of symbolic links ends; false (errno set) for a loop. Through the magic links
// of /proc (/dev/stdout, /dev/fd/N) `magic` is set: the file behind them is a stream already
// open somewhere, written in place.
bool FollowLinks(std::string& path, bool& magic) {
    for (int hops = 0; hops < MaxLinks; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        if (InProc(path)) return magic = true, true;
        std::string to(size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), to.data(), to.size());
        if (n < 0) return false;
        to.resize(size_t(n));
        path = to[0] == '/' ? to : Folder(path) + "/" + to;
    }
    errno = ELOOP;
    return false;
}

} // namespace

OutputFile::OutputFile(std::string path) : path(std::move(path)) {}

OutputFile::~OutputFile() {
    if (file != nullptr && file != stdout) std::fclose(file);
    if (!temporary.empty()) {
        unlink(temporary.c_str());
        DropTemporary(temporary.c_str());
    }
}

bool OutputFile::Fail() {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
}

bool OutputFile::Resolve() {
    struct stat st {};
    if (path == "-") {
        standardOutput = stream = true;
        return fstat(STDOUT_FILENO, &st) == 0 ? (device = st.st_dev, inode = st.st_ino, true)
                                              : Fail();
    }
    target = path;
    bool magic = false;
    if (!FollowLinks(target, magic)) return Fail(); // a magic link is kept: the kernel follows it
    exists = stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return Fail();
    if (exists && S_ISDIR(st.st_mode)) return errno = EISDIR, Fail();
    regular = exists && S_ISREG(st.st_mode);
    stream = exists && (magic || !regular);
    if (!exists && stat(Folder(target).c_str(), &st) != 0) return Fail();
    device = st.st_dev;
    inode = st.st_ino;
    return true;
}

bool OutputFile::Writes(dev_t d, ino_t i) const {
    return (!stream || standardOutput || regular) && device == d && inode == i;
}

bool OutputFile::SameAs(const OutputFile& other) const {
    if (!Writes(other.device, other.inode) || !other.Writes(device, inode)) return false;
    // A new name is its folder's inode and its own last part.
    const auto name = [](const OutputFile& f) {
        return f.exists || f.standardOutput ? std::string()
                                            : f.target.substr(f.target.rfind('/') + 1);
    };
    return exists == other.exists && name(*this) == name(other);
}

bool OutputFile::Open() {
    if (standardOutput) return file = stdout, true;
    if (stream) {
        // Through /proc a regular file is truncated as a shell's redirection would.
        struct stat st {};
        const bool regular = stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        const int fd =
            open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0));
        if (fd < 0 || (file = fdopen(fd, "wb")) == nullptr) return fd >= 0 && close(fd), Fail();
        return true;
    }
    // A short name of its own, so that any name that fits the folder fits its temporary too.
    std::string name = Folder(target) + "/.kavrel-render-XXXXXX";
    const int fd = CreateTemporary(name.data());
    if (fd < 0) return Fail();
    temporary = name;
    // mkstemp makes the file private; the output gets the mode a plain new file would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    if ((file = fdopen(fd, "wb")) == nullptr) return close(fd), Fail();
    return true;
}

bool OutputFile::Commit() {
    if (file == nullptr) return false;
    bool done = std::fflush(file) == 0 && !std::ferror(file);
    if (done && !temporary.empty()) done = fsync(fileno(file)) == 0;
    const int saved = errno;
    const bool closed = file == stdout || std::fclose(file) == 0;
    file = nullptr;
    if (!done) errno = saved;
    if (!done || !closed) return Fail();
    if (temporary.empty()) return true;
    if (std::rename(temporary.c_str(), target.c_str()) != 0) return Fail();
    DropTemporary(temporary.c_str());
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
