#include "app/about/about_box.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include "audio/sonvel.h"
#include "core/product.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

constexpr int kIconSize = 64;
constexpr int kTextWidth = 420;

QLabel* AddLabel(QVBoxLayout* layout, const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    return label;
}

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(Text(ids::kMenuAbout));
    auto* layout = new QVBoxLayout(this);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/orvane.svg")).pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignHCenter);
    layout->addWidget(icon);

    QLabel* name = AddLabel(layout, product::kApplicationTitle, "lblName");
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    name->setFont(big);
    name->setAlignment(Qt::AlignHCenter);

    const QString libraries =
        QStringList{ReplaceMarker(Text(ids::kAboutLibraryQt), QString::fromLatin1(qVersion())),
                    Text(ids::kAboutLibraryGsm), Text(ids::kAboutLibraryAlsa),
                    Text(ids::kAboutLibraryExport)}
            .join(QLatin1Char('\n'));
    lines_ = {
        product::kApplicationTitle,
        Text(ids::kAboutVersion) + QLatin1Char(' ') + product::kVersionText,
        Text(ids::kAboutAudioEngine) + QStringLiteral(": Sonvel ") +
            QString::fromLatin1(sonvel::Version()),
        Text(ids::kAboutLicence),
        Text(ids::kAboutLibraries) + QLatin1Char(':'),
        libraries,
    };
    AddLabel(layout, lines_[1], "lblVersion")->setAlignment(Qt::AlignHCenter);
    AddLabel(layout, lines_[2], "lblEngine")->setAlignment(Qt::AlignHCenter);
    layout->addSpacing(kIconSize / 4);
    AddLabel(layout, lines_[3], "lblLicence")->setMinimumWidth(kTextWidth);
    layout->addSpacing(kIconSize / 4);
    AddLabel(layout, lines_[4], "lblLibrariesTitle");
    AddLabel(layout, lines_[5], "lblLibraries");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    if (const QString ok = Text(ids::kOk); !ok.isEmpty()) {
        buttons->button(QDialogButtonBox::Ok)->setText(ok);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString AboutBox::PlainText() const {
    return lines_.join(QLatin1Char('\n'));
}

}  // namespace orvane
