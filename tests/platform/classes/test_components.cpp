#include "test_components.h"

using namespace qb;

const TEnumInfo TShapeInfo{"TShape", {"shSquare", "shRound", "shStar"}};
const TEnumInfo TMarkInfo{"TMark", {"mkBold", "mkItalic", "mkUnder"}};

int TGadget::Live = 0;
std::vector<std::string> TGadget::Journal;

QB_IMPLEMENT_CLASS(TInner, TPersistent)
std::vector<TPropInfo> TInner::Properties()
{
    return {QB_PROP_INT(TInner, Depth, GetDepth, SetDepth, 1)};
}

QB_IMPLEMENT_CLASS(TPenLike, TPersistent)
std::vector<TPropInfo> TPenLike::Properties()
{
    using T = TPenLike;
    return {
        QB_PROP_INT(T, Width, GetWidth, SetWidth, 1),
        QB_PROP_ENUM(T, Kind, GetKind, SetKind, TShapeInfo, shSquare),
        QB_PROP_OBJECT(T, Inner, GetInner, TInner),
    };
}

void TPenLike::Assign(const TPersistent* source)
{
    if (auto* p = dynamic_cast<const TPenLike*>(source)) {
        width = p->width;
        kind = p->kind;
        return;
    }
    TPersistent::Assign(source);
}

QB_IMPLEMENT_COMPONENT(TGadget, TComponent)
std::vector<TPropInfo> TGadget::Properties()
{
    using T = TGadget;
    return {
        QB_PROP_INT(T, Count, GetCount, SetCount, 0),
        QB_PROP_INT64(T, Big, GetBig, SetBig, 0),
        QB_PROP_DOUBLE(T, Ratio, GetRatio, SetRatio, NoDefault),
        QB_PROP_STRING(T, Text, GetText, SetText, NoDefault),
        QB_PROP_BOOL(T, Active, GetActive, SetActive, false),
        QB_PROP_ENUM(T, Shape, GetShape, SetShape, TShapeInfo, shSquare),
        QB_PROP_SET(T, Marks, GetMarks, SetMarks, "TMarks", TMarkInfo, TMarks{}),
        QB_PROP_COLOR(T, Color, GetColor, SetColor, 0xFFFFFF),
        QB_PROP_COMPONENT(T, Link, GetLink, SetLink, TGadget),
        QB_PROP_EVENT(T, OnChange, GetOnChange, SetOnChange, TNotifyEvent),
        QB_PROP_OBJECT(T, Pen, GetPen, TPenLike),
        QB_PROP_INT(T, Secret, GetSecret, SetSecret, 0).Unpublished(),
    };
}

TGadget::TGadget(TComponent* owner) : TComponent(owner)
{
    ++Live;
}

TGadget::~TGadget()
{
    --Live;
    Journal.push_back("free " + Name());
}

void TGadget::Loaded()
{
    TComponent::Loaded();
    Journal.push_back("loaded " + Name());
}

void TGadget::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == link)
        link = nullptr;
}

void TGadget::SetCount(int v)
{
    if (v < 0)
        throw Exception("Count must not be negative");
    count = v;
}

void TGadget::SetText(const std::string& v)
{
    text = v;
    Journal.push_back("text " + Name() + (ComponentState().Contains(csLoading) ? " loading" : ""));
}

void TGadget::SetLink(TGadget* v)
{
    link = v;
    if (v)
        v->FreeNotification(this);
}

QB_IMPLEMENT_COMPONENT(TBigGadget, TGadget)
std::vector<TPropInfo> TBigGadget::Properties()
{
    using T = TBigGadget;
    return {
        QB_PROP_INT(T, Extra, GetExtra, SetExtra, 0),
        QB_PUBLISH_DEFAULT("Secret", 7),
    };
}

void RegisterTestClasses()
{
    RegisterClass(TComponent::StaticClassInfo());
    RegisterClass(TGadget::StaticClassInfo());
    RegisterClass(TBigGadget::StaticClassInfo());
}
