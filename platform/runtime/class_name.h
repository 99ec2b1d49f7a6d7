#pragma once
// The name the runtime answers for an object's exact class: the C++ class's own name, without
// its namespaces. Classes that stand for the system's are named as the system names them, so
// that the name is written once, as the class.

#include <string_view>
#include <typeinfo>

namespace sv::rt {

std::string_view classNameOf(const std::type_info& type);

} // namespace sv::rt
