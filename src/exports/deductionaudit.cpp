// The stock deduction audit: statements, the first movement of each order line, and the layout.
#include "deductionaudit.h"

#include "core/activitylog.h"
#include "db/connection.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"

#include <QHash>
#include <cmath>
#include <stdexcept>

namespace exports {

namespace {

QString left(const QString &text, int width, int max)
{
    return text.left(max).leftJustified(width, QLatin1Char(' '));
}

QString right(const QString &text, int width, int max)
{
    return text.left(max).rightJustified(width, QLatin1Char(' '));
}

QString formatGrouped(double value, int decimals)
{
    if (!std::isfinite(value))
        throw std::runtime_error("not a number");
    QString fixed = QString::number(std::fabs(value), 'f', decimals);
    const qsizetype dot = fixed.indexOf(QLatin1Char('.'));
    QString whole = fixed.left(dot);
    const QString fraction = fixed.mid(dot + 1);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QLatin1Char('.'));
    QString out = whole + QLatin1Char(',') + fraction;
    const bool zero = fixed.count(QLatin1Char('0')) == fixed.size() - 1;
    if (value < 0 && !zero)
        out.prepend(QLatin1Char('-'));
    return out;
}

// The column as the order line's texts hold it: empty when null.
QString text(const db::Value &v)
{
    return v.isNull() ? QString() : v.toString();
}

QString cell(const std::vector<db::Value> &row, int column)
{
    return row[size_t(column)].isNull() ? QString() : row[size_t(column)].toString();
}

} // namespace

QStringList AuditHeading()
{
    return {
        QStringLiteral(" Data do   Número do                                            Quantidade            | Quantidade          "),
        QStringLiteral(" Pedido    Pedido       Lote               Fornecedor           a Baixar        Unid  | Baixada         Unid"),
        kAuditSeparator,
    };
}

QStringList AuditFailureHeading()
{
    QStringList lines{QString(),
                      QString(28, QLatin1Char(' '))
                          + QStringLiteral("BAIXAS \"NÃO REALIZADAS\" OU \"REALIZADAS INCORRETAMENTE\"  "),
                      QString()};
    return lines + AuditHeading();
}

QString NoOrderLinesText(const QString &productName, const QDate &start, const QDate &end)
{
    return QStringLiteral("Nenhuma linha de pedido para ") + productName + QStringLiteral(" de ")
           + start.toString(QStringLiteral("dd/MM/yy")) + QStringLiteral(" a ") + end.toString(QStringLiteral("dd/MM/yy"))
           + QLatin1Char('.');
}

QString FormatQuantity5(double value)
{
    return formatGrouped(value, 5);
}

QString FormatQuantity6(double value)
{
    return formatGrouped(value, 6);
}

QString OrderQuery(const QDate &start, const QDate &end, const QString &productName)
{
    return QStringLiteral("Select A.componente, A.estacao, A.npedido, A.nformula, A.qdeestoque, A.unid, A.Lote, "
                          "A.Grupo, A.Fornecedor, B.datapedido, B.Tipopedido from COMPEDID A, PEDIDOS B where "
                          "A.ESTACAO=B.estacao AND A.NPEDIDO=B.NPEDIDO and B.DATAPEDIDO BETWEEN '")
        + db::isoDate(start) + QStringLiteral("' AND '") + db::isoDate(end) + QStringLiteral("' ")
        + QStringLiteral("AND A.COMPONENTE = '") + productName + QStringLiteral("' ")
        + QStringLiteral("AND B.TIPOPEDIDO = 'Pedido' ") + QStringLiteral("ORDER by B.DATAPEDIDO");
}

namespace {

// A row's record number from its RDB$DB_KEY: the four bytes from the fifth, least significant
// first, with the third byte above them. Rows read through an index bitmap, and equal keys of an
// index walked in order, come in this order.
QString recordNumber(const QString &alias)
{
    const QString key = alias + QStringLiteral(".RDB$DB_KEY from ");
    auto byte = [&](int position) {
        return QStringLiteral("ascii_val(substring(") + key + QString::number(position) + QStringLiteral(" for 1))");
    };
    return QStringLiteral("(") + byte(5) + QStringLiteral(" + 256 * ") + byte(6) + QStringLiteral(" + 65536 * ")
        + byte(7) + QStringLiteral(" + 16777216 * ") + byte(8) + QStringLiteral(" + 4294967296 * ") + byte(3)
        + QStringLiteral(")");
}

} // namespace

QString OrderQueryToRun(const QDate &start, const QDate &end, const QString &productName)
{
    // The written statement walks the orders by the date index (equal dates in record order) and
    // finds each order's lines through an index bitmap (record order again); this one sorts, and a
    // sort leaves equal dates in no set order, so the record numbers settle the ties the same way.
    return QStringLiteral("Select A.componente, A.estacao, A.npedido, A.nformula, A.qdeestoque, A.unid, A.Lote, "
                          "A.Grupo, A.Fornecedor, B.datapedido, B.Tipopedido from COMPEDID A left join PEDIDOS B on "
                          "A.ESTACAO=B.estacao AND A.NPEDIDO=B.NPEDIDO where B.DATAPEDIDO + 0 BETWEEN '")
        + db::isoDate(start) + QStringLiteral("' AND '") + db::isoDate(end) + QStringLiteral("' ")
        + QStringLiteral("AND A.COMPONENTE = '") + db::escapeQuotes(productName) + QStringLiteral("' ")
        + QStringLiteral("AND B.TIPOPEDIDO = 'Pedido' ") + QStringLiteral("ORDER by B.DATAPEDIDO, ")
        + recordNumber(QStringLiteral("B")) + QStringLiteral(", ") + recordNumber(QStringLiteral("A"));
}

QString MovementQuery(const OrderLine &line)
{
    const QString formula = line.nformula.isNull() ? QStringLiteral("NFORMULA is null")
                                                    : QStringLiteral("NFORMULA = ") + text(line.nformula);
    return QStringLiteral("Select DATA, ESTACAO, NPEDIDO, NFORMULA, LOTE, FORNECEDOR, QUANTIDADE, UNIDADE, "
                          "DESCRICAO from MOVEST where ESTACAO = '")
        + db::escapeQuotes(line.estacao) + QStringLiteral("' and NPEDIDO = ") + text(line.npedido)
        + QStringLiteral(" and ") + formula + QStringLiteral(" and ") + QStringLiteral("UPPER(DESCRICAO) = '")
        + db::escapeQuotes(platform::asciiUpper(line.componente)) + QStringLiteral("' and LOTE = '")
        + db::escapeQuotes(line.lote) + QStringLiteral("' and Upper(FORNECEDOR) = '")
        + db::escapeQuotes(platform::asciiUpper(line.fornecedor)) + QStringLiteral("'");
}

QString PeriodMovementsQuery(const QDate &start, const QDate &end, const QString &productName)
{
    // The same conditions as the row-by-row statement, with the order line's values taken from
    // the join: a null lot or supplier is asked for as an empty text, as pasting it would. The
    // outer joins keep the engine walking the product's lines first (by the product index), each
    // finding its order and its movements by index; "+ 0" keeps the date index out of that walk.
    // A line's movements then come through the order-number index in record order, the order in
    // which the line's own statement returns them, so the first one seen is the one it would take.
    return QStringLiteral("select A.ESTACAO, A.NPEDIDO, A.NFORMULA, A.LOTE, A.FORNECEDOR, "
                          "M.DATA, M.ESTACAO, M.NPEDIDO, M.NFORMULA, M.LOTE, M.FORNECEDOR, M.QUANTIDADE, "
                          "M.UNIDADE, M.DESCRICAO "
                          "from COMPEDID A left join PEDIDOS B on A.ESTACAO = B.ESTACAO and A.NPEDIDO = B.NPEDIDO "
                          "left join MOVEST M on M.ESTACAO = A.ESTACAO and M.NPEDIDO = A.NPEDIDO "
                          "and (M.NFORMULA = A.NFORMULA or (A.NFORMULA is null and M.NFORMULA is null)) "
                          "and M.LOTE = coalesce(A.LOTE, '') "
                          "and upper(M.FORNECEDOR) = upper(coalesce(A.FORNECEDOR, '')) "
                          "and upper(M.DESCRICAO) = '")
        + db::escapeQuotes(platform::asciiUpper(productName))
        + QStringLiteral("' where B.DATAPEDIDO + 0 between '") + db::isoDate(start) + QStringLiteral("' and '")
        + db::isoDate(end) + QStringLiteral("' and A.COMPONENTE = '") + db::escapeQuotes(productName)
        + QStringLiteral("' and B.TIPOPEDIDO = 'Pedido'");
}

bool MovementMatches(const OrderLine &line, const Movement &m)
{
    return m.estacao == line.estacao && text(m.npedido) == text(line.npedido)
        && text(m.nformula) == text(line.nformula) && m.lote == line.lote
        && platform::asciiUpper(m.fornecedor) == platform::asciiUpper(line.fornecedor)
        && platform::asciiUpper(m.descricao) == platform::asciiUpper(line.componente);
}

void AuditReport::add(const OrderLine &line, const std::optional<Movement> &first)
{
    ++m_lines;
    const QString front = QLatin1Char(' ') + line.datapedido.toString(QStringLiteral("dd/MM/yy"))
        + QStringLiteral("  ") + left(line.estacao + QLatin1Char('.') + text(line.npedido), 12, 20)
        + QLatin1Char(' ') + left(line.lote, 18, 20) + QLatin1Char(' ') + left(line.fornecedor, 20, 20);
    m_unitPiece = left(line.unid, 4, 8);
    // A homeopathic line shows its own quantity too, but never counts in the totals.
    bool readable = !line.qdeestoque.isNull();
    double toDeduct = 0;
    if (readable) {
        try {
            toDeduct = line.qdeestoque.toDouble();
            m_quantityPiece = right(FormatQuantity5(toDeduct), 15, 20);
        } catch (const std::exception &) {
            readable = false;
        }
    }
    if (!readable)
        m_quantityPiece = right(QStringLiteral("-"), 15, 15);
    if (readable && !line.isHom())
        m_totalToDeduct += toDeduct;
    m_lastHom = line.isHom();

    const bool match = first && MovementMatches(line, *first);
    if (match) {
        const double deducted = first->quantidade.toDouble();
        if (!line.isHom())
            m_totalDeducted += deducted;
        m_movedPiece = right(FormatQuantity6(deducted), 15, 20);
        m_movedUnitPiece = left(first->unidade, 4, 8);
        QString out = front + QLatin1Char(' ') + m_quantityPiece + QLatin1Char(' ') + m_unitPiece
            + QStringLiteral("  | ") + m_movedPiece + QLatin1Char(' ') + m_movedUnitPiece;
        if (toDeduct != deducted) {
            out += QStringLiteral("     *");
            m_failures << out;
        }
        m_all << out;
    } else if (!line.isHom()) {
        const QString out = front + QLatin1Char(' ') + m_quantityPiece + QLatin1Char(' ') + m_unitPiece
            + QStringLiteral("  | Baixa não realizada      *");
        m_failures << out;
        m_all << out;
    } else {
        const QString out = front + QStringLiteral(" Tintura homeopática   | Ok              ");
        m_failures << out;
        m_all << out;
    }
}

void AuditReport::finish()
{
    const QString a = FormatQuantity5(m_totalToDeduct);
    const QString b = FormatQuantity5(m_totalDeducted);
    const QString total = QString(64, QLatin1Char(' ')) + right(a, 15, 20) + QLatin1Char(' ') + m_unitPiece
        + QStringLiteral("  | ") + right(b, 15, 20) + QLatin1Char(' ') + m_movedUnitPiece;
    m_differ = m_totalToDeduct != m_totalDeducted;
    if (m_differ)
        m_failures << kAuditSeparator;
    m_failures << total;
    m_all << kAuditSeparator;
    m_all << (m_lastHom ? QString(88, QLatin1Char(' ')) : total);
}

Movement MovementFromRow(const std::vector<db::Value> &row, int c)
{
    Movement m;
    m.data = row[size_t(c)].toDate();
    m.estacao = cell(row, c + 1);
    m.npedido = row[size_t(c + 2)];
    m.nformula = row[size_t(c + 3)];
    m.lote = cell(row, c + 4);
    m.fornecedor = cell(row, c + 5);
    m.quantidade = row[size_t(c + 6)];
    m.unidade = cell(row, c + 7);
    m.descricao = cell(row, c + 8);
    return m;
}

std::vector<OrderLine> ReadOrderLines(db::Connection &central, const QDate &start, const QDate &end,
                                      const QString &productName)
{
    return ReadOrderLines(central, OrderQueryToRun(start, end, productName));
}

std::vector<OrderLine> ReadOrderLines(db::Connection &central, const QString &orderStatement)
{
    const db::Rows rows = central.query(orderStatement);
    std::vector<OrderLine> lines;
    lines.reserve(rows.rows.size());
    for (const auto &r : rows.rows) {
        OrderLine l;
        l.componente = cell(r, 0);
        l.estacao = cell(r, 1);
        l.npedido = r[2];
        l.nformula = r[3];
        l.qdeestoque = r[4];
        l.unid = cell(r, 5);
        l.lote = cell(r, 6);
        l.grupo = cell(r, 7);
        l.fornecedor = cell(r, 8);
        l.datapedido = r[9].toDate();
        l.tipopedido = cell(r, 10);
        lines.push_back(std::move(l));
    }
    return lines;
}

namespace {

// What tells an order line's movements apart: the values its own statement pastes.
QString lineKey(const QString &estacao, const db::Value &npedido, const db::Value &nformula, const QString &lote,
                const QString &fornecedor)
{
    return estacao + QChar(1) + text(npedido) + QChar(1) + (nformula.isNull() ? QStringLiteral("\2") : text(nformula))
        + QChar(1) + lote + QChar(1) + platform::asciiUpper(fornecedor);
}

} // namespace

AuditResult RunDeductionAudit(db::Connection &central, const platform::WinPaths &paths, const QDate &start,
                              const QDate &end, const QString &productName)
{
    AuditResult result;
    result.orderSql = OrderQuery(start, end, productName);
    const std::vector<OrderLine> lines = ReadOrderLines(central, start, end, productName);
    QString error;
    if (!core::WriteDiagnosticFile(paths, kAuditSqlFile, {result.orderSql}, &error))
        throw std::runtime_error(error.isEmpty() ? "sql.txt" : error.toStdString());

    QHash<QString, Movement> firstOf;
    if (!lines.empty()) {
        const db::Rows rows = central.query(PeriodMovementsQuery(start, end, productName));
        firstOf.reserve(qsizetype(rows.rows.size()));
        for (const auto &r : rows.rows) {
            if (r[6].isNull())
                continue;   // a line with no movement at all
            const QString key = lineKey(cell(r, 0), r[1], r[2], cell(r, 3), cell(r, 4));
            if (!firstOf.contains(key))
                firstOf.insert(key, MovementFromRow(r, 5));
        }
    }
    for (const OrderLine &line : lines) {
        const auto it = firstOf.constFind(lineKey(line.estacao, line.npedido, line.nformula, line.lote, line.fornecedor));
        result.report.add(line, it == firstOf.constEnd() ? std::nullopt : std::optional<Movement>(*it));
    }
    result.report.finish();
    return result;
}

} // namespace exports
