#pragma once
// The chooser's loading overlay: a progress panel over the table while the library exports the
// catalogue, with a line of text and a bar that move one stage on at each progress notice.

#include "platform/ui/label.h"
#include "platform/ui/progress_hud.h"
#include "platform/ui/progress_view.h"

#include <cstdint>
#include <memory>

class SLVLoadingOverlay {
public:
    // Shows the panel in view, with "Initializing..." and an empty bar. Each part is null when it
    // could not be made.
    static SLVLoadingOverlay showIn(const std::shared_ptr<sv::ui::UIView>& view);

    // The stage reached after notices progress notices: the bar and the text of it; nothing
    // before the first or past the last stage.
    void showStage(std::int32_t notices);
    // The panel is done and leaves the view.
    void dismiss();

    std::shared_ptr<sv::ui::UIProgressHUD> waitHud;
    std::shared_ptr<sv::ui::UIProgressView> loadingView;
    std::shared_ptr<sv::ui::UILabel> loadingLabel;
};
