#include "settings/pages/settings_page.h"

#include <algorithm>
#include <utility>

#include "core/product.h"

namespace orvane {

SettingsPage::SettingsPage(const QString& key, std::vector<Value> values, QObject* parent)
    : SettingsPage(kHkeyLocalMachine, product::kRootKey, key, std::move(values), parent) {}

SettingsPage::SettingsPage(quint32 root, const QString& keyRoot, const QString& key,
                           std::vector<Value> values, QObject* parent)
    : QObject(parent), store_(root, keyRoot, key), values_(std::move(values)) {
    for (const Value& value : values_) {
        held_.push_back(Read(value));
    }
}

void SettingsPage::Reload() {
    bool differs = false;
    for (std::size_t i = 0; i < values_.size(); ++i) {
        QVariant now = Read(values_[i]);
        if (now != held_[i]) {
            held_[i] = std::move(now);
            differs = true;
        }
    }
    if (differs) {
        Notify();
    }
}

SettingsPage::Batch::Batch(SettingsPage& page) : page_(page) {
    ++page_.batches_;
}

SettingsPage::Batch::~Batch() {
    if (--page_.batches_ == 0 && std::exchange(page_.notifyAfterBatch_, false)) {
        Q_EMIT page_.changed();
    }
}

void SettingsPage::Notify() {
    if (batches_ > 0) {
        notifyAfterBatch_ = true;
    } else {
        Q_EMIT changed();
    }
}

const SettingsPage::Value& SettingsPage::ValueNamed(const QString& name) const {
    const auto found = std::find_if(values_.begin(), values_.end(),
                                    [&name](const Value& value) { return value.name == name; });
    Q_ASSERT(found != values_.end());
    return *found;
}

QVariant SettingsPage::Read(const Value& value) const {
    const QVariant stored = store_.GetRegistryValue(value.name, value.missing);
    switch (value.kind) {
        case Kind::kText:
            return stored.toString();
        case Kind::kCheck:
            return ReadCheck(stored);
        case Kind::kNumber:
            return ReadNumber(stored);
        case Kind::kFolder: {
            // File paths are the folder and the name put together.
            QString folder = stored.toString();
            if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) {
                folder += QLatin1Char('/');
            }
            return folder;
        }
        case Kind::kRaw:
            return stored;
    }
    return stored;
}

QString SettingsPage::TextOf(const QString& name) const {
    return Read(ValueNamed(name)).toString();
}

bool SettingsPage::CheckOf(const QString& name) const {
    return Read(ValueNamed(name)).toBool();
}

int SettingsPage::NumberOf(const QString& name) const {
    return Read(ValueNamed(name)).toInt();
}

QVariant SettingsPage::RawOf(const QString& name) const {
    return Read(ValueNamed(name));
}

bool SettingsPage::SetText(const QString& name, const QString& value) {
    if (!store_.SetRegistryValue(name, value, kRegSz)) {
        return false;
    }
    Follow(name);
    return true;
}

bool SettingsPage::SetCheck(const QString& name, bool value) {
    return SetText(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool SettingsPage::SetNumber(const QString& name, int value) {
    return SetText(name, QString::number(value));
}

bool SettingsPage::Remove(const QString& name) {
    const bool removed =
        store_.DeleteValue(name) == kErrorSuccess || !store_.GetRegistryValue(name).isValid();
    Follow(name);
    return removed;
}

void SettingsPage::Follow(const QString& name) {
    for (std::size_t i = 0; i < values_.size(); ++i) {
        if (values_[i].name == name) {
            QVariant now = Read(values_[i]);
            if (now != held_[i]) {
                held_[i] = std::move(now);
                Notify();
            }
            return;
        }
    }
}

}  // namespace orvane
