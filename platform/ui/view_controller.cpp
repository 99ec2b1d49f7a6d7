#include "platform/ui/view_controller.h"

#include "platform/foundation/make_set_up.h"
#include "platform/runtime/class_name.h"

namespace sv::ui {

std::shared_ptr<UIViewController> UIViewController::init()
{
    return sv::makeSetUp(new UIViewController, &UIViewController::setUp);
}

std::string_view UIViewController::className() const
{
    return rt::classNameOf(typeid(*this));
}

UIViewController::~UIViewController()
{
    if (view_ && view_->viewController() == this)
        view_->setViewController(nullptr);
}

std::shared_ptr<UIView> UIViewController::view()
{
    if (!view_) {
        loadView();
        if (!view_)
            setView(UIView::initWithFrame({ 0, 0, contentSize_.width, contentSize_.height }));
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view)
{
    if (view_ && view_->viewController() == this)
        view_->setViewController(nullptr);
    view_ = std::move(view);
    if (view_)
        view_->setViewController(this);
}

void UIViewController::loadView()
{
    auto view = UIView::initWithFrame({ 0, 0, contentSize_.width, contentSize_.height });
    view->setBackgroundColor(UIColor::whiteColor());
    setView(std::move(view));
}

void UIViewController::viewWillAppear(bool) { }
void UIViewController::viewDidAppear(bool) { }
void UIViewController::viewWillDisappear(bool) { }
void UIViewController::viewDidDisappear(bool) { }

} // namespace sv::ui
