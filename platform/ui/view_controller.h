#pragma once
// UIViewController: owns one view, made on first use, and hears when it appears.

#include "platform/ui/geometry.h"
#include "platform/ui/view.h"

#include <memory>
#include <string>
#include <string_view>

namespace sv::ui {

class UINavigationController;

class UIViewController : public std::enable_shared_from_this<UIViewController> {
public:
    // The size a screen's content has below the navigation bar.
    static constexpr Size kContentSize { 320, 416 };

    static std::shared_ptr<UIViewController> init();

    virtual ~UIViewController();
    UIViewController(const UIViewController&) = delete;
    UIViewController& operator=(const UIViewController&) = delete;

    // The class's name, as the runtime would answer it (exact class, not a kind).
    std::string_view className() const;

    // The view, made by loadView on first use.
    virtual std::shared_ptr<UIView> view();
    bool isViewLoaded() const { return view_ != nullptr; }
    virtual void setView(std::shared_ptr<UIView> view);

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    // The title the navigation bar shows.
    virtual std::string navigationTitle() const { return title_; }

    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);
    // After the view laid out its subviews.
    virtual void viewDidLayoutSubviews() { }

    UINavigationController* navigationController() const { return navigationController_; }
    Size contentSize() const { return contentSize_; }

protected:
    UIViewController() = default;
    bool setUp() { return true; }
    void setContentSize(Size size) { contentSize_ = size; }
    // Makes the view: a white one of the content size.
    virtual void loadView();
    virtual void viewDidLoad() { }

private:
    friend class UINavigationController;

    std::shared_ptr<UIView> view_;
    std::string title_;
    Size contentSize_ = kContentSize;
    UINavigationController* navigationController_ = nullptr;
};

} // namespace sv::ui
