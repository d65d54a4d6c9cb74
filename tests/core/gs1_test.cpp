// GS1 element strings: every rule's message, the bracketed and raw forms and
// the human-readable text, and GS1-128 symbols read back by two independent
// readers as the element strings written. Check digits and check character
// pairs in the rows were worked by hand from GS1's published rules
// (the example GMN 1987654Ad4X4bL5ttr2310c with its pair 2K is theirs).
#include "qbarcode/gs1.h"
#include "qbarcode/sysutils.h"
#include "support/line_image.h"

#include <gtest/gtest.h>

using namespace qb;

namespace {

std::string ErrorOf(std::string_view text)
{
    try {
        qb::gs1::ParseElementStrings(text);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

struct RuleRow {
    const char* text;
    const char* message;
};

// One row per rule, with the message exactly; the data before the faulty
// element string satisfies the identifiers' pairings.
const RuleRow kRules[] = {
    // The identifiers and the forms.
    {"(23)1", "(23): unknown application identifier"},
    {"(0A)1", "(0A): unknown application identifier"},
    {"(01)09501101530003(12345)1", "(12345): unknown application identifier"},
    {"2301", "(230): unknown application identifier"},
    {"0509501101530003", "(05): unknown application identifier"},
    {"(01", "'(' without ')'."},
    {"", "No GS1 element strings."},
    // Lengths.
    {"(01)09501101530003(10)ABCDEFGHIJKLMNOPQRSTU", "(10): longer than 20 characters"},
    {"(01)0950110153000", "(01): shorter than 14 characters"},
    {"(01)095011015300031", "(01): longer than 14 characters"},
    {"(01)09501101530003(10)", "(10): no data"},
    {"(01)09501101530003(423)2760", "(423): length 4 not allowed"},
    {"010950110153", "(01): shorter than 14 characters"},
    {"0109501101\x1d"
     "10ABC",
     "(01): shorter than 14 characters"},
    // Character sets: numeric, CSET 82, CSET 39, base 64.
    {"(01)0950110153000A", "(01): character 'A' not allowed"},
    {"(01)09501101530003(21)AB\xa3", "(21): character '\xa3' not allowed"},
    // A character of UTF-8 text is named whole; a byte that starts none alone.
    {"(21)AB\xc2\xa3", "(21): character '\xc2\xa3' not allowed"},
    {"(21)\xe2\x82\xac"
     "1",
     "(21): character '\xe2\x82\xac' not allowed"},
    {"(21)\xf0\x9f\x93\xa6", "(21): character '\xf0\x9f\x93\xa6' not allowed"},
    {"(21)A\xc2", "(21): character '\xc2' not allowed"},
    {"(21)\xe0\x80\x80", "(21): character '\xe0' not allowed"},
    {"(01)09501101530003(21)A B", "(21): character ' ' not allowed"},
    {"(01)09501101530003(21)A\x1d"
     "B",
     "(21): character 0x1D not allowed"},
    {"(8010)9501ab", "(8010): character 'a' not allowed"},
    {"(00)106141411234567897(8030)AB=C", "(8030): character '=' not allowed"},
    {"(00)106141411234567897(8030)AB!", "(8030): character '!' not allowed"},
    // Check digit, check character pair, company prefix.
    {"(01)09501101530004", "(01): check digit should be 3"},
    {"(00)106141411234567890", "(00): check digit should be 7"},
    {"(8013)1987654Ad4X4bL5ttr2310c2L", "(8013): check characters should be 2K"},
    {"(8004)123ABC", "(8004): no GS1 Company Prefix at position 1"},
    // Dates and times.
    {"(01)09501101530003(17)261340", "(17): 261340 is not a date"},
    {"(01)09501101530003(17)250229", "(17): 250229 is not a date"},
    {"(01)09501101530003(11)251301", "(11): 251301 is not a date"},
    {"(00)106141411234567897(4326)250100", "(4326): 250100 is not a date"},
    {"(8018)950110153000000014(7250)19000229", "(7250): 19000229 is not a date"},
    {"(00)106141411234567897(4324)2512312460", "(4324): 2460 is not a time"},
    {"(01)09501101530003(8008)25123124", "(8008): 24 is not an hour"},
    {"(01)09501101530003(8008)2512312360", "(8008): 60 is not a minute"},
    {"(01)09501101530003(8008)251231235960", "(8008): 60 is not a second"},
    // Code lists.
    {"(01)09501101530003(422)999", "(422): 999 is not a country code"},
    {"(01)09501101530003(7030)998ABC", "(7030): 998 is not a country code"},
    {"(00)106141411234567897(4307)XX", "(4307): XX is not a country code"},
    {"(415)9501101530003(8020)R1(3911)000100", "(3911): 000 is not a currency code"},
    {"(8018)950110153000000014(7252)3", "(7252): 3 is not a sex code"},
    // Values.
    {"(01)09501101530003(8001)00001234512311", "(8001): 0000 should not be zero"},
    {"(8003)19501101530003", "(8003): 1 should be zero"},
    {"(00)106141411234567897(4321)2", "(4321): 2 should be 0 or 1"},
    {"(01)09501101530003(8001)12341234512321", "(8001): 2 should be 0, 1 or 9"},
    {"(00)106141411234567897(4300)ABC%2", "(4300): '%' not followed by two hexadecimal digits"},
    {"(00)106141411234567897(4330)001234X", "(4330): character 'X' not allowed"},
    {"(00)106141411234567897(4309)18000000013600000000", "(4309): 1800000001 is not a latitude"},
    {"(00)106141411234567897(4309)18000000003600000001", "(4309): 3600000001 is not a longitude"},
    {"(8006)095011015300030302", "(8006): 0302 is not a piece of a total"},
    {"(415)9501101530003(8007)GB83WEST12345698765432", "(8007): GB83WEST12345698765432 is not an IBAN"},
    {"(8010)9501(8011)0123", "(8011): leading zero not allowed"},
    {"(01)09501101530003(8014)950129141787", "(8014): 950129141787 should not be all digits"},
    {"(8018)950110153000000014(7259)A(7258)3/2", "(7258): 3/2 is not a position in a sequence"},
    {"(7040)1AB!", "(7040): character '!' not allowed"},
    // Pairings.
    {"(01)09501101530003(10)A(10)B", "(10): repeated with a different value"},
    {"(02)09501101530003(37)5(01)09501101530003", "(02): not allowed with (01)"},
    {"(01)09501101530003(3100)000100(3101)000100", "(3100): not allowed with (3101)"},
    {"(10)ABC", "(10): needs (01), (02), (03), (8006) or (8026)"},
    {"(01)09501101530003(250)X", "(250): needs (01)+(21), (03)+(21) or (8006)+(21)"},
    {"(01)09501101530003(3920)100", "(3920): needs (01)+(30), (01)+(31nn), (01)+(32nn), (01)+(35nn) or (01)+(36nn)"},
};

TEST(Gs1Test, EveryRuleFailsWithItsMessage)
{
    for (const RuleRow& row : kRules) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ErrorOf(row.text), row.message);
    }
}

// The edges the rules above must let through.
TEST(Gs1Test, AcceptsTheEdgesOfEachRule)
{
    const char* const valid[] = {
        "(01)09501101530003(17)261200",           // day 00
        "(01)09501101530003(17)240229",           // a leap year
        "(8018)950110153000000014(7250)20000229", // a century leap year
        "(01)09501101530003(7030)999ABC",         // 999 where allowed
        "(415)9501101530003(8020)R1(3911)978100", // euro
        "(00)106141411234567897(4300)A%2fB",
        "(00)106141411234567897(4309)18000000003600000000",
        "(00)106141411234567897(4330)001234-",
        "(00)106141411234567897(8030)AB-_cd==",
        "(8006)095011015300030202",
        "(415)9501101530003(8020)R1(8007)GB82WEST12345698765432",
        "(8010)9501(8011)0",
        "(8013)1987654Ad4X4bL5ttr2310c2K",
        "(01)09501101530003(10)A(10)A",               // repeated with the same value
        "(01)09501101530003(3100)000100(3100)000100", // an identifier does not exclude itself
        "(01)09501101530003(10)AB(C)12(D)",           // brackets in data
    };
    for (const char* text : valid) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ErrorOf(text), "");
    }
}

// The two forms give the same element strings; the human-readable text and
// the raw text written from them.
TEST(Gs1Test, ReadsBothFormsAndWritesTheTexts)
{
    struct Row {
        const char* text;
        const char* human;
        const char* raw;
    };
    const Row rows[] = {
        {"(01)09501101530003(17)261231(10)AB-123", "(01) 09501101530003 (17) 261231 (10) AB-123",
         "010950110153000317261231"
         "10AB-123"},
        {"010950110153000317261231"
         "10AB-123",
         "(01) 09501101530003 (17) 261231 (10) AB-123",
         "010950110153000317261231"
         "10AB-123"},
        {"\x1d"
         "0109501101530003\x1d"
         "10AB-123\x1d"
         "17261231\x1d",
         "(01) 09501101530003 (10) AB-123 (17) 261231",
         "010950110153000310AB-123\x1d"
         "17261231"},
        {"(01)09501101530003(10)AB(C)12(D)", "(01) 09501101530003 (10) AB(C)12(D)", "010950110153000310AB(C)12(D)"},
        {"(00)106141411234567897(4309)18000000003600000000(4321)1",
         "(00) 106141411234567897 (4309) 18000000003600000000 (4321) 1",
         "00106141411234567897430918000000003600000000\x1d"
         "43211"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const std::vector<qb::gs1::ElementString> elements = qb::gs1::ParseElementStrings(row.text);
        EXPECT_EQ(qb::gs1::HumanReadableText(elements), row.human);
        EXPECT_EQ(qb::gs1::RawText(elements), row.raw);
        EXPECT_EQ(qb::EncodeGS1_128(row.text).Caption, row.human);
    }
    EXPECT_EQ(qb::gs1::HumanReadableText({}), "");
    EXPECT_EQ(qb::gs1::RawText({}), "");
    qb::gs1::ApplicationIdentifier info;
    ASSERT_TRUE(qb::gs1::FindApplicationIdentifier("3103", info));
    EXPECT_EQ(info.Title, "NET WEIGHT (kg)");
    EXPECT_EQ(info.Format, "N6");
    EXPECT_FALSE(info.NeedsSeparator);
    ASSERT_TRUE(qb::gs1::FindApplicationIdentifier("7001", info));
    EXPECT_TRUE(info.NeedsSeparator); // fixed length, but not of the predefined-length table
    EXPECT_EQ(info.MinLength, 13);
    EXPECT_FALSE(qb::gs1::FindApplicationIdentifier("23", info));
}

// Element strings as written, and what a reader reports: FNC1 first, GS
// after each variable-length field that is not the last, nothing after a
// predefined-length one.
struct SymbolRow {
    const char* text;
    const char* read;
};

const SymbolRow kSymbols[] = {
    {"(01)09501101530003", "0109501101530003"},
    {"(01)09501101530003(17)261231(10)AB-123", "010950110153000317261231"
                                               "10AB-123"},
    {"(01)09501101530003(10)AB-123(17)261231", "010950110153000310AB-123\x1d"
                                               "17261231"},
    {"(00)106141411234567897", "00106141411234567897"},
    {"(00)106141411234567897(400)PO-4711(403)ROUTE1", "00106141411234567897400PO-4711\x1d"
                                                      "403ROUTE1"},
    {"(01)09501101530003(21)12345", "01095011015300032112345"},
    {"(01)09501101530003(21)123456", "010950110153000321123456"},
    {"(01)09501101530003(10)1(21)2", "0109501101530003101\x1d"
                                     "212"},
    {"(02)09501101530003(37)12(00)106141411234567897", "02095011015300033712\x1d"
                                                       "00106141411234567897"},
    {"(01)09501101530003(3103)001250", "01095011015300033103001250"},
    {"(01)09501101530003(3922)1299(3103)001250", "010950110153000339221299\x1d"
                                                 "3103001250"},
    {"(01)09501101530003(3932)9781299(3103)001250", "010950110153000339329781299\x1d"
                                                    "3103001250"},
    {"(01)09501101530003(11)250101(13)250102(15)250103(16)250104(17)240229",
     "010950110153000311250101132501021525010316250104"
     "17240229"},
    {"(01)09501101530003(20)01(10)LOT", "0109501101530003200110LOT"},
    {"(01)09501101530003(22)ab-cd(10)x", "010950110153000322ab-cd\x1d"
                                         "10x"},
    {"(01)09501101530003(240)A!\"%&'()*+,-./(241)X", "0109501101530003240A!\"%&'()*+,-./\x1d"
                                                     "241X"},
    {"(01)09501101530003(241):;<=>?_(90)Z", "0109501101530003241:;<=>?_\x1d"
                                            "90Z"},
    {"(01)09501101530003(10)abcdefghijklmnopqrst", "010950110153000310abcdefghijklmnopqrst"},
    {"(01)09501101530003(10)ABCDEFGHIJKLMNOPQRST(21)UVWXYZ0123456789", "010950110153000310ABCDEFGHIJKLMNOPQRST\x1d"
                                                                       "21UVWXYZ0123456789"},
    {"(90)INTERNAL-1(91)x(92)y(99)zz", "90INTERNAL-1\x1d"
                                       "91x\x1d"
                                       "92y\x1d"
                                       "99zz"},
    {"(00)106141411234567897(410)9501101530003(420)12345", "00106141411234567897410950110153000342012345"},
    {"(00)106141411234567897(421)27680331", "0010614141123456789742127680331"},
    {"(01)09501101530003(422)276(423)276040250", "0109501101530003422276\x1d"
                                                 "423276040250"},
    {"(00)106141411234567897(4300)ACME%20Ltd(4302)Main%20St", "001061414112345678974300ACME%20Ltd\x1d"
                                                              "4302Main%20St"},
    {"(00)106141411234567897(4309)03950000001122500000(4321)1", "00106141411234567897430903950000001122500000\x1d"
                                                                "43211"},
    {"(00)106141411234567897(4324)2512312359(4330)001234-", "0010614141123456789743242512312359\x1d"
                                                            "4330001234-"},
    {"(01)09501101530003(7001)1234567890123(10)L1", "010950110153000370011234567890123\x1d"
                                                    "10L1"},
    {"(01)09501101530003(7003)2512311530", "010950110153000370032512311530"},
    {"(01)09501101530003(7007)250101250131(10)A", "01095011015300037007250101250131\x1d"
                                                  "10A"},
    {"(01)09501101530003(7030)276ABC(7031)999X", "01095011015300037030276ABC\x1d"
                                                 "7031999X"},
    {"(01)09501101530003(8001)12341234512311(8005)000199", "0109501101530003800112341234512311\x1d"
                                                           "8005000199"},
    {"(8003)09501101530003ABC", "800309501101530003ABC"},
    {"(8004)9501ABC-123", "80049501ABC-123"},
    {"(8006)095011015300030102(21)1", "8006095011015300030102\x1d"
                                      "211"},
    {"(8010)9501#AB-/12(8011)12", "80109501#AB-/12\x1d"
                                  "801112"},
    {"(00)106141411234567897(8030)AB-_cd9=", "001061414112345678978030AB-_cd9="},
    {"(8018)950110153000000014(7252)1(7250)19991231", "8018950110153000000014\x1d"
                                                      "72521\x1d"
                                                      "725019991231"},
    {"(415)9501101530003(8020)INV-2024/0001(3911)97812550", "41595011015300038020INV-2024/0001\x1d"
                                                            "391197812550"},
    {"(415)9501101530003(8020)R1(8007)GB82WEST12345698765432", "41595011015300038020R1\x1d"
                                                               "8007GB82WEST12345698765432"},
    {"(01)09501101530003(8013)1987654Ad4X4bL5ttr2310c2K", "010950110153000380131987654Ad4X4bL5ttr2310c2K"},
    {"(01)09501101530003(8012)v1.2(21)S1", "01095011015300038012v1.2\x1d"
                                           "21S1"},
    {"(01)09501101530003(30)7(10)1234567", "0109501101530003307\x1d"
                                           "101234567"},
    {"(00)106141411234567897(02)09501101530003(37)123", "00106141411234567897020950110153000337123"},
    {"(01)09501101530003(10)12AB34567(21)9", "010950110153000310"
                                             "12AB34567\x1d"
                                             "219"},
    {"(253)9501101530003ABC-1", "2539501101530003ABC-1"},
    {"(255)95011015300031234", "25595011015300031234"},
    {"(01)09501101530003(8008)25123115(10)A", "0109501101530003800825123115\x1d"
                                              "10A"},
    {"(414)9501101530003(254)X1(7040)1ab_", "4149501101530003254X1\x1d"
                                            "70401ab_"},
};

TEST(Gs1Test, BothReadersReadEverySymbolAsWritten)
{
    for (const SymbolRow& row : kSymbols) {
        SCOPED_TRACE(row.text);
        const qb::Code128Symbol symbol = qb::EncodeGS1_128(row.text);
        EXPECT_EQ(symbol.Values.at(1), 102); // FNC1 right after the start character
        const testsupport::LineImage image = testsupport::PaintLineCodes(symbol.LineCodes);
        const testsupport::Decoded zxing = testsupport::ReadWithZxing(image);
        ASSERT_TRUE(zxing.found);
        EXPECT_EQ(zxing.symbology, "]C1");
        EXPECT_EQ(zxing.bytes, row.read);
        const testsupport::Decoded zbar = testsupport::ReadWithZbar(image);
        ASSERT_TRUE(zbar.found);
        EXPECT_EQ(zbar.symbology, "]C1");
        EXPECT_EQ(zbar.text, row.read);
    }
}

} // namespace
