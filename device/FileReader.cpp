#include "device/FileReader.h"

#include "device/ImportException.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace Thg::Tilo::Device {

namespace {

std::filesystem::path absolutePath(const std::filesystem::path &given)
{
    if (given.has_relative_path())
        return (std::filesystem::current_path() / given).lexically_normal();
    return given.lexically_normal();
}

} // namespace

FileReader::FileReader(const std::filesystem::path &givenPath)
    : path(absolutePath(givenPath)), sourceName(path.string())
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::none || status.type() == std::filesystem::file_type::not_found)
        throw std::invalid_argument(sourceName + " does not exist");
    if (status.type() != std::filesystem::file_type::regular)
        throw std::invalid_argument(sourceName + " must be a file");

    std::ifstream probe(path);
    if (!probe.is_open())
        throw IoException("Could not open " + sourceName);
}

std::string FileReader::read() const
{
    std::ifstream stream(path);
    if (!stream.is_open())
        throw IoException("Could not open " + sourceName);

    std::string content{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    // A stream that hit end of file is fine; a failed extraction (also the one of an empty file)
    // or a stream error is not.
    if (stream.bad() || content.empty())
        throw IoException("Could not read " + sourceName);
    return content;
}

} // namespace Thg::Tilo::Device
