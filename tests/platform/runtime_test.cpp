#include "platform/runtime/class_builder.h"
#include "platform/runtime/foundation_objects.h"
#include "platform/runtime/object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace sv::rt;

namespace {

struct Counter : ObjectState {
    static inline int alive = 0;
    int value = 41;
    Counter() { ++alive; }
    ~Counter() override { --alive; }
};

int answer(id self, SEL) { return state<Counter>(self)->value + 1; }
float half(id, SEL, float x) { return x / 2; }
int fromBase(id, SEL) { return 1; }
int fromOverride(id, SEL) { return 2; }
int fromReplacement(id, SEL) { return 3; }

Class counterClass()
{
    static Class cls = ClassBuilder("RuntimeTestCounter").state<Counter>().method("answer", &answer).method("half:", &half).registerClass();
    return cls;
}

TEST(Runtime, InstancesCarryStateThatDiesWithTheLastReference)
{
    int before = Counter::alive;
    {
        Ref object = Ref::adopt(alloc(counterClass()));
        EXPECT_EQ(Counter::alive, before + 1);
        Ref second = object;
        EXPECT_EQ(retainCount(object.get()), 2);
        state<Counter>(object.get())->value = 99;
        EXPECT_EQ(msgSend<int>(object.get(), "answer"), 100);
        // Writing the state must not have touched the object's class pointer.
        EXPECT_EQ(object_getClass(object.get()), counterClass());
    }
    EXPECT_EQ(Counter::alive, before);
}

TEST(Runtime, AutoreleasedObjectsLiveUntilTheirPoolCloses)
{
    int before = Counter::alive;
    {
        AutoreleasePool outer;
        {
            AutoreleasePool inner;
            autorelease(alloc(counterClass()));
            EXPECT_EQ(Counter::alive, before + 1);
        }
        EXPECT_EQ(Counter::alive, before);
        autorelease(alloc(counterClass()));
        EXPECT_EQ(Counter::alive, before + 1);
    }
    EXPECT_EQ(Counter::alive, before);
}

TEST(Runtime, MessagesToNothingOrUnknownSelectorsAnswerZero)
{
    Ref object = Ref::adopt(alloc(counterClass()));
    EXPECT_EQ(msgSend<int>(nullptr, "answer"), 0);
    EXPECT_EQ(msgSend<id>(object.get(), "noSuchSelector"), nullptr);
    EXPECT_EQ(msgSend<int>(object.get(), "noSuchSelector:", 5), 0);
    EXPECT_FLOAT_EQ(msgSend<float>(object.get(), "half:", 5.0f), 2.5f);
    msgSend<void>(reinterpret_cast<id>(objc_getClass("NoSuchClassAnywhere")), "sharedInstance");
}

TEST(Runtime, AddMethodRefusesOnlyANameTheClassItselfHas)
{
    Class base = ClassBuilder("RuntimeTestBase").method("value", &fromBase).registerClass();
    Class derived = ClassBuilder("RuntimeTestDerived", base).registerClass();
    Ref object = Ref::adopt(alloc(derived));
    EXPECT_EQ(msgSend<int>(object.get(), "value"), 1);

    EXPECT_FALSE(class_addMethod(base, selector("value"), toImp(&fromOverride), "i@:"));
    EXPECT_TRUE(class_addMethod(derived, selector("value"), toImp(&fromOverride), "i@:"));
    EXPECT_EQ(msgSend<int>(object.get(), "value"), 2);

    // Replacing an implementation changes dispatch at once and hands back the old one.
    Method method = class_getInstanceMethod(derived, selector("value"));
    IMP old = method_setImplementation(method, toImp(&fromReplacement));
    EXPECT_EQ(old, toImp(&fromOverride));
    EXPECT_EQ(msgSend<int>(object.get(), "value"), 3);
    Ref baseObject = Ref::adopt(alloc(base));
    EXPECT_EQ(msgSend<int>(baseObject.get(), "value"), 1);
}

TEST(Runtime, ClassMethodsAnswerThroughTheClassObject)
{
    Class cls = ClassBuilder("RuntimeTestShared").classMethod("sharedValue", &fromOverride).registerClass();
    EXPECT_EQ(msgSend<int>(reinterpret_cast<id>(cls), "sharedValue"), 2);
    EXPECT_EQ(msgSend<int>(classObject("RuntimeTestShared"), "sharedValue"), 2);
    // Class objects are not counted: retaining and releasing them is harmless.
    release(retain(classObject("RuntimeTestShared")));
}

TEST(Runtime, StringsArraysAndSets)
{
    Ref text = makeString("com.example.mail");
    ASSERT_NE(stringValue(text.get()), nullptr);
    EXPECT_EQ(*stringValue(text.get()), "com.example.mail");
    EXPECT_EQ(stringValue(nullptr), nullptr);

    Ref set = makeSet({ text, makeString("b") });
    EXPECT_EQ(msgSend<unsigned long>(set.get(), "count"), 2u);
    AutoreleasePool pool;
    id all = msgSend<id>(set.get(), "allObjects");
    ASSERT_NE(arrayElements(all), nullptr);
    EXPECT_EQ(arrayElements(all)->size(), 2u);
    EXPECT_EQ(msgSend<id>(all, "objectAtIndex:", 0ul), text.get());
    EXPECT_EQ(msgSend<id>(all, "objectAtIndex:", 7ul), nullptr);
    EXPECT_EQ(arrayElements(text.get()), nullptr);
}

// Another library (or the host) may have taken a name first; our class must still carry our state
// and methods, or code that relies on them dereferences nothing.
TEST(Runtime, AClassNameTakenByAnotherMakingDoesNotLoseOurState)
{
    Class foreign = objc_allocateClassPair(rootClass(), "RuntimeTestClash", 0);
    ASSERT_TRUE(foreign);
    objc_registerClassPair(foreign);
    Class ours = ClassBuilder("RuntimeTestClash").state<Counter>().method("answer", &answer).registerClass();
    ASSERT_TRUE(ours);
    EXPECT_NE(ours, foreign);
    EXPECT_EQ(objc_getClass("RuntimeTestClash"), foreign);
    Ref object = Ref::adopt(alloc(ours));
    ASSERT_TRUE(state<Counter>(object.get()));
    EXPECT_EQ(msgSend<int>(object.get(), "answer"), state<Counter>(object.get())->value + 1);

    // The same definition again is the same class; one with other state is not.
    EXPECT_EQ(ClassBuilder("RuntimeTestClash").state<Counter>().method("answer", &answer).registerClass(), ours);
    Class stateless = ClassBuilder("RuntimeTestClash").registerClass();
    EXPECT_NE(stateless, ours);
    EXPECT_NE(stateless, foreign);
}

} // namespace

namespace {

struct BaseState : ObjectState {
    int base = 1;
};
struct DerivedState : BaseState {
    int derived = 2;
};

TEST(Runtime, SelectorsAreTheRuntimesEvenWhenOneAddressHoldsAnotherName)
{
    char name[32] = "count";
    SEL count = selector(name);
    EXPECT_EQ(count, sel_registerName("count"));
    EXPECT_EQ(selector(name), count);
    std::strcpy(name, "objectAtIndex:");
    EXPECT_EQ(selector(name), sel_registerName("objectAtIndex:"));
    EXPECT_STREQ(sel_getName(selector(name)), "objectAtIndex:");
    std::strcpy(name, "count");
    EXPECT_EQ(selector(name), count);
}

TEST(Runtime, StateIsFoundAsItsOwnTypeOrAnyTypeAboveIt)
{
    DerivedState derived;
    BaseState base;
    EXPECT_EQ(stateAs<DerivedState>(&derived), &derived);
    EXPECT_EQ(stateAs<BaseState>(&derived), static_cast<BaseState*>(&derived));
    EXPECT_EQ(stateAs<DerivedState>(&base), nullptr);
    EXPECT_EQ(stateAs<BaseState>(nullptr), nullptr);
    Ref string = makeString("text");
    EXPECT_EQ(arrayElements(string.get()), nullptr);
    ASSERT_NE(stringValue(string.get()), nullptr);
    EXPECT_EQ(*stringValue(string.get()), "text");
}

struct Numbered : ObjectState {
    int number = 0;
};

int numberOf(id self, SEL) { return state<Numbered>(self)->number; }
int negatedNumberOf(id self, SEL) { return -state<Numbered>(self)->number; }

// Many classes met in turn, more than any table of classes holds: each object still finds its
// own state, its own count and its own class's method.
TEST(Runtime, ObjectsOfManyClassesMetInTurnKeepTheirStateCountAndMethods)
{
    std::vector<Class> classes;
    for (int i = 0; i < 40; ++i) {
        std::string name = "RuntimeTestNumbered" + std::to_string(i);
        classes.push_back(ClassBuilder(name.c_str()).state<Numbered>().method("number", i % 2 ? &negatedNumberOf : &numberOf).registerClass());
    }
    std::vector<Ref> objects;
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 40; ++i) {
            objects.push_back(Ref::adopt(alloc(classes[static_cast<std::size_t>(i)])));
            state<Numbered>(objects.back().get())->number = round * 100 + i;
        }
    Ref second = objects[5];
    RepeatedSend<int> number("number");
    for (std::size_t k = 0; k < objects.size(); ++k) {
        int expected = static_cast<int>((k / 40) * 100 + k % 40);
        id object = objects[k].get();
        EXPECT_EQ(state<Numbered>(object)->number, expected);
        EXPECT_EQ(retainCount(object), k == 5 ? 2 : 1);
        EXPECT_EQ(number(object), k % 2 ? -expected : expected);
    }
    // Class objects stay uncounted and stateless, whatever was met before them.
    EXPECT_EQ(retainCount(reinterpret_cast<id>(classes[3])), 0);
    EXPECT_EQ(stateOf(reinterpret_cast<id>(classes[3])), nullptr);
}

TEST(Runtime, ARepeatedSendAnswersZeroForNothingAndForReceiversThatDoNotAnswer)
{
    RepeatedSend<int> answerOf("answer");
    Ref counter = Ref::adopt(alloc(counterClass()));
    Ref text = makeString("no answer here");
    EXPECT_EQ(answerOf(nullptr), 0);
    EXPECT_EQ(answerOf(counter.get()), 42);
    EXPECT_EQ(answerOf(text.get()), 0);
    EXPECT_EQ(answerOf(counter.get()), 42);
}

// A set's allObjects shares the set's elements: the same objects, one reference each, however
// many lists are made of them.
TEST(Runtime, ListsMadeOfTheSameElementsShareThem)
{
    Ref a = makeString("a");
    auto elements = std::make_shared<const std::vector<Ref>>(std::vector<Ref> { a, makeString("b") });
    EXPECT_EQ(retainCount(a.get()), 2);
    Ref set = makeSet(elements);
    Ref array = makeArray(elements);
    {
        AutoreleasePool pool;
        id all = msgSend<id>(set.get(), "allObjects");
        EXPECT_EQ(arrayElements(all), elements.get());
        EXPECT_EQ(msgSend<id>(all, "objectAtIndex:", 1ul), (*elements)[1].get());
        EXPECT_EQ(retainCount(a.get()), 2);
    }
    elements.reset();
    set.reset();
    EXPECT_EQ(msgSend<unsigned long>(array.get(), "count"), 2u);
    array.reset();
    EXPECT_EQ(retainCount(a.get()), 1);
    EXPECT_EQ(msgSend<unsigned long>(makeArray(SharedElements()).get(), "count"), 0u);
}

} // namespace
