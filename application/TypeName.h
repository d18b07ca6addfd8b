#pragma once

#include <string>
#include <typeinfo>

namespace Thg::Tilo::Components {

// The dynamic type's name as the compiler's type information gives it, without the leading "*"
// that some compilers put before the names of local types.
template <typename T>
std::string runtimeTypeName(const T &object)
{
    std::string name = typeid(object).name();
    if (!name.empty() && name.front() == '*')
        name.erase(0, 1);
    return name;
}

} // namespace Thg::Tilo::Components
