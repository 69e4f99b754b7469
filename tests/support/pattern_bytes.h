#pragma once

#include <QByteArray>

namespace zel::test {

// `size` bytes of a pattern whose period (64256 bytes) is no power of two, so that a transfer
// block lost, doubled or put in the wrong place shows in a comparison.
QByteArray pattern_bytes(qsizetype size);

} // namespace zel::test
