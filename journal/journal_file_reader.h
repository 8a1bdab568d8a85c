#pragma once
// Reads one journal file in pieces, so the viewer can show the first lines
// of a very large day file at once and take the rest while the window stays
// responsive. No widgets.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace orvane {

class JournalFileReader {
  public:
    JournalFileReader() = default;
    ~JournalFileReader();
    JournalFileReader(const JournalFileReader&) = delete;
    JournalFileReader& operator=(const JournalFileReader&) = delete;

    // Opens `name` in `folder` (ending in "/"). Refuses, and stays closed,
    // for a name that is not a plain file name of the folder (empty, ".",
    // "..", holding "/"), a link, or anything but a regular file. Only the
    // bytes present now are read: lines appended later are not.
    bool Open(const QString& folder, const QString& name);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    bool AtEnd() const { return fd_ < 0; }
    qint64 Size() const { return size_; }
    qint64 BytesRead() const { return offset_; }

    // The next whole lines, reading at most about `maxBytes` of the file;
    // lines end in CR LF, LF or CR and come without their ends, as UTF-8.
    // At the end of the file the last unterminated line is returned too and
    // the file is closed. A read error ends the file where it happened.
    QStringList ReadLines(qint64 maxBytes);

    // The whole file at once (small files, tests).
    static QStringList ReadAll(const QString& folder, const QString& name);

  private:
    int fd_ = -1;
    qint64 size_ = 0;
    qint64 offset_ = 0;
    QByteArray pending_;    // the start of a line not yet ended
    bool afterCr_ = false;  // a CR ended the last piece; a leading LF belongs to it
};

// True for a name that stays inside the folder it is joined to.
bool IsPlainJournalName(const QString& name);

}  // namespace orvane
