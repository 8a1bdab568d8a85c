#pragma once
// The calls list's columns as the user left them (widths, order, sort) in
// the two texts the settings store keeps, and read back only when they
// still fit the list's columns.

#include <QString>
#include <Qt>
#include <optional>
#include <vector>

namespace orvane {

struct CallsColumn {
    int column = 0;  // model column
    int width = 0;   // pixels
    bool operator==(const CallsColumn&) const = default;
};

struct CallsSort {
    int column = 0;  // the header clicked
    Qt::SortOrder order = Qt::AscendingOrder;
    bool operator==(const CallsSort&) const = default;
};

inline constexpr int kCallsColumnMinWidth = 8;
inline constexpr int kCallsColumnMaxWidth = 10000;

// "2:32,3:100,5:200,4:200": each shown column with its width, left to right.
QString ColumnsText(const std::vector<CallsColumn>& columns);
// The columns of such a text, or nothing when it does not name exactly the
// `shown` columns once each with a width in range: a text from another
// version of the list, or one edited by hand, leaves the list as built.
std::optional<std::vector<CallsColumn>> ColumnsFromText(const QString& text,
                                                        const std::vector<int>& shown);

// "5 ASC" or "5 DESC": the header clicked and its direction.
QString SortText(const CallsSort& sort);
// The sort of such a text, or nothing unless it names one of `sortable`.
std::optional<CallsSort> SortFromText(const QString& text, const std::vector<int>& sortable);

}  // namespace orvane
