#include "qbarcode/db.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qb {

namespace {

std::string_view TrimmedBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

long long ParseInteger(const std::string& text)
{
    std::string_view s = TrimmedBlanks(text);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    long long value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        throw EConvertError(Format("'%s' is not a valid integer value", {text}));
    return value;
}

double ParseFloat(const std::string& text)
{
    std::string s(TrimmedBlanks(text));
    char* end = nullptr;
    double value = s.empty() ? 0 : std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !std::isfinite(value))
        throw EConvertError(Format("'%s' is not a valid floating point value", {text}));
    return value;
}

std::string FloatText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

} // namespace

TField::TField(TDataSet* dataSet, std::string fieldName, TFieldType dataType, int index, bool readOnly)
    : dataSet_(dataSet), fieldName_(std::move(fieldName)), dataType_(dataType), index_(index), readOnly_(readOnly)
{
}

bool TField::CanModify() const
{
    return !readOnly_ && dataSet_->CanModify();
}

const TFieldValue& TField::Value() const
{
    return dataSet_->FieldValue(index_);
}

void TField::SetValue(TFieldValue value)
{
    dataSet_->SetFieldValue(*this, std::move(value));
}

bool TField::IsNull() const
{
    return std::holds_alternative<std::monostate>(Value());
}

std::string TField::AsString() const
{
    const TFieldValue& v = Value();
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* i = std::get_if<long long>(&v))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v))
        return FloatText(*d);
    return {};
}

void TField::SetAsString(const std::string& value)
{
    switch (dataType_) {
    case ftInteger:
        SetValue(value.empty() ? TFieldValue{} : TFieldValue{ParseInteger(value)});
        break;
    case ftFloat:
        SetValue(value.empty() ? TFieldValue{} : TFieldValue{ParseFloat(value)});
        break;
    default:
        SetValue(value);
    }
}

long long TField::AsInteger() const
{
    const TFieldValue& v = Value();
    if (const auto* i = std::get_if<long long>(&v))
        return *i;
    if (const auto* d = std::get_if<double>(&v))
        return Round(*d);
    if (const auto* s = std::get_if<std::string>(&v))
        return ParseInteger(*s);
    return 0;
}

double TField::AsFloat() const
{
    const TFieldValue& v = Value();
    if (const auto* i = std::get_if<long long>(&v))
        return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* s = std::get_if<std::string>(&v))
        return ParseFloat(*s);
    return 0;
}

void TField::SetAsFloat(double value)
{
    if (dataType_ == ftInteger)
        SetValue(static_cast<long long>(Round(value)));
    else
        SetValue(value);
}

} // namespace qb
