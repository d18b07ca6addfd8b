#include "device/Loader.h"

#include "device/FileReader.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

namespace Thg::Tilo::Device {

std::filesystem::path Loader::relativePath(const std::string &uri)
{
    // The path of the URI: without scheme and authority, query and fragment.
    std::string path = uri;
    if (const auto scheme = path.find("://"); scheme != std::string::npos) {
        const auto pathStart = path.find('/', scheme + 3);
        path = pathStart == std::string::npos ? std::string() : path.substr(pathStart);
    }
    if (const auto end = path.find_first_of("?#"); end != std::string::npos)
        path.erase(end);
    if (path.starts_with('/'))
        path.erase(0, 1);

    const std::filesystem::path relative = std::filesystem::path(path).lexically_normal();
    if (relative.empty() || !relative.has_filename())
        throw std::invalid_argument("Schema reference '" + uri + "' names no file");
    // A root name or directory left after the leading "/" (a drive, "//x") or a ".." at the front
    // would reach beyond the schemas' directory.
    if (relative.has_root_path() || *relative.begin() == "..")
        throw std::invalid_argument("Schema reference '" + uri + "' leads out of the schema directory");
    return relative;
}

void Loader::operator()(const std::string &uri, nlohmann::json &schemaOut) const
{
    load(uri, schemaOut);
}

Loader::File Loader::load(const std::string &uri, nlohmann::json &schemaOut) const
{
    File file{baseDirectory / relativePath(uri), {}};
    file.text = FileReader(file.path).read();
    schemaOut = nlohmann::json::parse(file.text);
    return file;
}

} // namespace Thg::Tilo::Device
