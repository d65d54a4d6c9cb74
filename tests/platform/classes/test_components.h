// Components with one published property of every kind, for the component and
// form file tests.
#pragma once

#include "qbarcode/classes.h"

#include <string>
#include <vector>

using namespace qb;

enum TShape { shSquare, shRound, shStar };
extern const TEnumInfo TShapeInfo;
enum class TMark { mkBold, mkItalic, mkUnder };
extern const TEnumInfo TMarkInfo;
using TMarks = TSet<TMark>;

/// A sub-object streamed as Pen.Width, Pen.Kind, Pen.Inner.Depth.
class TInner : public TPersistent {
    QB_CLASS(TInner, TPersistent)
    int GetDepth() const { return depth; }
    void SetDepth(int v) { depth = v; }
    int depth = 1;
};

class TPenLike : public TPersistent {
    QB_CLASS(TPenLike, TPersistent)
    int GetWidth() const { return width; }
    void SetWidth(int v) { width = v; }
    TShape GetKind() const { return kind; }
    void SetKind(TShape v) { kind = v; }
    TInner* GetInner() const { return const_cast<TInner*>(&inner); }
    void Assign(const TPersistent* source) override;
    int width = 1;
    TShape kind = shSquare;
    TInner inner;
};

/// Counts live instances and records what happens to it in a shared journal.
class TGadget : public TComponent {
    QB_CLASS(TGadget, TComponent)
    explicit TGadget(TComponent* owner);
    ~TGadget() override;
    static int Live;
    static std::vector<std::string> Journal;

    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;

    int GetCount() const { return count; }
    void SetCount(int v);
    long long GetBig() const { return big; }
    void SetBig(long long v) { big = v; }
    double GetRatio() const { return ratio; }
    void SetRatio(double v) { ratio = v; }
    const std::string& GetText() const { return text; }
    void SetText(const std::string& v);
    bool GetActive() const { return active; }
    void SetActive(bool v) { active = v; }
    TShape GetShape() const { return shape; }
    void SetShape(TShape v) { shape = v; }
    TMarks GetMarks() const { return marks; }
    void SetMarks(TMarks v) { marks = v; }
    TColor GetColor() const { return color; }
    void SetColor(TColor v) { color = v; }
    TGadget* GetLink() const { return link; }
    void SetLink(TGadget* v);
    const TNotifyEvent& GetOnChange() const { return onChange; }
    void SetOnChange(TNotifyEvent v) { onChange = std::move(v); }
    TPenLike* GetPen() const { return const_cast<TPenLike*>(&pen); }

    int count = 0;
    long long big = 0;
    double ratio = 2.0;
    std::string text;
    bool active = false;
    TShape shape = shSquare;
    TMarks marks;
    TColor color = 0xFFFFFF;
    TGadget* link = nullptr;
    TNotifyEvent onChange;
    TPenLike pen;

protected:
    int GetSecret() const { return secret; }
    void SetSecret(int v) { secret = v; }
    int secret = 0;
};

/// Publishes TGadget's unpublished Secret (with a new default) and adds a property.
class TBigGadget : public TGadget {
    QB_CLASS(TBigGadget, TGadget)
    using TGadget::TGadget;
    int GetExtra() const { return extra; }
    void SetExtra(int v) { extra = v; }
    int extra = 0;
};

/// Registers the test classes once.
void RegisterTestClasses();
