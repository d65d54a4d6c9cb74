/// \file
/// The component model: objects with class information, persistent objects,
/// owned components with names and notifications, published-property metadata,
/// the class registry, the component palette and text form files.
#pragma once

#include "qbarcode/sysutils.h"

#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace qb {

class TObject;
class TPersistent;
class TComponent;
class TBasicAction;
struct TClassInfo;
struct TPropInfo;

/// A colour, 0x00BBGGRR for a plain colour (the same alias as the graphics layer's).
using TColor = std::int32_t;

// ---------------------------------------------------------------------------
// Exceptions

/// Raised for a bad component name or a duplicate name among an owner's components.
class EComponentError : public Exception {
public:
    /// Takes the message to show.
    using Exception::Exception;
};

/// Raised by the form reader; the message names the file, the line and the property:
/// "form.txt:7: BarType: 'bcCode40' is not a TBarType value".
class EReadError : public Exception {
public:
    /// Takes the message to show.
    using Exception::Exception;
};

/// Raised by the form writer (for instance a file that cannot be written).
class EWriteError : public Exception {
public:
    /// Takes the message to show.
    using Exception::Exception;
};

// ---------------------------------------------------------------------------
// Sets

/// A set of up to 64 enumerators of E (ordinals 0..63), stored as a bit mask
/// (bit i is the enumerator with ordinal i).
template <class E> class TSet {
public:
    constexpr TSet() = default;
    /// The set holding exactly the given enumerators.
    constexpr TSet(std::initializer_list<E> items)
    {
        for (E e : items)
            Include(e);
    }
    /// The set with the given bit mask.
    static constexpr TSet FromBits(std::uint64_t bits)
    {
        TSet s;
        s.bits_ = bits;
        return s;
    }
    /// The bit mask.
    constexpr std::uint64_t Bits() const { return bits_; }
    /// True when e is in the set.
    constexpr bool Contains(E e) const { return (bits_ >> static_cast<unsigned>(e)) & 1u; }
    /// Adds e.
    constexpr void Include(E e) { bits_ |= std::uint64_t{1} << static_cast<unsigned>(e); }
    /// Removes e.
    constexpr void Exclude(E e) { bits_ &= ~(std::uint64_t{1} << static_cast<unsigned>(e)); }
    /// True when the set is empty.
    constexpr bool Empty() const { return bits_ == 0; }
    /// Union.
    constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
    /// Difference.
    constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
    /// Intersection.
    constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
    /// Equality of the masks.
    constexpr bool operator==(const TSet&) const = default;

private:
    std::uint64_t bits_ = 0;
};

// ---------------------------------------------------------------------------
// Events

/// A handler as a property value: the handler's name (what a form file stores)
/// and its code, a std::function<void(Args...)> of the event's signature (empty
/// std::any when unassigned).
struct TMethodRef {
    std::string Name; ///< the handler's name, as a form file stores it
    std::any Code;    ///< the handler: a std::function of the event's signature, or empty
};

/// An event: a callable plus the name of its handler (for streaming).
/// Calling an unassigned event does nothing.
template <class... Args> class TEvent {
public:
    using Function = std::function<void(Args...)>; ///< the handler's type
    TEvent() = default;
    /// An event calling code; name is the handler's name written to form files.
    TEvent(Function code, std::string name = {}) : Code(std::move(code)), Name(std::move(name)) {}
    /// True when a handler is assigned.
    bool Assigned() const { return static_cast<bool>(Code); }
    /// Same as Assigned().
    explicit operator bool() const { return Assigned(); }
    /// Calls the handler when one is assigned.
    void operator()(Args... args) const
    {
        if (Code)
            Code(args...);
    }
    /// The event as a property value.
    TMethodRef ToRef() const { return Code ? TMethodRef{Name, Code} : TMethodRef{}; }
    /// The event from a property value; raises Exception when the code has another signature.
    static TEvent FromRef(const TMethodRef& ref)
    {
        if (!ref.Code.has_value())
            return {};
        if (const Function* f = std::any_cast<Function>(&ref.Code))
            return TEvent(*f, ref.Name);
        throw Exception("Event handler '" + ref.Name + "' has the wrong parameter list");
    }

    Function Code;    ///< the handler, empty when unassigned
    std::string Name; ///< the handler's name
};

/// The standard event: called with the sender.
using TNotifyEvent = TEvent<TObject*>;

// ---------------------------------------------------------------------------
// Messages

/// A numbered control message, dispatched by TObject::Dispatch.
struct TMessage {
    std::uint32_t Msg = 0;    ///< message number
    std::intptr_t WParam = 0; ///< first argument
    std::intptr_t LParam = 0; ///< second argument
    std::intptr_t Result = 0; ///< answer of the handler
};

// ---------------------------------------------------------------------------
// Class information and published properties

/// The kinds of published properties.
enum class TTypeKind {
    tkInteger,     ///< signed 32-bit
    tkInt64,       ///< signed 64-bit
    tkFloat,       ///< double
    tkString,      ///< any bytes
    tkEnumeration, ///< an enumerator, written by name
    tkSet,         ///< a set of enumerators, written as [a, b]
    tkBoolean,     ///< True / False
    tkColor,       ///< TColor, written by name when one is known, else as a number
    tkComponent,   ///< a reference to another component, written by name
    tkMethod,      ///< an event, written by its handler's name
    tkClass,       ///< a sub-object (a TPersistent owned by the component), written as dotted names
};

/// \cond
// An enumeration is declared once, as a list of rows X(enumerator, value, ...)
// in ordinal order: `enum E { LIST(QB_ENUMERATOR_ROW) }; QB_CHECK_ORDINALS(LIST);`.
// Form files and the property rows take row i for value i (for a set's
// elements, bit i: QB_CHECK_BITS).
#define QB_ENUMERATOR_ROW(name, value, ...) name = value,
#define QB_ENUMERATOR_VALUE(name, value, ...) value,
#define QB_CHECK_ORDINALS(List)                                                                                        \
    static_assert(::qb::detail::IsValueList({List(QB_ENUMERATOR_VALUE)}, false), #List " is in ordinal order")
#define QB_CHECK_BITS(List)                                                                                            \
    static_assert(::qb::detail::IsValueList({List(QB_ENUMERATOR_VALUE)}, true), #List " holds bits 0, 1, 2...")
/// \endcond

namespace detail {
// Whether row i of a list has value i (bits: 1 << i).
template <std::size_t N> constexpr bool IsValueList(const long long (&values)[N], bool bits)
{
    for (std::size_t i = 0; i < N; ++i)
        if (values[i] != (bits ? 1LL << i : static_cast<long long>(i)))
            return false;
    return true;
}
} // namespace detail

/// The names of an enumeration's values; value i has ordinal i.
struct TEnumInfo {
    std::string Name;                ///< type name, e.g. "TBarType"
    std::vector<std::string> Values; ///< enumerator names in ordinal order
    /// Ordinal of name, or -1.
    int IndexOf(std::string_view name) const;
};

/// A property value, by kind: integer, int64, enumeration (ordinal), set (bit
/// mask) and colour as int64_t; float as double; string; boolean as bool;
/// component reference as TComponent* (nullptr for none); event as TMethodRef;
/// sub-object as TPersistent*. std::monostate means "no value" (no default).
using TPropValue =
    std::variant<std::monostate, std::int64_t, double, std::string, bool, TComponent*, TMethodRef, TPersistent*>;

/// Marks a property without a default: it is always written.
struct TNoDefault {};
/// The "no default" marker for the property macros.
inline constexpr TNoDefault NoDefault{};

/// Reads a property of an object of the owning class: a plain function, so a
/// class's table is constant data.
using TPropGetter = TPropValue (*)(const TObject&);
/// Writes a property of an object of the owning class (raises on a bad value).
using TPropSetter = void (*)(TObject&, const TPropValue&);

/// One property of a class's table.
struct TPropInfo {
    std::string Name;                      ///< property name
    TTypeKind Kind = TTypeKind::tkInteger; ///< how the value is stored and streamed
    std::string TypeName; ///< "Integer", "Int64", "Double", "String", "Boolean", "TColor", an enum/set/class name
    const TEnumInfo* Enum = nullptr;   ///< enumeration values, or a set's element values
    const TClassInfo* Class = nullptr; ///< referenced component class, or the sub-object's class
    TPropValue Default;                ///< the value not written to a form file; monostate for none
    TPropGetter Get;                   ///< reader
    TPropSetter Set;                   ///< writer (empty for a sub-object)
    bool Published = true;             ///< false: declared for descendants to publish (see QB_PUBLISH)
    bool Stored = true;                ///< false: listed but never written (e.g. Name)
    bool Republish = false;            ///< true: publishes the inherited property Name (only Name/Default used)

    /// A copy that is declared but not published (a descendant may publish it).
    TPropInfo Unpublished() const;
    /// A copy that is never written to a form file.
    TPropInfo NotStored() const;
    /// True when the property has a default.
    bool HasDefault() const { return !std::holds_alternative<std::monostate>(Default); }
};

/// Class information: name, parent, property table and, for instantiable
/// components, a factory. One static instance per class (see QB_CLASS).
struct TClassInfo {
    const char* Name;                          ///< class name, e.g. "TBarCode"
    const TClassInfo* Parent;                  ///< base class, nullptr for TObject
    std::vector<TPropInfo> (*OwnProperties)(); ///< the class's own table (published and declared)
    TComponent* (*Factory)(TComponent* owner); ///< creates an instance; nullptr when not instantiable

    /// True when this class is cls or derives from it.
    bool InheritsFrom(const TClassInfo& cls) const;
    /// Creates an instance owned by owner; raises Exception when the class has no factory.
    TComponent* Create(TComponent* owner) const;
};

/// The published properties of cls: inherited ones first, then the class's own in
/// declaration order. A republished property appears at the position where the
/// class publishes it; republishing one that is already published replaces it in
/// place (e.g. with a new default). The list is computed once per class.
const std::vector<const TPropInfo*>& GetPropList(const TClassInfo& cls);
/// The published property name of cls (no dots), or nullptr.
const TPropInfo* GetPropInfo(const TClassInfo& cls, std::string_view name);
/// Reads a property of obj through its reader.
TPropValue GetPropValue(const TObject& obj, const TPropInfo& prop);
/// Writes a property of obj through its writer. An enumeration's ordinal must
/// name one of its values (else Exception "<value> is out of range"); a set
/// keeps only the bits of its element values.
void SetPropValue(TObject& obj, const TPropInfo& prop, const TPropValue& value);

// ---------------------------------------------------------------------------
// Objects

/// The root of the class tree: virtual destruction, class information and
/// numbered-message dispatch.
class TObject {
public:
    virtual ~TObject() = default;
    /// The class information of the object's dynamic class.
    virtual const TClassInfo& ClassInfo() const;
    /// The class information of TObject.
    static const TClassInfo& StaticClassInfo();
    /// TObject has no properties.
    static std::vector<TPropInfo> Properties();
    /// The dynamic class's name.
    std::string ClassName() const { return ClassInfo().Name; }
    /// True when the object's class is cls or derives from it.
    bool InheritsFrom(const TClassInfo& cls) const { return ClassInfo().InheritsFrom(cls); }
    /// Handles a numbered message; the default passes it to DefaultHandler.
    virtual void Dispatch(TMessage& message);
    /// Called for a message nobody handles; does nothing.
    virtual void DefaultHandler(TMessage& message);
};

/// An object that can copy another one's state.
class TPersistent : public TObject {
public:
    const TClassInfo& ClassInfo() const override;
    /// The class information of TPersistent.
    static const TClassInfo& StaticClassInfo();
    /// TPersistent has no properties.
    static std::vector<TPropInfo> Properties();
    /// Copies source into this object. The base asks source->AssignTo(this); for a
    /// null source raises EConvertError "Cannot assign a nil to a <class>.".
    virtual void Assign(const TPersistent* source);

protected:
    /// Copies this object into dest; the base raises EConvertError
    /// "Cannot assign a <this class> to a <dest class>.".
    virtual void AssignTo(TPersistent* dest) const;
};

/// What happened to a component, for Notification.
enum TOperation { opInsert, opRemove };

/// Component state flags.
enum TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning, csUpdating, csFixups };
/// The state set of a component.
using TComponentState = TSet<TComponentStateItem>;

/// The table of event handlers that form files name: handler name -> code.
class TFormHandlers {
public:
    /// Adds (or replaces) a handler of the notify-event signature.
    void Add(const std::string& name, std::function<void(TObject*)> code) { AddAny(name, std::move(code)); }
    /// Adds a handler of another signature: Add<TObject*, int>("Name", f).
    template <class... Args, class F> void AddTyped(const std::string& name, F f)
    {
        AddAny(name, std::function<void(Args...)>(std::move(f)));
    }
    /// Adds a handler whose code is a std::function of the event's signature.
    void AddAny(const std::string& name, std::any code) { handlers_[name] = std::move(code); }
    /// The code of name, or nullptr.
    const std::any* Find(const std::string& name) const;

private:
    std::map<std::string, std::any> handlers_;
};

/// A component: owned by another component (which frees it), named, with a
/// state, notifications and free-notification links.
class TComponent : public TPersistent {
public:
    /// Creates the component; a non-null owner takes ownership (InsertComponent).
    explicit TComponent(TComponent* owner);
    /// Tells free-notification peers (opRemove), frees the owned components in
    /// reverse order of insertion, then leaves the owner. While an owner is freed,
    /// only the owned components that have free-notification links are announced
    /// to their siblings (opRemove); the others leave quietly.
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const TClassInfo& ClassInfo() const override;
    /// The class information of TComponent.
    static const TClassInfo& StaticClassInfo();
    /// Name (not stored: the form file's object line holds it) and Tag.
    static std::vector<TPropInfo> Properties();

    /// The component's name (may be empty).
    const std::string& Name() const { return name_; }
    /// Renames; raises EComponentError "'<name>' is not a valid component name." or
    /// "A component named <name> already exists." (case-insensitive among the owner's components).
    virtual void SetName(const std::string& name);
    /// A free integer for the application.
    int Tag() const { return tag_; }
    /// Sets Tag.
    void SetTag(int tag) { tag_ = tag; }

    /// The owner, or nullptr.
    TComponent* Owner() const { return owner_; }
    /// Number of owned components.
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    /// Owned component i (0-based, in insertion order); raises Exception when out of range.
    TComponent* Components(int i) const;
    /// Index among the owner's components, or -1 without owner.
    int ComponentIndex() const;
    /// The owned component named name (case-insensitive), or nullptr.
    TComponent* FindComponent(std::string_view name) const;
    /// Takes ownership of c (leaving its previous owner); notifies opInsert.
    void InsertComponent(TComponent* c);
    /// Gives up ownership of c without freeing it; notifies opRemove.
    void RemoveComponent(TComponent* c);

    /// The state set.
    TComponentState ComponentState() const { return state_; }
    /// Sets or clears csDesigning on this component and every component it owns.
    void SetDesigning(bool designing);
    /// Sets or clears csLoading (and csReading) on this component; used by the form reader.
    void SetLoading(bool loading);
    /// Clears csReading only; used by the form reader.
    void ClearReading();

    /// Called when a component is inserted into or removed from this component's
    /// owner tree, or when a free-notification peer is destroyed (opRemove). The base
    /// forgets the peer and forwards the notification to the owned components.
    /// Overrides must call the base.
    virtual void Notification(TComponent* component, TOperation operation);
    /// Links this component and c both ways: whichever is destroyed first sends
    /// Notification(itself, opRemove) to the other and the link is dropped.
    void FreeNotification(TComponent* c);
    /// Drops the link set by FreeNotification (both directions).
    void RemoveFreeNotification(TComponent* c);

    /// Called by the form reader once every component of a file is read; the base clears csLoading.
    virtual void Loaded();
    /// The components written nested inside this one in a form file; the base lists the owned components.
    virtual void GetChildren(std::vector<TComponent*>& children) const;
    /// The owner for components read nested inside this one; the base returns this.
    virtual TComponent* GetChildOwner();
    /// Called by the form reader after creating a nested component; the base does nothing
    /// (controls make parent their parent).
    virtual void SetParentComponent(TComponent* parent);

    /// Lets an action act on this component; the base executes it when it handles this target.
    virtual bool ExecuteAction(TBasicAction* action);
    /// Lets an action update itself for this component; same rule as ExecuteAction.
    virtual bool UpdateAction(TBasicAction* action);

    /// The handler table form files of this root component resolve event names in.
    TFormHandlers& Handlers();

private:
    void ValidateRename(const std::string& name) const;
    void DropFreeNotify(TComponent* c);

    std::string name_;
    int tag_ = 0;
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    TComponentState state_;
    std::unique_ptr<TFormHandlers> handlers_;
};

/// The minimal action: a component that acts on targets.
class TBasicAction : public TComponent {
public:
    /// An action owned by owner (may be null).
    using TComponent::TComponent;
    const TClassInfo& ClassInfo() const override;
    /// The class information of TBasicAction.
    static const TClassInfo& StaticClassInfo();
    /// TBasicAction publishes OnExecute and OnUpdate.
    static std::vector<TPropInfo> Properties();
    /// True when this action can act on target; the base says false.
    virtual bool HandlesTarget(TObject* target);
    /// Acts on target; the base does nothing.
    virtual void ExecuteTarget(TObject* target);
    /// Updates the action's state for target; the base does nothing.
    virtual void UpdateTarget(TObject* target);
    /// Fires OnExecute; returns whether it was assigned.
    virtual bool Execute();
    /// Fires OnUpdate; returns whether it was assigned.
    virtual bool Update();
    /// Event accessors.
    const TNotifyEvent& GetOnExecute() const { return onExecute_; }
    /// Sets OnExecute.
    void SetOnExecute(TNotifyEvent e) { onExecute_ = std::move(e); }
    /// OnUpdate.
    const TNotifyEvent& GetOnUpdate() const { return onUpdate_; }
    /// Sets OnUpdate.
    void SetOnUpdate(TNotifyEvent e) { onUpdate_ = std::move(e); }

private:
    TNotifyEvent onExecute_;
    TNotifyEvent onUpdate_;
};

/// Registers handler code under name on root's handler table (notify-event signature).
void RegisterHandler(TComponent* root, const std::string& name, std::function<void(TObject*)> code);

// ---------------------------------------------------------------------------
// Class registry and palette

/// Makes cls findable by name (registering the same class again is harmless;
/// another class of the same name raises Exception "Class <name> already registered.").
void RegisterClass(const TClassInfo& cls);
/// Forgets cls (and removes it from the palette); used when a package unloads.
void UnRegisterClass(const TClassInfo& cls);
/// Unregisters every registered class for which inModule is true, removes it
/// from the palette, and forgets the property lists computed for any class
/// (registered or not) for which inModule is true or that derives from one.
void UnRegisterModuleClasses(const std::function<bool(const TClassInfo&)>& inModule);
/// Forgets the property lists computed for every class inModule says yes to
/// and for the classes derived from one, leaving the class registry alone: the
/// lists hold the classes' property readers and writers, whose code may be
/// unloaded next. Lists are computed again when next asked for.
void ForgetPropLists(const std::function<bool(const TClassInfo&)>& inModule);
/// The registered class named name, or nullptr.
const TClassInfo* FindClass(std::string_view name);

/// One page of the component palette.
struct TPalettePage {
    std::string Name;                       ///< page name
    std::vector<const TClassInfo*> Classes; ///< in registration order
};

/// Registers classes (RegisterClass) and adds them to the palette page, creating
/// the page after the existing ones if new.
void RegisterComponents(const std::string& page, std::initializer_list<const TClassInfo*> classes);
/// The palette: pages in order of first registration.
const std::vector<TPalettePage>& GetPalette();
/// How many RegisterComponents calls were made (since the last ClearPalette).
int RegisterComponentsCallCount();
/// Empties the palette and resets the call count (not the class registry).
void ClearPalette();

/// Installs the colour name converters (the graphics layer's clBlack, clBtnFace...).
/// Numbers are always accepted; without converters colours are written as numbers.
void RegisterColorIdents(std::function<bool(TColor, std::string&)> colorToIdent,
                         std::function<bool(std::string_view, TColor&)> identToColor);

// ---------------------------------------------------------------------------
// Form files

/// The text form of root and (nested) the components GetChildren lists.
std::string WriteComponentString(const TComponent& root);
/// Writes WriteComponentString(root) to path; raises EWriteError on failure.
void WriteComponentFile(const std::string& path, const TComponent& root);

/// Reads a form from text (fileName is used in messages): creates the root from its
/// registered class with owner, builds the nested components, resolves references,
/// then calls Loaded on every built component in creation order (root first). Event
/// names resolve in handlers (or, when null, in owner's handler table when owner is
/// set). Returns the new root (the caller frees it when owner is null). Any error
/// raises EReadError and frees everything built.
TComponent* ReadComponentString(const std::string& text, const std::string& fileName, TComponent* owner,
                                const TFormHandlers* handlers = nullptr);
/// ReadComponentString over the contents of path.
TComponent* ReadComponentFile(const std::string& path, TComponent* owner, const TFormHandlers* handlers = nullptr);
/// Reads a form into an existing root whose class is the file's root class (or
/// derives from it). Event names resolve in root->Handlers(). On error the nested
/// components built are freed; values already set on root stay.
void ReadComponentInto(TComponent* root, const std::string& text, const std::string& fileName = "<string>");
/// ReadComponentInto over the contents of path.
void ReadComponentFileInto(TComponent* root, const std::string& path);

/// Deepest nesting of object blocks the reader accepts.
inline constexpr int MaxFormNesting = 64;
/// Most components one form file may build.
inline constexpr int MaxFormComponents = 4096;

// ---------------------------------------------------------------------------
// Declaring classes and their tables

/// Put first in a class body (it leaves the access public). Declares the class
/// information and the class's property table `static std::vector<TPropInfo> Properties();`,
/// which the class's source file defines.
#define QB_CLASS(Class, Parent)                                                                                        \
public:                                                                                                                \
    using inherited = Parent;                                                                                          \
    static const ::qb::TClassInfo& StaticClassInfo();                                                                  \
    const ::qb::TClassInfo& ClassInfo() const override;                                                                \
    static std::vector<::qb::TPropInfo> Properties();

/// Defines the class information of a class that cannot be created by name (sub-objects, abstract bases).
#define QB_IMPLEMENT_CLASS(Class, Parent)                                                                              \
    const ::qb::TClassInfo& Class::StaticClassInfo()                                                                   \
    {                                                                                                                  \
        static const ::qb::TClassInfo info{#Class, &Parent::StaticClassInfo(), &Class::Properties, nullptr};           \
        return info;                                                                                                   \
    }                                                                                                                  \
    const ::qb::TClassInfo& Class::ClassInfo() const                                                                   \
    {                                                                                                                  \
        return StaticClassInfo();                                                                                      \
    }

/// Defines the class information of a component class constructible as Class(TComponent* owner).
#define QB_IMPLEMENT_COMPONENT(Class, Parent)                                                                          \
    const ::qb::TClassInfo& Class::StaticClassInfo()                                                                   \
    {                                                                                                                  \
        static const ::qb::TClassInfo info{                                                                            \
            #Class, &Parent::StaticClassInfo(), &Class::Properties,                                                    \
            [](::qb::TComponent* owner) -> ::qb::TComponent* { return new Class(owner); }};                            \
        return info;                                                                                                   \
    }                                                                                                                  \
    const ::qb::TClassInfo& Class::ClassInfo() const                                                                   \
    {                                                                                                                  \
        return StaticClassInfo();                                                                                      \
    }

/// Defines an empty property table for Class.
#define QB_NO_PROPERTIES(Class)                                                                                        \
    std::vector<::qb::TPropInfo> Class::Properties()                                                                   \
    {                                                                                                                  \
        return {};                                                                                                     \
    }

namespace detail {
// Row constructor used by the macros.
TPropInfo MakeProp(const char* name, TTypeKind kind, std::string typeName, const TEnumInfo* enumInfo,
                   const TClassInfo* cls, TPropValue def, TPropGetter get, TPropSetter set);
// The value of a TPropValue as the given alternative, or an Exception naming the property.
std::int64_t AsInt(const TPropValue& v);
double AsFloat(const TPropValue& v);
const std::string& AsString(const TPropValue& v);
bool AsBool(const TPropValue& v);
TComponent* AsComponent(const TPropValue& v);
const TMethodRef& AsMethod(const TPropValue& v);
// Raises Exception "<value> is out of range" unless lo <= v <= hi.
std::int64_t CheckRange(std::int64_t v, std::int64_t lo, std::int64_t hi);

template <class T> struct IsSetType : std::false_type {
};
template <class E> struct IsSetType<TSet<E>> : std::true_type {
};
template <class T>
concept EventValue = requires(const T& e, const TMethodRef& r)
{
    e.ToRef();
    T::FromRef(r);
};

// A member's value as a TPropValue, by its C++ type: enumerators and integers
// as int64, sets as their bits, events as their handler reference.
template <class T> TPropValue ToValue(const T& v)
{
    if constexpr (std::is_same_v<T, bool>)
        return v;
    else if constexpr (std::is_enum_v<T> || std::is_integral_v<T>)
        return static_cast<std::int64_t>(v);
    else if constexpr (std::is_floating_point_v<T>)
        return static_cast<double>(v);
    else if constexpr (IsSetType<T>::value)
        return static_cast<std::int64_t>(v.Bits());
    else if constexpr (EventValue<T>)
        return v.ToRef();
    else
        return std::string(v);
}

// A TPropValue as a member's C++ type. Integers are range-checked against the
// type; enumerations and sets are checked against their TEnumInfo by SetPropValue.
template <class T> T FromValue(const TPropValue& v)
{
    if constexpr (std::is_same_v<T, bool>)
        return AsBool(v);
    else if constexpr (std::is_enum_v<T>)
        return static_cast<T>(AsInt(v));
    else if constexpr (std::is_integral_v<T>)
        return static_cast<T>(CheckRange(AsInt(v), std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
    else if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(AsFloat(v));
    else if constexpr (IsSetType<T>::value)
        return T::FromBits(static_cast<std::uint64_t>(AsInt(v)));
    else if constexpr (EventValue<T>)
        return T::FromRef(AsMethod(v));
    else
        return T(AsString(v));
}

// The Default of a row of type T from a literal, a TSet or NoDefault.
template <class T, class V> TPropValue DefaultAs(const V& v)
{
    if constexpr (std::is_same_v<V, TNoDefault>)
        return {};
    else
        return ToValue(static_cast<T>(v));
}

// The default of QB_PUBLISH_DEFAULT, by the literal's type.
template <class V> TPropValue AnyDefault(const V& v)
{
    if constexpr (std::is_same_v<V, TNoDefault>)
        return {};
    else
        return ToValue(v);
}

// The class and type of a data member, and the reader and writer of a row
// that reads and writes it directly.
template <auto Field> struct MemberRow;
template <class C, class T, T C::*Field> struct MemberRow<Field> {
    using Type = T;
    static TPropValue Get(const TObject& o) { return ToValue(static_cast<const C&>(o).*Field); }
    static void Set(TObject& o, const TPropValue& v) { static_cast<C&>(o).*Field = FromValue<T>(v); }
};

// How a member type streams when the row does not say.
template <class T> constexpr TTypeKind KindOf()
{
    if constexpr (std::is_same_v<T, bool>)
        return TTypeKind::tkBoolean;
    else if constexpr (std::is_enum_v<T>)
        return TTypeKind::tkEnumeration;
    else if constexpr (std::is_same_v<T, std::int64_t>)
        return TTypeKind::tkInt64;
    else if constexpr (std::is_integral_v<T>)
        return TTypeKind::tkInteger;
    else if constexpr (std::is_floating_point_v<T>)
        return TTypeKind::tkFloat;
    else if constexpr (IsSetType<T>::value)
        return TTypeKind::tkSet;
    else if constexpr (EventValue<T>)
        return TTypeKind::tkMethod;
    else
        return TTypeKind::tkString;
}
} // namespace detail

/// A row for a property that is a plain data member (&Class::Member): an
/// integer, bool, double, string, enumeration, TSet or event, streamed by the
/// member's type. TypeName is the published type name ("Integer", "TCursor",
/// "TNotifyEvent", a set's name); Enum the TEnumInfo of a set's elements;
/// Default the value not written to form files (a literal, a TSet, or none).
template <auto Field, class V = TNoDefault>
TPropInfo FieldProp(const char* name, const char* typeName, const TEnumInfo* enumInfo = nullptr, V def = {})
{
    using Row = detail::MemberRow<Field>;
    return detail::MakeProp(name, detail::KindOf<typename Row::Type>(), typeName, enumInfo, nullptr,
                            detail::DefaultAs<typename Row::Type>(def), &Row::Get, &Row::Set);
}

/// A row for an enumeration data member, published under the TEnumInfo's type name.
template <auto Field, class V = TNoDefault> TPropInfo FieldProp(const char* name, const TEnumInfo& info, V def = {})
{
    return FieldProp<Field>(name, info.Name.c_str(), &info, def);
}

/// The TEnumInfo of an enumeration from its list (a QB_..._TYPES style X-macro
/// whose rows start with the enumerator, in ordinal order), e.g.
/// `QB_ENUM_INFO(TCheckSum, QB_CHECK_SUMS)`.
#define QB_ENUM_INFO(Type, List)                                                                                       \
    ::qb::TEnumInfo                                                                                                    \
    {                                                                                                                  \
#Type,                                                                                                         \
        {                                                                                                              \
            List(QB_ENUM_INFO_NAME)                                                                                    \
        }                                                                                                              \
    }
/// \cond
#define QB_ENUM_INFO_NAME(name, ...) #name,
/// \endcond

// Table rows. Each takes the class, the property name, the reader and writer member
// functions (getter and setter names of Class) and the default (or NoDefault). Rows
// are written inside Class::Properties(), so protected accessors are reachable.

/// \cond
// A row read and written through the accessors as type T (see ToValue and FromValue).
#define QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, Kind, TypeName, EnumInfo, T, Default)                           \
    ::qb::detail::MakeProp(                                                                                            \
        #Prop, Kind, TypeName, EnumInfo, nullptr, ::qb::detail::DefaultAs<T>(Default),                                 \
        [](const ::qb::TObject& o) -> ::qb::TPropValue {                                                               \
            return ::qb::detail::ToValue(static_cast<const T&>(static_cast<const Class&>(o).Getter()));                \
        },                                                                                                             \
        [](::qb::TObject& o, const ::qb::TPropValue& v) {                                                              \
            static_cast<Class&>(o).Setter(::qb::detail::FromValue<T>(v));                                              \
        })
// The type a getter returns, without reference and const.
#define QB_GETTER_TYPE(Class, Getter) std::remove_cvref_t<decltype(std::declval<const Class&>().Getter())>
/// \endcond

/// A 32-bit integer property.
#define QB_PROP_INT(Class, Prop, Getter, Setter, Default)                                                              \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkInteger, "Integer", nullptr, std::int32_t,       \
                      Default)
/// A 64-bit integer property.
#define QB_PROP_INT64(Class, Prop, Getter, Setter, Default)                                                            \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkInt64, "Int64", nullptr, std::int64_t, Default)
/// A double property.
#define QB_PROP_DOUBLE(Class, Prop, Getter, Setter, Default)                                                           \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkFloat, "Double", nullptr, double, Default)
/// A string property.
#define QB_PROP_STRING(Class, Prop, Getter, Setter, Default)                                                           \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkString, "String", nullptr, std::string, Default)
/// A Boolean property.
#define QB_PROP_BOOL(Class, Prop, Getter, Setter, Default)                                                             \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkBoolean, "Boolean", nullptr, bool, Default)
/// A colour property (TColor).
#define QB_PROP_COLOR(Class, Prop, Getter, Setter, Default)                                                            \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkColor, "TColor", nullptr, ::qb::TColor, Default)
/// An enumeration property; EnumInfo is a TEnumInfo whose values match the C++ enum's ordinals,
/// Default an enumerator or NoDefault.
#define QB_PROP_ENUM(Class, Prop, Getter, Setter, EnumInfo, Default)                                                   \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkEnumeration, (EnumInfo).Name, &(EnumInfo),       \
                      QB_GETTER_TYPE(Class, Getter), Default)
/// A set property: the getter returns a TSet<E>, SetName is the set type's name,
/// ElementInfo the TEnumInfo of E, Default a TSet<E>{...} or NoDefault.
#define QB_PROP_SET(Class, Prop, Getter, Setter, SetName, ElementInfo, Default)                                        \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkSet, SetName, &(ElementInfo),                    \
                      QB_GETTER_TYPE(Class, Getter), Default)
/// A reference to a component of class RefClass (or a descendant); nil is the default.
#define QB_PROP_COMPONENT(Class, Prop, Getter, Setter, RefClass)                                                       \
    ::qb::detail::MakeProp(                                                                                            \
        #Prop, ::qb::TTypeKind::tkComponent, #RefClass, nullptr, &RefClass::StaticClassInfo(), ::qb::TPropValue{},     \
        [](const ::qb::TObject& o) -> ::qb::TPropValue {                                                               \
            return static_cast<::qb::TComponent*>(static_cast<const Class&>(o).Getter());                              \
        },                                                                                                             \
        [](::qb::TObject& o, const ::qb::TPropValue& v) {                                                              \
            ::qb::TComponent* c = ::qb::detail::AsComponent(v);                                                        \
            RefClass* r = dynamic_cast<RefClass*>(c);                                                                  \
            if (c && !r)                                                                                               \
                throw ::qb::Exception(c->Name() + " is not a " #RefClass);                                             \
            static_cast<Class&>(o).Setter(r);                                                                          \
        })

/// An event property: the getter returns a TEvent<...> (by value or reference), the
/// setter takes one; EventType is its type name, e.g. TNotifyEvent. Unassigned is the default.
#define QB_PROP_EVENT(Class, Prop, Getter, Setter, EventType)                                                          \
    QB_PROP_ACCESSORS(Class, Prop, Getter, Setter, ::qb::TTypeKind::tkMethod, #EventType, nullptr, EventType,          \
                      ::qb::NoDefault)

/// A sub-object of class SubClass (a TPersistent the component owns): the getter
/// returns a pointer to it; its own published properties stream as Name.Prop.
#define QB_PROP_OBJECT(Class, Prop, Getter, SubClass)                                                                  \
    ::qb::detail::MakeProp(                                                                                            \
        #Prop, ::qb::TTypeKind::tkClass, #SubClass, nullptr, &SubClass::StaticClassInfo(), ::qb::TPropValue{},         \
        [](const ::qb::TObject& o) -> ::qb::TPropValue {                                                               \
            return static_cast<::qb::TPersistent*>(static_cast<const Class&>(o).Getter());                             \
        },                                                                                                             \
        nullptr)

/// Publishes a property an ancestor declares (published or not), at this position.
#define QB_PUBLISH(Prop) ::qb::detail::MakeRepublish(Prop, ::qb::TPropValue{}, false)
/// Publishes an inherited property with another default (an integer, enumerator, colour, double, bool,
/// string or TSet).
#define QB_PUBLISH_DEFAULT(Prop, Default) ::qb::detail::MakeRepublish(Prop, ::qb::detail::AnyDefault(Default), true)

namespace detail {
// Row for QB_PUBLISH / QB_PUBLISH_DEFAULT.
TPropInfo MakeRepublish(const char* name, TPropValue def, bool overrideDefault);
} // namespace detail

} // namespace qb
