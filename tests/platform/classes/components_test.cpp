// The object model: ownership, names, notifications, class information,
// published-property lists, the registry and the palette.
#include "test_components.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qb;

namespace {

class Components : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        TGadget::Journal.clear();
    }
    void TearDown() override { EXPECT_EQ(TGadget::Live, 0); }
};

TEST_F(Components, OwnerFreesOwnedInReverseOrderOfInsertion)
{
    auto* owner = new TGadget(nullptr);
    owner->SetName("Owner");
    for (const char* name : {"A", "B", "C"})
        (new TGadget(owner))->SetName(name);
    EXPECT_EQ(owner->ComponentCount(), 3);
    EXPECT_EQ(owner->Components(1)->Name(), "B");
    delete owner;
    EXPECT_EQ(TGadget::Journal, (std::vector<std::string>{"free Owner", "free C", "free B", "free A"}));
}

TEST_F(Components, FreeingAnOwnedComponentLeavesItsOwner)
{
    TGadget owner(nullptr);
    auto* a = new TGadget(&owner);
    auto* b = new TGadget(&owner);
    delete a;
    ASSERT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), b);
    EXPECT_EQ(b->ComponentIndex(), 0);
    EXPECT_THROW(owner.Components(1), Exception);
}

TEST_F(Components, NamesAreIdentifiersUniqueAmongTheOwnersComponents)
{
    TGadget owner(nullptr);
    auto* a = new TGadget(&owner);
    auto* b = new TGadget(&owner);
    a->SetName("BarCode1");
    struct Case {
        const char* name;
        const char* error; // nullptr: accepted
    } cases[] = {
        {"_x9", nullptr},
        {"", nullptr},
        {"1abc", "'1abc' is not a valid component name."},
        {"a b", "'a b' is not a valid component name."},
        {"Font.Name", "'Font.Name' is not a valid component name."},
        {"barcode1", "A component named barcode1 already exists."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.error) {
            EXPECT_NO_THROW(b->SetName(c.name));
            continue;
        }
        try {
            b->SetName(c.name);
            ADD_FAILURE() << "accepted";
        } catch (const EComponentError& e) {
            EXPECT_EQ(e.Message, c.error);
        }
    }
    a->SetName("BARCODE1"); // renaming itself is not a duplicate
    EXPECT_EQ(owner.FindComponent("barcode1"), a);
    EXPECT_EQ(owner.FindComponent("nothing"), nullptr);
}

TEST_F(Components, FreeNotificationWorksInBothDirections)
{
    for (bool freeLinkedFirst : {true, false}) {
        SCOPED_TRACE(freeLinkedFirst);
        auto* user = new TGadget(nullptr);
        auto* source = new TGadget(nullptr);
        user->SetLink(source); // source->FreeNotification(user)
        source->SetLink(user);
        if (freeLinkedFirst) {
            delete source;
            EXPECT_EQ(user->link, nullptr);
            delete user; // must not touch the freed source
        } else {
            delete user;
            EXPECT_EQ(source->link, nullptr);
            delete source;
        }
    }
}

TEST_F(Components, RemoveFreeNotificationDropsTheLink)
{
    TGadget a(nullptr);
    auto* b = new TGadget(nullptr);
    a.link = b;
    b->FreeNotification(&a);
    a.RemoveFreeNotification(b);
    delete b;
    EXPECT_NE(a.link, nullptr); // no notification arrived
    a.link = nullptr;
}

TEST_F(Components, SiblingsHearOfInsertionAndRemoval)
{
    TGadget owner(nullptr);
    auto* watcher = new TGadget(&owner);
    auto* other = new TGadget(&owner);
    watcher->link = other;
    delete other; // opRemove reaches the sibling through the owner
    EXPECT_EQ(watcher->link, nullptr);
}

TEST_F(Components, DesigningReachesOwnedAndLaterInsertedComponents)
{
    TGadget owner(nullptr);
    auto* a = new TGadget(&owner);
    owner.SetDesigning(true);
    auto* b = new TGadget(&owner);
    EXPECT_TRUE(a->ComponentState().Contains(csDesigning));
    EXPECT_TRUE(b->ComponentState().Contains(csDesigning));
    owner.SetDesigning(false);
    EXPECT_FALSE(b->ComponentState().Contains(csDesigning));
}

TEST_F(Components, AssignRaisesForAnUnsupportedSource)
{
    TPenLike pen;
    TInner inner;
    struct Case {
        const TPersistent* source;
        const char* message;
    } cases[] = {
        {&inner, "Cannot assign a TInner to a TPenLike."},
        {nullptr, "Cannot assign a nil to a TPenLike."},
    };
    for (const Case& c : cases) {
        try {
            pen.Assign(c.source);
            ADD_FAILURE();
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, c.message);
        }
    }
    TPenLike other;
    other.width = 5;
    pen.Assign(&other);
    EXPECT_EQ(pen.width, 5);
}

TEST_F(Components, EventsCarryTheirHandlerName)
{
    TNotifyEvent none;
    none(nullptr); // calling an unassigned event does nothing
    TObject* seen = nullptr;
    TNotifyEvent e([&](TObject* s) { seen = s; }, "Gadget1Change");
    TGadget g(nullptr);
    TNotifyEvent copy = TNotifyEvent::FromRef(e.ToRef());
    copy(&g);
    EXPECT_EQ(seen, &g);
    EXPECT_EQ(copy.Name, "Gadget1Change");
    using TOther = TEvent<TObject*, int>;
    EXPECT_THROW(TOther::FromRef(e.ToRef()), Exception);
}

class TestAction : public TBasicAction {
public:
    using TBasicAction::TBasicAction;
    bool HandlesTarget(TObject* target) override { return dynamic_cast<TGadget*>(target) != nullptr; }
    void ExecuteTarget(TObject*) override { ++executed; }
    int executed = 0;
};

TEST_F(Components, ActionsRunOnTargetsTheyHandle)
{
    TestAction action(nullptr);
    TGadget gadget(nullptr);
    TComponent plain(nullptr);
    EXPECT_TRUE(gadget.ExecuteAction(&action));
    EXPECT_FALSE(plain.ExecuteAction(&action));
    EXPECT_EQ(action.executed, 1);
}

std::vector<std::string> Names(const TClassInfo& cls)
{
    std::vector<std::string> out;
    for (const TPropInfo* p : GetPropList(cls))
        out.push_back(p->Name);
    return out;
}

TEST_F(Components, PropertyListsPutInheritedFirstAndRepublishInPlace)
{
    EXPECT_EQ(Names(TGadget::StaticClassInfo()),
              (std::vector<std::string>{"Name", "Tag", "Count", "Big", "Ratio", "Text", "Active", "Shape", "Marks",
                                        "Color", "Link", "OnChange", "Pen"}));
    std::vector<std::string> big = Names(TBigGadget::StaticClassInfo());
    ASSERT_EQ(big.size(), 15u);
    EXPECT_EQ(big[13], "Extra");
    EXPECT_EQ(big[14], "Secret");
    const TPropInfo* secret = GetPropInfo(TBigGadget::StaticClassInfo(), "secret");
    ASSERT_NE(secret, nullptr);
    EXPECT_EQ(std::get<std::int64_t>(secret->Default), 7);
    EXPECT_EQ(GetPropInfo(TGadget::StaticClassInfo(), "Secret"), nullptr);

    TBigGadget g(nullptr);
    SetPropValue(g, *secret, std::int64_t{42});
    EXPECT_EQ(std::get<std::int64_t>(GetPropValue(g, *secret)), 42);
}

class TBadRepublish : public TComponent {
    QB_CLASS(TBadRepublish, TComponent)
    using TComponent::TComponent;
};
QB_IMPLEMENT_COMPONENT(TBadRepublish, TComponent)
std::vector<TPropInfo> TBadRepublish::Properties()
{
    return {QB_PUBLISH("Missing")};
}

TEST_F(Components, RepublishingAnUndeclaredPropertyIsReported)
{
    EXPECT_THROW(GetPropList(TBadRepublish::StaticClassInfo()), Exception);
}

TEST_F(Components, WritersCheckTheValueRange)
{
    TGadget g(nullptr);
    const TClassInfo& cls = TGadget::StaticClassInfo();
    EXPECT_THROW(SetPropValue(g, *GetPropInfo(cls, "Shape"), std::int64_t{3}), Exception);
    EXPECT_THROW(SetPropValue(g, *GetPropInfo(cls, "Count"), std::int64_t{1} << 31), Exception);
    EXPECT_THROW(SetPropValue(g, *GetPropInfo(cls, "Count"), std::string("1")), Exception);
    TComponent notAGadget(nullptr);
    EXPECT_THROW(SetPropValue(g, *GetPropInfo(cls, "Link"), &notAGadget), Exception);
}

TEST_F(Components, RegistryFindsClassesByNameCaseInsensitively)
{
    EXPECT_EQ(FindClass("tgadget"), &TGadget::StaticClassInfo());
    EXPECT_EQ(FindClass("TNoSuchClass"), nullptr);
    std::unique_ptr<TComponent> made(FindClass("TBigGadget")->Create(nullptr));
    EXPECT_EQ(made->ClassName(), "TBigGadget");
    EXPECT_TRUE(made->InheritsFrom(TGadget::StaticClassInfo()));
    static const TClassInfo impostor{"TGadget", &TComponent::StaticClassInfo(), nullptr, nullptr};
    EXPECT_THROW(RegisterClass(impostor), Exception);
    EXPECT_THROW(TInner::StaticClassInfo().Create(nullptr), Exception);
}

TEST_F(Components, PaletteKeepsPagesAndClassesInRegistrationOrder)
{
    ClearPalette();
    RegisterComponents("Orlenvo", {&TGadget::StaticClassInfo()});
    RegisterComponents("Other", {&TBadRepublish::StaticClassInfo()});
    RegisterComponents("Orlenvo", {&TBigGadget::StaticClassInfo()});
    const auto& pal = GetPalette();
    ASSERT_EQ(pal.size(), 2u);
    EXPECT_EQ(pal[0].Name, "Orlenvo");
    EXPECT_EQ(pal[0].Classes,
              (std::vector<const TClassInfo*>{&TGadget::StaticClassInfo(), &TBigGadget::StaticClassInfo()}));
    EXPECT_EQ(RegisterComponentsCallCount(), 3);
    EXPECT_EQ(FindClass("TBadRepublish"), &TBadRepublish::StaticClassInfo());
    UnRegisterClass(TBadRepublish::StaticClassInfo());
    EXPECT_EQ(FindClass("TBadRepublish"), nullptr);
    EXPECT_TRUE(GetPalette()[1].Classes.empty());
    ClearPalette();
}

} // namespace
