#include "app/calls_list/calls_folder_bar.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

#include "translation/bidi_text.h"
#include "translation/right_to_left.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

constexpr int kIconSize = 16;
constexpr int kMargin = 4;

}  // namespace

CallsFolderBar::CallsFolderBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("callsFolderBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin / 2, kMargin, kMargin / 2);
    layout->setSpacing(kMargin);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(kIconSize, kIconSize));
    layout->addWidget(icon);
    caption_ = new QLabel(Text(ids::kCallsFolderCaption), this);
    caption_->setObjectName(QStringLiteral("callsFolderCaption"));
    layout->addWidget(caption_);
    path_ = new QLabel(this);
    path_->setObjectName(QStringLiteral("callsFolder"));
    // A path may hold anything: never read as markup.
    path_->setTextFormat(Qt::PlainText);
    // Any width will do: the path is shortened to what is left.
    path_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    path_->setMinimumWidth(0);
    layout->addWidget(path_, 1);
    // The window itself keeps its layout; this bar reads as the language
    // does, caption first, the path right beside it.
    ApplyRightToLeft(this);
    ShowPath();
}

void CallsFolderBar::SetFolder(const QString& folder) {
    folder_ = folder;
    ShowPath();
}

void CallsFolderBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ShowPath();
}

void CallsFolderBar::ShowPath() {
    if (folder_.isEmpty()) {
        path_->setText(Text(ids::kCallsFolderNone));
        path_->setToolTip(QString());
        return;
    }
    const QString full = QDir::toNativeSeparators(folder_);
    const int width = path_->width();
    const QString shown =
        width > 0 ? path_->fontMetrics().elidedText(full, Qt::ElideMiddle, width) : full;
    // A path reads left to right inside right-to-left text too.
    path_->setText(LeftToRightIsolate(shown));
    path_->setToolTip(full);
}

}  // namespace orvane
