// A replaced global allocator that counts allocations between a start and a stop; link
// counting_allocator.cpp into a test binary of its own, as it replaces operator new for it.
#pragma once

namespace vantor::testing {

void StartCountingAllocations();
// Returns the number of allocations since the start, on any thread.
long StopCountingAllocations();

}  // namespace vantor::testing
