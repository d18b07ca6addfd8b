#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace Thg::Tilo::Device {

// Collects every schema violation of one document as one line: the JSON pointer of the offending
// value (RFC 6901, empty for the document itself), ": ", and the schema validator's message.
class JsonValidationErrorHandler {
public:
    virtual ~JsonValidationErrorHandler() = default;

    // Called once per violation. `instance` is the offending value; the line does not show it.
    virtual void error(const nlohmann::json::json_pointer &pointer, const nlohmann::json &instance,
                       const std::string &message);
    virtual void reset();

    // True once a violation has been reported since the last reset.
    explicit operator bool() const { return errorSeen; }
    const std::vector<std::string> &getErrors() const { return errors; }
    std::vector<std::string> takeErrors() { return std::move(errors); }

private:
    std::vector<std::string> errors;
    bool errorSeen = false;
};

} // namespace Thg::Tilo::Device
