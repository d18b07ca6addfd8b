#include "device/FileReader.h"

#include "device/ImportException.h"

#include <fstream>
#include <sstream>
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

    // One bulk copy of the stream buffer. Copying nothing at all (an empty file) sets the failbit,
    // as does a stream error: both are read failures.
    std::ostringstream content;
    content << stream.rdbuf();
    if (!content || stream.bad())
        throw IoException("Could not read " + sourceName);
    return std::move(content).str();
}

} // namespace Thg::Tilo::Device
