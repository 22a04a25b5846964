#pragma once

namespace quellwave {

// Whether the engine's lane loops take four doubles (eight words) at a time with AVX2 or two
// (four) with the instructions every x86-64 machine has. Both paths give the same values to the
// last bit; the wide one is taken wherever the machine offers it.
bool wideLanes();

// Whether the random-word, mix and block conversion loops take eight doubles (sixteen words) at a
// time with AVX-512, where the machine offers it besides AVX2; the same values again, to the last
// bit.
bool widestLanes();

// Keeps every lane loop on the narrow path even where the wide one is available (false gives the
// machine's choice back), so that a test can compare the two.
void keepLanesNarrow(bool narrow);

// Keeps the random-word, mix and block conversion loops at four doubles even where the machine
// offers eight (false gives the machine's choice back), so that a test can compare those two.
void keepLanesAtFour(bool four);

}  // namespace quellwave
