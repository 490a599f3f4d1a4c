#pragma once
// Counts the bytes the process holds from malloc, with a resettable peak, by wrapping the C
// allocator (every allocation of Qt and of the standard library goes through it).
#include <cstddef>

namespace heap_meter {
std::size_t Live();
std::size_t Peak();
// The peak starts again from what is live now.
void ResetPeak();
} // namespace heap_meter
