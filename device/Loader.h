#pragma once

#include <nlohmann/json_fwd.hpp>

#include <filesystem>
#include <string>
#include <utility>

namespace Thg::Tilo::Device {

// Fetches the schema files that a root schema names with "$ref". They are looked up below the root
// schema's directory, whatever the working directory is.
class Loader {
public:
    explicit Loader(std::filesystem::path baseDirectory) : baseDirectory(std::move(baseDirectory)) {}

    // Reads and parses the file that `uri` names ("Common.schema.json", "sub/Other.schema.json", or
    // a URI whose path is that). A reference whose path is empty, absolute after the leading "/", or
    // leads out of the base directory names no loadable file: std::invalid_argument. A missing or
    // unreadable file fails as FileReader does; a file that is not JSON with the JSON library's
    // parse error.
    void operator()(const std::string &uri, nlohmann::json &schemaOut) const;

    // As the call operator, and tells which file was read and the text it held, so that a compiled
    // schema can later be checked against the files it came from.
    struct File {
        std::filesystem::path path;
        std::string text;
    };
    File load(const std::string &uri, nlohmann::json &schemaOut) const;

    // The file below the base directory that `uri` names, relative to it and lexically normalised.
    static std::filesystem::path relativePath(const std::string &uri);

    const std::filesystem::path &getBaseDirectory() const { return baseDirectory; }

private:
    std::filesystem::path baseDirectory;
};

} // namespace Thg::Tilo::Device
