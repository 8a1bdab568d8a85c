#include "app/calls_list/calls_list_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/calls_list/recordings_drag.h"
#include "calls/list/calls_list_model.h"
#include "calls/phonebook/phone_number.h"
#include "translation/bidi_text.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/palette_colours.h"

namespace orvane {
namespace {

namespace col = calls_column;

constexpr int kIconSize = 16;
constexpr int kToolbarIconSize = 16;
constexpr int kMarkColumnWidth = 32;
constexpr int kKindColumnWidth = 100;
constexpr int kTextColumnWidth = 200;
constexpr int kCellPadding = 3;

// The list's icons, drawn rather than shipped: a flag for the user's mark,
// dots for answered calls (filled while unread), arrows for the direction.
void DrawCallIcon(QPainter& painter, int icon, const QRect& box) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(box).adjusted(2, 2, -2, -2);
    switch (icon) {
        case calls_icon::kUserMark: {
            painter.setPen(QPen(Qt::darkGray, 1.5));
            painter.drawLine(r.topLeft(), r.bottomLeft());
            QPainterPath flag;
            flag.moveTo(r.left(), r.top());
            flag.lineTo(r.right(), r.top() + r.height() / 4);
            flag.lineTo(r.left(), r.top() + r.height() / 2);
            flag.closeSubpath();
            painter.fillPath(flag, QColor(240, 72, 72));
            break;
        }
        case calls_icon::kSpareMark:
            painter.setBrush(Qt::gray);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(r.center(), r.width() / 4, r.height() / 4);
            break;
        case calls_icon::kAnsweredUnread:
        case calls_icon::kAnsweredRead:
            painter.setPen(QPen(QColor(61, 134, 224), 1.5));
            painter.setBrush(icon == calls_icon::kAnsweredUnread ? QBrush(QColor(61, 134, 224))
                                                                 : QBrush(Qt::NoBrush));
            painter.drawEllipse(r.adjusted(2, 2, -2, -2));
            break;
        case calls_icon::kIncoming:
        case calls_icon::kOutgoing: {
            const bool in = icon == calls_icon::kIncoming;
            painter.setPen(QPen(in ? QColor(46, 158, 72) : QColor(220, 120, 20), 2));
            const QPointF tip = in ? r.bottomLeft() : r.topRight();
            const QPointF tail = in ? r.topRight() : r.bottomLeft();
            painter.drawLine(tail, tip);
            const qreal head = r.width() / 2;
            const qreal dy = in ? -head : head;
            const qreal dx = in ? head : -head;
            painter.drawLine(tip, tip + QPointF(0, dy));
            painter.drawLine(tip, tip + QPointF(dx, 0));
            break;
        }
        default:
            break;
    }
    painter.restore();
}

// A text of the language, or `fallback` where the language has none: a
// question must never show as an empty box.
QString TextOr(int id, const QString& fallback) {
    const QString& text = Text(id);
    return text.isEmpty() ? fallback : text;
}

CallsListView::DragHook& DragHookSlot() {
    static CallsListView::DragHook hook;
    return hook;
}

// A menu entry with the key that runs the same command from the list or
// the window, shown beside it (display only: the menu itself keeps its
// own keys). The menu is laid out left to right in every language, as the
// window's menus are; a Hebrew entry still reads right to left ("…" after
// the word).
void SetEntryText(QAction* action, const QString& text, const QKeySequence& key = {}) {
    const QString entry = RightToLeftRun(text);
    action->setText(
        key.isEmpty() ? entry : entry + QLatin1Char('\t') + key.toString(QKeySequence::NativeText));
}

// Toolbar glyphs by position.
QIcon ToolbarIcon(int position) {
    QPixmap pixmap(kToolbarIconSize, kToolbarIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r(2, 2, kToolbarIconSize - 4, kToolbarIconSize - 4);
    painter.setPen(QPen(QColor(125, 133, 144), 1.5));
    switch (position) {
        case CallsListPanel::kPrevious:
        case CallsListPanel::kNext: {
            QPainterPath arrow;
            const bool up = position == CallsListPanel::kPrevious;
            arrow.moveTo(r.center().x(), up ? r.top() : r.bottom());
            arrow.lineTo(r.left(), up ? r.bottom() : r.top());
            arrow.lineTo(r.right(), up ? r.bottom() : r.top());
            arrow.closeSubpath();
            painter.fillPath(arrow, QColor(61, 134, 224));
            break;
        }
        case CallsListPanel::kNotes:
            painter.setBrush(QColor(255, 240, 150));
            painter.drawRect(r);
            for (int i = 1; i <= 3; ++i) {
                const qreal y = r.top() + i * r.height() / 4;
                painter.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
            }
            break;
        case CallsListPanel::kSaveToPc:
            painter.setBrush(QColor(61, 134, 224));
            painter.drawRect(r);
            painter.fillRect(QRectF(r.left() + 3, r.top(), r.width() - 6, r.height() / 3),
                             Qt::white);
            break;
        case CallsListPanel::kDelete:
            painter.setPen(QPen(QColor(240, 72, 72), 2.5));
            painter.drawLine(r.topLeft(), r.bottomRight());
            painter.drawLine(r.topRight(), r.bottomLeft());
            break;
        case CallsListPanel::kMarkUnread:
        case CallsListPanel::kMarkRead:
            DrawCallIcon(painter,
                         position == CallsListPanel::kMarkUnread ? calls_icon::kAnsweredUnread
                                                                 : calls_icon::kAnsweredRead,
                         pixmap.rect());
            break;
        case CallsListPanel::kCallBack:
            DrawCallIcon(painter, calls_icon::kOutgoing, pixmap.rect());
            break;
        default:
            break;
    }
    return QIcon(pixmap);
}

// Cells 1 to 6 single-line with an ellipsis, bold while unread; the note
// is drawn word-wrapped in blue across the whole row under the cells.
class CallsListDelegate final : public QStyledItemDelegate {
  public:
    explicit CallsListDelegate(CallsListView& view) : QStyledItemDelegate(&view), view_(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem base = option;
        initStyleOption(&base, index);
        base.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : nullptr;
        if (style != nullptr) {
            style->drawControl(QStyle::CE_ItemViewItem, &base, painter, widget);
        }
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
        const QRect line(option.rect.left(), option.rect.top(), option.rect.width(),
                         kCallsDefaultRowHeight);
        QRect textBox = line.adjusted(kCellPadding, 0, -kCellPadding, 0);
        const int icon = index.data(CallsListModel::kIconRole).toInt();
        if (icon != calls_icon::kNone) {
            const QRect iconBox(textBox.left(), line.top() + (line.height() - kIconSize) / 2,
                                kIconSize, kIconSize);
            DrawCallIcon(*painter, icon, iconBox);
            textBox.setLeft(iconBox.right() + kCellPadding);
        }
        const QString text = view_.DisplayText(index.row(), index.column());
        const auto* model = qobject_cast<const CallsListModel*>(index.model());
        QFont font = option.font;
        font.setBold(index.data(CallsListModel::kBoldRole).toBool());
        painter->save();
        painter->setFont(font);
        painter->setPen(option.palette.color(textRole));
        const QFontMetrics metrics(font);
        painter->drawText(textBox, Qt::AlignVCenter | Qt::AlignLeading | Qt::TextSingleLine,
                          metrics.elidedText(text, Qt::ElideRight, textBox.width()));
        if (model != nullptr && model->HasNote(index.row())) {
            // Each cell draws its slice of the row-wide note.
            const int left = -view_.horizontalScrollBar()->value();
            const QRect note(
                left + kCellPadding, line.bottom() + 1,
                view_.viewport()->width() + view_.horizontalScrollBar()->value() - 2 * kCellPadding,
                option.rect.bottom() - line.bottom());
            painter->setClipRect(option.rect);
            painter->setFont(option.font);
            painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                                     : NoteTextColour(option.palette));
            painter->drawText(note, Qt::AlignTop | Qt::AlignLeading | Qt::TextWordWrap,
                              model->CellText(index.row(), col::kBody));
        }
        painter->restore();
    }

  private:
    CallsListView& view_;
};

// The header draws the icon the model gives the narrow icon columns.
class CallsListHeader final : public QHeaderView {
  public:
    explicit CallsListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override {
        // The style's header drawing leaves the painter changed: the icon
        // would not show.
        painter->save();
        QHeaderView::paintSection(painter, rect, section);
        painter->restore();
        if (model() == nullptr) {
            return;
        }
        const int icon =
            model()->headerData(section, orientation(), CallsListModel::kIconRole).toInt();
        if (icon != calls_icon::kNone) {
            const QRect box(rect.center().x() - kIconSize / 2, rect.center().y() - kIconSize / 2,
                            kIconSize, kIconSize);
            DrawCallIcon(*painter, icon, box);
        }
    }
};

}  // namespace

CallsListView::CallsListView(CallsListModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setObjectName(QStringLiteral("vbalGrid1"));
    setHorizontalHeader(new CallsListHeader(this));
    setModel(&model_);
    // One Tab stop, as in a file manager: Tab leaves the list for the
    // player's buttons, arrows move within it.
    setTabKeyNavigation(false);
    setItemDelegate(new CallsListDelegate(*this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Recordings are dragged out as copies; nothing is dropped in.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setShowGrid(false);
    setWordWrap(false);
    setFrameShape(QFrame::Box);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kCallsDefaultRowHeight);
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    header->setSortIndicatorShown(false);
    const std::vector<int> shown = ShownColumns();
    for (int column = 0; column < col::kCount; ++column) {
        setColumnHidden(column, std::find(shown.begin(), shown.end(), column) == shown.end());
    }
    setColumnWidth(col::kUserMark, kMarkColumnWidth);
    setColumnWidth(col::kKind, kKindColumnWidth);
    setColumnWidth(col::kCaller, kTextColumnWidth);
    setColumnWidth(col::kDateTime, kTextColumnWidth);
    connect(header, &QHeaderView::sectionClicked, this, &CallsListView::OnHeaderClicked);
    // A rebuild keeps the calls the user chose selected and in view.
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { place_ = RememberPlace(); });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        UpdateRowHeights();
        RestorePlace(place_);
        place_ = {};
    });
    // A call stored or brought back: its row takes its height, and the
    // calls at the top of the view stay where the user left them (the
    // selection follows the rows by itself).
    connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const int top = rowAt(0);
        insertTop_ =
            top >= 0 ? QPersistentModelIndex(model_.index(top, 0)) : QPersistentModelIndex();
        insertTopOffset_ = top >= 0 ? rowViewportPosition(top) : 0;
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    verticalHeader()->resizeSection(row, NoteRowHeight(row));
                }
                if (insertTop_.isValid()) {
                    executeDelayedItemsLayout();
                    updateGeometries();
                    verticalScrollBar()->setValue(
                        verticalHeader()->sectionPosition(insertTop_.row()) - insertTopOffset_);
                }
                insertTop_ = QPersistentModelIndex();
                // The first call of an empty list starts there, as a first
                // listing does.
                if (model_.rowCount() == last - first + 1) {
                    SetCurrentRow(0);
                }
            });
    connect(&model_, &QAbstractItemModel::layoutChanged, this, &CallsListView::UpdateRowHeights);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &CallsListView::UpdateRowHeights);
    // A changed note changes only its row's height.
    connect(&model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (topLeft.column() > col::kBody || bottomRight.column() < col::kBody) {
                    return;
                }
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
                    const int height = NoteRowHeight(row);
                    if (verticalHeader()->sectionSize(row) != height) {
                        verticalHeader()->resizeSection(row, height);
                    }
                }
            });
    UpdateRowHeights();
}

int CallsListView::NoteRowHeight(int row) const {
    if (!model_.HasNote(row)) {
        return kCallsDefaultRowHeight;
    }
    return fontMetrics().height() + kCallsDefaultRowHeight +
           model_.data(model_.index(row, col::kBody), CallsListModel::kNoteExtraHeightRole).toInt();
}

void CallsListView::UpdateRowHeights() {
    QHeaderView* rows = verticalHeader();
    // A shown header finds each resized row's place on the screen, which
    // costs a pass over every row: 100,000 rows after a sort would take
    // seconds. Hidden from updates, each resize only records the size.
    const bool updates = rows->updatesEnabled();
    rows->setUpdatesEnabled(false);
    for (int row = 0; row < model_.rowCount(); ++row) {
        const int height = NoteRowHeight(row);
        if (rows->sectionSize(row) != height) {
            rows->resizeSection(row, height);
        }
    }
    rows->setUpdatesEnabled(updates);
}

std::vector<int> CallsListView::SelectedRows() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr) {
        return rows;
    }
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString CallsListView::DisplayText(int row, int column) const {
    if (column == col::kCaller) {
        return model_.CellText(row, col::kCallerName) + QStringLiteral(" - ") +
               LeftToRightIsolate(model_.CellText(row, col::kCallerNumber));
    }
    return model_.CellText(row, column);
}

int CallsListView::CurrentRow() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void CallsListView::SetCurrentRow(int row) {
    if (row < 0 || row >= model_.rowCount()) {
        return;
    }
    const QModelIndex index = model_.index(row, col::kCaller);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void CallsListView::SelectRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // Runs of neighbouring rows as one range each: a selection of every
    // call stays one range.
    QItemSelection selection;
    for (size_t i = 0; i < rows.size();) {
        if (rows[i] < 0) {
            ++i;
            continue;
        }
        size_t last = i;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) {
            ++last;
        }
        selection.select(model_.index(rows[i], 0), model_.index(rows[last], col::kCount - 1));
        i = last + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void CallsListView::SelectCalls(const std::vector<CallRef>& calls) {
    const std::vector<int> rows = model_.RowsOf(calls);
    SelectRows(rows);
    const auto first = std::find_if(rows.begin(), rows.end(), [](int row) { return row >= 0; });
    if (first != rows.end()) {
        const QModelIndex index = model_.index(*first, col::kCaller);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        scrollTo(index);
    }
}

CallsListView::Place CallsListView::RememberPlace() const {
    Place place;
    place.folder = model_.Folder();
    place.hadRows = model_.rowCount() > 0;
    if (!place.hadRows) {
        return place;
    }
    for (int row : SelectedRows()) {
        place.selected.push_back(model_.RefOf(row));
    }
    if (currentIndex().isValid()) {
        place.current = model_.RefOf(currentIndex().row());
        place.currentColumn = currentIndex().column();
    }
    const int top = rowAt(0);
    if (top >= 0) {
        place.top = model_.RefOf(top);
        place.topOffset = rowViewportPosition(top);
    }
    place.horizontal = horizontalScrollBar()->value();
    return place;
}

void CallsListView::RestorePlace(const Place& place) {
    if (model_.rowCount() == 0) {
        return;
    }
    // A first listing, or another folder: the first call, as at the start.
    if (!place.hadRows || place.folder != model_.Folder()) {
        SetCurrentRow(0);
        return;
    }
    SelectRows(model_.RowsOf(place.selected));
    // The current call stays current; a call no longer listed leaves no
    // row current rather than another call the user did not choose.
    const int current = place.current ? model_.RowOf(*place.current) : -1;
    if (current >= 0) {
        selectionModel()->setCurrentIndex(model_.index(current, place.currentColumn),
                                          QItemSelectionModel::NoUpdate);
    }
    // The same calls at the top of the view, where the user left them.
    const int top = place.top ? model_.RowOf(*place.top) : -1;
    if (top >= 0) {
        executeDelayedItemsLayout();
        updateGeometries();
        verticalScrollBar()->setValue(verticalHeader()->sectionPosition(top) - place.topOffset);
    }
    horizontalScrollBar()->setValue(place.horizontal);
}

void CallsListView::OnHeaderClicked(int column) {
    ShowSortArrow(model_.HeaderClicked(column));
}

void CallsListView::ShowSortArrow(int arrow) {
    QHeaderView* header = horizontalHeader();
    header->setSortIndicatorShown(arrow >= 0);
    if (arrow >= 0) {
        header->setSortIndicator(arrow, model_.SortOrder());
    }
}

std::vector<int> CallsListView::ShownColumns() {
    return {col::kUserMark, col::kKind, col::kCaller, col::kDateTime};
}

std::vector<CallsColumn> CallsListView::Columns() const {
    const QHeaderView* header = horizontalHeader();
    std::vector<CallsColumn> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column)) {
            columns.push_back({column, header->sectionSize(column)});
        }
    }
    return columns;
}

void CallsListView::SetColumns(const std::vector<CallsColumn>& columns) {
    QHeaderView* header = horizontalHeader();
    // The shown columns first, in their order; the hidden ones after them.
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const CallsColumn& column = columns[static_cast<size_t>(i)];
        header->moveSection(header->visualIndex(column.column), i);
        header->resizeSection(column.column, column.width);
    }
}

std::optional<CallsSort> CallsListView::Sort() const {
    if (model_.SortHeader() < 0) {
        return std::nullopt;
    }
    return CallsSort{model_.SortHeader(), model_.SortOrder()};
}

void CallsListView::SetSort(const CallsSort& sort) {
    ShowSortArrow(model_.SortByHeader(sort.column, sort.order));
}

void CallsListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid() && current.column() == col::kUserMark) {
        // The mark column never stays current, so keyboard moves and
        // later clicks start from the row, not the mark.
        selectionModel()->setCurrentIndex(model_.index(current.row(), col::kCaller),
                                          QItemSelectionModel::NoUpdate);
    }
}

void CallsListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    pressedOnMark_ = index.isValid() && index.column() == col::kUserMark;
    QTableView::mousePressEvent(event);
    Q_EMIT CallClicked();
    if (event->button() == Qt::LeftButton && index.isValid() && index.column() == col::kUserMark) {
        model_.ToggleUserMark(index.row());
    }
}

void CallsListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (indexAt(event->position().toPoint()).isValid() && CurrentRow() >= 0) {
        Q_EMIT OpenNoteRequested(CurrentRow());
    }
}

void CallsListView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (CurrentRow() >= 0) {
                Q_EMIT OpenNoteRequested(CurrentRow());
            }
            return;
        case Qt::Key_Delete:
            Q_EMIT DeleteRequested();
            return;
        case Qt::Key_Menu:
        case Qt::Key_F10:
            // The Menu key (where the platform does not make it a context
            // menu event itself) and Shift+F10.
            if (event->key() == Qt::Key_Menu || event->modifiers() == Qt::ShiftModifier) {
                if (CurrentRow() >= 0) {
                    Q_EMIT ContextMenuRequested(CurrentRowMenuPoint());
                }
                return;
            }
            QTableView::keyPressEvent(event);
            return;
        case Qt::Key_Space:
            // Ctrl+Space still toggles a row's selection.
            if (event->modifiers() == Qt::NoModifier) {
                Q_EMIT PlayPauseRequested();
                return;
            }
            QTableView::keyPressEvent(event);
            return;
        default:
            QTableView::keyPressEvent(event);
    }
}

void CallsListView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (event->reason() == QContextMenuEvent::Mouse) {
        if (!index.isValid()) {
            return;
        }
        // A press outside the selection chooses that call alone, as file
        // managers do; inside it the menu acts on every call selected.
        if (!selectionModel()->isRowSelected(index.row(), QModelIndex())) {
            SetCurrentRow(index.row());
        }
    } else {
        if (CurrentRow() < 0) {
            return;
        }
        // The keyboard's menu opens at the call it acts on, not at the
        // mouse pointer, wherever that is.
        Q_EMIT ContextMenuRequested(CurrentRowMenuPoint());
        event->accept();
        return;
    }
    Q_EMIT ContextMenuRequested(event->globalPos());
    event->accept();
}

QPoint CallsListView::CurrentRowMenuPoint() const {
    const QRect cell = visualRect(model_.index(CurrentRow(), col::kCaller));
    const QPoint at(cell.left() + cell.width() / 4, cell.top() + kCallsDefaultRowHeight);
    return viewport()->mapToGlobal(at);
}

void CallsListView::SetDragHookForTesting(DragHook hook) {
    DragHookSlot() = std::move(hook);
}

void CallsListView::startDrag(Qt::DropActions /*supportedActions*/) {
    // A press on the mark toggled it; moving on from there drags nothing.
    if (pressedOnMark_) {
        return;
    }
    QStringList paths;
    for (int row : SelectedRows()) {
        if (model_.HasRecording(row)) {
            paths << model_.Folder() + model_.CellText(row, col::kMsgFile);
        }
    }
    std::unique_ptr<QMimeData> recordings = RecordingsMimeData(paths);
    if (!recordings) {
        return;
    }
    if (DragHookSlot()) {
        DragHookSlot()(*recordings, kRecordingsDragActions);
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(recordings.release());
    drag->exec(kRecordingsDragActions, Qt::CopyAction);
}

CallsListPanel::CallsListPanel(CallsListModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("callsListPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("tlbrCallsList"));
    toolbar_->setIconSize(QSize(kToolbarIconSize, kToolbarIconSize));
    const struct {
        int position;
        int tip;
    } buttons[] = {
        {kPrevious, ids::kPreviousCall}, {kNext, ids::kNextCall},
        {kNotes, ids::kMenuNotes},       {kSaveToPc, ids::kSaveCopy},
        {kDelete, ids::kDeleteCalls},    {kMarkUnread, ids::kMarkAsUnread},
        {kMarkRead, ids::kMarkAsRead},   {kCallBack, ids::kDialer},
    };
    int position = 0;
    for (const auto& button : buttons) {
        while (position < button.position) {
            buttons_.push_back(toolbar_->addSeparator());
            ++position;
        }
        QAction* action = toolbar_->addAction(ToolbarIcon(button.position), Text(button.tip));
        action->setToolTip(Text(button.tip));
        action->setObjectName(QStringLiteral("tlbrCallsList%1").arg(button.position));
        const int at = button.position;
        connect(action, &QAction::triggered, this, [this, at] { ButtonClicked(at); });
        buttons_.push_back(action);
        ++position;
    }
    layout->addWidget(toolbar_);

    view_ = new CallsListView(model_, this);
    layout->addWidget(view_, 1);
    connect(view_, &CallsListView::OpenNoteRequested, this, &CallsListPanel::OpenNote);
    connect(view_, &CallsListView::DeleteRequested, this, [this] { ButtonClicked(kDelete); });
    connect(view_, &CallsListView::ContextMenuRequested, this, &CallsListPanel::ShowContextMenu);

    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("callsContextMenu"));
    // The entries belong to the panel, not to a widget, so their keys stay
    // those of the list and the window.
    const auto entry = [this](const char* name, const std::function<void()>& run) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, run);
        return action;
    };
    entries_.play = entry("callsMenuPlay", [this] {
        if (playback_.play) {
            playback_.play();
        }
    });
    entries_.pause = entry("callsMenuPause", [this] {
        if (playback_.pauseOrResume) {
            playback_.pauseOrResume();
        }
    });
    entries_.notes = entry("callsMenuNotes", [this] { ButtonClicked(kNotes); });
    entries_.saveCopy = entry("callsMenuSaveCopy", [this] { ButtonClicked(kSaveToPc); });
    entries_.remove = entry("callsMenuDelete", [this] { ButtonClicked(kDelete); });
    entries_.markRead = entry("callsMenuMarkRead", [this] { ButtonClicked(kMarkRead); });
    entries_.markUnread = entry("callsMenuMarkUnread", [this] { ButtonClicked(kMarkUnread); });
    entries_.userMark = entry("callsMenuUserMark", [this] { ToggleUserMarkSelected(); });
    entries_.callBack = entry("callsMenuCallBack", [this] { ButtonClicked(kCallBack); });
    entries_.saveCopy->setIcon(ToolbarIcon(kSaveToPc));
    entries_.remove->setIcon(ToolbarIcon(kDelete));
    entries_.notes->setIcon(ToolbarIcon(kNotes));
    entries_.callBack->setIcon(ToolbarIcon(kCallBack));

    noItems_ = new QFrame(this);
    noItems_->setObjectName(QStringLiteral("picNoItems"));
    noItems_->setFrameShape(QFrame::StyledPanel);
    noItems_->setBackgroundRole(QPalette::Base);
    noItems_->setAutoFillBackground(true);
    auto* panelLayout = new QVBoxLayout(noItems_);
    // The main window's tests know this label by its earlier name.
    auto* label = new QLabel(Text(ids::kCallsAreaEmpty), noItems_);
    label->setObjectName(QStringLiteral("callsAreaHint"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    panelLayout->addWidget(label);
    layout->addWidget(noItems_, 1);

    connect(&model_, &QAbstractItemModel::modelReset, this, &CallsListPanel::UpdateEmptyPanel);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &CallsListPanel::UpdateEmptyPanel);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &CallsListPanel::UpdateEmptyPanel);
    UpdateEmptyPanel();
}

void CallsListPanel::UpdateEmptyPanel() {
    const bool empty = model_.rowCount() == 0;
    // Calls the search hides are not a folder without calls; blocked calls,
    // which "All" leaves out, do not make a search of it.
    if (auto* hint = noItems_->findChild<QLabel*>(QStringLiteral("callsAreaHint"))) {
        const bool hidden = model_.Filter().IsActive() && model_.TotalCount() > 0;
        hint->setText(Text(hidden ? ids::kSearchNoMatch : ids::kCallsAreaEmpty));
    }
    noItems_->setVisible(empty);
    view_->setVisible(!empty);
}

void CallsListPanel::AddContextAction(QAction* action) {
    contextActions_.push_back(action);
}

void CallsListPanel::ShowContextMenu(const QPoint& globalPosition) {
    UpdateContextMenu();
    // Shown, not run: the line's events go on while the menu is open.
    contextMenu_->popup(globalPosition);
}

void CallsListPanel::UpdateContextMenu() {
    const std::vector<int> rows = view_->SelectedRows();
    // The menu acts on the selection: one call selected is also the current
    // one, which the commands for one call act on.
    if (rows.size() == 1 && view_->CurrentRow() != rows.front()) {
        view_->SetCurrentRow(rows.front());
    }
    const bool any = !rows.empty();
    const bool one = rows.size() == 1;
    bool anyUnread = false;
    bool anyRead = false;
    bool anyUnmarked = false;
    // Calls without a recording have nothing to play, note, copy or mark.
    bool anyRecorded = false;
    for (int row : rows) {
        if (!model_.HasRecording(row)) {
            continue;
        }
        anyRecorded = true;
        const bool unread = model_.IsUnread(row);
        anyUnread = anyUnread || unread;
        anyRead = anyRead || !unread;
        anyUnmarked = anyUnmarked || !model_.HasUserMark(row);
    }
    const bool playing = playback_.playing && playback_.playing();
    // A language file made before these entries existed still names them.
    const QKeySequence space(Qt::Key_Space);
    SetEntryText(entries_.play, TextOr(ids::kPlayerPlay, QStringLiteral("Play")), space);
    entries_.play->setEnabled(one && anyRecorded && playback_.play);
    const bool paused = playback_.paused && playback_.paused();
    SetEntryText(entries_.pause,
                 paused ? TextOr(ids::kMenuResume, QStringLiteral("Resume"))
                        : TextOr(ids::kPlayerPause, QStringLiteral("Pause")),
                 space);
    SetEntryText(entries_.notes, TextOr(ids::kMenuCallNotes, QStringLiteral("Notes…")),
                 QKeySequence(Qt::CTRL | Qt::Key_E));
    entries_.notes->setEnabled(one && anyRecorded);
    SetEntryText(entries_.saveCopy,
                 one || !any ? TextOr(ids::kMenuSaveCopy, QStringLiteral("Save a copy…"))
                             : TextOr(ids::kMenuSaveCopies, QStringLiteral("Save copies…")),
                 QKeySequence(Qt::CTRL | Qt::Key_S));
    entries_.saveCopy->setEnabled(anyRecorded);
    SetEntryText(entries_.remove, TextOr(ids::kDeleteCalls, QStringLiteral("Delete")),
                 QKeySequence(Qt::Key_Delete));
    entries_.remove->setEnabled(any);
    SetEntryText(entries_.markRead, TextOr(ids::kMarkAsRead, QStringLiteral("Mark as read")));
    entries_.markRead->setEnabled(anyUnread);
    SetEntryText(entries_.markUnread, TextOr(ids::kMarkAsUnread, QStringLiteral("Mark as unread")));
    entries_.markUnread->setEnabled(anyRead);
    SetEntryText(entries_.userMark,
                 anyUnmarked || !any
                     ? TextOr(ids::kMenuAddUserMark, QStringLiteral("Add your mark"))
                     : TextOr(ids::kMenuRemoveUserMark, QStringLiteral("Remove your mark")));
    entries_.userMark->setEnabled(anyRecorded);
    SetEntryText(entries_.callBack, TextOr(ids::kMenuCallBack, QStringLiteral("Call back")));
    // A call without a number (withheld, or none sent) cannot be called back.
    entries_.callBack->setEnabled(
        one && !NumberDigits(model_.CellText(rows.front(), col::kCallerNumber)).isEmpty());

    contextMenu_->clear();
    contextMenu_->addAction(entries_.play);
    if (playing) {
        contextMenu_->addAction(entries_.pause);
    }
    contextMenu_->addSeparator();
    contextMenu_->addAction(entries_.notes);
    contextMenu_->addAction(entries_.saveCopy);
    contextMenu_->addAction(entries_.remove);
    contextMenu_->addSeparator();
    contextMenu_->addAction(entries_.markRead);
    contextMenu_->addAction(entries_.markUnread);
    contextMenu_->addAction(entries_.userMark);
    contextMenu_->addSeparator();
    contextMenu_->addAction(entries_.callBack);
    if (!contextActions_.empty()) {
        contextMenu_->addSeparator();
        for (QAction* action : contextActions_) {
            contextMenu_->addAction(action);
        }
    }
}

void CallsListPanel::ToggleUserMarkSelected() {
    model_.ToggleUserMarks(view_->SelectedRows());
}

void CallsListPanel::ButtonClicked(int position) {
    const int row = view_->CurrentRow();
    if (model_.rowCount() == 0) {
        return;
    }
    switch (position) {
        case kPrevious:
            MoveCurrent(-1);
            break;
        case kNext:
            MoveCurrent(1);
            break;
        case kNotes:
            OpenNote(row);
            break;
        case kSaveToPc:
            if (const std::vector<int> rows = view_->SelectedRows(); rows.size() > 1) {
                QStringList paths;
                for (int selected : rows) {
                    if (model_.HasRecording(selected)) {
                        paths << model_.Folder() + model_.CellText(selected, col::kMsgFile);
                    }
                }
                if (paths.isEmpty()) {
                    SayNoRecording();
                } else {
                    Q_EMIT SaveCopiesRequested(paths);
                }
            } else if (row >= 0 && !model_.HasRecording(row)) {
                SayNoRecording();
            } else if (row >= 0) {
                Q_EMIT SaveToPcRequested(model_.Folder() + model_.CellText(row, col::kMsgFile));
            }
            break;
        case kDelete:
            DeleteSelected();
            break;
        case kMarkUnread:
            MarkSelected(false);
            break;
        case kMarkRead:
            MarkSelected(true);
            break;
        case kCallBack:
            if (row >= 0) {
                Q_EMIT CallBackRequested(model_.CellText(row, col::kCallerNumber));
            }
            break;
        default:
            break;
    }
}

void CallsListPanel::MoveCurrent(int step) {
    const int row = view_->CurrentRow();
    const int next = row + step;
    if (next >= 0 && next < model_.rowCount()) {
        view_->SetCurrentRow(next);
    }
    Q_EMIT CurrentCallMoved();
}

void CallsListPanel::StartProgress(int maximum) {
    if (progress_ != nullptr) {
        progress_->setRange(0, maximum);
        progress_->setValue(0);
        progress_->show();
    }
}

void CallsListPanel::EndProgress() {
    if (progress_ != nullptr) {
        progress_->setValue(0);
        progress_->hide();
    }
}

void CallsListPanel::MarkSelected(bool read) {
    const std::vector<int> rows = view_->SelectedRows();
    const bool showProgress = rows.size() > 1;
    if (showProgress) {
        StartProgress(static_cast<int>(rows.size()));
    }
    model_.MarkRows(rows, read, [this](int at) {
        if (progress_ != nullptr) {
            progress_->setValue(at);
        }
    });
    if (showProgress) {
        EndProgress();
    }
}

void CallsListPanel::DeleteSelected() {
    // The calls selected now are the ones that go, also when the list is
    // rebuilt while the question is open (a call stored meanwhile).
    const std::vector<int> selected = view_->SelectedRows();
    std::vector<CallRef> calls;
    for (int row : selected) {
        calls.push_back(model_.RefOf(row));
    }
    if (calls.empty()) {
        return;
    }
    const bool anyUnrecorded = std::any_of(selected.begin(), selected.end(),
                                           [this](int row) { return !model_.HasRecording(row); });
    if (askBeforeDeleting_ || anyUnrecorded) {
        QString question;
        if (anyUnrecorded) {
            // Asked also when the user does not want questions: no undo.
            question = ReplaceMarker(
                TextOr(ids::kAskDeleteUnrecorded,
                       QStringLiteral("Delete the <%S> selected calls?\nCalls without a recording "
                                      "(blocked or not recorded) cannot be brought back.")),
                QString::number(calls.size()));
        } else if (calls.size() == 1) {
            const int row = selected.front();
            const QString call = view_->DisplayText(row, col::kCaller) + QStringLiteral("   ") +
                                 model_.CellText(row, col::kDateTime);
            question = ReplaceMarker(
                TextOr(ids::kAskDeleteOneCall,
                       QStringLiteral("Delete this call?\n<%S>\nIts recording goes to the "
                                      "trash.\nEdit > Undo delete (Ctrl+Z) brings it back.")),
                call);
        } else {
            question = ReplaceMarker(
                TextOr(ids::kAskDeleteCalls,
                       QStringLiteral("Delete the <%S> selected calls?\nTheir recordings go to "
                                      "the trash.\nEdit > Undo delete (Ctrl+Z) brings them "
                                      "back.")),
                QString::number(calls.size()));
        }
        if (ShowMessage(question, true) != kAnswerYes) {
            return;
        }
    }
    std::vector<int> rows;
    for (int row : model_.RowsOf(calls)) {
        if (row >= 0) {
            rows.push_back(row);
        }
    }
    if (rows.empty()) {
        return;
    }
    const int first = *std::min_element(rows.begin(), rows.end());
    StartProgress(static_cast<int>(rows.size()));
    const bool deleted = model_.DeleteCalls(calls, [this](int at) {
        if (progress_ != nullptr) {
            progress_->setValue(at);
        }
    });
    EndProgress();
    if (!deleted) {
        ShowMessage(TextOr(ids::kMsgCallsNotDeleted,
                           QStringLiteral("No call was deleted: the call index of the "
                                          "recordings folder could not be changed.")),
                    false);
        return;
    }
    // The call after the deleted ones takes their place, so what follows
    // the selection refreshes.
    if (model_.rowCount() > 0) {
        view_->SetCurrentRow(std::min(first, model_.rowCount() - 1));
    }
}

void CallsListPanel::OpenNote(int row) {
    if (row < 0) {
        return;
    }
    if (!model_.HasRecording(row)) {
        SayNoRecording();
        return;
    }
    Q_EMIT OpenNoteRequested(row);
}

void CallsListPanel::SayNoRecording() {
    ShowMessage(
        TextOr(ids::kMsgNoRecording,
               QStringLiteral("This call was not recorded: there is nothing to play or save.")),
        false);
}

void CallsListPanel::UndoDelete() {
    const std::optional<RestoredCalls> restored = model_.UndoDelete();
    if (!restored) {
        return;
    }
    if (!restored->ok) {
        ShowMessage(TextOr(ids::kMsgCallsNotRestored,
                           QStringLiteral("The deleted calls could not be brought back: the "
                                          "call index of the recordings folder could not be "
                                          "changed.")),
                    false);
        return;
    }
    view_->SelectCalls(restored->calls);
    if (restored->lost > 0) {
        ShowMessage(ReplaceMarker(TextOr(ids::kMsgCallsLostFromTrash,
                                         QStringLiteral("<%S> of the deleted calls could not be "
                                                        "brought back: their recordings are no "
                                                        "longer in the trash.")),
                                  QString::number(restored->lost)),
                    false);
    }
}

}  // namespace orvane
