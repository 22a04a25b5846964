#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "sdk/filters/IIRCanonicalFilter.hpp"

using namespace VexaDevice::Sensor;

namespace {

// Outputs at these sample indices for the input 1 + sin(0.3 n) + 0.25 cos(2.9 n), computed with
// scipy.signal.lfilter from the same coefficients.
const std::vector<size_t> kAt{0, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 399};

struct Reference {
    const char* text;
    std::vector<double> outputs;
};

const std::vector<Reference> kReferences{
    {kLowPass10Hz250,
     {0.016699000034820631, 0.074973241845201655, 0.18049858510431796, 0.32792314976462628, 0.70921822781185939,
      1.2994010888508252, 1.5293792387491294, 0.45104947686128188, 1.4944375738789306, 1.4905844855720789,
      0.85651767438268422, 0.70612919686865216, 0.50745941595157384, 0.42863218573484058}},
    {kLowPass10Hz500,
     {0.0045271018936608029, 0.02111856570980283, 0.053323874491492895, 0.10204352644323733, 0.24648557458582396,
      0.54245375880641911, 0.96133390029211707, 0.89202157365187817, 1.2097468381986276, 1.1697024026551435,
      0.86046062239672172, 1.0278023181443676, 0.83164536524827326, 0.86227845335144215}},
    {kLowPass10Hz1000,
     {0.0011808648048001885, 0.00561314826949253, 0.01450458192123121, 0.028462138506600961, 0.072519641466485207,
      0.17441425346009684, 0.37406141635683504, 0.54963464464196954, 0.88134329363509856, 1.067676534621576,
      0.98073011704451973, 1.0183487053319307, 0.96187752410484384, 0.97498138967912951}},
};

double input(size_t n) { return 1.0 + std::sin(0.3 * n) + 0.25 * std::cos(2.9 * n); }

void expectReference(IIRCanonicalFilter& filter, const Reference& reference) {
    size_t next = 0;
    for (size_t n = 0; n <= kAt.back(); ++n) {
        const double y = filter.filter(input(n));
        if (n == kAt[next]) {
            EXPECT_NEAR(y, reference.outputs[next], 1e-12) << "sample " << n;
            ++next;
        }
    }
}

}  // namespace

TEST(IIRCanonicalFilter, BuiltInTextsMatchTheReferenceResponses) {
    for (const auto& reference : kReferences) {
        IIRCanonicalFilter filter(reference.text);
        ASSERT_EQ(filter.order(), 2);
        ASSERT_EQ(filter.numerator().size(), 3u);
        ASSERT_EQ(filter.denominator().size(), 3u);
        EXPECT_EQ(filter.denominator()[0], 1.0);
        expectReference(filter, reference);
    }
}

TEST(IIRCanonicalFilter, FirstOutputOfAUnitInputIsTheFirstNumeratorCoefficient) {
    IIRCanonicalFilter filter(kLowPass10Hz500);
    EXPECT_DOUBLE_EQ(filter.filter(1.0), 0.003621681514928642119099944096660692594);
}

TEST(IIRCanonicalFilter, ResetStartsOverAndClearPassesThrough) {
    IIRCanonicalFilter filter(kLowPass10Hz250);
    for (int i = 0; i < 50; ++i) {
        filter.filter(input(i) * 3);
    }
    filter.reset();
    expectReference(filter, kReferences[0]);

    filter.clear();
    EXPECT_EQ(filter.order(), 0);
    EXPECT_EQ(filter.filter(3.5), 3.5);
}

TEST(IIRCanonicalFilter, SetCoefficientsTakesTheNewFilterAndAFreshId) {
    IIRCanonicalFilter filter(kLowPass10Hz250);
    for (int i = 0; i < 10; ++i) {
        filter.filter(5.0);
    }
    std::set<int32_t> ids;
    for (int i = 0; i < 20; ++i) {
        const int32_t before = filter.getId();
        EXPECT_GE(before, 1000);
        EXPECT_LE(before, 9999);
        ids.insert(before);
        filter.setCoefficients(kLowPass10Hz1000);
    }
    EXPECT_GT(ids.size(), 1u) << "every parse draws a new id";
    expectReference(filter, kReferences[2]);
}

TEST(CoefficientText, KeywordsInAnyCaseAndPartsOnSeparateLines) {
    const auto lower = parseCoefficients("numerator: 2 denominator: 1");
    EXPECT_EQ(lower.order(), 0);
    EXPECT_EQ(lower.numerator(), std::vector<double>{2});
    EXPECT_EQ(lower.denominator(), std::vector<double>{1});

    // Each part ends at the other's keyword on its own line only.
    auto lines = parseCoefficients("Denominator: 1 -0.5\nNumerator: 0.5 0.5");
    EXPECT_EQ(lines.order(), 1);
    EXPECT_EQ(lines.denominator(), (std::vector<double>{1, -0.5}));
    EXPECT_EQ(lines.numerator(), (std::vector<double>{0.5, 0.5}));
    // y[n] = 0.5 x[n] + 0.5 x[n-1] + 0.5 y[n-1]
    EXPECT_DOUBLE_EQ(lines.filter(1.0), 0.5);
    EXPECT_DOUBLE_EQ(lines.filter(0.0), 0.75);
    EXPECT_DOUBLE_EQ(lines.filter(0.0), 0.375);
}

TEST(CoefficientText, MalformedPiecesCountAsZeroAndSignsAndExponentsParse) {
    const auto parsed = parseCoefficients("NUMERATOR :\t+1.5e-1 abc 2x\r\nDENOMINATOR:  1  -2E0 .5");
    EXPECT_EQ(parsed.numerator(), (std::vector<double>{0.15, 0.0, 2.0}));
    EXPECT_EQ(parsed.denominator(), (std::vector<double>{1.0, -2.0, 0.5}));
    EXPECT_EQ(parsed.order(), 2);
}

TEST(CoefficientText, WithoutANumeratorTheFilterPassesItsInputThrough) {
    auto noNumerator = parseCoefficients("Denominator: 1 0.5");
    EXPECT_EQ(noNumerator.order(), 0);
    EXPECT_EQ(noNumerator.filter(2.25), 2.25);
    auto empty = parseCoefficients("");
    EXPECT_EQ(empty.filter(-7.0), -7.0);
    // Order 0 with a numerator scales by b[0].
    auto gain = parseCoefficients("Numerator: 3 Denominator:");
    EXPECT_EQ(gain.filter(2.0), 6.0);
}

// Texts of any length parse in one pass: a 40 KB line of coefficients, or of keywords.
TEST(CoefficientText, LongLinesParseWithoutRecursion) {
    std::string text = "Numerator: 1 1 Denominator:";
    for (int i = 0; i < 8000; ++i) {
        text += " 0.25";
    }
    auto parsed = parseCoefficients(text);
    EXPECT_EQ(parsed.numerator(), (std::vector<double>{1, 1}));
    ASSERT_EQ(parsed.denominator().size(), 8000u);
    EXPECT_EQ(parsed.denominator().back(), 0.25);
    EXPECT_EQ(parsed.order(), 1);

    std::string keywords = "Numerator: 1 2 ";
    for (int i = 0; i < 4000; ++i) {
        keywords += "Denominator ";
    }
    keywords += "\n3";
    parsed = parseCoefficients(keywords);
    EXPECT_EQ(parsed.numerator(), (std::vector<double>{1, 2, 3})) << "the line goes from its first keyword";
    EXPECT_TRUE(parsed.denominator().empty()) << "no keyword is followed by a colon";

    // More coefficients than a 16-bit order can use are not kept.
    std::string many = "Numerator: ";
    many.reserve(300000);
    for (int i = 0; i < 70000; ++i) {
        many += "1 ";
    }
    many += "\nDenominator: 1 0.5";
    parsed = parseCoefficients(many);
    EXPECT_EQ(parsed.numerator().size(), 65536u);
    EXPECT_EQ(parsed.order(), 1);
}

TEST(CoefficientText, AKeywordCountsOnlyBeforeItsColonAndTheOtherEndsAtEitherLineEnd) {
    const auto parsed = parseCoefficients("numerator 9\nNumerator: 1 2 DENOMINATOR: 3 4\r 5");
    EXPECT_EQ(parsed.numerator(), (std::vector<double>{1, 2, 5}));
    EXPECT_EQ(parsed.denominator(), (std::vector<double>{3, 4, 5}));
    EXPECT_EQ(parsed.order(), 2);
}
