// A fresh directory under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <stdlib.h>

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-XXXXXX").string();
        path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing separator.
    std::string Dir() const { return path + "/"; }
    std::string File(const std::string& name) const { return Dir() + name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        return File(name);
    }

private:
    std::string path;
};
