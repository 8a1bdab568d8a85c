// The calls list on screen (offscreen platform): bold unread rows, the note
// line's height, numbers kept left-to-right, the empty panel and the keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <vector>

#include "app/calls_list/calls_list_view.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

namespace col = calls_column;
const QString kFolder = QStringLiteral("/calls/");

CallRecord Record(const QString& read, const QString& notes = {}) {
    CallRecord record;
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::CallerName, QStringLiteral("Ann"));
    record.Set(CallField::CallerNumber, QStringLiteral("+1 555 0100"));
    record.Set(CallField::CallDate, QStringLiteral("12/7/26"));
    record.Set(CallField::CallTime, QStringLiteral("4:34:54 PM"));
    record.Set(CallField::ReadFlag, read);
    if (!notes.isEmpty()) {
        record.Set(CallField::Notes, notes);
    }
    return record;
}

void Click(QWidget* widget, QPoint at) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

void Press(QWidget* widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Dark pixels of one cell: bold text leaves more ink.
int Ink(CallsListView& view, int row, int column) {
    const QRect cell = view.visualRect(view.model()->index(row, column));
    const QImage image = view.viewport()->grab(cell).toImage();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return ink;
}

TEST(CallsListView, BoldUnreadNoteLineHeightEmptyPanelAndKeys) {
    std::vector<std::pair<qint32, QString>> marks;
    std::vector<qint32> deleted;
    CallStoreOps ops;
    ops.setUserMark = [&](qint32 n, const QString&, const QString& v) {
        marks.emplace_back(n, v);
        return true;
    };
    ops.deleteRecords = [&](std::vector<qint32> numbers, const QString&) {
        deleted = numbers;
        return true;
    };
    CallsListModel model(ops);
    CallsListPanel panel(model);
    QProgressBar progress;
    panel.SetProgressBar(&progress);
    panel.resize(700, 400);
    panel.show();
    auto* empty = panel.findChild<QFrame*>(QStringLiteral("picNoItems"));
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_FALSE(panel.View()->isVisible());
    panel.ButtonClicked(CallsListPanel::kDelete);  // nothing to act on
    EXPECT_TRUE(deleted.empty());

    model.SetRecords({Record(QStringLiteral("0")), Record(QStringLiteral("1"), "a\r\nb\r\nc")},
                     kFolder);
    EXPECT_FALSE(empty->isVisible());
    CallsListView& view = *panel.View();
    ASSERT_TRUE(view.isVisible());
    EXPECT_GT(Ink(view, 0, col::kCaller), Ink(view, 1, col::kCaller) + 10);
    EXPECT_EQ(view.rowHeight(0), kCallsDefaultRowHeight);
    EXPECT_EQ(view.rowHeight(1), view.fontMetrics().height() + kCallsDefaultRowHeight + 30);
    EXPECT_TRUE(view.isColumnHidden(col::kSpareMark));
    EXPECT_FALSE(view.isColumnHidden(col::kUserMark));
    EXPECT_TRUE(view.isColumnHidden(col::kSortedDate));
    EXPECT_EQ(view.DisplayText(0, col::kCaller), QStringLiteral("Ann - ") + QChar(0x2066) +
                                                     QStringLiteral("+1 555 0100") + QChar(0x2069));

    // A click on the mark sets it and leaves the row, not the mark, current.
    const QRect mark = view.visualRect(model.index(1, col::kUserMark));
    Click(view.viewport(), mark.topLeft() + QPoint(4, 4));
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0], std::make_pair(qint32{2}, QStringLiteral("1")));
    EXPECT_EQ(view.currentIndex().row(), 1);
    EXPECT_NE(view.currentIndex().column(), col::kUserMark);

    // The date header sorts by its hidden twin and shows the arrow itself.
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    EXPECT_TRUE(view.horizontalHeader()->isSortIndicatorShown());
    EXPECT_EQ(view.horizontalHeader()->sortIndicatorSection(), col::kDateTime);

    std::vector<int> notes;
    QObject::connect(&panel, &CallsListPanel::OpenNoteRequested,
                     [&](int row) { notes.push_back(row); });
    view.SetCurrentRow(0);
    Press(&view, Qt::Key_Return);
    EXPECT_EQ(notes, (std::vector<int>{0}));
    Press(&view, Qt::Key_Delete);
    EXPECT_EQ(deleted, (std::vector<qint32>{1}));  // equal dates keep record order
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(progress.isVisible());
}

}  // namespace
}  // namespace orvane
