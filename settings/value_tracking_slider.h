#pragma once
// The free-memory slider: while the user drags it, a dark balloon above the thumb shows the
// value quantised to steps of 5 ("175 MB"), and every update of the balloon is reported to the
// delegate, which saves the number.

#include "platform/ui/coder.h"
#include "platform/ui/font.h"
#include "platform/ui/slider.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// What the slider reports to: the root pane. Held weakly by slider and balloon, so that the pane
// (which owns the slider) is never kept alive by it and never called after it is gone.
class ZEVValueTrackingSliderDelegate {
public:
    virtual void valueIsUpdating(const std::string& text, std::int32_t numberToSave) = 0;

protected:
    ~ZEVValueTrackingSliderDelegate() = default;
};

class ZEVSliderValuePopupView final : public sv::ui::UIView {
public:
    static std::shared_ptr<ZEVSliderValuePopupView> initWithFrame(const sv::ui::Rect& frame,
                                                                  std::weak_ptr<ZEVValueTrackingSliderDelegate> del);

    // Quantises the value, reports it, keeps its text and asks for a redraw.
    void setValue(float value);
    float value() const { return _value; }
    const std::optional<sv::ui::UIFont>& font() const { return _font; }
    void setFont(std::optional<sv::ui::UIFont> font) { _font = std::move(font); }
    const std::optional<std::string>& text() const { return _text; }
    void setText(std::optional<std::string> text) { _text = std::move(text); }

protected:
    void drawRect(const sv::ui::Rect& rect) override;

private:
    ZEVSliderValuePopupView() = default;

    std::weak_ptr<ZEVValueTrackingSliderDelegate> ClassDelegate;
    float _value = 0;
    std::optional<sv::ui::UIFont> _font;
    std::optional<std::string> _text;
};

class ZEVValueTrackingSlider final : public sv::ui::UISlider {
public:
    // Null when the base initialiser fails; no balloon is made then.
    static std::shared_ptr<ZEVValueTrackingSlider> initWithFrame(const sv::ui::Rect& frame,
                                                                 std::weak_ptr<ZEVValueTrackingSliderDelegate> del);
    // Restored from an archive: no delegate, so the balloon shows but reports to nobody.
    static std::shared_ptr<ZEVValueTrackingSlider> initWithCoder(const sv::ui::NSCoder& coder);

    // The thumb's frame in the slider's coordinates, computed afresh.
    sv::ui::Rect thumbRect() const;

    bool beginTrackingWithTouch(const sv::ui::UITouch& touch, const sv::ui::UIEvent* event) override;
    bool continueTrackingWithTouch(const sv::ui::UITouch& touch, const sv::ui::UIEvent* event) override;
    void endTrackingWithTouch(const sv::ui::UITouch* touch, const sv::ui::UIEvent* event) override;
    void cancelTrackingWithEvent(const sv::ui::UIEvent* event) override;

    // Owned by the slider and one of its subviews.
    std::shared_ptr<ZEVSliderValuePopupView> valuePopupView;
    std::weak_ptr<ZEVValueTrackingSliderDelegate> ClassDelegate;

private:
    ZEVValueTrackingSlider() = default;

    void _constructSlider();
    void _positionAndUpdatePopupView();
    void _fadePopupViewInAndOut(bool show);
};
