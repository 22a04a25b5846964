#pragma once
// Several doubles worked on at once, lane by lane with the same operations as one double alone:
// two lanes on every x86-64 machine, four where it has AVX2, eight where it has AVX-512.

namespace quellwave {

using DoublePair = double __attribute__((vector_size(16)));
using DoubleQuad = double __attribute__((vector_size(32)));
using DoubleOctet = double __attribute__((vector_size(64)));

// These helpers are always inlined, so no vector wider than the caller's machine crosses a function
// boundary and the ABI note does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// The doubles from `from` on, as many as Lanes holds, as one vector.
template <class Lanes>
[[gnu::always_inline]] inline Lanes loadLanes(const double* from) {
    Lanes value;
    __builtin_memcpy(&value, from, sizeof value);
    return value;
}

// Writes a vector's doubles from `to` on.
template <class Lanes>
[[gnu::always_inline]] inline void storeLanes(double* to, const Lanes& value) {
    __builtin_memcpy(to, &value, sizeof value);
}

#pragma GCC diagnostic pop

}  // namespace quellwave
