// Writes the rows of the application identifier table (ai_table.h) from the
// GS1 Barcode Syntax Dictionary. Run by the build:
//   make_ai_table <gs1-syntax-dictionary.txt> <ai_rows.inc>
// A line it cannot read, or a rule it does not know, stops the build with the
// file and line, so a new release of the dictionary is either taken whole or
// refused.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Dictionary rule name -> Linter enumerator. "key" and "keyoff1" are the
// older names of gcppos1 and gcppos2.
const std::map<std::string, std::string> kLinters = {
    {"csum", "Csum"},
    {"csumalpha", "CsumAlpha"},
    {"gcppos1", "GcpPos1"},
    {"gcppos2", "GcpPos2"},
    {"key", "GcpPos1"},
    {"keyoff1", "GcpPos2"},
    {"yymmd0", "Yymmd0"},
    {"yymmdd", "Yymmdd"},
    {"yyyymmdd", "Yyyymmdd"},
    {"hhmi", "Hhmi"},
    {"hh", "Hh"},
    {"mi", "Mi"},
    {"ss", "Ss"},
    {"iso3166", "Iso3166"},
    {"iso3166999", "Iso3166999"},
    {"iso3166alpha2", "Iso3166Alpha2"},
    {"iso4217", "Iso4217"},
    {"iso5218", "Iso5218"},
    {"nonzero", "NonZero"},
    {"zero", "Zero"},
    {"yesno", "YesNo"},
    {"winding", "Winding"},
    {"pcenc", "PercentEncoded"},
    {"hyphen", "Hyphen"},
    {"latitude", "Latitude"},
    {"longitude", "Longitude"},
    {"pieceoftotal", "PieceOfTotal"},
    {"iban", "Iban"},
    {"nozeroprefix", "NoZeroPrefix"},
    {"hasnondigit", "HasNonDigit"},
    {"posinseqslash", "PosInSeqSlash"},
    {"importeridx", "ImporterIndex"},
    {"mediatype", "MediaType"},
    {"packagetype", "PackageType"},
    {"couponcode", "CouponCode"},
    {"couponposoffer", "CouponPosOffer"},
};

const std::map<char, std::string> kCharsets = {{'N', "Numeric"}, {'X', "Cset82"}, {'Y', "Cset39"}, {'Z', "Cset64"}};

struct Failure {
    std::string message;
};

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    return parts;
}

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The pairing patterns of every row, one after another (kAiPatterns).
std::vector<std::string> patterns;

// "31nn" -> {3100, 4, 2, link}: the lowest identifier it names, its digits,
// the wild ones.
std::string Pattern(const std::string& token, const char* link)
{
    std::size_t digits = 0;
    while (digits < token.size() && token[digits] >= '0' && token[digits] <= '9')
        ++digits;
    const std::size_t wild = token.size() - digits;
    if (digits == 0 || token.size() < 2 || token.size() > 4 ||
        token.find_first_not_of('n', digits) != std::string::npos)
        throw Failure{"bad identifier pattern '" + token + "'"};
    const int low = std::stoi(token.substr(0, digits) + std::string(wild, '0'));
    std::string row = "{";
    row += std::to_string(low) + ", " + std::to_string(token.size()) + ", " + std::to_string(wild) + ", Link::";
    return row + link + "}";
}

// Appends the patterns of the lists ("01+21,03+21", one list per attribute)
// to `patterns`; returns "first, count".
std::string Patterns(const std::vector<std::string>& lists)
{
    const std::size_t first = patterns.size();
    for (std::size_t l = 0; l < lists.size(); ++l) {
        const std::vector<std::string> groups = Split(lists[l], ',');
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const std::vector<std::string> members = Split(groups[g], '+');
            for (std::size_t m = 0; m < members.size(); ++m) {
                const char* link = m + 1 < members.size() ? "And" : g + 1 < groups.size() ? "Or" : "List";
                patterns.push_back(Pattern(members[m], link));
            }
        }
    }
    if (patterns.size() - first > 255)
        throw Failure{"too many pairing patterns"};
    return std::to_string(first) + ", " + std::to_string(patterns.size() - first);
}

// A C string literal; bytes outside printable ASCII as three-digit octal
// escapes, which cannot run into the characters that follow.
std::string Quote(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32 || c > 126) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\%03o", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// "[N3],iso3166" or "X..20,csum": one component row.
std::string Component(const std::string& token)
{
    std::vector<std::string> parts = Split(token, ',');
    std::string type = parts.at(0);
    bool optional = false;
    if (type.size() > 2 && type.front() == '[' && type.back() == ']') {
        optional = true;
        type = type.substr(1, type.size() - 2);
    }
    const auto charset = kCharsets.find(type.empty() ? '?' : type[0]);
    if (charset == kCharsets.end())
        throw Failure{"unknown character set in '" + token + "'"};
    std::string length = type.substr(1);
    const bool variable = length.rfind("..", 0) == 0;
    if (variable)
        length = length.substr(2);
    if (!AllDigits(length) || std::stoi(length) < 1 || std::stoi(length) > 99)
        throw Failure{"bad length in '" + token + "'"};
    const int max = std::stoi(length);
    const int min = variable ? 1 : max;
    if (parts.size() > 4)
        throw Failure{"more than three rules in '" + token + "'"};
    std::string linters;
    for (std::size_t i = 1; i < 4; ++i) {
        std::string name = "None";
        if (i < parts.size()) {
            const auto linter = kLinters.find(parts[i]);
            if (linter == kLinters.end())
                throw Failure{"unknown rule '" + parts[i] + "'"};
            name = linter->second;
        }
        linters += (i > 1 ? ", Linter::" : "Linter::") + name;
    }
    return "{Charset::" + charset->second + ", " + std::to_string(min) + ", " + std::to_string(max) + ", " +
           (optional ? "true" : "false") + ", {" + linters + "}}";
}

// One dictionary entry -> one table row.
std::string Row(const std::string& line)
{
    std::string body = line, title;
    if (const auto hash = line.find('#'); hash != std::string::npos) {
        body = line.substr(0, hash);
        title = line.substr(hash + 1);
        while (!title.empty() && (title.front() == ' ' || title.front() == '\t'))
            title.erase(0, 1);
        while (!title.empty() && (title.back() == ' ' || title.back() == '\t' || title.back() == '\r'))
            title.pop_back();
    }
    std::istringstream in(body);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;)
        tokens.push_back(t);
    if (tokens.empty())
        throw Failure{"no identifier"};

    std::string first = tokens[0], last = tokens[0];
    if (const auto dash = tokens[0].find('-'); dash != std::string::npos) {
        first = tokens[0].substr(0, dash);
        last = tokens[0].substr(dash + 1);
    }
    if (!AllDigits(first) || !AllDigits(last) || first.size() != last.size() || first.size() < 2 || first.size() > 4)
        throw Failure{"bad identifier '" + tokens[0] + "'"};

    std::size_t next = 1;
    bool predefined = false;
    const auto isFlags = [](const std::string& t) {
        for (char c : t)
            if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
                return false;
        return true;
    };
    if (next < tokens.size() && isFlags(tokens[next]))
        predefined = tokens[next++].find('*') != std::string::npos;

    std::vector<std::string> components;
    std::string format;
    for (; next < tokens.size() && tokens[next].find('=') == std::string::npos && tokens[next] != "dlpkey"; ++next) {
        components.push_back(Component(tokens[next]));
        if (!format.empty())
            format += ' ';
        format += tokens[next];
    }
    if (components.empty() || components.size() > 5)
        throw Failure{"between one and five components expected"};

    std::vector<std::string> required, excluded;
    for (; next < tokens.size(); ++next) {
        const std::string& t = tokens[next];
        if (t.rfind("req=", 0) == 0)
            required.push_back(t.substr(4));
        else if (t.rfind("ex=", 0) == 0)
            excluded.push_back(t.substr(3));
    }

    std::ostringstream row;
    row << "{" << std::stoi(first) << ", " << std::stoi(last) << ", " << first.size() << ", "
        << (predefined ? "true" : "false") << ", " << components.size() << ", {";
    for (std::size_t i = 0; i < components.size(); ++i)
        row << (i ? ", " : "") << components[i];
    row << "}, " << Patterns(required) << ", " << Patterns(excluded) << ", " << Quote(title) << ", " << Quote(format)
        << "},";
    return row.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_ai_table <gs1-syntax-dictionary.txt> <ai_rows.inc>\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::string rows;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const auto start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#')
            continue;
        try {
            rows += Row(line) + "\n";
        } catch (const Failure& f) {
            std::cerr << argv[1] << ":" << number << ": " << f.message << "\n";
            return 1;
        }
    }
    if (rows.empty()) {
        std::cerr << argv[1] << ": no entries\n";
        return 1;
    }
    std::string out = "// Generated from gs1-syntax-dictionary.txt by make_ai_table: do not edit.\n"
                      "constexpr AiPattern kAiPatterns[] = {\n";
    for (const std::string& p : patterns)
        out += "    " + p + ",\n";
    out += "};\n\nconstexpr AiRow kRows[] = {\n" + rows + "};\n";
    // Written only when it changes, so an unchanged dictionary rebuilds nothing.
    std::ifstream old(argv[2]);
    std::stringstream previous;
    previous << old.rdbuf();
    if (old && previous.str() == out)
        return 0;
    std::ofstream file(argv[2], std::ios::trunc);
    file << out;
    return file ? 0 : 1;
}
