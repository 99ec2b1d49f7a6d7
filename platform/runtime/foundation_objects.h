#pragma once
// The few value objects that cross the runtime between the home screen and the library:
// strings ("NSString"), ordered lists ("NSArray") and unordered sets ("NSSet", which answers
// allObjects).

#include "platform/runtime/object.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sv::rt {

Ref makeString(std::string_view text);
// The text of an NSString, or null for anything else (null included).
const std::string* stringValue(id object);

Ref makeArray(std::vector<Ref> elements);
// The elements of an NSArray or NSSet, or null for anything else.
const std::vector<Ref>* arrayElements(id object);

Ref makeSet(std::vector<Ref> elements);

// The elements of a list never change once it is made, so lists can share them: a set's
// allObjects, or a list made again from the same elements, costs no reference per element.
using SharedElements = std::shared_ptr<const std::vector<Ref>>;
Ref makeArray(SharedElements elements);
Ref makeSet(SharedElements elements);

} // namespace sv::rt
