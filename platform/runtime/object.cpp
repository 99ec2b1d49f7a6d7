#include "platform/runtime/object.h"

#include "platform/runtime/class_builder.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <vector>

namespace sv::rt {
namespace {

    // Lives in the indexed ivars of every instance.
    struct Header {
        std::atomic<long> references { 1 };
        ObjectState* state = nullptr;
    };

    Header* header(id object)
    {
        return static_cast<Header*>(object_getIndexedIvars(object));
    }

    std::mutex& factoryMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    std::unordered_map<Class, std::function<ObjectState*()>>& factories()
    {
        static std::unordered_map<Class, std::function<ObjectState*()>> map;
        return map;
    }

    ObjectState* makeState(Class cls)
    {
        std::lock_guard lock(factoryMutex());
        for (Class c = cls; c; c = class_getSuperclass(c)) {
            auto found = factories().find(c);
            if (found != factories().end())
                return found->second();
        }
        return nullptr;
    }

    thread_local std::vector<id> pending;
    thread_local std::vector<std::size_t> poolStarts;

    id rootInit(id self, SEL) { return self; }
    id rootRetain(id self, SEL) { return retain(self); }
    void rootRelease(id self, SEL) { release(self); }
    id rootAutorelease(id self, SEL) { return autorelease(self); }
    void rootDealloc(id self, SEL)
    {
        Header* h = header(self);
        delete h->state;
        h->~Header();
        object_dispose(self);
    }

    Class makeRoot()
    {
        Class root = objc_allocateClassPair(Nil, "NSObject", 0);
        if (!root)
            return objc_getClass("NSObject");
        // Without an isa ivar the instance size stays 0 and the indexed ivars would overlay it.
        class_addIvar(root, "isa", sizeof(Class), 3, "#");
        ClassBuilder::Detail::addRootMethods(root);
        objc_registerClassPair(root);
        return root;
    }

} // namespace

void ClassBuilder::Detail::addRootMethods(Class root)
{
    Class meta = object_getClass(reinterpret_cast<id>(root));
    auto add = [&](Class target, const char* name, IMP imp, const std::string& types) {
        class_addMethod(target, selector(name), imp, types.c_str());
    };
    add(root, "init", toImp(&rootInit), typeEncoding(&rootInit));
    add(root, "retain", toImp(&rootRetain), typeEncoding(&rootRetain));
    add(root, "release", toImp(&rootRelease), typeEncoding(&rootRelease));
    add(root, "autorelease", toImp(&rootAutorelease), typeEncoding(&rootAutorelease));
    add(root, "dealloc", toImp(&rootDealloc), typeEncoding(&rootDealloc));
    // Class objects answer retain and release too, as constants.
    add(meta, "retain", toImp(&rootInit), typeEncoding(&rootInit));
}

Class rootClass()
{
    static Class root = makeRoot();
    return root;
}

id alloc(Class cls)
{
    if (!cls)
        return nullptr;
    id object = class_createInstance(cls, sizeof(Header));
    if (!object)
        return nullptr;
    Header* h = new (object_getIndexedIvars(object)) Header();
    h->state = makeState(cls);
    return object;
}

namespace {
    // The header of an object counted here, or null: class objects are not counted, they live
    // as long as the process. The runtime tells a class's kind and where its instances' header
    // lies only through calls; both are kept in a small table of this thread's classes, since
    // the same few classes come again and again in a walk over a list. A class with instances is
    // never disposed of, so its address names it for good.
    Header* countedHeader(id object)
    {
        if (!object)
            return nullptr;
        struct Facts {
            Class cls = nullptr;
            bool meta = false;
            std::ptrdiff_t offset = 0;
        };
        // Initial-exec: the platform library is loaded with its programs, and a table reached
        // for every object costs no call to find.
        [[gnu::tls_model("initial-exec")]] thread_local Facts table[16];
        Class cls = object_getClass(object);
        Facts& facts = table[(reinterpret_cast<std::uintptr_t>(cls) >> 4) % 16];
        if (facts.cls != cls) {
            bool meta = class_isMetaClass(cls);
            facts = { cls, meta, meta ? 0 : static_cast<char*>(object_getIndexedIvars(object)) - reinterpret_cast<char*>(object) };
        }
        return facts.meta ? nullptr : reinterpret_cast<Header*>(reinterpret_cast<char*>(object) + facts.offset);
    }

    bool counted(id object)
    {
        return countedHeader(object) != nullptr;
    }
}

id retain(id object)
{
    if (Header* h = countedHeader(object))
        h->references.fetch_add(1, std::memory_order_relaxed);
    return object;
}

void release(id object)
{
    Header* h = countedHeader(object);
    if (h && h->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        msgSend<void>(object, "dealloc");
}

id autorelease(id object)
{
    if (counted(object))
        pending.push_back(object);
    return object;
}

long retainCount(id object)
{
    Header* h = countedHeader(object);
    return h ? h->references.load() : 0;
}

ObjectState* stateOf(id object)
{
    Header* h = countedHeader(object);
    return h ? h->state : nullptr;
}

AutoreleasePool::AutoreleasePool() : depth_(poolStarts.size())
{
    poolStarts.push_back(pending.size());
}

AutoreleasePool::~AutoreleasePool()
{
    std::size_t start = poolStarts[depth_];
    // Releasing can autorelease more objects into this pool; drain until it stays empty.
    while (pending.size() > start) {
        id object = pending.back();
        pending.pop_back();
        release(object);
    }
    poolStarts.resize(depth_);
}

SEL selector(const char* name)
{
    // Each entry keeps its own copy of the name: the runtime's takes its lock to give one back.
    struct Entry {
        const char* address = nullptr;
        SEL sel = nullptr;
        char text[40] = {};
    };
    thread_local Entry table[64];
    if (!name)
        return sel_registerName(name);
    Entry& entry = table[(reinterpret_cast<std::uintptr_t>(name) >> 3) % 64];
    if (entry.address == name && std::strcmp(entry.text, name) == 0)
        return entry.sel;
    SEL sel = sel_registerName(name);
    std::size_t length = std::strlen(name);
    if (sel && length < sizeof entry.text) {
        entry.address = name;
        entry.sel = sel;
        std::memcpy(entry.text, name, length + 1);
    }
    return sel;
}

bool respondsTo(id receiver, SEL sel)
{
    return receiver && class_respondsToSelector(object_getClass(receiver), sel);
}

namespace {
    struct Built {
        Class superclass;
        const std::type_info* stateType;
    };

    // The classes made here, with what their instances hold.
    std::unordered_map<Class, Built>& builtClasses()
    {
        static std::unordered_map<Class, Built> map;
        return map;
    }
}

ClassBuilder::ClassBuilder(const char* name, Class superclass)
{
    if (!superclass)
        superclass = rootClass();
    superclass_ = superclass;
    // A name already taken is kept for the class there; ours is made under a free one until
    // registration tells whether one of those taken is this very definition.
    std::string free = name;
    for (int n = 2; Class taken = objc_getClass(free.c_str()); ++n) {
        taken_.push_back(taken);
        free = std::string(name) + "_" + std::to_string(n);
    }
    cls_ = objc_allocateClassPair(superclass, free.c_str(), 0);
}

ClassBuilder& ClassBuilder::addMethod(Class target, const char* selectorName, IMP imp, const std::string& types)
{
    if (cls_)
        class_addMethod(target, selector(selectorName), imp, types.c_str());
    return *this;
}

ClassBuilder& ClassBuilder::stateFactory(std::function<ObjectState*()> factory, const std::type_info& type)
{
    factory_ = std::move(factory);
    stateType_ = &type;
    return *this;
}

Class ClassBuilder::registerClass()
{
    if (!cls_)
        return nullptr;
    std::lock_guard lock(factoryMutex());
    for (Class taken : taken_) {
        // Made here before with the same state: the same definition, answered again. A class
        // someone else made would not hold our state, and our methods would find none.
        auto found = builtClasses().find(taken);
        if (found != builtClasses().end() && found->second.superclass == superclass_
            && found->second.stateType == stateType_) {
            objc_disposeClassPair(std::exchange(cls_, nullptr));
            return taken;
        }
    }
    objc_registerClassPair(cls_);
    builtClasses()[cls_] = { superclass_, stateType_ };
    if (factory_)
        factories()[cls_] = std::move(factory_);
    return std::exchange(cls_, nullptr);
}

} // namespace sv::rt
