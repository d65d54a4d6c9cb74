// GS1 element strings: splitting the bracketed and raw forms, checking them
// against the application identifier table, and writing them as text and as
// GS1-128. The work is done on views into the caller's text; strings are made
// only for what is returned.
#include "qbarcode/gs1.h"

#include "bardef/code128_shortest.h"
#include "bardef/scratch.h"
#include "gs1/ai_table.h"
#include "gs1/rules.h"
#include "qbarcode/sysutils.h"

#include <algorithm>

namespace qb {

namespace gs1 {
namespace {

// One element string being worked on; row and number are set once the AI
// is known.
struct Element {
    std::string_view ai, data;
    const AiRow* row;
    std::uint16_t number;
};

using Elements = std::span<Element>;

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
            Fail(ai, CharacterNotAllowed(parts[i], static_cast<std::size_t>(bad)));
    for (int i = 0; i < count; ++i)
        for (Linter linter : row.components[i].linters)
            if (linter != Linter::None)
                if (std::string wrong = BreaksRule(linter, parts[i]); !wrong.empty())
                    Fail(ai, wrong);
}

constexpr std::uint16_t kPower10[] = {1, 10, 100, 1000};

bool Matches(const AiPattern& p, const Element& e)
{
    return e.ai.size() == p.digits && static_cast<unsigned>(e.number - p.low) < kPower10[p.wild];
}

bool SameAi(const Element& a, const Element& b)
{
    return a.number == b.number && a.ai.size() == b.ai.size();
}

bool Present(const AiPattern& p, Elements elements)
{
    return std::any_of(elements.begin(), elements.end(), [&](const Element& e) { return Matches(p, e); });
}

// "(31nn)".
std::string PatternText(const AiPattern& p)
{
    std::string digits = std::to_string(p.low);
    digits.insert(0, p.digits - digits.size(), '0');
    digits.replace(digits.size() - p.wild, p.wild, p.wild, 'n');
    return "(" + digits + ")";
}

// The groups of one list: "(01)+(21), (03)+(21) or (8006)+(21)".
std::string GroupsText(std::span<const AiPattern> list)
{
    std::string out;
    for (std::size_t k = 0; k < list.size(); ++k) {
        out += PatternText(list[k]);
        if (k + 1 == list.size())
            break;
        if (list[k].link == Link::And)
            out += '+';
        else
            out += std::any_of(list.begin() + static_cast<std::ptrdiff_t>(k) + 1, list.end() - 1,
                               [](const AiPattern& p) { return p.link != Link::And; })
                       ? ", "
                       : " or ";
    }
    return out;
}

// An AI given twice must carry the same data; an AI's excluded AIs (other
// than itself) must be absent; of each of its lists of required groups, one
// group must be present whole.
void CheckPairings(Elements elements)
{
    for (std::size_t i = 0; i < elements.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (SameAi(elements[j], elements[i]) && elements[j].data != elements[i].data)
                Fail(elements[i].ai, "repeated with a different value");
    const std::span<const AiPattern> patterns = AiPatterns();
    for (const Element& e : elements) {
        for (const AiPattern& p : patterns.subspan(e.row->excludedFirst, e.row->excludedCount))
            for (const Element& other : elements)
                if (!SameAi(other, e) && Matches(p, other))
                    Fail(e.ai, "not allowed with (" + std::string(other.ai) + ")");
        const std::span<const AiPattern> required = patterns.subspan(e.row->requiredFirst, e.row->requiredCount);
        for (std::size_t start = 0; start < required.size();) {
            // The list's groups in turn, until one is present whole.
            bool met = false, group = true;
            std::size_t k = start;
            for (;; ++k) {
                if (!met)
                    group = group && Present(required[k], elements);
                if (required[k].link == Link::And)
                    continue;
                met = met || group;
                group = true;
                if (required[k].link == Link::List || k + 1 == required.size())
                    break;
            }
            if (!met)
                Fail(e.ai, "needs " + GroupsText(required.subspan(start, k + 1 - start)));
            start = k + 1;
        }
    }
}

// Checks every element string, setting its row.
void Check(Elements elements)
{
    if (elements.empty())
        throw Exception(Format("%s", {"No GS1 element strings."}));
    for (Element& e : elements) {
        e.row = &RowOf(e.ai);
        e.number = 0;
        for (char c : e.ai)
            e.number = static_cast<std::uint16_t>(e.number * 10 + (c - '0'));
        CheckData(e.ai, *e.row, e.data);
    }
    CheckPairings(elements);
}

// Where a '(' at `at` opens an AI: '(' then digits then ')'; returns the
// position of the ')' or npos. (Digits of any number, so that "(12345)" is
// refused as an identifier rather than taken as data.)
std::size_t AiClose(std::string_view text, std::size_t at)
{
    if (at >= text.size() || text[at] != '(')
        return std::string_view::npos;
    std::size_t i = at + 1;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    return i > at + 1 && i < text.size() && text[i] == ')' ? i : std::string_view::npos;
}

// Each function appends the element strings of its form to `out`, which
// holds room for text.size() / 2 + 1 of them (every element string takes at
// least two characters of the text), and returns how many it wrote.
std::size_t SplitBracketed(std::string_view text, Element* out)
{
    std::size_t count = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t close = AiClose(text, at);
        if (close == std::string_view::npos) {
            const std::size_t end = text.find(')', at);
            if (end == std::string_view::npos)
                throw Exception(Format("%s", {"'(' without ')'."}));
            Fail(text.substr(at + 1, end - at - 1), "unknown application identifier");
        }
        std::size_t next = text.find('(', close + 1);
        while (next != std::string_view::npos && AiClose(text, next) == std::string_view::npos)
            next = text.find('(', next + 1);
        next = std::min(next, text.size());
        out[count++] = {text.substr(at + 1, close - at - 1), text.substr(close + 1, next - close - 1), nullptr, 0};
        at = next;
    }
    return count;
}

std::size_t SplitRaw(std::string_view text, Element* out)
{
    std::size_t count = 0;
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
        std::size_t end = std::min(text.find(kSeparator, at), text.size());
        if (row.predefinedLength)
            end = std::min(end, at + static_cast<std::size_t>(MaxDataLength(row)));
        out[count++] = {ai, text.substr(at, end - at), &row, 0};
        at = end;
    }
    return count;
}

std::size_t Split(std::string_view text, Element* out)
{
    return !text.empty() && text[0] == '(' ? SplitBracketed(text, out) : SplitRaw(text, out);
}

// Room for the element strings of a text of this length.
std::size_t MostElements(std::string_view text)
{
    return text.size() / 2 + 1;
}

std::vector<Element> Views(std::span<const ElementString> elements)
{
    std::vector<Element> views;
    views.reserve(elements.size());
    for (const ElementString& e : elements)
        views.push_back({e.Ai, e.Data, nullptr, 0});
    return views;
}

// "(01) 09501101530003 (10) AB-123".
void WriteHumanReadable(Elements elements, std::string& out)
{
    std::size_t size = 0;
    for (const Element& e : elements)
        size += e.ai.size() + e.data.size() + 4;
    out.resize(size > 0 ? size - 1 : 0); // no space before the first
    char* p = out.data();
    for (const Element& e : elements) {
        if (p != out.data())
            *p++ = ' ';
        *p++ = '(';
        p = std::copy(e.ai.begin(), e.ai.end(), p);
        *p++ = ')';
        *p++ = ' ';
        p = std::copy(e.data.begin(), e.data.end(), p);
    }
}

// The element strings in order, `separator` after each one of variable
// length that is not the last; returns the number of units written.
template <typename T> std::size_t Concatenate(Elements elements, T separator, T* out)
{
    T* p = out;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        for (char c : elements[i].ai)
            *p++ = static_cast<T>(static_cast<unsigned char>(c));
        for (char c : elements[i].data)
            *p++ = static_cast<T>(static_cast<unsigned char>(c));
        if (!elements[i].row->predefinedLength && i + 1 < elements.size())
            *p++ = separator;
    }
    return static_cast<std::size_t>(p - out);
}

// Units of the concatenation, separators included.
std::size_t UnitCount(Elements elements)
{
    std::size_t n = elements.size();
    for (const Element& e : elements)
        n += e.ai.size() + e.data.size();
    return n;
}

// GS1-128 of checked element strings: FNC1 first, FNC1 as the separator.
void Encode(Elements elements, Code128Symbol& symbol)
{
    Scratch<std::uint16_t, 256> input(UnitCount(elements) + 1);
    input[0] = Fnc1;
    const std::size_t n = 1 + Concatenate(elements, static_cast<std::uint16_t>(Fnc1), input.data() + 1);
    code128::EncodeUnits(std::span<const std::uint16_t>(input.data(), n), symbol, true);
    WriteHumanReadable(elements, symbol.Caption);
}

} // namespace

bool FindApplicationIdentifier(std::string_view ai, ApplicationIdentifier& info)
{
    const AiRow* row = FindAiRow(ai);
    if (row == nullptr)
        return false;
    info = {row->title, row->format, MinDataLength(*row), MaxDataLength(*row), !row->predefinedLength};
    return true;
}

std::vector<ElementString> ParseElementStrings(std::string_view text)
{
    Scratch<Element, 64> views(MostElements(text));
    const Elements elements(views.data(), Split(text, views.data()));
    Check(elements);
    std::vector<ElementString> result;
    result.reserve(elements.size());
    for (const Element& e : elements)
        result.push_back({std::string(e.ai), std::string(e.data)});
    return result;
}

void CheckElementStrings(std::span<const ElementString> elements)
{
    std::vector<Element> views = Views(elements);
    Check(views);
}

std::string HumanReadableText(std::span<const ElementString> elements)
{
    std::vector<Element> views = Views(elements);
    std::string text;
    WriteHumanReadable(views, text);
    return text;
}

std::string RawText(std::span<const ElementString> elements)
{
    std::vector<Element> views = Views(elements);
    for (Element& e : views)
        e.row = &RowOf(e.ai);
    std::string raw(UnitCount(views), '\0');
    raw.resize(Concatenate(views, kSeparator, raw.data()));
    return raw;
}

} // namespace gs1

void EncodeGS1_128(std::string_view text, Code128Symbol& symbol)
{
    Scratch<gs1::Element, 64> views(gs1::MostElements(text));
    const gs1::Elements elements(views.data(), gs1::Split(text, views.data()));
    gs1::Check(elements);
    gs1::Encode(elements, symbol);
}

void EncodeGS1_128(std::span<const gs1::ElementString> elements, Code128Symbol& symbol)
{
    std::vector<gs1::Element> views = gs1::Views(elements);
    gs1::Check(views);
    gs1::Encode(views, symbol);
}

Code128Symbol EncodeGS1_128(std::string_view text)
{
    Code128Symbol symbol;
    EncodeGS1_128(text, symbol);
    return symbol;
}

Code128Symbol EncodeGS1_128(std::span<const gs1::ElementString> elements)
{
    Code128Symbol symbol;
    EncodeGS1_128(elements, symbol);
    return symbol;
}

} // namespace qb
