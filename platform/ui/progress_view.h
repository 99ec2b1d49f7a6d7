#pragma once
// UIProgressView: a bar filled from the left as far as its progress (0 to 1).

#include "platform/ui/view.h"

namespace sv::ui {

enum class UIProgressViewStyle { Default = 0, Bar = 1 };

class UIProgressView : public UIView {
public:
    static constexpr float kBarHeight = 9;

    // A bar of the style's own size, placed at the origin.
    static std::shared_ptr<UIProgressView> initWithProgressViewStyle(UIProgressViewStyle style);

    float progress() const { return progress_; }
    // Kept between 0 and 1; a value that is not a number changes nothing.
    void setProgress(float progress);

protected:
    void drawRect(const Rect& rect) override;
    UIProgressView() = default;
    bool setUpWithStyle(UIProgressViewStyle style);

private:
    UIProgressViewStyle style_ = UIProgressViewStyle::Default;
    float progress_ = 0;
};

} // namespace sv::ui
