#include "sdk/ble/NamePattern.hpp"

#include <utility>

namespace VexaDevice::BLE {

namespace {

std::optional<std::regex> compile(const std::string& pattern) {
    try {
        return std::regex(pattern, std::regex::ECMAScript | std::regex::icase);
    } catch (const std::regex_error&) {
        return std::nullopt;
    }
}

}  // namespace

NamePattern::NamePattern(std::string pattern) : pattern_(std::move(pattern)), expression_(compile(pattern_)) {}

NamePattern::Match NamePattern::match(const std::string& name) const {
    if (name == pattern_) return Match::Found;
    if (!expression_) return Match::Unusable;
    return std::regex_search(name, *expression_) ? Match::Found : Match::Missing;
}

}  // namespace VexaDevice::BLE
