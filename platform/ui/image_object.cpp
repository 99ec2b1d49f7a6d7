#include "platform/ui/image_object.h"

#include "platform/runtime/class_builder.h"

namespace sv::ui {
namespace {
    struct ImageState : rt::ObjectState {
        std::shared_ptr<Image> image;
    };

    Class imageClass()
    {
        static Class cls = rt::ClassBuilder("UIImage").state<ImageState>().registerClass();
        return cls;
    }
}

rt::Ref makeImageObject(std::shared_ptr<Image> image)
{
    rt::Ref object = rt::Ref::adopt(rt::alloc(imageClass()));
    rt::state<ImageState>(object.get())->image = std::move(image);
    return object;
}

std::shared_ptr<Image> imageOf(id object)
{
    auto* s = dynamic_cast<ImageState*>(rt::stateOf(object));
    return s ? s->image : nullptr;
}

} // namespace sv::ui

std::optional<std::vector<std::uint8_t>> UIImagePNGRepresentation(id image)
{
    auto bitmap = sv::ui::imageOf(image);
    if (!bitmap)
        return std::nullopt;
    return bitmap->pngData();
}
