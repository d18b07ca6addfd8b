#include "device/ImportException.h"

#include <utility>

namespace Thg::Tilo::Device {

ImportException::ImportException(const std::string &message) : std::runtime_error("Import error: " + message) {}

FormatMismatchException::FormatMismatchException(const std::string &sourceName, const std::string &reason)
    : ImportException("Format mismatch: " + sourceName + ", detailed error: " + reason)
{
}

ValidationException::ValidationException(const std::string &sourceName, std::vector<std::string> errors)
    : ImportException("Validation failed: " + sourceName), errors(std::move(errors))
{
}

UnsupportedFormatException::UnsupportedFormatException(const std::string &sourceName)
    : std::runtime_error("Unsupported format: " + sourceName)
{
}

IdentifierNotUniqueException::IdentifierNotUniqueException(const std::string &kind, const std::string &identifier)
    : std::runtime_error(kind + " is not unique: " + identifier)
{
}

IoException::IoException(const std::string &text) : std::runtime_error(text) {}

} // namespace Thg::Tilo::Device
