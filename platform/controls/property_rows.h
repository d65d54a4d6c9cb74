// Table rows for properties that are plain data members of a control class:
// each row reads and writes the member directly.
#pragma once

#include "qbarcode/classes.h"

#include <cstdint>
#include <string>

namespace qb {

namespace controls {

using namespace detail;

template <class C> TPropInfo IntField(const char* name, const char* type, int C::*field, TPropValue def)
{
    return MakeProp(
        name, TTypeKind::tkInteger, type, nullptr, nullptr, std::move(def),
        [field](const TObject& o) -> TPropValue { return std::int64_t{static_cast<const C&>(o).*field}; },
        [field](TObject& o, const TPropValue& v) {
            static_cast<C&>(o).*field = static_cast<int>(CheckRange(AsInt(v), INT32_MIN, INT32_MAX));
        });
}

template <class C> TPropInfo BoolField(const char* name, bool C::*field, TPropValue def)
{
    return MakeProp(
        name, TTypeKind::tkBoolean, "Boolean", nullptr, nullptr, std::move(def),
        [field](const TObject& o) -> TPropValue { return static_cast<const C&>(o).*field; },
        [field](TObject& o, const TPropValue& v) { static_cast<C&>(o).*field = AsBool(v); });
}

template <class C> TPropInfo StringField(const char* name, std::string C::*field)
{
    return MakeProp(
        name, TTypeKind::tkString, "String", nullptr, nullptr, std::string(),
        [field](const TObject& o) -> TPropValue { return static_cast<const C&>(o).*field; },
        [field](TObject& o, const TPropValue& v) { static_cast<C&>(o).*field = AsString(v); });
}

template <class C, class E> TPropInfo EnumField(const char* name, E C::*field, const TEnumInfo& info, E def)
{
    const auto last = static_cast<std::int64_t>(info.Values.size()) - 1;
    return MakeProp(
        name, TTypeKind::tkEnumeration, info.Name, &info, nullptr, static_cast<std::int64_t>(def),
        [field](const TObject& o) -> TPropValue { return static_cast<std::int64_t>(static_cast<const C&>(o).*field); },
        [field, last](TObject& o, const TPropValue& v) {
            static_cast<C&>(o).*field = static_cast<E>(CheckRange(AsInt(v), 0, last));
        });
}

template <class C, class E>
TPropInfo SetField(const char* name, const char* type, TSet<E> C::*field, const TEnumInfo& info, TSet<E> def)
{
    const auto mask = (std::uint64_t{1} << info.Values.size()) - 1;
    return MakeProp(
        name, TTypeKind::tkSet, type, &info, nullptr, static_cast<std::int64_t>(def.Bits()),
        [field](const TObject& o) -> TPropValue {
            return static_cast<std::int64_t>((static_cast<const C&>(o).*field).Bits());
        },
        [field, mask](TObject& o, const TPropValue& v) {
            static_cast<C&>(o).*field = TSet<E>::FromBits(static_cast<std::uint64_t>(AsInt(v)) & mask);
        });
}

template <class C, class Ev> TPropInfo EventField(const char* name, const char* type, Ev C::*field)
{
    return MakeProp(
        name, TTypeKind::tkMethod, type, nullptr, nullptr, TPropValue{},
        [field](const TObject& o) -> TPropValue { return (static_cast<const C&>(o).*field).ToRef(); },
        [field](TObject& o, const TPropValue& v) { static_cast<C&>(o).*field = Ev::FromRef(AsMethod(v)); });
}

} // namespace controls

} // namespace qb
