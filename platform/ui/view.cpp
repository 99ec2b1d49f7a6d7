#include "platform/ui/view.h"

#include "platform/foundation/make_set_up.h"
#include "platform/runtime/class_name.h"
#include "platform/ui/coder.h"
#include "platform/ui/view_controller.h"

#include <algorithm>
#include <cmath>

namespace sv::ui {
namespace {
    bool finite(const Rect& r)
    {
        return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
    }

    struct AnimationBlock {
        double duration = 0.2;
        struct Change {
            std::weak_ptr<UIView> view;
            float from;
        };
        std::vector<Change> changes;
    };

    std::vector<AnimationBlock>& openBlocks()
    {
        static std::vector<AnimationBlock> blocks;
        return blocks;
    }
}

std::shared_ptr<UIView> UIView::initWithFrame(const Rect& frame)
{
    return sv::makeSetUp(new UIView, &UIView::setUpWithFrame, frame);
}

std::shared_ptr<UIView> UIView::initWithCoder(const NSCoder& coder)
{
    return sv::makeSetUp(new UIView, &UIView::setUpWithCoder, coder);
}

std::string_view UIView::className() const
{
    return rt::classNameOf(typeid(*this));
}

UIView::~UIView()
{
    for (auto& subview : subviews_)
        subview->superview_ = nullptr;
}

bool UIView::setUpWithFrame(const Rect& frame)
{
    if (!finite(frame))
        return false;
    setFrame(frame);
    return true;
}

bool UIView::setUpWithCoder(const NSCoder& coder)
{
    auto frame = coder.decodeRect("frame");
    if (!frame)
        return false;
    setFrame(*frame);
    if (auto tag = coder.decodeNumber("tag"); tag && std::fabs(*tag) < 2e9)
        tag_ = static_cast<int>(*tag);
    if (auto alpha = coder.decodeNumber("alpha"))
        alpha_ = std::clamp(static_cast<float>(*alpha), 0.0f, 1.0f);
    if (auto hidden = coder.decodeNumber("hidden"))
        hidden_ = *hidden != 0;
    return true;
}

void UIView::setFrame(const Rect& frame)
{
    if (finite(frame) && resize(frame_, frame))
        setNeedsDisplay();
}

void UIView::setBounds(const Rect& bounds)
{
    if (!finite(bounds))
        return;
    resize(bounds_, bounds);
    setNeedsDisplay();
}

bool UIView::resize(Rect& rect, const Rect& to)
{
    bool resized = to.size != rect.size;
    rect = to;
    frame_.size = bounds_.size = to.size;
    if (resized)
        setNeedsLayout();
    return resized;
}

void UIView::setAlpha(float alpha)
{
    if (std::isnan(alpha))
        return;
    float from = alpha_;
    alpha_ = std::clamp(alpha, 0.0f, 1.0f);
    auto& blocks = openBlocks();
    if (blocks.empty())
        return;
    auto self = weak_from_this();
    if (self.expired())
        return;
    auto& changes = blocks.back().changes;
    bool seen = std::any_of(changes.begin(), changes.end(), [this](const AnimationBlock::Change& c) {
        return c.view.lock().get() == this;
    });
    if (!seen)
        changes.push_back({ self, from });
}

void UIView::setHidden(bool hidden)
{
    hidden_ = hidden;
}

void UIView::setBackgroundColor(std::optional<UIColor> color)
{
    setDrawn(backgroundColor_, color);
}

void UIView::adopt(std::shared_ptr<UIView> view, std::size_t index)
{
    if (!view || view.get() == this || isDescendantOfView(view.get()))
        return;
    if (view->superview_)
        view->removeFromSuperview();
    view->superview_ = this;
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), std::move(view));
    setNeedsLayout();
}

void UIView::replaceHeldSubview(std::shared_ptr<UIView>& held, std::shared_ptr<UIView> view, std::size_t index)
{
    if (held)
        held->removeFromSuperview();
    held = std::move(view);
    if (held)
        adopt(held, index);
}

void UIView::addSubview(std::shared_ptr<UIView> view)
{
    adopt(std::move(view), subviews_.size());
}

void UIView::insertSubviewAtIndex(std::shared_ptr<UIView> view, std::size_t index)
{
    adopt(std::move(view), index);
}

void UIView::removeFromSuperview()
{
    UIView* parent = superview_;
    if (!parent)
        return;
    // The superview may hold the last reference.
    auto keep = shared_from_this();
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [this](const auto& v) { return v.get() == this; }),
                   siblings.end());
    superview_ = nullptr;
}

bool UIView::isDescendantOfView(const UIView* view) const
{
    for (const UIView* v = this; v; v = v->superview_)
        if (v == view)
            return true;
    return false;
}

std::shared_ptr<UIView> UIView::viewWithTag(int tag)
{
    if (tag_ == tag)
        return shared_from_this();
    for (auto& subview : subviews_)
        if (auto found = subview->viewWithTag(tag))
            return found;
    return nullptr;
}

Point UIView::convertPointToView(Point point, const UIView* view) const
{
    // Up to the root, then down to the other view.
    for (const UIView* v = this; v->superview_; v = v->superview_) {
        point.x += v->frame_.x() - v->bounds_.x();
        point.y += v->frame_.y() - v->bounds_.y();
    }
    if (!view)
        return point;
    for (const UIView* v = view; v->superview_; v = v->superview_) {
        point.x -= v->frame_.x() - v->bounds_.x();
        point.y -= v->frame_.y() - v->bounds_.y();
    }
    return point;
}

Point UIView::convertPointFromView(Point point, const UIView* view) const
{
    if (view)
        return view->convertPointToView(point, this);
    for (const UIView* v = this; v->superview_; v = v->superview_) {
        point.x -= v->frame_.x() - v->bounds_.x();
        point.y -= v->frame_.y() - v->bounds_.y();
    }
    return point;
}

void UIView::setNeedsDisplay()
{
    ++displayRequests_;
}

void UIView::drawRect(const Rect&) { }

void UIView::layoutIfNeeded()
{
    auto keep = shared_from_this();
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
        if (viewController_)
            viewController_->viewDidLayoutSubviews();
    }
    // A copy: layout may add or remove subviews.
    auto children = subviews_;
    for (auto& subview : children)
        subview->layoutIfNeeded();
}

void UIView::beginAnimations(const char*, void*)
{
    openBlocks().emplace_back();
}

void UIView::setAnimationDuration(double duration)
{
    if (!openBlocks().empty() && std::isfinite(duration) && duration >= 0)
        openBlocks().back().duration = duration;
}

void UIView::commitAnimations()
{
    auto& blocks = openBlocks();
    if (blocks.empty())
        return;
    AnimationBlock block = std::move(blocks.back());
    blocks.pop_back();
    for (auto& change : block.changes)
        if (auto view = change.view.lock())
            view->recordAlphaAnimation({ change.from, view->alpha_, block.duration });
}

void UIView::recordAlphaAnimation(AlphaAnimation animation)
{
    lastAlphaAnimation_ = animation;
    ++alphaAnimationCount_;
}

} // namespace sv::ui
