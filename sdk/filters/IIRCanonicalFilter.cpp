#include "sdk/filters/IIRCanonicalFilter.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <random>
#include <string_view>

namespace VexaDevice::Sensor {

const char* const kLowPass10Hz250 =
    "Numerator:\t\t0.013359200027856505191281577538120473037\t\t0.026718400055713010382563155076240946073\t\t"
    "0.013359200027856505191281577538120473037\t\tDenominator:\t\t1\t\t-1.647459981076976776037668059871066361666\t\t"
    "0.700896781188402595574871156713925302029";
const char* const kLowPass10Hz500 =
    "Numerator:\t\t0.003621681514928642119099944096660692594\t\t0.007243363029857284238199888193321385188\t\t"
    "0.003621681514928642119099944096660692594\t\tDenominator:\t\t1\t\t-1.822694925196308268766642868285998702049\t\t"
    "0.837181651256022618667884671594947576523";
const char* const kLowPass10Hz1000 =
    "Numerator:\t\t0.000944691843840150748297379568185760945\t\t0.00188938368768030149659475913637152189\t\t"
    "0.000944691843840150748297379568185760945\t\tDenominator:\t\t1\t\t-1.911197067426073203932901378720998764038\t\t"
    "0.914975834801433740572917940880870446563";

namespace {

int32_t drawId() {
    std::random_device source;
    std::mt19937 generator(source());
    return std::uniform_int_distribution<int32_t>(1000, 9999)(generator);
}

double coefficient(const std::vector<double>& values, size_t index) {
    return index < values.size() ? values[index] : 0.0;
}

// The leading decimal number of `piece`, 0 when it starts with none; never locale-dependent.
double leadingNumber(const std::string& piece) {
    const char* first = piece.data();
    const char* last = piece.data() + piece.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    double value = 0.0;
    if (std::from_chars(first, last, value).ec != std::errc{}) {
        return 0.0;
    }
    return negative ? -value : value;
}

// The most coefficients a list keeps: the order is 16 bits, so more are never used.
constexpr size_t kMaxCoefficients = size_t{UINT16_MAX} + 1;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `word` (lower case) starts at `at`, in any letter case.
bool wordAt(std::string_view text, size_t at, std::string_view word) {
    if (text.size() - at < word.size()) {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        if (lower(text[at + i]) != word[i]) {
            return false;
        }
    }
    return true;
}

// Where the text after the first "<keyword>" followed by white space and a colon starts.
std::optional<size_t> afterKeyword(std::string_view text, std::string_view keyword) {
    for (size_t at = 0; at < text.size(); ++at) {
        if (!wordAt(text, at, keyword)) {
            continue;
        }
        size_t next = at + keyword.size();
        while (next < text.size() && isSpace(text[next])) {
            ++next;
        }
        if (next < text.size() && text[next] == ':') {
            return next + 1;
        }
    }
    return std::nullopt;
}

// The coefficients after the first "<keyword>:", leaving out every "<other>" with the rest of
// its line. One pass over the text, without recursion, whatever its length.
std::vector<double> section(std::string_view text, std::string_view keyword, std::string_view other) {
    const auto start = afterKeyword(text, keyword);
    if (!start) {
        return {};
    }
    std::vector<double> values;
    std::string piece;
    auto flush = [&] {
        if (!piece.empty() && values.size() < kMaxCoefficients) {
            values.push_back(leadingNumber(piece));
        }
        piece.clear();
    };
    for (size_t at = *start; at < text.size(); ++at) {
        if (wordAt(text, at, other)) {
            while (at < text.size() && !isLineEnd(text[at])) {
                ++at;
            }
            if (at == text.size()) {
                break;
            }
        }
        if (isSpace(text[at])) {
            flush();
        } else {
            piece += text[at];
        }
    }
    flush();
    return values;
}

}  // namespace

IIRCanonicalFilter::IIRCanonicalFilter(uint16_t order, std::vector<double> a, std::vector<double> b)
    : id_(drawId()), order_(order), a_(std::move(a)), b_(std::move(b)), w_(size_t{order} + 1, 0.0) {}

IIRCanonicalFilter::IIRCanonicalFilter(const std::string& text) : IIRCanonicalFilter(parseCoefficients(text)) {}

double IIRCanonicalFilter::filter(double x) {
    // Without coefficients (cleared, or text without a numerator) the input passes through.
    if (w_.empty() || b_.empty()) {
        return x;
    }
    double v = x;
    for (size_t k = 1; k <= order_; ++k) {
        v -= coefficient(a_, k) * w_[k - 1];
    }
    double y = b_[0] * v;
    for (size_t k = 1; k <= order_; ++k) {
        y += coefficient(b_, k) * w_[k - 1];
    }
    if (order_ > 0) {
        std::copy_backward(w_.begin(), w_.begin() + order_ - 1, w_.begin() + order_);
        w_[0] = v;
    }
    return y;
}

void IIRCanonicalFilter::clear() {
    order_ = 0;
    a_.clear();
    b_.clear();
    w_.clear();
}

void IIRCanonicalFilter::setCoefficients(const std::string& text) { *this = parseCoefficients(text); }

void IIRCanonicalFilter::reset() { std::fill(w_.begin(), w_.end(), 0.0); }

IIRCanonicalFilter parseCoefficients(const std::string& text) {
    std::vector<double> b = section(text, "numerator", "denominator");
    std::vector<double> a = section(text, "denominator", "numerator");
    const size_t shorter = std::min(a.size(), b.size());
    const auto order = static_cast<uint16_t>(shorter == 0 ? 0 : shorter - 1);
    return IIRCanonicalFilter(order, std::move(a), std::move(b));
}

}  // namespace VexaDevice::Sensor
