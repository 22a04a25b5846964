#pragma once
// The name rule of a scan filter: a device's name is taken when it equals the pattern, or when
// the pattern, read as a case-insensitive ECMAScript regular expression, is found in it. The
// expression is compiled once, when the rule is made; matching only reads it, so any number of
// threads may match against one rule at once.

#include <optional>
#include <regex>
#include <string>

namespace VexaDevice::BLE {

class NamePattern {
public:
    enum class Match {
        Found,
        Missing,
        // The name is not the pattern itself and the pattern is no valid regular expression.
        Unusable,
    };

    explicit NamePattern(std::string pattern);

    Match match(const std::string& name) const;

private:
    std::string pattern_;
    std::optional<std::regex> expression_;  // empty when the pattern does not compile
};

}  // namespace VexaDevice::BLE
