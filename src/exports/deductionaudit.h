// The stock deduction audit: for one product and period, every prescription order line set
// against its stock movement, as fixed-column text lines and two totals.
#pragma once
#include "db/value.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace db {
class Connection;
}
namespace platform {
class WinPaths;
}

namespace exports {

inline const QString kAuditSeparator = QStringLiteral(
    " --------  ------------ ------------------ -------------------- --------------- ----  | --------------- ----");
// Memo4, and the last three lines of Memo5.
QStringList AuditHeading();
// Memo5: an empty line, the title, an empty line, the heading.
QStringList AuditFailureHeading();
inline const QString kAuditSqlFile = QStringLiteral("c:\\formulix\\sql.txt");
inline const QString kSeeAll = QStringLiteral("Ver tudo");
inline const QString kSeeFailures = QStringLiteral("Ver só as falhas");
// Said in the result when the period holds no order line of the typed name.
QString NoOrderLinesText(const QString &productName, const QDate &start, const QDate &end);

// "#,###,##0.00000" and "#,###,##0.000000" on the Brazilian setting: "1.234,50000".
QString FormatQuantity5(double value);
QString FormatQuantity6(double value);

// One order component line, as the order query returns it.
struct OrderLine {
    QString componente, estacao, unid, lote, grupo, fornecedor, tipopedido;
    db::Value npedido, nformula, qdeestoque;
    QDate datapedido;
    bool isHom() const { return grupo == QLatin1String("HOM"); }
};

// One stock movement, as the movement query returns it.
struct Movement {
    QString estacao, lote, fornecedor, unidade, descricao;
    db::Value npedido, nformula, quantidade;
    QDate data;
};

// The order query, exactly as written to sql.txt; the product name is already folded.
QString OrderQuery(const QDate &start, const QDate &end, const QString &productName);
// The same rows in the same order, orders of one date too, as the audit runs it: written so the
// engine walks the product's lines by the product index and finds each order by its key (the text
// above lets it combine the date index into every order lookup, which grows with the square of a
// year's orders).
QString OrderQueryToRun(const QDate &start, const QDate &end, const QString &productName);
// The movements of one order line (the row-by-row way). Text values have their quotes doubled; a
// line without formula number asks for "NFORMULA is null".
QString MovementQuery(const OrderLine &line);
// The movements of every order line of the period in one statement, each row carrying the order
// line's own values to tell which line it belongs to, and the movement's record key.
QString PeriodMovementsQuery(const QDate &start, const QDate &end, const QString &productName);
// Whether the first movement returned belongs to the line: the same workstation, order, formula
// and lot as text, the supplier and the name ignoring letter case.
bool MovementMatches(const OrderLine &line, const Movement &movement);

// Folds the lines, in order, into the two memos' texts and the totals.
class AuditReport {
public:
    void add(const OrderLine &line, const std::optional<Movement> &first);
    // The separator and total lines; call once after the last line.
    void finish();

    const QStringList &allLines() const { return m_all; }        // Memo2
    const QStringList &failureLines() const { return m_failures; } // Memo3
    double totalToDeduct() const { return m_totalToDeduct; }
    double totalDeducted() const { return m_totalDeducted; }
    bool totalsDiffer() const { return m_differ; }
    int lineCount() const { return m_lines; }

private:
    QStringList m_all, m_failures;
    double m_totalToDeduct = 0;
    double m_totalDeducted = 0;
    bool m_differ = false;
    bool m_lastHom = false;
    int m_lines = 0;
    // Pieces that keep their last values from one line to the next.
    QString m_quantityPiece, m_unitPiece, m_movedPiece, m_movedUnitPiece;
};

struct AuditResult {
    QString orderSql;
    AuditReport report;
};

// Runs the audit set-based: the order query, then the movements of all the period's lines in one
// query, the first candidate of each line taken in the order the server returns a line's own
// query (record order). Writes the order query to sql.txt (a failure there throws).
AuditResult RunDeductionAudit(db::Connection &central, const platform::WinPaths &paths, const QDate &start,
                              const QDate &end, const QString &productName);

// The period's order lines of the product, by OrderQueryToRun.
std::vector<OrderLine> ReadOrderLines(db::Connection &central, const QDate &start, const QDate &end,
                                      const QString &productName);
// The order lines an order statement (either of the two above) returns, in its order.
std::vector<OrderLine> ReadOrderLines(db::Connection &central, const QString &orderStatement);
Movement MovementFromRow(const std::vector<db::Value> &row, int firstColumn);

} // namespace exports
