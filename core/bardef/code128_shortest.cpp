// Code 128 in the fewest symbol characters: a shortest-path search over the
// positions of the input and the encoder's states (code set A, B or C, and
// whether a double FNC4 has latched the extended range). At each position
// the state may change (CODE A, CODE B, CODE C, a double FNC4) before the
// next character is written in it (with a single FNC4 or a SHIFT where its
// half or its set call for one).
#include "bardef/code128_shortest.h"
#include "bardef/code128_table.h"
#include "bardef/scratch.h"
#include "qbarcode/code128.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace qb {
namespace {

using namespace code128;

enum CodeSet : int { kSetA, kSetB, kSetC };

// Symbol character values with a meaning of their own in code sets A and B.
constexpr int kFnc3 = 96, kFnc2 = 97, kShift = 98, kStop = 106;

// A state is set * 2 + latched. The latch is kept through code set C, whose
// digit pairs it does not touch.
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

constexpr std::uint32_t kUnreached = 1u << 30;

// The kinds of character that decide which states a text needs: control
// characters, codes 96 to 127, codes 128 to 255.
constexpr unsigned kControl = 1, kHigh = 2, kExtended = 4;

constexpr std::array<std::uint8_t, 256> MakeKinds()
{
    std::array<std::uint8_t, 256> kinds{};
    for (int c = 0; c < 256; ++c) {
        const int low = c & 127;
        kinds[static_cast<std::size_t>(c)] =
            static_cast<std::uint8_t>((low < 32 ? kControl : 0) | (low >= 96 ? kHigh : 0) | (c >= 128 ? kExtended : 0));
    }
    return kinds;
}

constexpr std::array<std::uint8_t, 256> kKindOf = MakeKinds();

// The cheapest change from each state to each other one at the same position
// (a switch costs one symbol character, a latch or unlatch two, in A or B),
// and the state after its first step.
struct ModeChanges {
    std::uint32_t cost[kStates][kStates];
    std::uint8_t next[kStates][kStates];
};

constexpr ModeChanges MakeModeChanges()
{
    ModeChanges m{};
    for (int s = 0; s < kStates; ++s)
        for (int t = 0; t < kStates; ++t) {
            m.cost[s][t] = s == t ? 0 : kUnreached;
            m.next[s][t] = static_cast<std::uint8_t>(t);
        }
    for (int s = 0; s < kStates; ++s) {
        for (int set = kSetA; set <= kSetC; ++set)
            if (set != SetOf(s))
                m.cost[s][StateOf(set, IsLatched(s))] = 1;
        if (SetOf(s) != kSetC)
            m.cost[s][StateOf(SetOf(s), !IsLatched(s))] = 2;
    }
    for (int k = 0; k < kStates; ++k)
        for (int s = 0; s < kStates; ++s)
            for (int t = 0; t < kStates; ++t)
                if (m.cost[s][k] + m.cost[k][t] < m.cost[s][t]) {
                    m.cost[s][t] = m.cost[s][k] + m.cost[k][t];
                    m.next[s][t] = m.next[s][k];
                }
    return m;
}

constexpr ModeChanges kModeChanges = MakeModeChanges();
static_assert(kModeChanges.cost[StateOf(kSetC, false)][StateOf(kSetC, true)] == 4);

// Of equally short symbols the one found first is kept: states are tried in
// this order (B, A, C), at the start, at every change and at the end. Without
// codes 128 to 255 only the first three are needed.
constexpr int kOrder[kStates] = {2, 0, 4, 3, 1, 5};

// How a state at a position was reached: from state `from` at the position
// `length` units before (changing state there, then writing those units);
// length 0 at the start.
struct Node {
    std::uint32_t cost;
    std::uint8_t from, length;
};

inline std::uint16_t UnitOf(char c)
{
    return static_cast<unsigned char>(c);
}
inline std::uint16_t UnitOf(std::uint16_t u)
{
    return u;
}

bool IsDigit(std::uint16_t u)
{
    return u >= '0' && u <= '9';
}

// Symbol characters a character costs in a state: itself, an FNC4 when its
// half is not the latched one, a SHIFT when the set lacks it.
std::uint32_t CharCost(int state, std::uint16_t c)
{
    return 1u + ((c >= 128) != IsLatched(state) ? 1u : 0u) + (Holds(SetOf(state), c & 127) ? 0u : 1u);
}

template <typename Unit> class Encoder {
public:
    Encoder(const Unit* in, std::size_t n) : in_(in), n_(n), nodes_((n + 2) * kStates) {}

    // `kinds`: the kinds of character the text holds (KindsIn), when the
    // caller knows them.
    void Run(Code128Symbol& symbol, unsigned kinds)
    {
        const int states = Search(kinds);
        const std::size_t last = n_ * kStates;
        int end = kOrder[0];
        for (int k = 1; k < states; ++k)
            if (nodes_[last + kOrder[k]].cost < nodes_[last + end].cost)
                end = kOrder[k];
        Write(end, symbol);
    }

    void Run(Code128Symbol& symbol) { Run(symbol, KindsIn()); }

private:
    std::uint16_t At(std::size_t i) const { return UnitOf(in_[i]); }

    unsigned KindsIn() const
    {
        unsigned kinds = 0;
        for (std::size_t i = 0; i < n_; ++i)
            if (At(i) < 256)
                kinds |= kKindOf[At(i)];
        return kinds;
    }

    // Fills nodes_; returns how many states of kOrder take part. Without
    // codes 128 to 255 the latch is never used; without control characters
    // set A is never needed (B holds everything else), and without codes 96
    // to 127 set B is not (A does).
    int Search(unsigned kinds)
    {
        for (int s = 0; s < kStates; ++s)
            nodes_[s] = {kUnreached, 0, 0};
        for (int k = 0; k < 3; ++k)
            nodes_[kOrder[k]] = {1, static_cast<std::uint8_t>(kOrder[k]), 0};
        if (kinds & kExtended) {
            SearchExtended();
            return kStates;
        }
        if (!(kinds & kControl))
            SearchPlain<false, true>();
        else if (!(kinds & kHigh))
            SearchPlain<true, false>();
        else
            SearchPlain<true, true>();
        return 3;
    }

    // The cheapest arrival in each state from the costs x at one position,
    // written back into x, and the state each comes from: staying, a switch
    // (1), a latch or unlatch (2, in A or B), a latch and a switch (3), or C
    // to C with the latch changed (4); as kModeChanges has them.
    static constexpr void Change(std::uint32_t* x, std::uint8_t* via)
    {
        std::uint32_t least[2], leastAB[2];
        int from[2], fromAB[2];
        for (int g = 0; g < 2; ++g) {
            fromAB[g] = x[StateOf(kSetA, g)] < x[StateOf(kSetB, g)] ? StateOf(kSetA, g) : StateOf(kSetB, g);
            leastAB[g] = x[fromAB[g]];
            from[g] = x[StateOf(kSetC, g)] < leastAB[g] ? StateOf(kSetC, g) : fromAB[g];
            least[g] = x[from[g]];
        }
        std::uint32_t y[kStates];
        for (int t = 0; t < kStates; ++t) {
            const int g = IsLatched(t) ? 1 : 0, o = 1 - g;
            std::uint32_t best = x[t];
            int way = t;
            auto consider = [&](std::uint32_t cost, int state) {
                if (cost < best)
                    best = cost, way = state;
            };
            consider(least[g] + 1, from[g]);
            if (SetOf(t) != kSetC) {
                consider(x[t ^ 1] + 2, t ^ 1);
                consider(least[o] + 3, from[o]);
            } else {
                consider(leastAB[o] + 3, fromAB[o]);
                consider(x[t ^ 1] + 4, t ^ 1);
            }
            y[t] = best;
            via[t] = static_cast<std::uint8_t>(way);
        }
        std::copy(y, y + kStates, x);
    }

    // Change's arrivals from each state alone are kModeChanges' costs.
    static constexpr bool ChangeIsShortest()
    {
        for (int s = 0; s < kStates; ++s) {
            std::uint32_t x[kStates];
            std::uint8_t via[kStates]{};
            for (int t = 0; t < kStates; ++t)
                x[t] = t == s ? 0 : kUnreached;
            Change(x, via);
            for (int t = 0; t < kStates; ++t)
                if (x[t] != kModeChanges.cost[s][t] || (t != s && via[t] != s))
                    return false;
        }
        return true;
    }
    static_assert(ChangeIsShortest());

    // FNC1 in first place must follow the start character itself (it marks
    // GS1 data); a start in the set wanted reaches it as cheaply. Elsewhere
    // the state may change before each unit.
    bool Fnc1First() const { return n_ > 0 && At(0) == Fnc1; }

    // The search over the three unlatched states, for text without codes 128
    // to 255: any change of state is one switch. The text most often
    // encoded, so written out set by set, with the costs of the positions in
    // reach (i, i + 1, i + 2) held as they pass and only the ways stored.
    template <bool useA, bool useB> void SearchPlain()
    {
        constexpr int kA = StateOf(kSetA, false), kB = StateOf(kSetB, false), kC = StateOf(kSetC, false);
        Node* nodes = &nodes_[0];
        if constexpr (!useA)
            nodes[kA].cost = kUnreached;
        if constexpr (!useB)
            nodes[kB].cost = kUnreached;
        auto way = [&](std::size_t j, int s, int from, int length) {
            nodes[j * kStates + s].from = static_cast<std::uint8_t>(from);
            nodes[j * kStates + s].length = static_cast<std::uint8_t>(length);
        };
        // Every position is reached in A and B from the one before only, and
        // in C from the one before (FNC1) or the one before that (a pair):
        // only C's arrivals are compared. The selections are written as
        // such, without branches, as the text decides them.
        std::uint32_t a = nodes[kA].cost, b = nodes[kB].cost, c = nodes[kC].cost, nextC = kUnreached;
        std::uint16_t u = n_ > 0 ? At(0) : 0;
        bool fixed = Fnc1First();
        for (std::size_t i = 0; i < n_; ++i, fixed = false) {
            const std::uint16_t following = i + 1 < n_ ? At(i + 1) : 0;
            int viaA = kA, viaB = kB, viaC = kC;
            if (!fixed) {
                // Each set's cheapest arrival: staying, or one switch from
                // another set (B before A before C on a tie). The three are
                // worked side by side, which keeps the chain from one
                // position to the next short.
                const std::uint32_t a1 = a + 1, b1 = b + 1, c1 = c + 1;
                const std::uint32_t bc = b1 <= c1 ? b1 : c1, ac = a1 <= c1 ? a1 : c1, ba = b1 <= a1 ? b1 : a1;
                if constexpr (useA) {
                    viaA = a <= bc ? kA : b1 <= c1 ? kB : kC;
                    a = a <= bc ? a : bc;
                }
                if constexpr (useB) {
                    viaB = b <= ac ? kB : a1 <= c1 ? kA : kC;
                    b = b <= ac ? b : ac;
                }
                viaC = c <= ba ? kC : b1 <= a1 ? kB : kA;
                c = c <= ba ? c : ba;
            }
            // Set A lacks 96 to 127, B lacks 0 to 31: a SHIFT each; code set
            // C takes FNC1 and digit pairs only.
            const std::uint32_t toA = a + 1 + (u >= 96 && u < 256 ? 1 : 0);
            const std::uint32_t toB = b + 1 + (u < 32 ? 1 : 0);
            if constexpr (useA)
                way(i + 1, kA, viaA, 1);
            if constexpr (useB)
                way(i + 1, kB, viaB, 1);
            std::uint32_t toC = nextC;
            if (u == Fnc1 && c + 1 < toC) {
                toC = c + 1;
                way(i + 1, kC, viaC, 1);
            }
            // The pair's way is written even when there is none: its cost
            // then stays unreached and no path takes it (rows reach n + 1).
            const bool pair = IsDigit(u) & IsDigit(following);
            way(i + 2, kC, viaC, 2);
            nextC = pair ? c + 1 : kUnreached;
            a = useA ? toA : kUnreached, b = useB ? toB : kUnreached, c = toC, u = following;
        }
        nodes[n_ * kStates + kA].cost = a;
        nodes[n_ * kStates + kB].cost = b;
        nodes[n_ * kStates + kC].cost = c;
    }

    // The search over all six states, for text with codes 128 to 255.
    void SearchExtended()
    {
        Node* nodes = &nodes_[0];
        std::uint32_t here[kStates], next[kStates], later[kStates];
        for (int s = 0; s < kStates; ++s) {
            here[s] = nodes[s].cost;
            next[s] = later[s] = kUnreached;
        }
        bool fixed = Fnc1First();
        for (std::size_t i = 0; i < n_; ++i, fixed = false) {
            std::uint8_t via[kStates] = {0, 1, 2, 3, 4, 5};
            if (!fixed)
                Change(here, via);
            // A and B are reached from the position before only, C from it
            // (FNC1) or from the one before that (a pair), as in
            // SearchPlain; a pair's way is written even when there is none.
            auto way = [&](std::size_t j, int s, int length) {
                nodes[j * kStates + s].from = via[s];
                nodes[j * kStates + s].length = static_cast<std::uint8_t>(length);
            };
            const std::uint16_t u = At(i);
            for (int s = 0; s < 4; ++s) {
                next[s] = here[s] + (u >= 256 ? 1 : CharCost(s, u));
                way(i + 1, s, 1);
            }
            const bool pair = i + 1 < n_ && IsDigit(u) && IsDigit(At(i + 1));
            for (int s = 4; s < kStates; ++s) {
                if (u == Fnc1 && here[s] + 1 < next[s]) {
                    next[s] = here[s] + 1;
                    way(i + 1, s, 1);
                }
                later[s] = pair ? here[s] + 1 : kUnreached;
                way(i + 2, s, 2);
            }
            for (int s = 0; s < kStates; ++s) {
                here[s] = next[s];
                next[s] = later[s];
                later[s] = kUnreached;
            }
        }
        for (int s = 0; s < kStates; ++s)
            nodes[n_ * kStates + s].cost = here[s];
    }

    // The symbol characters of the path that ends in state `end`, written
    // from the last one back (the path is known from its end only), then the
    // check character, the stop character and the line codes.
    void Write(int end, Code128Symbol& symbol)
    {
        std::vector<std::uint8_t>& values = symbol.Values;
        const std::uint32_t count = nodes_[n_ * kStates + end].cost; // start and data
        values.resize(count + 2);
        std::uint8_t* p = values.data() + count;
        // The path's cost counts its symbol characters; a path that wrote
        // more would be a fault of the search, refused before it writes
        // outside the values.
        auto put = [&](int v) {
            if (p == values.data())
                throw Exception(Format("%s", {"Internal Error."}));
            *--p = static_cast<std::uint8_t>(v);
        };
        std::size_t at = n_;
        int state = end;
        for (const Node* node = &nodes_[at * kStates + state]; node->length != 0;
             node = &nodes_[at * kStates + state]) {
            at -= node->length;
            WriteUnitsBackward(state, at, node->length, put);
            // The changes of state before them, found forward, put backward.
            int changes[3], k = 0;
            for (int s = node->from; s != state; s = kModeChanges.next[s][state])
                changes[k++] = kModeChanges.next[s][state];
            for (int prev; k-- > 0;) {
                prev = k > 0 ? changes[k - 1] : node->from;
                if (SetOf(changes[k]) != SetOf(prev)) {
                    put(SwitchTo(SetOf(changes[k])));
                } else {
                    put(Fnc4In(SetOf(prev)));
                    put(Fnc4In(SetOf(prev)));
                }
            }
            state = node->from;
        }
        put(kStartA + SetOf(state));
        if (p != values.data())
            throw Exception(Format("%s", {"Internal Error."}));

        // The line codes and the weighted sum of the check character in one
        // pass (the start character weighs 1, as the first data character).
        symbol.LineCodes.resize(6 * (count + 1) + kStopLineCodes.size());
        char* out = symbol.LineCodes.data();
        std::uint64_t sum = values[0];
        for (std::uint32_t k = 0; k < count; ++k, out += 6) {
            sum += values[k] * static_cast<std::uint64_t>(k);
            std::memcpy(out, kLineCodes[values[k]].codes, 6);
        }
        values[count] = static_cast<std::uint8_t>(sum % 103);
        values[count + 1] = kStop;
        std::memcpy(out, kLineCodes[values[count]].codes, 6);
        std::memcpy(out + 6, kStopLineCodes.data(), kStopLineCodes.size());
    }

    // The unit (or digit pair) at i written in a state, last character first.
    template <typename Put> void WriteUnitsBackward(int state, std::size_t i, int length, Put put)
    {
        const int set = SetOf(state);
        const std::uint16_t u = At(i);
        if (length == 2) {
            put((u - '0') * 10 + (At(i + 1) - '0'));
        } else if (u >= 256) {
            put(u == Fnc1 ? kFnc1 : u == Fnc2 ? kFnc2 : kFnc3);
        } else {
            const int low = u & 127;
            if (Holds(set, low)) {
                put(ValueIn(set, low));
            } else {
                put(ValueIn(set == kSetA ? kSetB : kSetA, low));
                put(kShift);
            }
            if ((u >= 128) != IsLatched(state))
                put(Fnc4In(set));
        }
    }

    const Unit* in_;
    std::size_t n_;
    Scratch<Node, kStates * 130> nodes_; // 128 units on the stack
};

} // namespace

void code128::EncodeUnits(std::span<const std::uint16_t> units, Code128Symbol& symbol, bool printable)
{
    Encoder<std::uint16_t> encoder(units.data(), units.size());
    if (printable)
        encoder.Run(symbol, kHigh);
    else
        encoder.Run(symbol);
}

void EncodeCode128(std::string_view text, Code128Symbol& symbol)
{
    Encoder<char>(text.data(), text.size()).Run(symbol);
    symbol.Caption.assign(text);
}

void EncodeCode128(std::span<const std::uint16_t> input, Code128Symbol& symbol)
{
    for (std::uint16_t u : input)
        if (u > Fnc3)
            throw Exception(Format("%d is not a Code 128 input character.", {static_cast<long long>(u)}));
    code128::EncodeUnits(input, symbol);
    symbol.Caption.clear();
    for (std::uint16_t u : input)
        if (u < 256)
            symbol.Caption += static_cast<char>(u);
}

Code128Symbol EncodeCode128(std::string_view text)
{
    Code128Symbol symbol;
    EncodeCode128(text, symbol);
    return symbol;
}

Code128Symbol EncodeCode128(std::span<const std::uint16_t> input)
{
    Code128Symbol symbol;
    EncodeCode128(input, symbol);
    return symbol;
}

} // namespace qb
