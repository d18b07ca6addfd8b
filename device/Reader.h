#pragma once

#include <string>

namespace Thg::Tilo::Device {

// A named text source: a file, or a built-in resource in the application.
class Reader {
public:
    virtual ~Reader() = default;

    // The whole content; throws IoException when the source cannot be read.
    virtual std::string read() const = 0;
    // The name that every import message shows, and whose tail selects the format.
    virtual const std::string &getSourceName() const = 0;
};

} // namespace Thg::Tilo::Device
