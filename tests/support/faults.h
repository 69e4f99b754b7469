#pragma once

// Helpers with which a test raises a real fault the compiler cannot see coming or fold away.

namespace zel::test {

// `value`, passed through a volatile so that the compiler cannot fold what follows.
template <typename T>
T opaque(T value) {
    volatile T copy = value;
    return copy;
}

// Recurses until the stack runs out (the depth never goes negative).
inline int recurse(int depth) {
    if (opaque(depth) < 0)
        return 0;
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return recurse(depth + 1) + frame[0];
}

} // namespace zel::test
