// The unit-test program replaces the global allocation functions (see
// gfx_allocation_test.cpp); this makes its next nothrow allocations fail.
#pragma once

// The next `count` allocations with std::nothrow return null.
void FailNextNothrowAllocations(int count);
