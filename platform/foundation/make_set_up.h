#pragma once
// The one way platform objects are made: a private constructor, then a set-up step that may
// fail. The object is handed out whole or not at all.

#include <functional>
#include <memory>
#include <utility>

namespace sv {

// Owns fresh and runs setUp on it (a member function or a callable taking T&) with args; null
// when it answers false. fresh comes from the class's own factory, which may reach its
// constructor.
template <class T, class SetUp, class... Args>
std::shared_ptr<T> makeSetUp(T* fresh, SetUp&& setUp, Args&&... args)
{
    std::shared_ptr<T> object(fresh);
    if (!object || !std::invoke(std::forward<SetUp>(setUp), *object, std::forward<Args>(args)...))
        return nullptr;
    return object;
}

} // namespace sv
