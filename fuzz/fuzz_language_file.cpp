// Language files come from translators and from the translation editor:
// whatever they hold, loading must not crash, must keep every line within
// its size cap and must not read past line 1000.
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "translation/language_file.h"
#include "translation/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Language"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();

    orvane::StringTable table;
    const qint32 result = table.Load(path);
    if (result != 0 && result != orvane::file_error::kInputPastEndOfFile &&
        result != orvane::file_error::kDeviceIo) {
        std::abort();
    }
    for (int id = 1; id <= orvane::kLanguageFileLines; ++id) {
        // A line is capped in bytes of UTF-8; as text it can only be shorter.
        if (table.Text(id).size() > orvane::kMaxLineBytes) {
            std::abort();
        }
    }
    if (!table.Text(orvane::kLanguageFileLines + 1).isEmpty()) {
        std::abort();
    }
    return 0;
}
