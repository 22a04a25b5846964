#pragma once
// Several doubles worked on at once, lane by lane with the same operations as one double alone:
// two lanes on every x86-64 machine, four where it has AVX2, eight where it has AVX-512.

namespace quellwave {

using DoublePair = double __attribute__((vector_size(16)));
using DoubleQuad = double __attribute__((vector_size(32)));
using DoubleOctet = double __attribute__((vector_size(64)));

}  // namespace quellwave
