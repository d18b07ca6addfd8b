#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace Thg::Tilo::Device {

// The failures of an import. Each text is what callers show and log, so it is fixed here once.

class ImportException : public std::runtime_error {
public:
    explicit ImportException(const std::string &message);
};

class FormatMismatchException : public ImportException {
public:
    FormatMismatchException(const std::string &sourceName, const std::string &reason);
};

// The findings travel apart from the text, one line each.
class ValidationException : public ImportException {
public:
    ValidationException(const std::string &sourceName, std::vector<std::string> errors);

    const std::vector<std::string> &getErrors() const noexcept { return errors; }

private:
    std::vector<std::string> errors;
};

class UnsupportedFormatException : public std::runtime_error {
public:
    explicit UnsupportedFormatException(const std::string &sourceName);
};

// Raised while a file is mapped; the importer reports it as a one-line ValidationException.
class IdentifierNotUniqueException : public std::runtime_error {
public:
    // The kinds the mapping raises.
    static constexpr const char *Version = "Version";
    static constexpr const char *Parameter = "Parameter";
    static constexpr const char *Outputs = "Outputs";
    static constexpr const char *Command = "Command";
    static constexpr const char *Event = "Event";
    static constexpr const char *SystemDataObject = "SystemDataObject";
    static constexpr const char *Calibration = "Calibration";

    IdentifierNotUniqueException(const std::string &kind, const std::string &identifier);
};

// "Could not open <path>" or "Could not read <path>".
class IoException : public std::runtime_error {
public:
    explicit IoException(const std::string &text);
};

} // namespace Thg::Tilo::Device
