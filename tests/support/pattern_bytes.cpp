#include "tests/support/pattern_bytes.h"

namespace zel::test {

QByteArray pattern_bytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

} // namespace zel::test
