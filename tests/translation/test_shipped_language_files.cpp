// The language files that ship with the program: their layout, and a text
// for every id the code uses.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringDecoder>
#include <set>

#include "tests/support/qt_printers.h"
#include "translation/language_file.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

struct Shipped {
    const char* name;
    const char* direction;
};

void PrintTo(const Shipped& shipped, std::ostream* os) {
    *os << shipped.name;
}

const Shipped kShipped[] = {{"English", "LTR"}, {"German", "LTR"}, {"Hebrew", "RTL"}};

QString ShippedPath(const char* name) {
    return QStringLiteral(ORVANE_SOURCE_DIR "/Trans/") + QLatin1String(name);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(StringIdsTest, IdsAreDistinctAndOutsideTheHeaderLines) {
    std::set<int> seen;
    for (int id : ids::kAllIds) {
        EXPECT_TRUE(seen.insert(id).second) << "id used twice: " << id;
        EXPECT_GT(id, kDirectionLine);
        EXPECT_LE(id, kLanguageFileLines);
    }
}

class ShippedLanguageFileTest : public ::testing::TestWithParam<Shipped> {};

TEST_P(ShippedLanguageFileTest, HasTheLayoutOfABasicTranslation) {
    const QByteArray bytes = ReadAll(ShippedPath(GetParam().name));
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    QList<QByteArray> lines = bytes.chopped(2).split('\n');
    ASSERT_EQ(lines.size(), kLanguageFileLines);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // Every line end is CR LF; no stray CR or LF inside a line.
        ASSERT_TRUE(i == lines.size() - 1 || lines[i].endsWith('\r')) << "line " << i + 1;
        QByteArray& line = lines[i];
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        ASSERT_FALSE(line.contains('\r')) << "line " << i + 1;
    }
    EXPECT_EQ(lines[kEditableFlagLine - 1], "0");
    for (int n = 2; n < kDirectionLine; ++n) {
        EXPECT_TRUE(lines[n - 1].isEmpty()) << "reserved line " << n;
    }
    EXPECT_EQ(lines[kDirectionLine - 1], GetParam().direction);

    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    EXPECT_FALSE(utf8.hasError());
}

TEST_P(ShippedLanguageFileTest, GivesEveryIdATextWithTheEnglishMarkers) {
    StringTable english;
    ASSERT_EQ(english.Load(ShippedPath("English")), 0);
    StringTable table;
    ASSERT_EQ(table.Load(ShippedPath(GetParam().name)), 0);
    EXPECT_EQ(table.IsRightToLeft(), QByteArray(GetParam().direction) == "RTL");
    const QString marker = QStringLiteral("<%S>");
    for (int id : ids::kAllIds) {
        const QString& text = table.Text(id);
        EXPECT_FALSE(text.trimmed().isEmpty()) << "id " << id;
        EXPECT_FALSE(text.startsWith(QStringLiteral("''"))) << "id " << id;
        EXPECT_FALSE(text.contains(QLatin1Char('&'))) << "id " << id;
        EXPECT_EQ(text.count(marker), english.Text(id).count(marker)) << "id " << id;
        EXPECT_EQ(text.count(QLatin1Char('\n')), english.Text(id).count(QLatin1Char('\n')))
            << "id " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Trans, ShippedLanguageFileTest, ::testing::ValuesIn(kShipped),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace orvane
