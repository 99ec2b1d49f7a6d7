#pragma once
// Defines runtime classes from C++: methods with type encodings derived from their signatures,
// and a factory for the C++ state of their instances.

#include "platform/runtime/object.h"

#include <functional>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace sv::rt {

template <class T>
constexpr char typeCode()
{
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<U, void>) return 'v';
    else if constexpr (std::is_same_v<U, id>) return '@';
    else if constexpr (std::is_same_v<U, Class>) return '#';
    else if constexpr (std::is_same_v<U, SEL>) return ':';
    else if constexpr (std::is_same_v<U, bool> || std::is_same_v<U, signed char>) return 'c';
    else if constexpr (std::is_same_v<U, unsigned char>) return 'C';
    else if constexpr (std::is_same_v<U, int>) return 'i';
    else if constexpr (std::is_same_v<U, unsigned>) return 'I';
    else if constexpr (std::is_same_v<U, long>) return 'l';
    else if constexpr (std::is_same_v<U, unsigned long>) return 'L';
    else if constexpr (std::is_same_v<U, long long>) return 'q';
    else if constexpr (std::is_same_v<U, unsigned long long>) return 'Q';
    else if constexpr (std::is_same_v<U, float>) return 'f';
    else if constexpr (std::is_same_v<U, double>) return 'd';
    else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) return '*';
    else if constexpr (std::is_pointer_v<U>) return '^';
    else return '?';
}

template <class R, class... Args>
std::string typeEncoding(R (*)(Args...))
{
    return std::string { typeCode<R>(), typeCode<Args>()... };
}

class ClassBuilder {
public:
    // A new class named name below superclass (the root class when null).
    explicit ClassBuilder(const char* name, Class superclass = nullptr);

    template <class R, class... Args>
    ClassBuilder& method(const char* selectorName, R (*imp)(id, SEL, Args...))
    {
        return addMethod(cls_, selectorName, toImp(imp), typeEncoding(imp));
    }
    template <class R, class... Args>
    ClassBuilder& classMethod(const char* selectorName, R (*imp)(id, SEL, Args...))
    {
        return addMethod(object_getClass(reinterpret_cast<id>(cls_)), selectorName,
                         toImp(imp), typeEncoding(imp));
    }
    // Instances get a fresh T as their state.
    template <class T>
    ClassBuilder& state()
    {
        return stateFactory([] { return static_cast<ObjectState*>(new T()); }, typeid(T));
    }
    // type names what the factory makes.
    ClassBuilder& stateFactory(std::function<ObjectState*()> factory, const std::type_info& type = typeid(ObjectState));

    // Registers the class. A class of that name made here before, below the same superclass
    // and with the same state, is answered instead; a different one keeps the name, and ours
    // is registered under the name with "_2" (or the next free number) added.
    Class registerClass();

    struct Detail {
        static void addRootMethods(Class root);
    };

private:
    ClassBuilder& addMethod(Class target, const char* selectorName, IMP imp, const std::string& types);

    Class cls_ = nullptr;
    std::vector<Class> taken_;
    Class superclass_ = nullptr;
    const std::type_info* stateType_ = nullptr;
    std::function<ObjectState*()> factory_;
};

} // namespace sv::rt
