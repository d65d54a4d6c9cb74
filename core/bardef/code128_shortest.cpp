// Code 128 in the fewest symbol characters: a shortest-path search over the
// positions of the input and the encoder's states (code set A, B or C, and
// whether FNC4 has latched the extended range), whose steps are the symbol
// characters each choice writes.
#include "bardef/code128_table.h"
#include "qbarcode/code128.h"
#include "qbarcode/sysutils.h"

#include <cstdint>
#include <limits>

namespace qb {
namespace {

using namespace code128;

enum CodeSet : int { kSetA, kSetB, kSetC };

// Symbol character values with a meaning of their own in code sets A and B.
constexpr int kFnc3 = 96, kFnc2 = 97, kShift = 98, kStop = 106;

// Of equally short symbols, the one found first is kept: sets are tried in
// this order at the start, at each switch and at the end.
constexpr int kPreference[] = {kSetB, kSetA, kSetC};

// Six states: the code set, and whether a double FNC4 has latched the
// extended range (codes 128 to 255). The latch is kept through code set C,
// whose digit pairs it does not touch.
constexpr int kStates = 6;

constexpr int StateOf(int set, bool latched)
{
    return set * 2 + (latched ? 1 : 0);
}
constexpr int SetOf(int state)
{
    return state >> 1;
}
constexpr bool IsLatched(int state)
{
    return (state & 1) != 0;
}

// CODE A is 101 and CODE B 100 wherever they stand; CODE C is 99.
constexpr int SwitchTo(int set)
{
    return set == kSetA ? 101 : set == kSetB ? 100 : 99;
}
constexpr int Fnc4In(int set)
{
    return set == kSetA ? 101 : 100;
}

// Code set A holds codes 0 to 95, B codes 32 to 127 (of the low half).
constexpr bool Holds(int set, int low)
{
    return set == kSetA ? low < 96 : low >= 32;
}
constexpr int ValueIn(int set, int low)
{
    return set == kSetA && low < 32 ? low + 64 : low - 32;
}

bool IsDigit(std::uint16_t u)
{
    return u >= '0' && u <= '9';
}

// What a state was reached by.
enum class Step : std::uint8_t { Start, Switch, Latch, Char, Pair, Function };

struct Node {
    std::uint32_t cost = std::numeric_limits<std::uint32_t>::max();
    std::int32_t from = -1;
    Step step = Step::Start;
};

// Symbol characters a character costs in a state: itself, an FNC4 when its
// half is not the latched one, a SHIFT when the set lacks it.
std::uint32_t CharCost(int state, std::uint16_t c)
{
    const int set = SetOf(state);
    return 1u + ((c >= 128) != IsLatched(state) ? 1u : 0u) + (Holds(set, c & 127) ? 0u : 1u);
}

// The cheapest way to every (position, state); nodes[i * kStates + state].
std::vector<Node> Search(std::span<const std::uint16_t> input)
{
    const std::size_t n = input.size();
    std::vector<Node> nodes((n + 1) * kStates);
    auto relax = [&](std::size_t to, std::uint32_t cost, std::size_t from, Step step) {
        if (cost >= nodes[to].cost)
            return false;
        nodes[to] = {cost, static_cast<std::int32_t>(from), step};
        return true;
    };
    for (int set : kPreference)
        nodes[StateOf(set, false)] = {1, -1, Step::Start};

    for (std::size_t i = 0; i <= n; ++i) {
        const std::size_t here = i * kStates;
        // Switches and latches read nothing. FNC1 in first place must follow
        // the start character itself (it marks GS1 data), and a start in any
        // set reaches it as cheaply.
        const bool fnc1First = i == 0 && n > 0 && input[0] == Fnc1;
        for (bool changed = !fnc1First; changed;) {
            changed = false;
            for (int s = 0; s < kStates; ++s) {
                const std::uint32_t cost = nodes[here + s].cost;
                if (cost == std::numeric_limits<std::uint32_t>::max())
                    continue;
                const int set = SetOf(s);
                for (int to : kPreference)
                    if (to != set)
                        changed |= relax(here + StateOf(to, IsLatched(s)), cost + 1, here + s, Step::Switch);
                if (set != kSetC)
                    changed |= relax(here + StateOf(set, !IsLatched(s)), cost + 2, here + s, Step::Latch);
            }
        }
        if (i == n)
            break;
        const std::uint16_t u = input[i];
        for (int s = 0; s < kStates; ++s) {
            const std::uint32_t cost = nodes[here + s].cost;
            if (cost == std::numeric_limits<std::uint32_t>::max())
                continue;
            if (u >= 256) {
                if (SetOf(s) != kSetC || u == Fnc1)
                    relax(here + kStates + s, cost + 1, here + s, Step::Function);
            } else if (SetOf(s) == kSetC) {
                if (i + 1 < n && IsDigit(u) && IsDigit(input[i + 1]))
                    relax(here + 2 * kStates + s, cost + 1, here + s, Step::Pair);
            } else {
                relax(here + kStates + s, cost + CharCost(s, u), here + s, Step::Char);
            }
        }
    }
    return nodes;
}

// Writes the symbol characters of one step taken from state `from`.
void AppendStep(Step step, int from, int to, std::span<const std::uint16_t> input, std::size_t i,
                std::vector<std::uint8_t>& values)
{
    auto put = [&](int v) { values.push_back(static_cast<std::uint8_t>(v)); };
    const int set = SetOf(from);
    switch (step) {
    case Step::Start:
        put(kStartA + SetOf(to));
        break;
    case Step::Switch:
        put(SwitchTo(SetOf(to)));
        break;
    case Step::Latch:
        put(Fnc4In(set));
        put(Fnc4In(set));
        break;
    case Step::Function:
        put(input[i] == Fnc1 ? kFnc1 : input[i] == Fnc2 ? kFnc2 : kFnc3);
        break;
    case Step::Pair:
        put((input[i] - '0') * 10 + (input[i + 1] - '0'));
        break;
    case Step::Char: {
        const int low = input[i] & 127;
        if ((input[i] >= 128) != IsLatched(from))
            put(Fnc4In(set));
        if (Holds(set, low)) {
            put(ValueIn(set, low));
        } else {
            put(kShift);
            put(ValueIn(set == kSetA ? kSetB : kSetA, low));
        }
        break;
    }
    }
}

Code128Symbol Encode(std::span<const std::uint16_t> input, std::string caption)
{
    for (std::uint16_t u : input)
        if (u > Fnc3)
            throw Exception(Format("%d is not a Code 128 input character.", {static_cast<long long>(u)}));
    const std::vector<Node> nodes = Search(input);

    const std::size_t last = input.size() * kStates;
    std::size_t end = last + StateOf(kSetB, false);
    for (int set : kPreference)
        for (bool latched : {false, true})
            if (nodes[last + StateOf(set, latched)].cost < nodes[end].cost)
                end = last + StateOf(set, latched);
    std::vector<std::size_t> path;
    for (std::int32_t at = static_cast<std::int32_t>(end); at >= 0; at = nodes[at].from)
        path.push_back(static_cast<std::size_t>(at));

    Code128Symbol symbol;
    symbol.Values.reserve(nodes[end].cost + 2);
    for (std::size_t k = path.size(); k-- > 0;) {
        const std::size_t node = path[k];
        const std::size_t from = k + 1 < path.size() ? path[k + 1] : node;
        AppendStep(nodes[node].step, static_cast<int>(from % kStates), static_cast<int>(node % kStates), input,
                   from / kStates, symbol.Values);
    }
    std::uint32_t sum = symbol.Values[0];
    for (std::size_t k = 1; k < symbol.Values.size(); ++k)
        sum = (sum + symbol.Values[k] * static_cast<std::uint32_t>(k)) % 103;
    symbol.Values.push_back(static_cast<std::uint8_t>(sum % 103));

    symbol.LineCodes.reserve(6 * symbol.Values.size() + kStopLineCodes.size());
    for (std::uint8_t v : symbol.Values)
        symbol.LineCodes.append(kLineCodes[v].codes, 6);
    symbol.LineCodes.append(kStopLineCodes.data(), kStopLineCodes.size());
    symbol.Values.push_back(kStop);
    symbol.Caption = std::move(caption);
    return symbol;
}

} // namespace

Code128Symbol EncodeCode128(std::string_view text)
{
    std::vector<std::uint16_t> input(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        input[i] = static_cast<unsigned char>(text[i]);
    return Encode(input, std::string(text));
}

Code128Symbol EncodeCode128(std::span<const std::uint16_t> input)
{
    std::string caption;
    caption.reserve(input.size());
    for (std::uint16_t u : input)
        if (u < 256)
            caption += static_cast<char>(u);
    return Encode(input, std::move(caption));
}

} // namespace qb
