// TObject, TPersistent, TComponent and TBasicAction.
#include "classes_internal.h"

#include <algorithm>

namespace qb {

namespace {

bool IsValidIdent(std::string_view s)
{
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (s.empty() || !alpha(s[0]))
        return false;
    return std::all_of(s.begin() + 1, s.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

// Removes c, searching from the end: components mostly leave in reverse order of arrival.
void Erase(std::vector<TComponent*>& list, TComponent* c)
{
    auto it = std::find(list.rbegin(), list.rend(), c);
    if (it != list.rend())
        list.erase(std::next(it).base());
}

bool Contains(const std::vector<TComponent*>& list, const TComponent* c)
{
    return std::find(list.rbegin(), list.rend(), c) != list.rend();
}

} // namespace

// ---------------------------------------------------------------------------

const TClassInfo& TObject::StaticClassInfo()
{
    static const TClassInfo info{"TObject", nullptr, &TObject::Properties, nullptr};
    return info;
}
const TClassInfo& TObject::ClassInfo() const
{
    return StaticClassInfo();
}
std::vector<TPropInfo> TObject::Properties()
{
    return {};
}
void TObject::Dispatch(TMessage& message)
{
    DefaultHandler(message);
}
void TObject::DefaultHandler(TMessage&) {}

// ---------------------------------------------------------------------------

QB_IMPLEMENT_CLASS(TPersistent, TObject)
QB_NO_PROPERTIES(TPersistent)

void TPersistent::Assign(const TPersistent* source)
{
    if (!source)
        throw EConvertError(Format("Cannot assign a %s to a %s.", {"nil", ClassName()}));
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const
{
    throw EConvertError(Format("Cannot assign a %s to a %s.", {ClassName(), dest->ClassName()}));
}

// ---------------------------------------------------------------------------

const std::any* TFormHandlers::Find(const std::string& name) const
{
    auto it = handlers_.find(name);
    return it == handlers_.end() ? nullptr : &it->second;
}

void RegisterHandler(TComponent* root, const std::string& name, std::function<void(TObject*)> code)
{
    root->Handlers().Add(name, std::move(code));
}

// ---------------------------------------------------------------------------

QB_IMPLEMENT_COMPONENT(TComponent, TPersistent)

std::vector<TPropInfo> TComponent::Properties()
{
    using T = TComponent;
    return {
        QB_PROP_STRING(T, Name, Name, SetName, NoDefault).NotStored(),
        QB_PROP_INT(T, Tag, Tag, SetTag, 0),
    };
}

TComponent::TComponent(TComponent* owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    state_.Include(csDestroying);
    // Peers first: each forgets this component before it disappears.
    while (!freeNotifies_.empty()) {
        TComponent* peer = freeNotifies_.back();
        freeNotifies_.pop_back();
        Erase(peer->freeNotifies_, this);
        peer->Notification(this, opRemove);
    }
    while (!components_.empty()) {
        TComponent* c = components_.back();
        // Only a component others watch is announced to its siblings; the rest
        // leave quietly, which keeps freeing a large owner linear.
        if (!c->freeNotifies_.empty()) {
            RemoveComponent(c);
        } else {
            components_.pop_back();
            c->owner_ = nullptr;
        }
        delete c;
    }
    if (owner_)
        owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int i) const
{
    if (i < 0 || i >= ComponentCount())
        throw Exception(Format("List index out of bounds (%d)", {static_cast<long long>(i)}));
    return components_[static_cast<std::size_t>(i)];
}

int TComponent::ComponentIndex() const
{
    if (!owner_)
        return -1;
    auto& list = owner_->components_;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    if (name.empty())
        return nullptr;
    for (TComponent* c : components_)
        if (classes::SameText(c->name_, name))
            return c;
    return nullptr;
}

void TComponent::ValidateRename(const std::string& name) const
{
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError(Format("'%s' is not a valid component name.", {name}));
    if (owner_ && !name.empty()) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this)
            throw EComponentError(Format("A component named %s already exists.", {name}));
    }
}

void TComponent::SetName(const std::string& name)
{
    if (name == name_)
        return;
    ValidateRename(name);
    name_ = name;
}

void TComponent::InsertComponent(TComponent* c)
{
    if (!c || c->owner_ == this)
        return;
    if (!c->name_.empty() && FindComponent(c->name_))
        throw EComponentError(Format("A component named %s already exists.", {c->name_}));
    if (c->owner_)
        c->owner_->RemoveComponent(c);
    components_.push_back(c);
    c->owner_ = this;
    if (state_.Contains(csDesigning))
        c->SetDesigning(true);
    Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c)
{
    if (!c || c->owner_ != this)
        return;
    Notification(c, opRemove);
    Erase(components_, c);
    c->owner_ = nullptr;
}

void TComponent::SetDesigning(bool designing)
{
    if (designing)
        state_.Include(csDesigning);
    else
        state_.Exclude(csDesigning);
    for (TComponent* c : components_)
        c->SetDesigning(designing);
}

void TComponent::SetLoading(bool loading)
{
    if (loading) {
        state_.Include(csLoading);
        state_.Include(csReading);
    } else {
        state_.Exclude(csLoading);
        state_.Exclude(csReading);
    }
}

void TComponent::ClearReading()
{
    state_.Exclude(csReading);
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
    if (operation == opRemove && component)
        RemoveFreeNotification(component);
    // Newest first; a handler may free components, so the index is clamped to the list each time.
    for (std::size_t i = components_.size(); i > 0;) {
        --i;
        components_[i]->Notification(component, operation);
        i = std::min(i, components_.size());
    }
}

void TComponent::FreeNotification(TComponent* c)
{
    if (!c || c == this)
        return;
    // The links are kept symmetric, so the shorter list tells whether they exist.
    bool linked =
        freeNotifies_.size() <= c->freeNotifies_.size() ? Contains(freeNotifies_, c) : Contains(c->freeNotifies_, this);
    if (!linked) {
        freeNotifies_.push_back(c);
        c->freeNotifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* c)
{
    if (!c)
        return;
    Erase(freeNotifies_, c);
    Erase(c->freeNotifies_, this);
}

void TComponent::Loaded()
{
    state_.Exclude(csLoading);
}

void TComponent::GetChildren(std::vector<TComponent*>& children) const
{
    children.insert(children.end(), components_.begin(), components_.end());
}

TComponent* TComponent::GetChildOwner()
{
    return this;
}
void TComponent::SetParentComponent(TComponent*) {}

bool TComponent::ExecuteAction(TBasicAction* action)
{
    if (action && action->HandlesTarget(this)) {
        action->ExecuteTarget(this);
        return true;
    }
    return false;
}

bool TComponent::UpdateAction(TBasicAction* action)
{
    if (action && action->HandlesTarget(this)) {
        action->UpdateTarget(this);
        return true;
    }
    return false;
}

TFormHandlers& TComponent::Handlers()
{
    if (!handlers_)
        handlers_ = std::make_unique<TFormHandlers>();
    return *handlers_;
}

// ---------------------------------------------------------------------------

QB_IMPLEMENT_COMPONENT(TBasicAction, TComponent)

std::vector<TPropInfo> TBasicAction::Properties()
{
    using T = TBasicAction;
    return {
        QB_PROP_EVENT(T, OnExecute, GetOnExecute, SetOnExecute, TNotifyEvent),
        QB_PROP_EVENT(T, OnUpdate, GetOnUpdate, SetOnUpdate, TNotifyEvent),
    };
}

bool TBasicAction::HandlesTarget(TObject*)
{
    return false;
}
void TBasicAction::ExecuteTarget(TObject*) {}
void TBasicAction::UpdateTarget(TObject*) {}

bool TBasicAction::Execute()
{
    if (!onExecute_)
        return false;
    onExecute_(this);
    return true;
}

bool TBasicAction::Update()
{
    if (!onUpdate_)
        return false;
    onUpdate_(this);
    return true;
}

} // namespace qb
