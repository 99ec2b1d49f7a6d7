#pragma once
// UIProgressHUD: the system's dark rounded panel with a spinner and a text, shown over a view
// while something loads; done turns the spinner into a check mark.

#include "platform/ui/view.h"

#include <string>

namespace sv::ui {

class UIProgressHUD : public UIView {
public:
    static std::shared_ptr<UIProgressHUD> initWithFrame(const Rect& frame);

    const std::string& text() const { return text_; }
    void setText(std::string text);
    // Becomes a subview of the view (on top of its other subviews).
    void showInView(const std::shared_ptr<UIView>& view);
    bool isShowing() const { return showing_; }
    void done();
    bool isDone() const { return done_; }

protected:
    void drawRect(const Rect& rect) override;
    UIProgressHUD() = default;

private:
    std::string text_;
    bool showing_ = false;
    bool done_ = false;
};

} // namespace sv::ui
