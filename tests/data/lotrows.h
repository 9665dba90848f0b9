// Lot rows for the data-layer tests: written straight into a real ESTLOTE and read back from it.
#pragma once
#include "core/runstate.h"
#include "db/connection.h"

#include <QDate>
#include <QString>

namespace datatest {

struct Lot {
    QString descricao;
    QString lote;
    QString fornecedor = QStringLiteral("Galena");
    QString codigo = QStringLiteral("001");
    QString laboratorio = QStringLiteral("Almoxarifado");   // empty: NULL
    QString saldo = QStringLiteral("10");                     // SALDOCORRENTE, decimal text
    QDate validade = QDate();
    QString fabricante = QStringLiteral("Fabrica");
};

inline db::Value textOrNull(const QString &s)
{
    return s.isEmpty() ? db::Value() : db::Value::text(s);
}

inline void addLot(db::Connection &conn, const Lot &l)
{
    conn.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, "
                                "VALIDADE, FABRICANTE) values (?, ?, ?, ?, ?, ?, ?, ?)"),
                 {textOrNull(l.descricao), textOrNull(l.lote), textOrNull(l.fornecedor), textOrNull(l.codigo),
                  textOrNull(l.laboratorio), db::Value::decimal(db::Decimal::fromString(l.saldo)),
                  db::Value::date(l.validade), textOrNull(l.fabricante)});
}

inline QString lotStatement(const QString &orderBy = QStringLiteral("DESCRICAO"))
{
    return QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by ") + orderBy;
}

// One column of every stored row, in the given order, as text ("<null>" for NULL).
inline QStringList column(db::Connection &conn, const QString &col, const QString &orderBy)
{
    QStringList out;
    const db::Rows rows = conn.query(QStringLiteral("select ") + col + QStringLiteral(" from ESTLOTE order by ") + orderBy);
    for (const auto &r : rows.rows)
        out << (r[0].isNull() ? QStringLiteral("<null>") : r[0].toString());
    return out;
}

} // namespace datatest
