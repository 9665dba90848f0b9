// The report staging table RELESTLOTE of the workstation database: its rows as the builds fill
// them, the checks the server would refuse a row for, and the replacement of all rows in one
// transaction, so a build that stops halfway leaves the previous report as it was.
#pragma once
#include "db/connection.h"

#include <QDate>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace reports {

// One RELESTLOTE row; an unset column is stored empty (null).
struct StagingRow {
    QString descricao, lote, fornecedor, codigo, unidade, codigoEan, fabricante, situacao, laboratorio, controlada;
    std::optional<double> saldoPrevisto, saldoCorrente, densidade, fatorCorrecao, precoCusto, precoVenda;
    std::optional<double> estoqueCusto, estoqueVenda;   // floating point columns
    QDate validade;
};

// The value a DECIMAL(15,8) column keeps of a number: rounded to 8 decimals, half away from zero.
double StagedDecimal(double value);

// Why the table would refuse the row (a text wider than its column, a required key column left
// empty, a number outside its column's range or not finite); empty when it fits.
QString StagingRowProblem(const StagingRow &row);

// The columns in LotColumnList order, as parameters of the staging insert.
std::vector<db::Value> StagingValues(const StagingRow &row);

inline const QString kStagingInsert = QStringLiteral(
    "insert into RELESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOPREVISTO, SALDOCORRENTE, UNIDADE, "
    "CODIGOEAN, FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, LABORATORIO, CONTROLADA, PRECOCUSTO, "
    "PRECOVENDA, ESTOQUECUSTO, ESTOQUEVENDA) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

// All rows of RELESTLOTE replaced in one transaction: clear(), insert() each row, commit().
// Destroyed without commit, the table keeps its previous rows.
class StagingReplacement {
public:
    explicit StagingReplacement(db::Connection &workstation);
    ~StagingReplacement();
    StagingReplacement(const StagingReplacement &) = delete;
    StagingReplacement &operator=(const StagingReplacement &) = delete;

    // "DELETE FROM RELESTLOTE"; throws db::DbError when the table cannot be reached.
    void clear();
    // Inserts one row; the server's reason when it refuses it (the transaction goes on).
    std::optional<QString> insert(const StagingRow &row);
    void commit();
    // The transaction the rows go in, for the tables a build replaces with them.
    db::Transaction &transaction() { return m_tx; }

private:
    db::Transaction m_tx;
    std::unique_ptr<db::Prepared> m_insert;
};

} // namespace reports
