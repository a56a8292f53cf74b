#include "ui/Button.h"

#include "ui/Drawing.h"
#include "ui/FontSet.h"
#include "ui/ImageLister.h"

namespace Corvane {
namespace UI {
namespace Controls {

namespace {
// DT_CENTER | DT_VCENTER | DT_SINGLELINE.
constexpr UINT kCaptionFormat = 37;
}  // namespace

Button::Button()
    : normalImage_("BtnNormal"),
      hoverImage_("BtnHover"),
      disabledImage_("BtnDisable"),
      downImage_("BtnDown") {}

Button::~Button() = default;

void Button::Initialize(ControlBase* parent, const PxString& caption) {
    SetParent(parent);
    caption_ = caption;
}

void Button::SetImages(const std::string& normal, const std::string& hover,
                       const std::string& down, const std::string& disabled) {
    normalImage_ = normal;
    hoverImage_ = hover;
    downImage_ = down;
    disabledImage_ = disabled;
}

const std::string& Button::CurrentImageName() const {
    if (disabled_) return disabledImage_;
    if (state_ & StatePressed) return downImage_;
    if (state_ & StateHover) return hoverImage_;
    return normalImage_;
}

void Button::DrawBackground(CPaintEventArgs& e) {
    ImageLister::Instance().DrawImage(e.dc, CurrentImageName(), bounds_);
}

void Button::OnPaint(CPaintEventArgs& e) {
    if (!visible_) return;
    DrawBackground(e);
    if (caption_.empty()) return;
    FontSet& fonts = FontSet::Instance();
    DrawTextIn(e.dc, bounds_, caption_,
               disabled_ ? fonts.DisabledColour() : fonts.NormalColour(), fonts.RegularFont(),
               kCaptionFormat);
}

void Button::OnMouseDown(CMouseEventArgs& e) {
    if (!visible_ || disabled_ || !HitTest(e.x, e.y)) return;
    e.handled = 1;
    e.handler = this;
    state_ |= StatePressed;
    Invalidate();
}

void Button::OnMouseMove(CMouseEventArgs& e) {
    if (!visible_ || disabled_ || (state_ & StatePressed)) return;
    const uint32_t before = state_;
    if (HitTest(e.x, e.y))
        state_ |= StateHover;
    else
        state_ &= ~static_cast<uint32_t>(StateHover);
    if (state_ != before) Invalidate();
}

void Button::OnMouseUp(CMouseEventArgs& e) {
    if (!visible_ || disabled_ || !(state_ & StatePressed)) return;
    if (HitTest(e.x, e.y)) {
        state_ &= ~static_cast<uint32_t>(StatePressed);
        Invalidate();
        // Last: the handler runs after this button has repainted its state.
        Click.Emit();
    } else {
        state_ = 0;
        Invalidate();
    }
}

}  // namespace Controls
}  // namespace UI
}  // namespace Corvane
