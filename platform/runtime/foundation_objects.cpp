#include "platform/runtime/foundation_objects.h"

#include "platform/runtime/class_builder.h"

namespace sv::rt {
namespace {

    struct StringState : ObjectState {
        std::string text;
    };

    struct ListState : ObjectState {
        SharedElements elements;
        const std::vector<Ref>& list() const
        {
            static const std::vector<Ref> kNone;
            return elements ? *elements : kNone;
        }
    };

    unsigned long count(id self, SEL) { return state<ListState>(self)->list().size(); }
    id objectAtIndex(id self, SEL, unsigned long index)
    {
        const auto& elements = state<ListState>(self)->list();
        return index < elements.size() ? elements[index].get() : nullptr;
    }
    id allObjects(id self, SEL)
    {
        return autorelease(makeArray(state<ListState>(self)->elements).leak());
    }

    Class stringClass()
    {
        static Class cls = ClassBuilder("NSString").state<StringState>().registerClass();
        return cls;
    }

    // Arrays and sets are both a counted list; they differ in how the elements are reached.
    template <typename R, typename... Args>
    Class listClass(const char* name, const char* accessor, R (*imp)(id, SEL, Args...))
    {
        return ClassBuilder(name).state<ListState>().method("count", &count).method(accessor, imp).registerClass();
    }

    Class arrayClass()
    {
        static Class cls = listClass("NSArray", "objectAtIndex:", &objectAtIndex);
        return cls;
    }

    Class setClass()
    {
        static Class cls = listClass("NSSet", "allObjects", &allObjects);
        return cls;
    }

    Ref makeList(Class cls, SharedElements elements)
    {
        Ref list = Ref::adopt(alloc(cls));
        state<ListState>(list.get())->elements = std::move(elements);
        return list;
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
    return makeList(arrayClass(), std::make_shared<const std::vector<Ref>>(std::move(elements)));
}

Ref makeArray(SharedElements elements)
{
    return makeList(arrayClass(), std::move(elements));
}

const std::vector<Ref>* arrayElements(id object)
{
    auto* s = stateAs<ListState>(stateOf(object));
    return s ? &s->list() : nullptr;
}

Ref makeSet(std::vector<Ref> elements)
{
    return makeList(setClass(), std::make_shared<const std::vector<Ref>>(std::move(elements)));
}

Ref makeSet(SharedElements elements)
{
    return makeList(setClass(), std::move(elements));
}

} // namespace sv::rt
