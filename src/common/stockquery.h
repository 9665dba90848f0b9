// The main grid's statement for each pair of filter choices (view, expired lots hidden or included).
#pragma once
#include <QDate>
#include <QString>

namespace platform {
class Clock;
}
namespace data {
class TDM;
}

namespace browser {

// The wait panel the main window shows while the lot dataset reloads.
class WaitIndicator {
public:
    virtual ~WaitIndicator() = default;
    virtual void showWait() = 0;   // shown and painted before the query blocks
    virtual void hideWait() = 0;
};

// ComboBox2: this index includes expired lots; every other index (none selected too) hides them.
inline constexpr int kIncludeExpiredIndex = 1;
inline constexpr int kViewCount = 11;

// The statement of view index1 (ComboBox1) in the mode of index2 (ComboBox2), with the store's
// laboratory condition and today's date pasted in; empty when the pair has no statement
// (no view selected). An empty laboratory condition matches no laboratory of the store, so the
// views still list the shared locations.
QString StockStatement(int index1, int index2, const QString &labScopeClause, const QDate &today);

// The store's scope as the views read it: its own laboratories (none when the clause is empty)
// or a shared location (quality control, in transit), in parentheses.
QString StoreScopeCondition(const QString &labScopeClause);

// Reloads ESTLOTE with the statement of the pair. With no statement the grid keeps its rows.
// The wait panel is hidden again whatever happens; a failing statement leaves ESTLOTE closed
// and its error goes on to the caller.
void BuildStockQuery(data::TDM &dm, int index1, int index2, const platform::Clock &clock, WaitIndicator &wait);

} // namespace browser
