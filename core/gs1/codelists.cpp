// Country and currency code lists the GS1 rules check against.
#include "gs1/codelists.h"

#include <algorithm>

namespace qb {

namespace gs1 {
namespace {

struct Country {
    short numeric;
    char alpha2[3];
};

// ISO 3166-1: every current country code, numeric and alpha-2, by numeric code.
// clang-format off
constexpr Country kCountries[] = {
    {4, "AF"},   {8, "AL"},   {10, "AQ"},  {12, "DZ"},  {16, "AS"},  {20, "AD"},  {24, "AO"},  {28, "AG"},
    {31, "AZ"},  {32, "AR"},  {36, "AU"},  {40, "AT"},  {44, "BS"},  {48, "BH"},  {50, "BD"},  {51, "AM"},
    {52, "BB"},  {56, "BE"},  {60, "BM"},  {64, "BT"},  {68, "BO"},  {70, "BA"},  {72, "BW"},  {74, "BV"},
    {76, "BR"},  {84, "BZ"},  {86, "IO"},  {90, "SB"},  {92, "VG"},  {96, "BN"},  {100, "BG"}, {104, "MM"},
    {108, "BI"}, {112, "BY"}, {116, "KH"}, {120, "CM"}, {124, "CA"}, {132, "CV"}, {136, "KY"}, {140, "CF"},
    {144, "LK"}, {148, "TD"}, {152, "CL"}, {156, "CN"}, {158, "TW"}, {162, "CX"}, {166, "CC"}, {170, "CO"},
    {174, "KM"}, {175, "YT"}, {178, "CG"}, {180, "CD"}, {184, "CK"}, {188, "CR"}, {191, "HR"}, {192, "CU"},
    {196, "CY"}, {203, "CZ"}, {204, "BJ"}, {208, "DK"}, {212, "DM"}, {214, "DO"}, {218, "EC"}, {222, "SV"},
    {226, "GQ"}, {231, "ET"}, {232, "ER"}, {233, "EE"}, {234, "FO"}, {238, "FK"}, {239, "GS"}, {242, "FJ"},
    {246, "FI"}, {248, "AX"}, {250, "FR"}, {254, "GF"}, {258, "PF"}, {260, "TF"}, {262, "DJ"}, {266, "GA"},
    {268, "GE"}, {270, "GM"}, {275, "PS"}, {276, "DE"}, {288, "GH"}, {292, "GI"}, {296, "KI"}, {300, "GR"},
    {304, "GL"}, {308, "GD"}, {312, "GP"}, {316, "GU"}, {320, "GT"}, {324, "GN"}, {328, "GY"}, {332, "HT"},
    {334, "HM"}, {336, "VA"}, {340, "HN"}, {344, "HK"}, {348, "HU"}, {352, "IS"}, {356, "IN"}, {360, "ID"},
    {364, "IR"}, {368, "IQ"}, {372, "IE"}, {376, "IL"}, {380, "IT"}, {384, "CI"}, {388, "JM"}, {392, "JP"},
    {398, "KZ"}, {400, "JO"}, {404, "KE"}, {408, "KP"}, {410, "KR"}, {414, "KW"}, {417, "KG"}, {418, "LA"},
    {422, "LB"}, {426, "LS"}, {428, "LV"}, {430, "LR"}, {434, "LY"}, {438, "LI"}, {440, "LT"}, {442, "LU"},
    {446, "MO"}, {450, "MG"}, {454, "MW"}, {458, "MY"}, {462, "MV"}, {466, "ML"}, {470, "MT"}, {474, "MQ"},
    {478, "MR"}, {480, "MU"}, {484, "MX"}, {492, "MC"}, {496, "MN"}, {498, "MD"}, {499, "ME"}, {500, "MS"},
    {504, "MA"}, {508, "MZ"}, {512, "OM"}, {516, "NA"}, {520, "NR"}, {524, "NP"}, {528, "NL"}, {531, "CW"},
    {533, "AW"}, {534, "SX"}, {535, "BQ"}, {540, "NC"}, {548, "VU"}, {554, "NZ"}, {558, "NI"}, {562, "NE"},
    {566, "NG"}, {570, "NU"}, {574, "NF"}, {578, "NO"}, {580, "MP"}, {581, "UM"}, {583, "FM"}, {584, "MH"},
    {585, "PW"}, {586, "PK"}, {591, "PA"}, {598, "PG"}, {600, "PY"}, {604, "PE"}, {608, "PH"}, {612, "PN"},
    {616, "PL"}, {620, "PT"}, {624, "GW"}, {626, "TL"}, {630, "PR"}, {634, "QA"}, {638, "RE"}, {642, "RO"},
    {643, "RU"}, {646, "RW"}, {652, "BL"}, {654, "SH"}, {659, "KN"}, {660, "AI"}, {662, "LC"}, {663, "MF"},
    {666, "PM"}, {670, "VC"}, {674, "SM"}, {678, "ST"}, {682, "SA"}, {686, "SN"}, {688, "RS"}, {690, "SC"},
    {694, "SL"}, {702, "SG"}, {703, "SK"}, {704, "VN"}, {705, "SI"}, {706, "SO"}, {710, "ZA"}, {716, "ZW"},
    {724, "ES"}, {728, "SS"}, {729, "SD"}, {732, "EH"}, {740, "SR"}, {744, "SJ"}, {748, "SZ"}, {752, "SE"},
    {756, "CH"}, {760, "SY"}, {762, "TJ"}, {764, "TH"}, {768, "TG"}, {772, "TK"}, {776, "TO"}, {780, "TT"},
    {784, "AE"}, {788, "TN"}, {792, "TR"}, {795, "TM"}, {796, "TC"}, {798, "TV"}, {800, "UG"}, {804, "UA"},
    {807, "MK"}, {818, "EG"}, {826, "GB"}, {831, "GG"}, {832, "JE"}, {833, "IM"}, {834, "TZ"}, {840, "US"},
    {850, "VI"}, {854, "BF"}, {858, "UY"}, {860, "UZ"}, {862, "VE"}, {876, "WF"}, {882, "WS"}, {887, "YE"},
    {894, "ZM"},
};

// ISO 4217: the numeric codes of the current currencies and funds, and of
// those withdrawn recently enough to be still printed (HRK, SLL, ZWL).
constexpr short kCurrencies[] = {
    8,   12,  32,  36,  44,  48,  50,  51,  52,  60,  64,  68,  72,  84,  90,  96,  104, 108, 116, 124, 132, 136,
    144, 152, 156, 170, 174, 188, 191, 192, 203, 208, 214, 222, 230, 232, 238, 242, 262, 270, 292, 320, 324, 328,
    332, 340, 344, 348, 352, 356, 360, 364, 368, 376, 388, 392, 398, 400, 404, 408, 410, 414, 417, 418, 422, 426,
    430, 434, 446, 454, 458, 462, 480, 484, 496, 498, 504, 512, 516, 524, 532, 533, 548, 554, 558, 566, 578, 586,
    590, 598, 600, 604, 608, 634, 643, 646, 654, 682, 690, 694, 702, 704, 706, 710, 728, 748, 752, 756, 760, 764,
    776, 780, 784, 788, 800, 807, 818, 826, 834, 840, 858, 860, 882, 886, 901, 924, 925, 926, 927, 928, 929, 930,
    931, 932, 933, 934, 936, 938, 940, 941, 943, 944, 946, 947, 948, 949, 950, 951, 952, 953, 955, 956, 957, 958,
    959, 960, 961, 962, 963, 964, 965, 967, 968, 969, 970, 971, 972, 973, 975, 976, 977, 978, 979, 980, 981, 984,
    985, 986, 990, 994, 997, 999,
};
// clang-format on

constexpr bool Less(const char* a, const char* b)
{
    return a[0] < b[0] || (a[0] == b[0] && a[1] < b[1]);
}

// Numeric codes strictly rising (so the lists can be searched by halving),
// alpha-2 codes two capitals each, no two alike.
constexpr bool CheckCountries()
{
    for (std::size_t i = 0; i < std::size(kCountries); ++i) {
        const Country& c = kCountries[i];
        if (c.numeric < 1 || c.numeric > 999 || c.alpha2[0] < 'A' || c.alpha2[0] > 'Z' || c.alpha2[1] < 'A' ||
            c.alpha2[1] > 'Z' || c.alpha2[2] != '\0')
            return false;
        if (i > 0 && kCountries[i - 1].numeric >= c.numeric)
            return false;
        for (std::size_t j = 0; j < i; ++j)
            if (!Less(kCountries[j].alpha2, c.alpha2) && !Less(c.alpha2, kCountries[j].alpha2))
                return false;
    }
    return std::size(kCountries) == 249;
}
static_assert(CheckCountries());

constexpr bool CheckCurrencies()
{
    for (std::size_t i = 1; i < std::size(kCurrencies); ++i)
        if (kCurrencies[i - 1] >= kCurrencies[i] || kCurrencies[i] > 999)
            return false;
    return kCurrencies[0] > 0;
}
static_assert(CheckCurrencies());

} // namespace

bool IsCountryCode(int numeric)
{
    return std::binary_search(std::begin(kCountries), std::end(kCountries), Country{static_cast<short>(numeric), ""},
                              [](const Country& a, const Country& b) { return a.numeric < b.numeric; });
}

bool IsCountryAlpha2(std::string_view code)
{
    return code.size() == 2 && std::any_of(std::begin(kCountries), std::end(kCountries), [&](const Country& c) {
               return c.alpha2[0] == code[0] && c.alpha2[1] == code[1];
           });
}

bool IsCurrencyCode(int numeric)
{
    return std::binary_search(std::begin(kCurrencies), std::end(kCurrencies), numeric);
}

} // namespace gs1

} // namespace qb
