#pragma once

#include <string>
#include <vector>

namespace quellwave {

struct Experience {
    double code = 0.0;  // selects the experience program
    std::string name;
    std::string description;  // may hold line feeds
};

// The five experiences, in display order. Never changes at run time.
const std::vector<Experience>& experienceCatalogue();

}  // namespace quellwave
