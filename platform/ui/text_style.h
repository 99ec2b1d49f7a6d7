#pragma once
// How text is broken and aligned when drawn.

namespace sv::ui {

enum class LineBreakMode {
    WordWrap = 0,
    CharacterWrap = 1,
    Clip = 2,
    HeadTruncation = 3,
    TailTruncation = 4,
    MiddleTruncation = 5,
};

enum class TextAlignment {
    Left = 0,
    Center = 1,
    Right = 2,
};

} // namespace sv::ui
