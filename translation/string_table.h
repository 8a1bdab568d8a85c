#pragma once
// The program-wide table of user-interface texts. Every text the program
// shows in its own words is looked up here by its id (translation/
// string_ids.h); the table is filled once at start-up from the selected
// language file and only read afterwards.

#include <QString>
#include <QtGlobal>
#include <vector>

namespace orvane {

class StringTable {
  public:
    // Ids 1 to kSize exist once a file has been loaded; the file fills
    // 1 to kLanguageFileLines, the rest stays empty.
    static constexpr int kSize = 5000;

    // Loads the language file at `path`: line n becomes entry n. Returns 0,
    // or the error that stopped the reading (see language_file.h); entries
    // read before a failure keep their new texts, the others their old
    // ones, and only a completely read file can switch to right-to-left.
    // The two characters "\n" in a line stand for a line break, since a
    // line cannot hold one.
    qint32 Load(const QString& path);

    // The text of `id`; empty for an id out of range or never loaded.
    const QString& Text(int id) const;

    // Set by a loaded file whose direction line is exactly "RTL"; never
    // cleared by a later load.
    bool IsRightToLeft() const { return rightToLeft_; }

    void Clear();

  private:
    std::vector<QString> entries_;
    bool rightToLeft_ = false;
};

// The one table the program's windows use.
StringTable& ProgramStringTable();

// Shorthands for ProgramStringTable().
const QString& Text(int id);
qint32 LoadTranslation(const QString& path);
bool IsRightToLeft();

// `text` with its first "<%S>" replaced by `value`; later markers stay, and
// a text without the marker comes back unchanged.
QString ReplaceMarker(const QString& text, const QString& value);

// Empties the program's table and clears its direction, so that each test
// starts as the program does. Never called by the program itself.
void ResetStringTableForTesting();

}  // namespace orvane
