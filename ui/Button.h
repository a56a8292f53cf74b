#pragma once
// Corvane::UI::Controls::Button: a toolbar button that paints one of four
// skin pictures by its state (normal, hover, pressed, disabled), optionally a
// caption over it, and emits Click when pressed and released inside.
#include <string>

#include "support/Flavour.h"
#include "ui/ControlBase.h"
#include "ui/Signals.h"

namespace Corvane {
namespace UI {
namespace Controls {

class Button : public ControlBase {
public:
    Button();
    // Destroys the names, the caption and the click signal (which disconnects
    // it from its receivers), then the ControlBase part.
    ~Button() override;

    void OnPaint(CPaintEventArgs& e) override;
    void OnMouseDown(CMouseEventArgs& e) override;
    void OnMouseUp(CMouseEventArgs& e) override;
    void OnMouseMove(CMouseEventArgs& e) override;

    // SetParent(parent), then caption = text.
    virtual void Initialize(ControlBase* parent, const PxString& caption);
    // Draws the skin picture of the current state stretched to the bounds.
    virtual void DrawBackground(CPaintEventArgs& e);

    // Skin store names of the four pictures.
    void SetImages(const std::string& normal, const std::string& hover, const std::string& down,
                   const std::string& disabled);
    // Preferred size used by Layout.
    void SetSize(int32_t width, int32_t height) { SetPreferredSize(width, height); }

    // The name DrawBackground uses for the current state.
    const std::string& CurrentImageName() const;
    const PxString& GetCaption() const { return caption_; }

    Signals::Signal0 Click;

private:
    PxString caption_;
    std::string normalImage_;
    std::string hoverImage_;
    std::string disabledImage_;
    std::string downImage_;
};

}  // namespace Controls
}  // namespace UI
}  // namespace Corvane
