#pragma once

#include <cstddef>

// Counts the bytes held by every malloc-family allocation of the process (operator
// new, libxml2 and gumbo all end there), so heap peaks compare like with like.
namespace quellion::bench {

size_t HeapInUse();
// Forgets the peak: the next HeapPeak() reports the highest level from now on.
void ResetHeapPeak();
size_t HeapPeak();

}  // namespace quellion::bench
