#pragma once

#include "device/Version.h"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace Thg::Tilo::Device {

// The entries (Parameter or ParameterSetting) of one firmware version, keyed and iterated by name.
template <typename T>
struct ParameterSet {
    Version version;
    std::string description;
    std::map<std::string, T> parameters;

    // Throws std::invalid_argument "Parameter <name> not found".
    const T &at(const std::string &name) const
    {
        const auto it = parameters.find(name);
        if (it == parameters.end())
            throw std::invalid_argument("Parameter " + name + " not found");
        return it->second;
    }

    // Every entry for which `predicate` holds, in name order. The references point into this set.
    std::vector<std::reference_wrapper<const T>> query(const std::function<bool(const T &)> &predicate) const
    {
        // An empty predicate is a caller's fault even when there is nothing to test it on.
        if (!predicate)
            throw std::bad_function_call();
        std::vector<std::reference_wrapper<const T>> found;
        for (const auto &[name, entry] : parameters) {
            if (predicate(entry))
                found.emplace_back(entry);
        }
        return found;
    }
};

// The sets of all firmware versions, in version order. Lookups take the exact version: a device
// must never be given the parameters of a neighbouring firmware.
template <typename T>
class ParameterSetContainer : public std::map<Version, ParameterSet<T>> {
public:
    using Base = std::map<Version, ParameterSet<T>>;
    using Base::Base;

    // Throws std::invalid_argument "Version <text> not found".
    const ParameterSet<T> &at(const Version &version) const
    {
        const auto it = this->find(version);
        if (it == this->end())
            throw std::invalid_argument("Version " + version.text + " not found");
        return it->second;
    }

    ParameterSet<T> &at(const Version &version)
    {
        const auto &self = *this;
        return const_cast<ParameterSet<T> &>(self.at(version));
    }
};

} // namespace Thg::Tilo::Device
