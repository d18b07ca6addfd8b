#pragma once

#include "device/Reader.h"

#include <filesystem>
#include <string>

namespace Thg::Tilo::Device {

class FileReader : public Reader {
public:
    // Resolves a relative path against the current working directory now, so that messages name the
    // file that was meant even if the working directory changes later. Throws std::invalid_argument
    // "<path> does not exist" or "<path> must be a file", or IoException "Could not open <path>".
    explicit FileReader(const std::filesystem::path &path);

    // Throws IoException "Could not open <path>" or "Could not read <path>"; an empty file cannot
    // be read.
    std::string read() const override;
    const std::string &getSourceName() const override { return sourceName; }

private:
    std::filesystem::path path;
    std::string sourceName;
};

} // namespace Thg::Tilo::Device
