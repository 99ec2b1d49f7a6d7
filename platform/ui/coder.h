#pragma once
// NSCoder: the archive a view is restored from (as from an interface file). Keyed values:
// "frame" (array of four numbers) for every view, plus what a class adds ("minimumValue",
// "maximumValue", "value" for a slider; "tag", "alpha", "hidden" optional).

#include "platform/foundation/value.h"
#include "platform/ui/geometry.h"

#include <optional>
#include <string_view>

namespace sv::ui {

class NSCoder {
public:
    NSCoder() = default;
    explicit NSCoder(Dictionary values) : values_(std::move(values)) { }

    // Nothing when the key is missing or holds something else.
    std::optional<double> decodeNumber(std::string_view key) const;
    std::optional<Rect> decodeRect(std::string_view key) const;

    static Value encodeRect(const Rect& rect);

private:
    Dictionary values_;
};

} // namespace sv::ui
