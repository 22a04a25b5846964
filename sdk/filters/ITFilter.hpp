#pragma once
// A filter that takes one sample at a time.

#include <cstdint>
#include <string>

namespace VexaDevice::Sensor {

class ITFilter {
public:
    virtual ~ITFilter() = default;

    virtual double filter(double x) = 0;
    // Drops the coefficients: the filter then passes its input through.
    virtual void clear() = 0;
    // Rebuilds the filter from coefficient text (see parseCoefficients).
    virtual void setCoefficients(const std::string& text) = 0;
    // Zeroes the filter's memory, keeping its coefficients.
    virtual void reset() = 0;
    virtual int32_t getId() const = 0;
};

}  // namespace VexaDevice::Sensor
