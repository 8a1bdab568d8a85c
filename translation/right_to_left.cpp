#include "translation/right_to_left.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QList>
#include <QTextDocument>
#include <QVariant>
#include <QWidget>

#include "translation/bidi_text.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

constexpr char kKeepLeftToRight[] = "orvaneKeepLeftToRight";
// A label's alignment before it was right-aligned, so a label that ends up
// in a left-to-right part gets it back.
constexpr char kDesignAlignment[] = "orvaneDesignAlignment";

bool InsideLeftToRightIsland(const QWidget* widget, const QWidget* window) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (w->property(kKeepLeftToRight).toBool()) {
            return true;
        }
        if (w == window) {
            break;
        }
    }
    return false;
}

}  // namespace

void ApplyRightToLeft(QWidget* window) {
    if (window == nullptr || !IsRightToLeft()) {
        return;
    }
    window->setLayoutDirection(Qt::RightToLeft);
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (InsideLeftToRightIsland(label, window)) {
            continue;
        }
        label->setLayoutDirection(Qt::RightToLeft);
        if (!label->property(kDesignAlignment).isValid()) {
            label->setProperty(kDesignAlignment, label->alignment().toInt());
        }
        // Absolute: a plain AlignRight is mirrored to the left in a
        // right-to-left widget.
        label->setAlignment((label->alignment() & Qt::AlignVertical_Mask) | Qt::AlignRight |
                            Qt::AlignAbsolute);
    }
    for (QComboBox* combo : window->findChildren<QComboBox*>()) {
        if (!InsideLeftToRightIsland(combo, window)) {
            combo->setLayoutDirection(Qt::RightToLeft);
        }
    }
    IsolateRightToLeftTexts(window);
}

void IsolateRightToLeftTexts(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    QList<QLabel*> labels = window->findChildren<QLabel*>();
    QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
    QList<QGroupBox*> groups = window->findChildren<QGroupBox*>();
    if (auto* label = qobject_cast<QLabel*>(window)) {
        labels.prepend(label);
    }
    for (QLabel* label : labels) {
        const QString text = label->text();
        // A leading control character would hide the markup of rich text.
        const bool rich = label->textFormat() == Qt::RichText ||
                          (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        if (!rich && RightToLeftRun(text) != text) {
            label->setText(RightToLeftRun(text));
        }
    }
    for (QAbstractButton* button : buttons) {
        if (const QString text = button->text(); RightToLeftRun(text) != text) {
            button->setText(RightToLeftRun(text));
        }
    }
    for (QGroupBox* group : groups) {
        if (const QString title = group->title(); RightToLeftRun(title) != title) {
            group->setTitle(RightToLeftRun(title));
        }
    }
}

void KeepLeftToRight(QWidget* widget) {
    if (widget == nullptr) {
        return;
    }
    widget->setProperty(kKeepLeftToRight, true);
    // Parts made right-to-left before this call would not follow the
    // widget's own direction: undo them one by one.
    QList<QWidget*> all = widget->findChildren<QWidget*>();
    all.prepend(widget);
    for (QWidget* w : all) {
        if (w == widget || w->testAttribute(Qt::WA_SetLayoutDirection)) {
            w->setLayoutDirection(Qt::LeftToRight);
        }
        auto* label = qobject_cast<QLabel*>(w);
        if (const QVariant design = w->property(kDesignAlignment);
            label != nullptr && design.isValid()) {
            label->setAlignment(Qt::Alignment::fromInt(design.toInt()));
        }
    }
}

}  // namespace orvane
