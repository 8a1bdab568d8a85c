#pragma once
// The translation editor (frmTranser): a source and a target translation
// side by side in a grid, one value at a time edited in frmTrans, and the
// target created, renamed or deleted in frmTransFile. It works on the files
// of the translations folder and never touches the program's string table.

#include <QDialog>
#include <QString>

#include "translation/translation_files.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace orvane {

// frmTrans: one value.
class TranslationValueDialog final : public QDialog {
  public:
    explicit TranslationValueDialog(QWidget* parent);
    void Fill(int id, const QString& category, const QString& source, const QString& target,
              bool targetRightToLeft);
    int Id() const { return id_; }
    QPlainTextEdit* TargetBox() const { return target_; }

  private:
    int id_ = 0;
    QLabel* code_ = nullptr;
    QLabel* category_ = nullptr;
    QPlainTextEdit* source_ = nullptr;
    QPlainTextEdit* target_ = nullptr;
};

// frmTransFile: the name and direction of a new or renamed translation.
class TranslationFileDialog final : public QDialog {
  public:
    explicit TranslationFileDialog(QWidget* parent);
    // `oldName` empty: a new translation.
    void Fill(const QString& oldName, bool rightToLeft);
    const QString& OldName() const { return oldName_; }
    QLineEdit* NameBox() const { return name_; }
    QCheckBox* RightToLeftBox() const { return rightToLeft_; }

  private:
    QString oldName_;
    QLineEdit* name_ = nullptr;
    QCheckBox* rightToLeft_ = nullptr;
};

class TranslationEditor final : public QDialog {
  public:
    explicit TranslationEditor(QWidget* parent = nullptr);

    // Shows the window modal with `selected` (the translation in use) as
    // the source.
    void Open(const QString& selected);

    // Refills both lists from the folder, then sets the texts that are not
    // empty, and loads.
    void SetCombos(const QString& source, const QString& target);
    // Reads both files into the grid and the working document; `row` is
    // selected.
    void FillTable(int row);

    // The buttons.
    void EditRow(int row);  // a double click; rows without an id do nothing
    void NewTranslation();
    void EditTranslation();
    void DeleteTranslation();

    QTableWidget* Grid() const { return grid_; }
    QComboBox* SourceBox() const { return source_; }
    QComboBox* TargetBox() const { return target_; }
    TranslationValueDialog* ValueDialog() const { return valueDialog_; }
    TranslationFileDialog* FileDialog() const { return fileDialog_; }

  private:
    void ApplyTexts();
    void SaveValue();
    void FileDialogAccepted();
    void ShowFileChange(FileChange change, const QString& name);

    QComboBox* source_ = nullptr;
    QComboBox* target_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QLabel* sourceLabel_ = nullptr;
    QLabel* targetLabel_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* editValue_ = nullptr;
    TranslationValueDialog* valueDialog_ = nullptr;
    TranslationFileDialog* fileDialog_ = nullptr;
    LanguageDocument document_;
    QString documentName_;
    int editedRow_ = 0;
};

}  // namespace orvane
