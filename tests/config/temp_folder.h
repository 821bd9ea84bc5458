// A fresh folder per test that files are written into, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvik::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik_config_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern + "/";  // ends in "/", as the program's folder does
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }

    // Writes `content` byte for byte: no line end is translated.
    void Write(std::string_view name, std::string_view content) const {
        std::ofstream file(path_ + std::string(name), std::ios::binary);
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!file) throw std::runtime_error("cannot write a test file");
    }

private:
    std::string path_;
};

}  // namespace tarvik::testing
