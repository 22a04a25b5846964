#pragma once

namespace quellwave {

// Whether the engine's lane loops take four doubles (eight words) at a time with AVX2 or two
// (four) with the instructions every x86-64 machine has. Both paths give the same values to the
// last bit; the wide one is taken wherever the machine offers it.
bool wideLanes();

// Keeps every lane loop on the narrow path even where the wide one is available (false gives the
// machine's choice back), so that a test can compare the two.
void keepLanesNarrow(bool narrow);

}  // namespace quellwave
