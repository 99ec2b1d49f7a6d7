#include "settings/loading_overlay.h"

#include <iterator>

using namespace sv::ui;

namespace {
constexpr Rect kHudFrame { 60, 100, 200, 205 };
constexpr Rect kLoadingLabelFrame { 5, 164, 190, 20 };
constexpr Rect kLoadingBarFrame { 5, 185, 190, 25 };

struct LoadingStage {
    float progress;
    const char* text;
};
// By the number of progress notices received so far.
constexpr LoadingStage kStages[] = {
    { 0.1f, "Gathering Applications..." },
    { 0.25f, "Gathering Applications..." },
    { 0.4f, "Updating Database..." },
    { 0.6f, "Saving Icons..." },
    { 0.8f, "Cleaning Up..." },
    { 1.0f, "Finished!" },
};
}

SLVLoadingOverlay SLVLoadingOverlay::showIn(const std::shared_ptr<UIView>& view)
{
    SLVLoadingOverlay overlay;
    overlay.waitHud = UIProgressHUD::initWithFrame(kHudFrame);
    if (overlay.waitHud) {
        overlay.waitHud->setText("Please Wait... Loading Applications");
        overlay.waitHud->showInView(view);
        if (view)
            view->addSubview(overlay.waitHud);
    }

    overlay.loadingLabel = UILabel::initWithFrame(kLoadingLabelFrame);
    if (overlay.loadingLabel) {
        overlay.loadingLabel->setTextAlignment(TextAlignment::Center);
        overlay.loadingLabel->setBackgroundColor(UIColor::clearColor());
        overlay.loadingLabel->setTextColor(UIColor::whiteColor());
        overlay.loadingLabel->setText("Initializing...");
        if (overlay.waitHud)
            overlay.waitHud->addSubview(overlay.loadingLabel);
    }

    overlay.loadingView = UIProgressView::initWithProgressViewStyle(UIProgressViewStyle::Default);
    if (overlay.loadingView) {
        if (overlay.waitHud)
            overlay.waitHud->addSubview(overlay.loadingView);
        overlay.loadingView->setFrame(kLoadingBarFrame);
        overlay.loadingView->setProgress(0);
    }
    return overlay;
}

void SLVLoadingOverlay::showStage(std::int32_t notices)
{
    if (notices < 1 || notices > static_cast<std::int32_t>(std::size(kStages)))
        return;
    const LoadingStage& stage = kStages[notices - 1];
    if (loadingView)
        loadingView->setProgress(stage.progress);
    if (loadingLabel)
        loadingLabel->setText(stage.text);
}

void SLVLoadingOverlay::dismiss()
{
    if (waitHud) {
        waitHud->done();
        waitHud->removeFromSuperview();
    }
    *this = {};
}
