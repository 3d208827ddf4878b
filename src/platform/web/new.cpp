// Memory asked for with new (std::nothrow), which the program uses wherever it can
// carry on without it (the bodies, the stage's arrays). The browser build's C++
// library is built without exceptions: its nothrow new calls the plain one, which
// aborts the whole program when memory runs out, so that the page would die
// instead of saying so. These give null, as the rest of the program expects.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
