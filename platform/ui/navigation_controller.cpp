#include "platform/ui/navigation_controller.h"

#include "platform/foundation/make_set_up.h"
#include "platform/ui/bezier_path.h"
#include "platform/ui/label.h"
#include "platform/ui/string_drawing.h"

#include <algorithm>

namespace sv::ui {
namespace {
    // The bar: a blue-grey band, the title in its middle and, below the root, a back button
    // named after the screen underneath.
    class UINavigationBar final : public UIView {
    public:
        static std::shared_ptr<UINavigationBar> make(const Rect& frame)
        {
            auto bar = sv::makeSetUp(new UINavigationBar, &UINavigationBar::setUpWithFrame, frame);
            if (bar)
                bar->setBackgroundColor(UIColor::colorWithRed(0.43f, 0.52f, 0.64f, 1));
            return bar;
        }

        void setTitles(std::string title, std::string back)
        {
            title_ = std::move(title);
            back_ = std::move(back);
            setNeedsDisplay();
        }

    protected:
        void drawRect(const Rect&) override
        {
            Rect b = bounds();
            UIColor::colorWithRed(0.55f, 0.63f, 0.74f, 1).setFill();
            UIBezierPath::bezierPathWithRect({ b.x(), b.y(), b.width(), b.height() / 2 }).fill();
            UIColor::colorWithRed(0.27f, 0.33f, 0.42f, 1).setFill();
            UIBezierPath::bezierPathWithRect({ b.x(), b.maxY() - 1, b.width(), 1 }).fill();
            UIFont titleFont = UIFont::boldSystemFontOfSize(20);
            float left = 10;
            if (!back_.empty()) {
                UIFont backFont = UIFont::boldSystemFontOfSize(12);
                float width = std::min(90.0f, sizeWithFont(back_, backFont).width + 22);
                UIBezierPath button = UIBezierPath::bezierPathWithRoundedRect({ 6, 7, width, 30 }, 5);
                UIColor::colorWithRed(0.33f, 0.41f, 0.52f, 1).setFill();
                button.fill();
                UIColor::whiteColor().setFill();
                float lineHeight = backFont.lineHeight();
                drawInRect(back_, { 14, 7 + (30 - lineHeight) / 2, width - 14, lineHeight }, backFont,
                           LineBreakMode::TailTruncation, TextAlignment::Left);
                left = 6 + width + 6;
            }
            UIColor::whiteColor().setFill();
            float lineHeight = titleFont.lineHeight();
            float inset = std::max(left, 10.0f);
            drawInRect(title_, { inset, (b.height() - lineHeight) / 2, b.width() - 2 * inset, lineHeight }, titleFont,
                       LineBreakMode::TailTruncation, TextAlignment::Center);
        }

    private:
        UINavigationBar() = default;
        std::string title_;
        std::string back_;
    };
}

std::shared_ptr<UINavigationController> UINavigationController::initWithRootViewController(
    std::shared_ptr<UIViewController> root)
{
    auto navigation = sv::makeSetUp(new UINavigationController, &UINavigationController::setUp);
    if (!navigation)
        return nullptr;
    if (root)
        navigation->pushViewController(std::move(root), false);
    return navigation;
}

UINavigationController::~UINavigationController()
{
    for (auto& controller : controllers_)
        if (controller->navigationController_ == this)
            controller->navigationController_ = nullptr;
}

void UINavigationController::loadView()
{
    auto view = UIView::initWithFrame({ 0, 0, kViewSize.width, kViewSize.height });
    view->setBackgroundColor(UIColor::whiteColor());
    bar_ = UINavigationBar::make({ 0, 0, kViewSize.width, kBarHeight });
    view->addSubview(bar_);
    setView(std::move(view));
    showTop();
}

std::shared_ptr<UIViewController> UINavigationController::topViewController() const
{
    return controllers_.empty() ? nullptr : controllers_.back();
}

void UINavigationController::showTop()
{
    auto top = topViewController();
    if (isViewLoaded()) {
        std::string back = controllers_.size() > 1 ? controllers_[controllers_.size() - 2]->navigationTitle() : "";
        static_cast<UINavigationBar&>(*bar_).setTitles(top ? top->navigationTitle() : "", std::move(back));
        if (content_)
            content_->removeFromSuperview();
        content_ = nullptr;
    }
    if (!top)
        return;
    auto content = top->view();
    if (!content)
        return;
    content->setFrame({ 0, kBarHeight, content->frame().width(), content->frame().height() });
    if (isViewLoaded()) {
        content_ = content;
        UIViewController::view()->addSubview(content);
    }
    content->layoutIfNeeded();
}

void UINavigationController::pushViewController(std::shared_ptr<UIViewController> controller, bool animated)
{
    if (!controller || std::find(controllers_.begin(), controllers_.end(), controller) != controllers_.end())
        return;
    auto previous = topViewController();
    if (previous)
        previous->viewWillDisappear(animated);
    controller->navigationController_ = this;
    controllers_.push_back(controller);
    controller->viewWillAppear(animated);
    showTop();
    if (previous)
        previous->viewDidDisappear(animated);
    controller->viewDidAppear(animated);
    if (observer_)
        observer_(Change::Pushed, *controller);
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated)
{
    if (controllers_.size() <= 1)
        return nullptr;
    auto popped = controllers_.back();
    popped->viewWillDisappear(animated);
    controllers_.pop_back();
    auto top = topViewController();
    top->viewWillAppear(animated);
    showTop();
    popped->viewDidDisappear(animated);
    popped->navigationController_ = nullptr;
    top->viewDidAppear(animated);
    if (observer_)
        observer_(Change::Popped, *popped);
    return popped;
}

} // namespace sv::ui
