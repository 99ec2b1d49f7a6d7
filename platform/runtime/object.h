#pragma once
// The thin layer over GCC's Objective-C runtime: reference counting beside every object, C++
// state in its indexed ivars, a strong reference type and a message send that never aborts.

#include <objc/runtime.h>

#include <cstddef>
#include <typeinfo>
#include <utility>

namespace sv::rt {

// C++ state of one object, owned by it and destroyed by the root class's dealloc.
class ObjectState {
public:
    virtual ~ObjectState() = default;
};

// The root class of every runtime object made here ("NSObject").
Class rootClass();

// A new instance with a reference count of 1 and, if its class (or a superclass) has a state
// factory, freshly made C++ state.
id alloc(Class cls);
id retain(id object);
void release(id object);
// Hands the reference to the innermost autorelease pool of this thread.
id autorelease(id object);
long retainCount(id object);

ObjectState* stateOf(id object);
// The state as T, or null when it is none. Nearly always it is exactly a T, which a type
// comparison tells at once; a search of the hierarchy only for the rest.
template <class T>
T* stateAs(ObjectState* state)
{
    if (!state)
        return nullptr;
    if (typeid(*state) == typeid(T))
        return static_cast<T*>(state);
    return dynamic_cast<T*>(state);
}
template <class T>
T* state(id object)
{
    return stateAs<T>(stateOf(object));
}

// Objects autoreleased while a pool is open are released when it closes. The run loop opens one
// around every callback it makes.
class AutoreleasePool {
public:
    AutoreleasePool();
    ~AutoreleasePool();
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

private:
    std::size_t depth_;
};

// A strong reference.
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) { }
    // Takes over a reference the caller already owns (from alloc, say).
    static Ref adopt(id object)
    {
        Ref ref;
        ref.object_ = object;
        return ref;
    }
    // Adds a reference of its own.
    static Ref retain(id object) { return adopt(sv::rt::retain(object)); }

    Ref(const Ref& other) : object_(sv::rt::retain(other.object_)) { }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) { }
    Ref& operator=(const Ref& other)
    {
        Ref copy(other);
        std::swap(object_, copy.object_);
        return *this;
    }
    Ref& operator=(Ref&& other) noexcept
    {
        Ref moved(std::move(other));
        std::swap(object_, moved.object_);
        return *this;
    }
    ~Ref() { sv::rt::release(object_); }

    id get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Gives up ownership without releasing.
    id leak() { return std::exchange(object_, nullptr); }
    void reset() { *this = Ref(); }

    friend bool operator==(const Ref& a, const Ref& b) { return a.object_ == b.object_; }
    friend bool operator==(const Ref& a, id b) { return a.object_ == b; }

private:
    id object_ = nullptr;
};

// Method implementations travel as IMP; these convert through the generic function type so that
// the compiler knows the change of signature is meant.
template <class F>
IMP toImp(F* function)
{
    return reinterpret_cast<IMP>(reinterpret_cast<void (*)()>(function));
}
template <class F>
F* fromImp(IMP imp)
{
    return reinterpret_cast<F*>(reinterpret_cast<void (*)()>(imp));
}

// Unpacks the classes and selectors that the runtime sees by name.
inline id classObject(const char* name)
{
    return reinterpret_cast<id>(objc_getClass(name));
}

// The runtime's selector for name. Registering takes the runtime's lock and hashes the name, at
// every message; the names sent again and again are answered from a small per-thread table,
// checked against the selector's own name, since the same address may hold other text later.
SEL selector(const char* name);

bool respondsTo(id receiver, SEL sel);

// Sends a message. A null receiver, or one that does not answer the selector, gives R's zero
// value; the answer is checked before the call, so nothing reaches the runtime's forwarding.
// With the selector looked up once, for a message sent again and again.
template <class R = void, class... Args>
R msgSend(id receiver, SEL sel, Args... args)
{
    if (!receiver || !respondsTo(receiver, sel))
        return R();
    IMP imp = class_getMethodImplementation(object_getClass(receiver), sel);
    return fromImp<R(id, SEL, Args...)>(imp)(receiver, sel, args...);
}

// The same by the selector's name.
template <class R = void, class... Args>
R msgSend(id receiver, const char* selectorName, Args... args)
{
    if (!receiver)
        return R();
    return msgSend<R, Args...>(receiver, selector(selectorName), args...);
}

// One message sent to many receivers of a few classes, as in a walk over a list: the
// implementation is looked up once for each run of receivers of one class, not at every send.
// For one stretch of work, in which no class gains or loses a method.
template <class R, class... Args>
class RepeatedSend {
public:
    explicit RepeatedSend(const char* selectorName) : sel_(selector(selectorName)) { }

    R operator()(id receiver, Args... args)
    {
        if (!receiver)
            return R();
        Class cls = object_getClass(receiver);
        if (cls != class_) {
            class_ = cls;
            imp_ = class_respondsToSelector(cls, sel_) ? class_getMethodImplementation(cls, sel_) : nullptr;
        }
        return imp_ ? fromImp<R(id, SEL, Args...)>(imp_)(receiver, sel_, args...) : R();
    }

private:
    SEL sel_;
    Class class_ = nullptr;
    IMP imp_ = nullptr;
};

// Calls the implementation that cls's superclass has for a selector (the "super" of a method
// defined on cls).
template <class R = void, class... Args>
R msgSendSuper(Class cls, id receiver, const char* selectorName, Args... args)
{
    Class super = class_getSuperclass(cls);
    if (!receiver || !super)
        return R();
    SEL sel = selector(selectorName);
    if (!class_respondsToSelector(super, sel))
        return R();
    IMP imp = class_getMethodImplementation(super, sel);
    return fromImp<R(id, SEL, Args...)>(imp)(receiver, sel, args...);
}

} // namespace sv::rt
