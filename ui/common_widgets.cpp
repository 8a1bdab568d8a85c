#include "ui/common_widgets.h"

#include <dirent.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/atomic_file.h"
#include "core/common_functions.h"
#include "journal/journal_writer.h"
#include "telephony/line_devices.h"
#include "telephony/tapi.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

constexpr qint64 kCopyChunk = 64 * 1024;
constexpr int kBalloonMs = 10'000;
const QString kBalloonName = QStringLiteral("textBoxBalloon");

FileDialogHook& DialogHook() {
    static FileDialogHook hook;
    return hook;
}

bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/'));
}

bool SameContents(const QString& a, const QString& b) {
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) ||
        first.size() != second.size()) {
        return false;
    }
    while (!first.atEnd()) {
        if (first.read(kCopyChunk) != second.read(kCopyChunk)) {
            return false;
        }
    }
    return true;
}

// "ring.wav" -> "ring (2).wav", the first name not taken in the folder.
QString FreeName(const QDir& folder, const QString& name) {
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2; n < 1000; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix);
        if (!QFileInfo::exists(folder.filePath(candidate))) {
            return candidate;
        }
    }
    return {};
}

void JournalFileListError(int error) {
    WriteSysLog(QStringLiteral("errFilFile ") + QString::number(error) + QLatin1Char(' ') +
                    QString::fromLocal8Bit(std::strerror(error)),
                0, QString());
}

class TextBoxBalloon final : public QFrame {
  public:
    TextBoxBalloon(QLineEdit* box, const QString& title, const QString& text)
        : QFrame(box, Qt::ToolTip) {
        setObjectName(kBalloonName);
        setAttribute(Qt::WA_DeleteOnClose);
        setFrameShape(QFrame::Box);
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::ToolTipBase);
        setForegroundRole(QPalette::ToolTipText);

        auto* icon = new QLabel(this);
        const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(side));
        // Titles and texts may hold a caller's name: never read them as markup.
        auto* titleLabel = new QLabel(title, this);
        titleLabel->setObjectName(QStringLiteral("balloonTitle"));
        titleLabel->setTextFormat(Qt::PlainText);
        QFont bold = titleLabel->font();
        bold.setBold(true);
        titleLabel->setFont(bold);
        auto* textLabel = new QLabel(text, this);
        textLabel->setObjectName(QStringLiteral("balloonText"));
        textLabel->setTextFormat(Qt::PlainText);
        textLabel->setWordWrap(true);

        auto* head = new QHBoxLayout;
        head->addWidget(icon);
        head->addWidget(titleLabel, 1);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(head);
        layout->addWidget(textLabel);

        QObject::connect(box, &QLineEdit::textEdited, this, &QWidget::close);
        QTimer::singleShot(kBalloonMs, this, &QWidget::close);
        adjustSize();
        move(box->mapToGlobal(QPoint(box->width() / 8, box->height())));
    }

  protected:
    void mousePressEvent(QMouseEvent*) override { close(); }
};

}  // namespace

FileDialogHook SetFileDialogHook(FileDialogHook hook) {
    return std::exchange(DialogHook(), std::move(hook));
}

QString RunFileDialog(const FileDialogRequest& request) {
    if (DialogHook()) {
        return DialogHook()(request);
    }
    if (request.kind == FileDialogRequest::Kind::Folder) {
        return QFileDialog::getExistingDirectory(
            request.owner, request.title,
            request.folder.isEmpty() ? QDir::homePath() : request.folder);
    }
    if (request.kind == FileDialogRequest::Kind::Open) {
        return QFileDialog::getOpenFileName(request.owner, request.title, QString(),
                                            request.filter);
    }
    return QFileDialog::getSaveFileName(request.owner, request.title, ProposedSavePath(request),
                                        request.filter, request.selectedFilter);
}

QString ProposedSavePath(const FileDialogRequest& request) {
    return QDir(request.folder.isEmpty() ? QDir::homePath() : request.folder)
        .filePath(request.proposedName);
}

bool IsFormLoaded(const QString& name) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [&name](const QWidget* window) { return window->objectName() == name; });
}

QString AddSoundFile(QWidget* owner, const QString& targetFolder) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.owner = owner;
    request.title = QStringLiteral("Add Sound");
    request.filter = QStringLiteral("wav (*.wav)");
    const QString chosen = RunFileDialog(request);
    QString name = LastPathPart(chosen);
    if (chosen.isEmpty() || !IsPlainFileName(name) || !QFileInfo(chosen).isFile()) {
        return {};
    }
    const QDir folder(targetFolder);
    if (!folder.exists()) {
        return {};
    }
    const QFileInfo existing(folder.filePath(name));
    if (existing.exists() || existing.isSymLink()) {
        if (existing.isFile() &&
            (existing.canonicalFilePath() == QFileInfo(chosen).canonicalFilePath() ||
             SameContents(chosen, existing.filePath()))) {
            return name;
        }
        name = FreeName(folder, name);
        if (name.isEmpty()) {
            return {};
        }
    }
    return QFile::copy(chosen, folder.filePath(name)) ? name : QString();
}

SaveCopyOutcome SaveCopyAs(const QString& source, QWidget* owner, const QString& extension,
                           const QString& folder) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.owner = owner;
    request.title = Text(ids::kSaveDialogTitle);
    if (request.title.isEmpty()) {
        request.title = QStringLiteral("Save");
    }
    request.filter = extension + QStringLiteral(" (*.") + extension + QLatin1Char(')');
    request.proposedName = LastPathPart(source);
    request.folder = folder;
    SaveCopyOutcome outcome;
    outcome.chosen = RunFileDialog(request);
    if (!outcome.chosen.isEmpty()) {
        outcome.error = CopyFileUnchanged(source, outcome.chosen).error;
    }
    return outcome;
}

void FillFileList(QComboBox* box, const QString& folder, const QString& pattern,
                  const QString& name) {
    if (box == nullptr) {
        return;
    }
    QStringList names;
    if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
        ::closedir(dir);
        names = QDir(folder).entryList(QStringList{pattern}, QDir::Files,
                                       QDir::Name | QDir::IgnoreCase);
    } else {
        JournalFileListError(errno);
    }
    FillNameList(box, names, name);
}

void FillNameList(QComboBox* box, const QStringList& names, const QString& name) {
    if (box == nullptr) {
        return;
    }
    box->clear();
    box->addItems(names);
    if (name.isEmpty()) {
        if (box->count() > 0) {
            box->setCurrentIndex(0);
        }
        return;
    }
    if (box->isEditable()) {
        box->setEditText(name);
        return;
    }
    const int index = box->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        JournalFileListError(ENOENT);
    }
    box->setCurrentIndex(index);
}

void ShowTextBoxBalloon(QLineEdit* box, const QString& title, const QString& text) {
    if (box == nullptr) {
        return;
    }
    // One balloon per box: a new one replaces the old.
    const auto old = box->findChildren<QFrame*>(kBalloonName, Qt::FindDirectChildrenOnly);
    for (QFrame* balloon : old) {
        delete balloon;
    }
    (new TextBoxBalloon(box, title, text))->show();
}

bool FillLineDevices(Tapi& tapi, QComboBox* box, bool recommendedOnly) {
    return FillLineDevices(ListLineDevices(tapi), box, recommendedOnly);
}

bool FillLineDevices(const std::vector<LineDetails>& lines, QComboBox* box, bool recommendedOnly) {
    if (box == nullptr) {
        return false;
    }
    const int previous = box->currentIndex();
    box->clear();
    for (const LineDetails& line : lines) {
        if (!recommendedOnly || IsRecommendedLine(line)) {
            box->addItem(line.deviceName, line.deviceName);
        }
    }
    box->setCurrentIndex(previous < box->count() ? previous : -1);
    return box->count() > 0;
}

QPoint GetMousePosition() {
    return QCursor::pos();
}

}  // namespace orvane
