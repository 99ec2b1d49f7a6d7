#pragma once
// PSViewController: a preferences screen, made for a content size, knowing its bundle.

#include "platform/ui/view_controller.h"

#include <memory>
#include <string>

namespace sv::prefs {

class PSSpecifier;

class PSViewController : public ui::UIViewController {
public:
    // Null when the content size is not a usable size.
    static std::shared_ptr<PSViewController> initForContentSize(ui::Size size);

    // The row that opened this screen, if any.
    const std::shared_ptr<PSSpecifier>& specifier() const { return specifier_; }
    void setSpecifier(std::shared_ptr<PSSpecifier> specifier) { specifier_ = std::move(specifier); }

    // The folder (device path) of the bundle the class came from; empty for none.
    std::string bundlePath() const;

protected:
    PSViewController() = default;
    bool setUpForContentSize(ui::Size size);

private:
    std::shared_ptr<PSSpecifier> specifier_;
};

} // namespace sv::prefs
