// An output of kavrel-render. A new name or a regular file (a symbolic link followed to its
// target, the link kept) is written under a temporary name in the same folder and renamed into
// place only when complete, so that a failed or interrupted run leaves it as it was. Anything
// else that exists at the name (a device such as /dev/null, a FIFO, /dev/stdout) is written in
// place as a stream and never renamed over; "-" is standard output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/types.h>

class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Follows the name to what is written; false (with the reason in Error()) for a folder, a
    // link loop or a name that cannot be looked at. Nothing is created yet.
    bool Resolve();
    // True when this output would write the file with this device and inode, or the same file
    // or new name as another output (only files and new names count, also when reached through
    // /dev/stdout and the like: two streams to /dev/null are no harm; standard output counts as
    // one file).
    bool Writes(dev_t device, ino_t inode) const;
    bool SameAs(const OutputFile& other) const;
    // Creates the temporary file or opens the stream; false with the reason in Error().
    bool Open();
    FILE* File() const { return file; }
    const std::string& Error() const { return error; }
    // Sets Error() to "cannot write NAME: " and the reason errno gives; returns false.
    bool Fail();
    // Writes out and closes the file and gives it its final name; false (and the temporary
    // removed) when that fails.
    bool Commit();

private:
    std::string path, target, temporary, error;
    bool exists = false, stream = false, standardOutput = false, regular = false;
    dev_t device = 0; // of the target, or of its folder for a new name
    ino_t inode = 0;
    FILE* file = nullptr;
};

// The picture (0x00RRGGBB pixels, row by row) as PNG into an open file.
bool WritePng(FILE* to, const uint32_t* pixels, unsigned width, unsigned height);
