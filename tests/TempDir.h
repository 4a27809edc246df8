// A fresh directory in the temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <stdlib.h>

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        // No mkdtemp on Windows: a random name, taken only when the directory is new.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("kavrel-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) path = candidate.string();
        }
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-XXXXXX").string();
        path = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing separator.
    std::string Dir() const {
        return path + "/";
    }
    std::string File(const std::string& name) const {
        return Dir() + name;
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        return File(name);
    }

private:
    std::string path;
};
