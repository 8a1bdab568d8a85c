// Importing a phone's export of 10,000 cards into the phone book: reading
// the file (folded lines, quoted-printable names, a photo on every tenth
// card), merging into an empty book and into a book that already holds
// them, and writing the book's own file. The import must take under 1 s.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "calls/phonebook/phone_book.h"
#include "calls/phonebook/vcard_reader.h"

namespace {

constexpr int kCards = 10000;

double MillisecondsOf(auto&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

QByteArray Export() {
    QByteArray file;
    const QByteArray photo = "PHOTO;ENCODING=b;TYPE=JPEG:" + QByteArray(60, 'A') +
                             QByteArray("\r\n " + QByteArray(74, 'A')).repeated(400) + "\r\n";
    for (int i = 0; i < kCards; ++i) {
        const QByteArray n = QByteArray::number(i);
        file += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:M=C3=BCller " + n + ";J=C3=BCrgen;;;\r\n";
        file += "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller " + n + "\r\n";
        file += "TEL;TYPE=HOME,VOICE:030 " + QByteArray::number(1000000 + i) + "\r\n";
        file += "item1.TEL;TYPE=CELL:+49 170 " + QByteArray::number(2000000 + i) + "\r\n";
        file += "EMAIL;TYPE=INTERNET:juergen" + n +
                "@example.org\r\nNOTE:A note that is\r\n  folded.\r\n";
        if (i % 10 == 0) {
            file += photo;
        }
        file += "END:VCARD\r\n";
    }
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace orvane;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("contacts.vcf"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(Export()) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
            return 1;
        }
        std::printf("%d cards, %.1f MB\n", kCards, static_cast<double>(file.size()) / 1e6);
    }
    VCardReadResult read;
    const double reading = MillisecondsOf([&] { read = ReadVCardFile(source); });
    std::printf("read the file:                    %8.1f ms (%zu contacts)\n", reading,
                read.contacts.size());

    PhoneBook book(dir.filePath(QStringLiteral("PhoneBook.vcf")));
    book.SetPlan(PlanFor(u"DE", u"30"));
    PhoneBookImport import;
    const double first = MillisecondsOf([&] { import = book.Import(source); });
    std::printf("import into an empty book, saved: %8.1f ms (%d numbers)\n", first,
                import.numbersAdded);
    const double again = MillisecondsOf([&] { import = book.Import(source); });
    std::printf("the same file again:              %8.1f ms (%d unchanged)\n", again,
                import.numbersUnchanged);
    PhoneBook loaded(dir.filePath(QStringLiteral("PhoneBook.vcf")));
    loaded.SetPlan(book.Plan());
    const double load = MillisecondsOf([&] { loaded.Load(); });
    std::printf("load the book's own file:         %8.1f ms\n", load);
    QString name;
    const double lookups = MillisecondsOf([&] {
        for (int i = 0; i < kCards; ++i) {
            name = loaded.NameFor(QStringLiteral("+4930%1").arg(1000000 + i));
        }
    });
    std::printf("10,000 lookups:                   %8.1f ms\n", lookups);
    return first < 1000.0 ? 0 : 1;
}
