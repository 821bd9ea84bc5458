// A fresh folder per test, removed afterwards.
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
    TempFolder() : path_((std::filesystem::temp_directory_path() / "tarvik_test_XXXXXX").string()) {
        if (mkdtemp(path_.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        path_ += "/";  // ends in "/", as the program's folder does
    }
    ~TempFolder() { std::filesystem::remove_all(path_, ignored_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Byte for byte: no line end is translated.
    void Write(std::string_view name, std::string_view content) const {
        std::ofstream(path_ + std::string(name), std::ios::binary) << content;
    }

private:
    std::string path_;
    std::error_code ignored_;
};

}  // namespace tarvik::testing
