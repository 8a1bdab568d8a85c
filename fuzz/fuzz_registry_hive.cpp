// Hive files are edited by hand and copied between machines: whatever they
// hold, reading must not crash, and whatever was read must write out and
// read back unchanged, or a later save would alter the user's settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "settings/store/registry_file_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString root = QStringLiteral("HKEY_LOCAL_MACHINE");
    const orvane::ParsedHive parsed = orvane::ParseHive(content, root);
    const QByteArray written = orvane::SerializeHive(parsed.hive, root);
    const orvane::ParsedHive reread = orvane::ParseHive(written, root);
    if (!reread.problems.isEmpty() || !(reread.hive == parsed.hive)) {
        std::abort();
    }
    return 0;
}
