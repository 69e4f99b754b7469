// libFuzzer target: any bytes given to the log loader end without a crash, a hang or a leak.
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/persistence/log_loader.h"
#include "log/persistence/log_persistence.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zel;
    static const bool installed = [] {
        install_log_persistence();
        return true;
    }();
    (void)installed;

    const auto root = TLogRoot::Create();
    default_log_root = root; // events take their times from the root, as in the program
    ILogGroupPtr reader;
    root->add_seeded_group(reader, GK_READER);
    load_log_from_bytes(
        reader, QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
        QStringLiteral("fuzz"));
    root->clear_all();
    default_log_root.reset();
    return 0;
}
