#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace Thg::Tilo::Device {

// One entry of an enumeration's name table.
template <typename E>
struct EnumName {
    E value;
    std::string_view name;
};

// The names of one enumeration, kept next to the enumeration itself:
//
//   inline constexpr EnumNameTable<Colour, 2> colourNames{{{
//       {Colour::Red, "Red"},
//       {Colour::Green, "Green"},
//   }}};
//
// Lookups are exact and case-sensitive, both ways. A value that is not in the table has no name;
// a name that is not in the table has no value.
template <typename E, std::size_t N>
class EnumNameTable {
public:
    constexpr explicit EnumNameTable(const std::array<EnumName<E>, N> &entries) : mEntries(entries) {}

    constexpr std::optional<std::string_view> name(E value) const
    {
        for (const auto &entry : mEntries) {
            if (entry.value == value)
                return entry.name;
        }
        return std::nullopt;
    }

    constexpr std::optional<E> value(std::string_view name) const
    {
        for (const auto &entry : mEntries) {
            if (entry.name == name)
                return entry.value;
        }
        return std::nullopt;
    }

    constexpr const std::array<EnumName<E>, N> &entries() const { return mEntries; }
    static constexpr std::size_t size() { return N; }

private:
    std::array<EnumName<E>, N> mEntries;
};

template <typename E, std::size_t N>
EnumNameTable(const std::array<EnumName<E>, N> &) -> EnumNameTable<E, N>;

} // namespace Thg::Tilo::Device
