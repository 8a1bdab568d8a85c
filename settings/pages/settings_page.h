#pragma once
// One page of the settings over the store: typed reads of its values with
// their defaults, typed writes under the names of settings/names/, and
// changed() when a value really changes, by a write here or by another
// process (Reload). Each page has its own store handle on its own key, so
// no page moves another's.

#include <QObject>
#include <QString>
#include <QVariant>
#include <vector>

#include "settings/store/registry_routines.h"

namespace orvane {

class SettingsPage : public QObject {
    Q_OBJECT

  public:
    // Reads the page again; changed() once when any value differs from
    // what the page last held.
    void Reload();

    // Writes made while one lives are told as one change, when it ends.
    class Batch {
      public:
        explicit Batch(SettingsPage& page);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        SettingsPage& page_;
    };

  Q_SIGNALS:
    void changed();

  protected:
    // How a stored value is read: its text, a check box (ReadCheck), a
    // number (ReadNumber), a folder (text ending in "/" unless empty), or
    // the stored value as it is.
    enum class Kind { kText, kCheck, kNumber, kFolder, kRaw };
    struct Value {
        QString name;
        Kind kind;
        // What a missing value reads as, in the form it is stored in.
        QVariant missing = QVariant();
    };

    // `key` is below the settings root key ("" for the root key itself).
    SettingsPage(const QString& key, std::vector<Value> values, QObject* parent);
    // `key` below `keyRoot` of another root (the log-on entry).
    SettingsPage(quint32 root, const QString& keyRoot, const QString& key,
                 std::vector<Value> values, QObject* parent);

    QString TextOf(const QString& name) const;
    bool CheckOf(const QString& name) const;
    int NumberOf(const QString& name) const;
    QVariant RawOf(const QString& name) const;

    // Each stores the value as text; false, changing nothing, when the
    // store refuses it (missing key, broken file).
    bool SetText(const QString& name, const QString& value);
    bool SetCheck(const QString& name, bool value);
    bool SetNumber(const QString& name, int value);
    bool Remove(const QString& name);
    // changed(), or once at the end of the batch under way.
    void Notify();

  private:
    const Value& ValueNamed(const QString& name) const;
    QVariant Read(const Value& value) const;
    // Takes the value as now stored; changed() when it differs.
    void Follow(const QString& name);

    RegistryRoutines store_;
    std::vector<Value> values_;
    std::vector<QVariant> held_;
    int batches_ = 0;
    bool notifyAfterBatch_ = false;
};

}  // namespace orvane
