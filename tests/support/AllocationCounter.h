#pragma once

// Counts the calls of the global operator new (every form) in this program, for checks
// that a piece of code allocates nothing. A program that uses it compiles
// AllocationCounter.cpp in itself (the test support library leaves it out, so no other
// program has its operator new replaced).
namespace allocation {

// Calls of operator new since the program started, on every thread.
long count();

} // namespace allocation
