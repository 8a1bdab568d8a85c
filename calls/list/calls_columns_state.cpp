#include "calls/list/calls_columns_state.h"

#include <QStringList>
#include <algorithm>

namespace orvane {
namespace {

const QString kAscending = QStringLiteral("ASC");
const QString kDescending = QStringLiteral("DESC");

// A whole decimal number in [low, high], or nothing.
std::optional<int> NumberIn(const QString& text, int low, int high) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high || text != QString::number(number)) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

QString ColumnsText(const std::vector<CallsColumn>& columns) {
    QStringList parts;
    for (const CallsColumn& column : columns) {
        parts << QStringLiteral("%1:%2").arg(column.column + 1).arg(column.width);
    }
    return parts.join(QLatin1Char(','));
}

std::optional<std::vector<CallsColumn>> ColumnsFromText(const QString& text,
                                                        const std::vector<int>& shown) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != static_cast<qsizetype>(shown.size())) {
        return std::nullopt;
    }
    std::vector<CallsColumn> columns;
    for (const QString& part : parts) {
        const QStringList pair = part.split(QLatin1Char(':'));
        if (pair.size() != 2) {
            return std::nullopt;
        }
        const std::optional<int> number = NumberIn(pair[0], 1, 1000);
        const std::optional<int> width =
            NumberIn(pair[1], kCallsColumnMinWidth, kCallsColumnMaxWidth);
        if (!number || !width) {
            return std::nullopt;
        }
        const int column = *number - 1;
        const bool known = std::find(shown.begin(), shown.end(), column) != shown.end();
        const bool twice =
            std::any_of(columns.begin(), columns.end(),
                        [column](const CallsColumn& c) { return c.column == column; });
        if (!known || twice) {
            return std::nullopt;
        }
        columns.push_back({column, *width});
    }
    return columns;
}

QString SortText(const CallsSort& sort) {
    return QStringLiteral("%1 %2")
        .arg(sort.column + 1)
        .arg(sort.order == Qt::AscendingOrder ? kAscending : kDescending);
}

std::optional<CallsSort> SortFromText(const QString& text, const std::vector<int>& sortable) {
    const QStringList parts = text.split(QLatin1Char(' '));
    if (parts.size() != 2 || (parts[1] != kAscending && parts[1] != kDescending)) {
        return std::nullopt;
    }
    const std::optional<int> number = NumberIn(parts[0], 1, 1000);
    if (!number || std::find(sortable.begin(), sortable.end(), *number - 1) == sortable.end()) {
        return std::nullopt;
    }
    return CallsSort{*number - 1,
                     parts[1] == kAscending ? Qt::AscendingOrder : Qt::DescendingOrder};
}

}  // namespace orvane
