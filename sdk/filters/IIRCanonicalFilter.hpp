#pragma once
// An infinite-impulse-response filter in canonical (direct form II) structure, built from an
// order and its coefficients or from coefficient text:
//   "Numerator: b0 b1 ... Denominator: a0 a1 ..."
// Keywords in any letter case, coefficients separated by white space.

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/filters/ITFilter.hpp"

namespace VexaDevice::Sensor {

// Second-order Butterworth low-pass filters with a 10 Hz cut-off at 250, 500 and 1000 Hz.
extern const char* const kLowPass10Hz250;
extern const char* const kLowPass10Hz500;
extern const char* const kLowPass10Hz1000;

class IIRCanonicalFilter final : public ITFilter {
public:
    // a: denominator (a[0] is taken as 1 and not used), b: numerator; the delay line holds
    // `order` values, all zero.
    IIRCanonicalFilter(uint16_t order, std::vector<double> a, std::vector<double> b);
    explicit IIRCanonicalFilter(const std::string& text);

    double filter(double x) override;
    void clear() override;
    // The filter takes the parsed filter's coefficients, zeroed memory and a new id.
    void setCoefficients(const std::string& text) override;
    void reset() override;
    int32_t getId() const override { return id_; }

    uint16_t order() const { return order_; }
    const std::vector<double>& denominator() const { return a_; }
    const std::vector<double>& numerator() const { return b_; }

private:
    int32_t id_;
    uint16_t order_;
    std::vector<double> a_;
    std::vector<double> b_;
    std::vector<double> w_;
};

// Parses coefficient text: the numerator is what follows the first "Numerator:" up to a
// "Denominator" on the same line, and the other way round. Every white-space separated piece
// counts, read as the leading decimal number it starts with (0 when it starts with none), in the
// C locale whatever the process locale is. The order is one less than the shorter list (0 when
// a list is empty). Nothing is refused: malformed text gives fewer coefficients. Any length of
// text parses in one pass; a list keeps at most 65536 coefficients, all a 16-bit order can use.
IIRCanonicalFilter parseCoefficients(const std::string& text);

}  // namespace VexaDevice::Sensor
