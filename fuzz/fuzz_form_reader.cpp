// Drives the form reader with any bytes. Anything but EReadError is a finding,
// and so is a form that reads but does not survive write -> read -> write
// byte for byte.
#include "qbarcode/classes.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

using namespace qb;

namespace {

enum TKind { kdOne, kdTwo, kdThree };
const TEnumInfo TKindInfo{"TKind", {"kdOne", "kdTwo", "kdThree"}};
using TKinds = TSet<TKind>;

class TFuzzSub : public TPersistent {
    QB_CLASS(TFuzzSub, TPersistent)
    int GetSize() const { return size; }
    void SetSize(int v) { size = v; }
    TKind GetKind() const { return kind; }
    void SetKind(TKind v) { kind = v; }
    int size = 8;
    TKind kind = kdOne;
};
QB_IMPLEMENT_CLASS(TFuzzSub, TPersistent)
std::vector<TPropInfo> TFuzzSub::Properties()
{
    return {QB_PROP_INT(TFuzzSub, Size, GetSize, SetSize, 8),
            QB_PROP_ENUM(TFuzzSub, Kind, GetKind, SetKind, TKindInfo, kdOne)};
}

class TFuzzThing : public TComponent {
    QB_CLASS(TFuzzThing, TComponent)
    using TComponent::TComponent;
    int GetI() const { return i; }
    void SetI(int v)
    {
        if (v == 13)
            throw Exception("unlucky"); // a writer that refuses a value
        i = v;
    }
    long long GetL() const { return l; }
    void SetL(long long v) { l = v; }
    double GetD() const { return d; }
    void SetD(double v) { d = v; }
    const std::string& GetS() const { return s; }
    void SetS(const std::string& v) { s = v; }
    bool GetB() const { return b; }
    void SetB(bool v) { b = v; }
    TKind GetK() const { return k; }
    void SetK(TKind v) { k = v; }
    TKinds GetKs() const { return ks; }
    void SetKs(TKinds v) { ks = v; }
    TColor GetC() const { return c; }
    void SetC(TColor v) { c = v; }
    TComponent* GetRef() const { return ref; }
    void SetRef(TComponent* v)
    {
        ref = v;
        if (v)
            v->FreeNotification(this);
    }
    void Notification(TComponent* component, TOperation operation) override
    {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == ref)
            ref = nullptr;
    }
    const TNotifyEvent& GetE() const { return e; }
    void SetE(TNotifyEvent v) { e = std::move(v); }
    TFuzzSub* GetSub() const { return const_cast<TFuzzSub*>(&sub); }

    int i = 0;
    long long l = 0;
    double d = 1.5;
    std::string s;
    bool b = false;
    TKind k = kdOne;
    TKinds ks;
    TColor c = 0;
    TComponent* ref = nullptr;
    TNotifyEvent e;
    TFuzzSub sub;
};
QB_IMPLEMENT_COMPONENT(TFuzzThing, TComponent)
std::vector<TPropInfo> TFuzzThing::Properties()
{
    using T = TFuzzThing;
    return {
        QB_PROP_INT(T, I, GetI, SetI, 0),
        QB_PROP_INT64(T, L, GetL, SetL, NoDefault),
        QB_PROP_DOUBLE(T, D, GetD, SetD, 1.5),
        QB_PROP_STRING(T, S, GetS, SetS, ""),
        QB_PROP_BOOL(T, B, GetB, SetB, false),
        QB_PROP_ENUM(T, K, GetK, SetK, TKindInfo, kdOne),
        QB_PROP_SET(T, Ks, GetKs, SetKs, "TKinds", TKindInfo, TKinds{}),
        QB_PROP_COLOR(T, C, GetC, SetC, 0),
        QB_PROP_COMPONENT(T, Ref, GetRef, SetRef, TComponent),
        QB_PROP_EVENT(T, E, GetE, SetE, TNotifyEvent),
        QB_PROP_OBJECT(T, Sub, GetSub, TFuzzSub),
    };
}

const TFormHandlers& Handlers()
{
    static TFormHandlers h = [] {
        TFormHandlers t;
        t.Add("H1", [](TObject*) {});
        t.Add("H2", [](TObject*) {});
        return t;
    }();
    return h;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static bool registered = [] {
        RegisterClass(TFuzzThing::StaticClassInfo());
        return true;
    }();
    (void)registered;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<TComponent> root;
    try {
        root.reset(ReadComponentString(text, "fuzz.txt", nullptr, &Handlers()));
    } catch (const EReadError&) {
        return 0;
    }
    const std::string first = WriteComponentString(*root);
    std::unique_ptr<TComponent> again(ReadComponentString(first, "again.txt", nullptr, &Handlers()));
    if (WriteComponentString(*again) != first)
        std::abort();
    return 0;
}
