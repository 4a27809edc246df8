// An output file written under a temporary name beside its final one and renamed into place
// only when complete, so that a failed run leaves nothing half-written behind.
#pragma once

#include <cstdio>
#include <string>

class OutputFile {
public:
    // Opens the temporary file; Open() false (with the reason in Error()) when it cannot be made.
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open() const { return file != nullptr; }
    FILE* File() const { return file; }
    const std::string& Error() const { return error; }
    // Closes the file and gives it its final name; false (and nothing left) when that fails.
    bool Commit();

private:
    std::string path, temporary, error;
    FILE* file = nullptr;
};

// The picture (0x00RRGGBB pixels, row by row) as PNG into an open file.
bool WritePng(FILE* to, const uint32_t* pixels, unsigned width, unsigned height);
