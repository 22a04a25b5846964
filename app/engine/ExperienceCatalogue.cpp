#include "app/engine/ExperienceCatalogue.hpp"

namespace quellwave {
namespace {

// Every description ends with the upper bound of its suggested duration.
std::string withLongestDuration(const std::string& text) { return text + "60" + " minutes."; }

std::vector<Experience> buildCatalogue() {
    const std::string outOfBody =
        "May induce out-of-body experiences. Use protective affirmations.\nSuggested duration: 30-";
    return {
        {4.0, "Out-of-Physical Realm", withLongestDuration(outOfBody)},
        {4.1, "Lucid Dream (Night-Time)", withLongestDuration(outOfBody)},
        {9.0, "Art & Creativity",
         withLongestDuration("Stimulate creative thinking and artistic expression.\nSuggested duration: 20-")},
        {12.0, "Light Relaxation",
         withLongestDuration("A gentle frequency for relieving stress while staying alert.\nSuggested duration: 15-")},
        {20.0, "Positive Emotions",
         withLongestDuration("Enhances mental clarity and positivity.\nSuggested duration: 20-")},
    };
}

}  // namespace

const std::vector<Experience>& experienceCatalogue() {
    static const std::vector<Experience> catalogue = buildCatalogue();
    return catalogue;
}

}  // namespace quellwave
