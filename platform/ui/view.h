#pragma once
// UIView: a rectangle in its superview, drawn by drawRect, owning its subviews.
//
// Views are made by named factories that answer null when the initialiser fails (a frame that is
// not finite, an archive without a frame). A subclass's factory runs the base initialiser step
// (setUpWithFrame / setUpWithCoder) and stops when it fails.

#include "platform/ui/color.h"
#include "platform/ui/geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace sv::ui {

class NSCoder;
class UIViewController;

class UIView : public std::enable_shared_from_this<UIView> {
public:
    static std::shared_ptr<UIView> initWithFrame(const Rect& frame);
    static std::shared_ptr<UIView> initWithCoder(const NSCoder& coder);

    virtual ~UIView();
    UIView(const UIView&) = delete;
    UIView& operator=(const UIView&) = delete;

    // The class's name, as the runtime would answer it (exact class, not a kind).
    std::string_view className() const;

    const Rect& frame() const { return frame_; }
    virtual void setFrame(const Rect& frame);
    const Rect& bounds() const { return bounds_; }
    void setBounds(const Rect& bounds);

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    float alpha() const { return alpha_; }
    void setAlpha(float alpha);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }
    const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<UIColor> color);

    // Hierarchy. A view added elsewhere leaves its old superview first.
    UIView* superview() const { return superview_; }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    void addSubview(std::shared_ptr<UIView> view);
    void insertSubviewAtIndex(std::shared_ptr<UIView> view, std::size_t index);
    void removeFromSuperview();
    bool isDescendantOfView(const UIView* view) const;
    // This view or the first descendant (depth first, in subview order) with the tag.
    std::shared_ptr<UIView> viewWithTag(int tag);

    // Coordinates between this view and another of the same hierarchy (null: the root's).
    Point convertPointToView(Point point, const UIView* view) const;
    Point convertPointFromView(Point point, const UIView* view) const;

    // Drawing: paint has drawRect paint the view's own content (not its subviews) into the
    // current context. Views that draw through another view pass the request on.
    virtual void setNeedsDisplay();
    // How many times a redraw was asked for since the view was made (tests and hosts).
    int displayRequests() const { return displayRequests_; }
    void paint(const Rect& rect) { drawRect(rect); }

    // Layout: layoutSubviews runs on layoutIfNeeded once a layout was asked for.
    void setNeedsLayout() { needsLayout_ = true; }
    // Lays out this view and, then, its subviews.
    void layoutIfNeeded();

    // Animation blocks. Alpha changes made inside a block are recorded with the block's duration
    // and take their final value at once (nothing is tweened).
    static void beginAnimations(const char* animationID, void* context);
    static void setAnimationDuration(double duration);
    static void commitAnimations();
    struct AlphaAnimation {
        float from = 0;
        float to = 0;
        double duration = 0;
    };
    // The last committed alpha animation of this view.
    const std::optional<AlphaAnimation>& lastAlphaAnimation() const { return lastAlphaAnimation_; }
    std::size_t alphaAnimationCount() const { return alphaAnimationCount_; }

    // The controller whose view this is (set by the controller), or null.
    UIViewController* viewController() const { return viewController_; }
    void setViewController(UIViewController* controller) { viewController_ = controller; }

protected:
    // The hooks a subclass fills in: reached only through paint and layoutIfNeeded.
    virtual void drawRect(const Rect& rect);
    virtual void layoutSubviews() { }
    UIView() = default;
    // The initialiser steps; false when the view cannot be made.
    bool setUpWithFrame(const Rect& frame);
    bool setUpWithCoder(const NSCoder& coder);
    // Puts view (or nothing) in the place of the subview held in held, at index among the
    // subviews (past the end: on top).
    void replaceHeldSubview(std::shared_ptr<UIView>& held, std::shared_ptr<UIView> view, std::size_t index = SIZE_MAX);
    // Sets something drawRect draws from: the view draws again.
    template <typename T, typename V> void setDrawn(T& property, V&& value)
    {
        property = std::forward<V>(value);
        setNeedsDisplay();
    }
    // The same, when the value is a new one.
    template <typename T, typename V> void setDrawnIfChanged(T& property, V&& value)
    {
        if (property != value)
            setDrawn(property, std::forward<V>(value));
    }

private:
    // Sets the frame or the bounds; the two share one size, and a new size asks for a layout.
    // Whether the size changed.
    bool resize(Rect& rect, const Rect& to);
    void adopt(std::shared_ptr<UIView> view, std::size_t index);
    void recordAlphaAnimation(AlphaAnimation animation);

    Rect frame_;
    Rect bounds_;
    int tag_ = 0;
    float alpha_ = 1;
    bool hidden_ = false;
    bool opaque_ = true;
    bool clipsToBounds_ = false;
    std::optional<UIColor> backgroundColor_;
    UIView* superview_ = nullptr;
    std::vector<std::shared_ptr<UIView>> subviews_;
    bool needsLayout_ = true;
    int displayRequests_ = 0;
    std::optional<AlphaAnimation> lastAlphaAnimation_;
    std::size_t alphaAnimationCount_ = 0;
    UIViewController* viewController_ = nullptr;
};

} // namespace sv::ui
