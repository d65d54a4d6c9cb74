// GS1 element strings: splitting the bracketed and raw forms, checking them
// against the application identifier table, and writing them as text and as
// GS1-128.
#include "qbarcode/gs1.h"

#include "gs1/ai_table.h"
#include "gs1/rules.h"
#include "qbarcode/sysutils.h"

#include <algorithm>

namespace qb::gs1 {
namespace {

[[noreturn]] void Fail(std::string_view ai, std::string_view what)
{
    throw Exception(Format("(%s): %s", {ai, what}));
}

const AiRow& RowOf(std::string_view ai)
{
    const AiRow* row = FindAiRow(ai);
    if (row == nullptr)
        Fail(ai, "unknown application identifier");
    return *row;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length, then the character set of every component, then the rules of
// every component, so the message names the plainest fault.
void CheckData(std::string_view ai, const AiRow& row, std::string_view data)
{
    const int length = static_cast<int>(data.size());
    if (length == 0)
        Fail(ai, "no data");
    if (length > MaxDataLength(row))
        Fail(ai, Format("longer than %d characters", {MaxDataLength(row)}));
    if (length < MinDataLength(row))
        Fail(ai, Format("shorter than %d characters", {MinDataLength(row)}));

    std::string_view parts[kMaxComponents];
    int count = 0;
    for (std::size_t at = 0; count < row.componentCount && at < data.size(); ++count) {
        const Component& c = row.components[count];
        const std::size_t rest = data.size() - at;
        if (rest < c.minLength)
            Fail(ai, Format("length %d not allowed", {length}));
        parts[count] = data.substr(at, std::min<std::size_t>(rest, c.maxLength));
        at += parts[count].size();
    }
    for (int i = 0; i < count; ++i)
        if (const int bad = FirstBadCharacter(row.components[i].charset, parts[i]); bad >= 0)
            Fail(ai, CharacterNotAllowed(parts[i][static_cast<std::size_t>(bad)]));
    for (int i = 0; i < count; ++i)
        for (Linter linter : row.components[i].linters)
            if (std::string wrong = BreaksRule(linter, parts[i]); !wrong.empty())
                Fail(ai, wrong);
}

// Each call of f gets one item of a list separated by `sep`.
template <typename F> void ForEachItem(std::string_view list, char sep, F f)
{
    while (!list.empty()) {
        const std::size_t end = list.find(sep);
        f(list.substr(0, end));
        if (end == std::string_view::npos)
            break;
        list.remove_prefix(end + 1);
    }
}

// "310n" matches 3100 to 3109: 'n' stands for any digit.
bool Matches(std::string_view pattern, std::string_view ai)
{
    if (pattern.size() != ai.size())
        return false;
    for (std::size_t i = 0; i < ai.size(); ++i)
        if (pattern[i] != ai[i] && !(pattern[i] == 'n' && IsDigit(ai[i])))
            return false;
    return true;
}

bool Present(std::string_view pattern, std::span<const ElementString> elements)
{
    return std::any_of(elements.begin(), elements.end(),
                       [&](const ElementString& e) { return Matches(pattern, e.Ai); });
}

// "01+21,03+21" -> "(01)+(21) or (03)+(21)".
std::string GroupsText(std::string_view groups)
{
    std::vector<std::string> texts;
    ForEachItem(groups, ',', [&](std::string_view group) {
        std::string text;
        ForEachItem(group, '+',
                    [&](std::string_view ai) { text += (text.empty() ? "(" : "+(") + std::string(ai) + ")"; });
        texts.push_back(std::move(text));
    });
    std::string out;
    for (std::size_t i = 0; i < texts.size(); ++i)
        out += (i == 0 ? "" : i + 1 == texts.size() ? " or " : ", ") + texts[i];
    return out;
}

// An AI given twice must carry the same data; an AI's excluded AIs (other
// than itself) must be absent; of each of its lists of required groups, one
// group must be present whole.
void CheckPairings(std::span<const ElementString> elements, const std::vector<const AiRow*>& rows)
{
    for (std::size_t i = 0; i < elements.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (elements[j].Ai == elements[i].Ai && elements[j].Data != elements[i].Data)
                Fail(elements[i].Ai, "repeated with a different value");
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string& ai = elements[i].Ai;
        ForEachItem(rows[i]->excluded, ' ', [&](std::string_view list) {
            ForEachItem(list, ',', [&](std::string_view pattern) {
                for (const ElementString& other : elements)
                    if (other.Ai != ai && Matches(pattern, other.Ai))
                        Fail(ai, "not allowed with (" + other.Ai + ")");
            });
        });
        ForEachItem(rows[i]->required, ' ', [&](std::string_view list) {
            bool met = false;
            ForEachItem(list, ',', [&](std::string_view group) {
                bool whole = true;
                ForEachItem(group, '+', [&](std::string_view pattern) { whole = whole && Present(pattern, elements); });
                met = met || whole;
            });
            if (!met)
                Fail(ai, "needs " + GroupsText(list));
        });
    }
}

// Checks every element string and returns the rows of their AIs.
std::vector<const AiRow*> Check(std::span<const ElementString> elements)
{
    if (elements.empty())
        throw Exception(Format("%s", {"No GS1 element strings."}));
    std::vector<const AiRow*> rows;
    rows.reserve(elements.size());
    for (const ElementString& e : elements) {
        rows.push_back(&RowOf(e.Ai));
        CheckData(e.Ai, *rows.back(), e.Data);
    }
    CheckPairings(elements, rows);
    return rows;
}

// Where a '(' at `at` opens an AI: '(' then two to four digits then ')';
// returns the position of the ')' or npos.
std::size_t AiClose(std::string_view text, std::size_t at)
{
    if (at >= text.size() || text[at] != '(')
        return std::string_view::npos;
    std::size_t i = at + 1;
    while (i < text.size() && i - at <= 4 && IsDigit(text[i]))
        ++i;
    const std::size_t digits = i - at - 1;
    return digits >= 2 && digits <= 4 && i < text.size() && text[i] == ')' ? i : std::string_view::npos;
}

std::vector<ElementString> SplitBracketed(std::string_view text)
{
    std::vector<ElementString> elements;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t close = AiClose(text, at);
        if (close == std::string_view::npos) {
            const std::size_t end = text.find(')', at);
            if (end == std::string_view::npos)
                throw Exception(Format("%s", {"'(' without ')'."}));
            Fail(text.substr(at + 1, end - at - 1), "unknown application identifier");
        }
        std::size_t next = close + 1;
        while (next < text.size() && AiClose(text, next) == std::string_view::npos)
            ++next;
        elements.push_back(
            {std::string(text.substr(at + 1, close - at - 1)), std::string(text.substr(close + 1, next - close - 1))});
        at = next;
    }
    return elements;
}

std::vector<ElementString> SplitRaw(std::string_view text)
{
    std::vector<ElementString> elements;
    std::size_t at = 0;
    while (at < text.size()) {
        // A separator where an AI is due (FNC1 in first place, a doubled
        // or a closing one) carries nothing.
        if (text[at] == kSeparator) {
            ++at;
            continue;
        }
        const int length = at + 1 < text.size() ? AiLengthFromPrefix(text[at], text[at + 1]) : 0;
        const std::string_view ai = text.substr(at, length == 0 ? 2 : static_cast<std::size_t>(length));
        const AiRow& row = RowOf(ai);
        at += ai.size();
        std::size_t end = text.find(kSeparator, at);
        if (row.predefinedLength)
            end = std::min(end, at + static_cast<std::size_t>(MaxDataLength(row)));
        end = std::min(end, text.size());
        elements.push_back({std::string(ai), std::string(text.substr(at, end - at))});
        at = end;
    }
    return elements;
}

// The element strings in order, `separator` after each one of variable
// length that is not the last.
template <typename Out, typename T>
void Concatenate(std::span<const ElementString> elements, const std::vector<const AiRow*>& rows, T separator, Out& out)
{
    for (std::size_t i = 0; i < elements.size(); ++i) {
        out.insert(out.end(), elements[i].Ai.begin(), elements[i].Ai.end());
        for (char c : elements[i].Data)
            out.push_back(static_cast<unsigned char>(c));
        if (!rows[i]->predefinedLength && i + 1 < elements.size())
            out.push_back(separator);
    }
}

std::vector<ElementString> Split(std::string_view text)
{
    return !text.empty() && text[0] == '(' ? SplitBracketed(text) : SplitRaw(text);
}

// GS1-128 of checked element strings.
Code128Symbol Encode(std::span<const ElementString> elements, const std::vector<const AiRow*>& rows)
{
    std::vector<std::uint16_t> input{Fnc1};
    Concatenate(elements, rows, static_cast<std::uint16_t>(Fnc1), input);
    Code128Symbol symbol = EncodeCode128(input);
    symbol.Caption = HumanReadableText(elements);
    return symbol;
}

} // namespace

bool FindApplicationIdentifier(std::string_view ai, ApplicationIdentifier& info)
{
    const AiRow* row = FindAiRow(ai);
    if (row == nullptr)
        return false;
    info = {row->title, row->specification, MinDataLength(*row), MaxDataLength(*row), !row->predefinedLength};
    return true;
}

std::vector<ElementString> ParseElementStrings(std::string_view text)
{
    std::vector<ElementString> elements = Split(text);
    Check(elements);
    return elements;
}

void CheckElementStrings(std::span<const ElementString> elements)
{
    Check(elements);
}

std::string HumanReadableText(std::span<const ElementString> elements)
{
    std::string text;
    for (const ElementString& e : elements) {
        if (!text.empty())
            text += ' ';
        text += '(' + e.Ai + ") " + e.Data;
    }
    return text;
}

std::string RawText(std::span<const ElementString> elements)
{
    std::vector<const AiRow*> rows;
    for (const ElementString& e : elements)
        rows.push_back(&RowOf(e.Ai));
    std::string raw;
    Concatenate(elements, rows, kSeparator, raw);
    return raw;
}

} // namespace qb::gs1

namespace qb {

Code128Symbol EncodeGS1_128(std::span<const gs1::ElementString> elements)
{
    return gs1::Encode(elements, gs1::Check(elements));
}

Code128Symbol EncodeGS1_128(std::string_view text)
{
    const std::vector<gs1::ElementString> elements = gs1::Split(text);
    return gs1::Encode(elements, gs1::Check(elements));
}

} // namespace qb
