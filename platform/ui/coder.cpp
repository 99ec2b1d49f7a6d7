#include "platform/ui/coder.h"

#include <cmath>

namespace sv::ui {

std::optional<double> NSCoder::decodeNumber(std::string_view key) const
{
    const Value* value = find(values_, key);
    if (!value)
        return std::nullopt;
    if (auto* real = std::get_if<double>(&value->storage()))
        return std::isfinite(*real) ? std::optional<double>(*real) : std::nullopt;
    if (auto integer = value->integerValue())
        return static_cast<double>(*integer);
    return std::nullopt;
}

std::optional<Rect> NSCoder::decodeRect(std::string_view key) const
{
    const Array* parts = findArray(values_, key);
    if (!parts || parts->size() != 4)
        return std::nullopt;
    float numbers[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const Value& part = (*parts)[i];
        double number;
        if (auto* real = std::get_if<double>(&part.storage()))
            number = *real;
        else if (auto* integer = std::get_if<std::int64_t>(&part.storage()))
            number = static_cast<double>(*integer);
        else
            return std::nullopt;
        if (!std::isfinite(number) || std::fabs(number) > 1e7)
            return std::nullopt;
        numbers[i] = static_cast<float>(number);
    }
    return Rect { numbers[0], numbers[1], numbers[2], numbers[3] };
}

Value NSCoder::encodeRect(const Rect& rect)
{
    return Array { Value(double { rect.x() }), Value(double { rect.y() }), Value(double { rect.width() }),
                   Value(double { rect.height() }) };
}

} // namespace sv::ui
