// TForm: the root of a form file, painted with all its controls into one image.
#include "qbarcode/controls.h"

namespace qb {

QB_IMPLEMENT_COMPONENT(TForm, TWinControl)

std::vector<TPropInfo> TForm::Properties()
{
    return {
        QB_PROP_STRING(TForm, Caption, Caption, SetCaption, ""),
        QB_PUBLISH("Color"),
        QB_PUBLISH("Font"),
        QB_PUBLISH("ParentFont"),
        QB_PUBLISH("OnClick"),
        QB_PUBLISH("OnResize"),
    };
}

TForm::TForm(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
    SetBounds(0, 0, 320, 240);
}

void TForm::GetChildren(std::vector<TComponent*>& children) const
{
    for (int i = 0; i < ComponentCount(); ++i)
        if (!dynamic_cast<TControl*>(Components(i)))
            children.push_back(Components(i));
    TWinControl::GetChildren(children);
}

void TForm::Paint()
{
    TCanvas& canvas = Canvas();
    const TPoint o = ClientOrigin();
    canvas.Brush().SetColor(Color());
    canvas.FillRect({o.X, o.Y, o.X + ClientWidth(), o.Y + ClientHeight()});
    for (TControl* control : Controls())
        if (control->Visible())
            control->PaintTo(canvas, o.X + control->Left(), o.Y + control->Top());
}

void RegisterControlClasses()
{
    RegisterClass(TForm::StaticClassInfo());
    RegisterClass(TPanel::StaticClassInfo());
    RegisterClass(TPopupMenu::StaticClassInfo());
}

} // namespace qb
