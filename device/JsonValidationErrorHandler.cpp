#include "device/JsonValidationErrorHandler.h"

namespace Thg::Tilo::Device {

void JsonValidationErrorHandler::error(const nlohmann::json::json_pointer &pointer, const nlohmann::json &,
                                       const std::string &message)
{
    errorSeen = true;
    errors.push_back(pointer.to_string() + ": " + message);
}

void JsonValidationErrorHandler::reset()
{
    errorSeen = false;
    errors.clear();
}

} // namespace Thg::Tilo::Device
