// The shortest Code 128: no symbol is longer than the shortest one a search
// over every sequence of symbol characters finds, and every symbol reads back
// as its text, by a reader of our own written from the standard's character
// table and by ZXing.
#include "qbarcode/code128.h"
#include "qbarcode/sysutils.h"
#include "support/line_image.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <random>

using namespace qb;

namespace {

using Units = std::vector<std::uint16_t>;

// --- A reader of symbol character values (ISO/IEC 15417) ---------------------

// What one symbol character means in a code set: a code, a function or a
// control character of the symbology.
enum Meaning : int {
    kData = 0,
    kFnc1 = -1,
    kFnc2 = -2,
    kFnc3 = -3,
    kFnc4 = -4,
    kShift = -5,
    kToA = -6,
    kToB = -7,
    kToC = -8
};

// Meaning of value v in set A (0) or B (1); >= 0 is the code it stands for.
int MeaningAB(int set, int v)
{
    if (v < 64)
        return v + 32;
    if (v < 96)
        return set == 0 ? v - 64 : v + 32;
    constexpr int kA[] = {kFnc3, kFnc2, kShift, kToC, kToB, kFnc4, kFnc1};
    constexpr int kB[] = {kFnc3, kFnc2, kShift, kToC, kFnc4, kToA, kFnc1};
    return (set == 0 ? kA : kB)[v - 96];
}

struct ReadBack {
    bool valid = false;
    Units units;
};

// Reads values start ... check stop: the check character is verified, FNC4
// once makes the next character extended (standard while latched), FNC4 twice
// latches or unlatches, SHIFT reads the next character in the other set.
ReadBack Read(const std::vector<std::uint8_t>& values)
{
    ReadBack r;
    if (values.size() < 3 || values.front() < 103 || values.front() > 105 || values.back() != 106)
        return r;
    const std::size_t check = values.size() - 2;
    int sum = values[0];
    for (std::size_t k = 1; k < check; ++k)
        sum += values[k] * static_cast<int>(k);
    if (sum % 103 != values[check])
        return r;
    int set = values[0] - 103;
    bool latched = false, fnc4 = false;
    for (std::size_t k = 1; k < check; ++k) {
        const int v = values[k];
        if (set == 2) {
            if (v < 100) {
                r.units.push_back(static_cast<std::uint16_t>('0' + v / 10));
                r.units.push_back(static_cast<std::uint16_t>('0' + v % 10));
            } else if (v == 102) {
                r.units.push_back(qb::Fnc1);
            } else {
                set = v == 101 ? 0 : 1;
            }
            continue;
        }
        int m = MeaningAB(set, v);
        if (m == kShift && k + 1 < check)
            m = MeaningAB(1 - set, values[++k]), m = m < 0 ? 1000 : m;
        if (m >= 0 && m < 1000) {
            r.units.push_back(static_cast<std::uint16_t>(m + (fnc4 != latched ? 128 : 0)));
            fnc4 = false;
        } else if (m == kFnc4) {
            if (fnc4)
                latched = !latched;
            fnc4 = !fnc4;
        } else if (m == kFnc1 || m == kFnc2 || m == kFnc3) {
            r.units.push_back(static_cast<std::uint16_t>(m == kFnc1 ? qb::Fnc1 : m == kFnc2 ? qb::Fnc2 : qb::Fnc3));
        } else if (m == kToA || m == kToB || m == kToC) {
            set = m == kToA ? 0 : m == kToB ? 1 : 2;
        } else {
            return r; // a shifted function character
        }
    }
    r.valid = !fnc4;
    return r;
}

// --- The shortest symbol by exhaustive search --------------------------------

// Breadth-first over every symbol character a writer could put next, in the
// reader's states (position in the input, set, latch, pending FNC4, pending
// SHIFT), keeping those whose meaning matches the input: the number of data
// symbol characters (start excluded) of the shortest symbol.
int ShortestDataLength(const Units& in)
{
    const std::size_t n = in.size();
    struct State {
        std::size_t pos;
        int set;
        bool latched, fnc4, shift;
    };
    auto key = [&](const State& s) { return ((s.pos * 3 + s.set) * 2 + s.latched) * 4 + s.fnc4 * 2 + s.shift; };
    std::vector<int> dist((n + 1) * 24, -1);
    std::deque<State> queue;
    for (int set = 0; set < 3; ++set) {
        const State s{0, set, false, false, false};
        dist[key(s)] = 0;
        queue.push_back(s);
    }
    while (!queue.empty()) {
        const State s = queue.front();
        queue.pop_front();
        const int d = dist[key(s)];
        if (s.pos == n && !s.fnc4 && !s.shift)
            return d;
        auto go = [&](State t) {
            if (dist[key(t)] < 0) {
                dist[key(t)] = d + 1;
                queue.push_back(t);
            }
        };
        for (int v = 0; v < 103; ++v) {
            if (s.set == 2) {
                if (s.fnc4 || s.shift)
                    break;
                if (v < 100 && s.pos + 1 < n && in[s.pos] == '0' + v / 10 && in[s.pos + 1] == '0' + v % 10)
                    go({s.pos + 2, 2, s.latched, false, false});
                else if (v == 102 && s.pos < n && in[s.pos] == qb::Fnc1)
                    go({s.pos + 1, 2, s.latched, false, false});
                else if (v == 100 || v == 101)
                    go({s.pos, v == 101 ? 0 : 1, s.latched, false, false});
                continue;
            }
            const int set = s.shift ? 1 - s.set : s.set;
            const int m = MeaningAB(set, v);
            if (m >= 0) {
                const int code = m + (s.fnc4 != s.latched ? 128 : 0);
                if (s.pos < n && in[s.pos] == code)
                    go({s.pos + 1, s.set, s.latched, false, false});
            } else if (s.shift) {
                continue; // only a data character follows SHIFT
            } else if (m == kShift) {
                go({s.pos, s.set, s.latched, s.fnc4, true});
            } else if (m == kFnc4) {
                go({s.pos, s.set, s.fnc4 ? !s.latched : s.latched, !s.fnc4, false});
            } else if (s.fnc4) {
                continue; // FNC4 is followed by a character or a second FNC4
            } else if (m == kFnc1 || m == kFnc2 || m == kFnc3) {
                const int unit = m == kFnc1 ? qb::Fnc1 : m == kFnc2 ? qb::Fnc2 : qb::Fnc3;
                if (s.pos < n && in[s.pos] == unit)
                    go({s.pos + 1, s.set, s.latched, false, false});
            } else {
                go({s.pos, m == kToA ? 0 : m == kToB ? 1 : 2, s.latched, false, false});
            }
        }
    }
    return -1;
}

// --- Texts -------------------------------------------------------------------

Units Latin1(std::string_view text)
{
    Units u;
    for (char c : text)
        u.push_back(static_cast<unsigned char>(c));
    return u;
}

std::string Bytes(const Units& units)
{
    return std::string(units.begin(), units.end());
}

// Texts built from runs of one character class each: digits (odd and even
// runs), capitals, lower case, control characters, codes 128 to 255.
std::vector<Units> RandomTexts()
{
    std::mt19937 random(20240521);
    const std::array<std::pair<int, int>, 7> classes = {
        {{'0', '9'}, {'A', 'Z'}, {'a', 'z'}, {0, 31}, {128, 255}, {32, 127}, {0, 255}}};
    std::vector<Units> texts;
    while (texts.size() < 200) {
        Units text;
        const int runs = 1 + static_cast<int>(random() % 5);
        for (int r = 0; r < runs; ++r) {
            const auto [lo, hi] = classes[random() % classes.size()];
            const int length = 1 + static_cast<int>(random() % 6);
            for (int i = 0; i < length; ++i)
                text.push_back(static_cast<std::uint16_t>(lo + static_cast<int>(random() % (hi - lo + 1))));
        }
        texts.push_back(text);
    }
    return texts;
}

// The cases that trip up encoders which decide by looking ahead a fixed
// distance.
const std::vector<Units> kHardCases = {
    Latin1(""),
    Latin1("a123b"),   // digit run of 3 between letters
    Latin1("a1234b"),  // 4: worth code set C
    Latin1("a12345b"), // 5: odd, one digit outside C
    Latin1("AB123456CD1234567EF"),
    Latin1("12345abc"), // odd run at the start
    Latin1("abc12345"), // odd run at the end
    Latin1("1234567"),
    Latin1("a\tb\nc\rd"), // control characters among lower case
    Latin1("ab\x01\x02\x03"
           "cd\x04"
           "e"),
    Latin1("\x01"
           "a\x02"
           "b\x03"
           "c"),
    Latin1("\x01\x02"
           "abc\x03\x04"),
    Latin1("\xe9t\xe9"), // extended characters, single and latched
    Latin1("\xc0\xc1\xc2\xc3\xc4\xc5"),
    Latin1("\xe0\xe1\xe2"
           "a"
           "\xe3\xe4\xe5"),
    Latin1("\xe0\xe1\xe2\xe3"
           "12345678"
           "\xe4\xe5\xe6\xe7"),
    Latin1("\x81\x82\x83\xe1\xe2\xe3"), // extended controls beside extended lower case
    Latin1("\x7f\xff\x00\x80"),
    Units{qb::Fnc1, '0', '1', '2', '3', qb::Fnc1, 'a', 'b'},
    Units{'A', qb::Fnc1, '1', '2', qb::Fnc2, 'x', qb::Fnc3},
    Units{'1', '2', '3', qb::Fnc1, '4', '5', '6'},
};

TEST(Code128ShortestTest, NoSymbolLongerThanTheShortestAndEveryOneReadsBack)
{
    std::vector<Units> texts = kHardCases;
    const std::vector<Units> random = RandomTexts();
    texts.insert(texts.end(), random.begin(), random.end());
    int zxingRead = 0;
    for (const Units& text : texts) {
        SCOPED_TRACE(::testing::PrintToString(text));
        const qb::Code128Symbol symbol = qb::EncodeCode128(text);
        // start + data + check + stop
        const int dataLength = static_cast<int>(symbol.Values.size()) - 3;
        EXPECT_LE(dataLength, ShortestDataLength(text));
        ASSERT_EQ(symbol.LineCodes.size(), 6 * (symbol.Values.size() - 1) + 7);

        const ReadBack back = Read(symbol.Values);
        EXPECT_TRUE(back.valid);
        EXPECT_EQ(back.units, text);

        // ZXing reads no empty symbol, and gives function characters its own way.
        const bool hasFunction = std::any_of(text.begin(), text.end(), [](std::uint16_t u) { return u > 255; });
        if (hasFunction || text.empty())
            continue;
        const testsupport::Decoded read = testsupport::ReadWithZxing(testsupport::PaintLineCodes(symbol.LineCodes));
        ASSERT_TRUE(read.found);
        EXPECT_EQ(read.format, "Code128");
        EXPECT_EQ(read.bytes, Bytes(text));
        ++zxingRead;
    }
    EXPECT_GE(zxingRead, 200);
}

// Symbols written out from the character table: the start that saves a
// switch, SHIFT for one character of the other set, CODE C for four digits
// and not for three, FNC4 once for one extended character and twice to latch.
TEST(Code128ShortestTest, ChoosesStartSwitchesAndShiftsAsTheTableGives)
{
    struct Row {
        Units text;
        std::vector<std::uint8_t> data; // between the start character and the check character
        int start;
    };
    const Row rows[] = {
        {Latin1("Ab"), {33, 66}, 104},
        {Latin1("AB\x01"), {33, 34, 65}, 103},
        {Latin1("ab\x01"
                "cd"),
         {65, 66, 98, 65, 67, 68},
         104},
        {Latin1("a123b"), {65, 17, 18, 19, 66}, 104},
        {Latin1("a123456b"), {65, 99, 12, 34, 56, 100, 66}, 104},
        {Latin1("12345a"), {12, 34, 100, 21, 65}, 105},
        {Latin1("123456"), {12, 34, 56}, 105},
        {Latin1("\xe9"), {100, 73}, 104},
        {Latin1("\xe9\xe9\xe9\xe9"), {100, 100, 73, 73, 73, 73}, 104},
        {Units{qb::Fnc1, '0', '1', '2', '3', 'a'}, {102, 1, 23, 100, 65}, 105},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.text));
        const qb::Code128Symbol symbol = qb::EncodeCode128(row.text);
        ASSERT_GE(symbol.Values.size(), 3u);
        EXPECT_EQ(symbol.Values.front(), row.start);
        EXPECT_EQ(std::vector<std::uint8_t>(symbol.Values.begin() + 1, symbol.Values.end() - 2), row.data);
    }
}

TEST(Code128ShortestTest, RefusesWhatIsNotAnInputCharacter)
{
    const Units input = {'A', 259};
    try {
        qb::EncodeCode128(input);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "259 is not a Code 128 input character.");
    }
    EXPECT_EQ(qb::EncodeCode128(std::string_view("\xe9t\xe9")).Caption, "\xe9t\xe9");
}

} // namespace
