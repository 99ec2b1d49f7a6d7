#include "platform/runtime/foundation_objects.h"

#include "platform/runtime/class_builder.h"

namespace sv::rt {
namespace {

    struct StringState : ObjectState {
        std::string text;
    };

    struct ListState : ObjectState {
        std::vector<Ref> elements;
    };

    const char* utf8String(id self, SEL) { return state<StringState>(self)->text.c_str(); }
    unsigned long stringLength(id self, SEL) { return state<StringState>(self)->text.size(); }
    bool isEqualToString(id self, SEL, id other)
    {
        const std::string* theirs = stringValue(other);
        return theirs && *theirs == state<StringState>(self)->text;
    }

    unsigned long count(id self, SEL) { return state<ListState>(self)->elements.size(); }
    id objectAtIndex(id self, SEL, unsigned long index)
    {
        auto& elements = state<ListState>(self)->elements;
        return index < elements.size() ? elements[index].get() : nullptr;
    }
    id allObjects(id self, SEL)
    {
        return autorelease(makeArray(state<ListState>(self)->elements).leak());
    }

    Class stringClass()
    {
        static Class cls = ClassBuilder("NSString")
                               .state<StringState>()
                               .method("UTF8String", &utf8String)
                               .method("length", &stringLength)
                               .method("isEqualToString:", &isEqualToString)
                               .registerClass();
        return cls;
    }

    Class arrayClass()
    {
        static Class cls = ClassBuilder("NSArray")
                               .state<ListState>()
                               .method("count", &count)
                               .method("objectAtIndex:", &objectAtIndex)
                               .registerClass();
        return cls;
    }

    Class setClass()
    {
        static Class cls = ClassBuilder("NSSet")
                               .state<ListState>()
                               .method("count", &count)
                               .method("allObjects", &allObjects)
                               .registerClass();
        return cls;
    }

} // namespace

Ref makeString(std::string_view text)
{
    Ref string = Ref::adopt(alloc(stringClass()));
    state<StringState>(string.get())->text = text;
    return string;
}

const std::string* stringValue(id object)
{
    auto* s = stateAs<StringState>(stateOf(object));
    return s ? &s->text : nullptr;
}

Ref makeArray(std::vector<Ref> elements)
{
    Ref array = Ref::adopt(alloc(arrayClass()));
    state<ListState>(array.get())->elements = std::move(elements);
    return array;
}

const std::vector<Ref>* arrayElements(id object)
{
    auto* s = stateAs<ListState>(stateOf(object));
    return s ? &s->elements : nullptr;
}

Ref makeSet(std::vector<Ref> elements)
{
    Ref set = Ref::adopt(alloc(setClass()));
    state<ListState>(set.get())->elements = std::move(elements);
    return set;
}

} // namespace sv::rt
