#include "staging.h"

#include "platform/cp1252.h"

#include <cmath>

namespace reports {

namespace {

// Scaled by 10^8 the number must fit the 64 bits the column is stored in.
constexpr double kDecimalLimit = 92233720368.0;

db::Value text(const QString &s) { return s.isNull() ? db::Value() : db::Value::text(s); }

db::Value decimal(const std::optional<double> &v)
{
    return v ? db::Value::decimal(db::Decimal::fromDouble(*v, 8)) : db::Value();
}

db::Value real(const std::optional<double> &v) { return v ? db::Value::real(*v) : db::Value(); }

} // namespace

double StagedDecimal(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= kDecimalLimit)
        return value;
    return db::Decimal::fromDouble(value, 8).toDouble();
}

QString StagingRowProblem(const StagingRow &row)
{
    struct Text { const char *column; const QString *value; int width; bool required; };
    const Text texts[] = {
        {"DESCRICAO", &row.descricao, 70, false},    {"LOTE", &row.lote, 30, true},
        {"FORNECEDOR", &row.fornecedor, 35, true},   {"CODIGO", &row.codigo, 13, true},
        {"UNIDADE", &row.unidade, 5, false},         {"CODIGOEAN", &row.codigoEan, 13, false},
        {"FABRICANTE", &row.fabricante, 35, false},  {"SITUACAO", &row.situacao, 10, false},
        {"LABORATORIO", &row.laboratorio, 20, true}, {"CONTROLADA", &row.controlada, 3, false},
    };
    for (const Text &t : texts) {
        if (t.required && t.value->isEmpty())
            return QStringLiteral("O campo '%1' deve ter um valor").arg(QLatin1String(t.column));
        // One byte a character in Windows-1252: only a long text needs encoding to be sure.
        if (t.value->size() > t.width && platform::toCp1252(*t.value).size() > t.width)
            return QStringLiteral("%1: texto maior que %2 caracteres").arg(QLatin1String(t.column)).arg(t.width);
    }
    struct Number { const char *column; const std::optional<double> *value; bool decimal; };
    const Number numbers[] = {
        {"SALDOPREVISTO", &row.saldoPrevisto, true}, {"SALDOCORRENTE", &row.saldoCorrente, true},
        {"DENSIDADE", &row.densidade, true},         {"FATORCORRECAO", &row.fatorCorrecao, true},
        {"PRECOCUSTO", &row.precoCusto, true},       {"PRECOVENDA", &row.precoVenda, true},
        {"ESTOQUECUSTO", &row.estoqueCusto, false},  {"ESTOQUEVENDA", &row.estoqueVenda, false},
    };
    for (const Number &n : numbers) {
        if (!*n.value)
            continue;
        const double v = **n.value;
        if (!std::isfinite(v) || (n.decimal && std::fabs(v) >= kDecimalLimit))
            return QStringLiteral("%1: valor fora da faixa da coluna").arg(QLatin1String(n.column));
    }
    return {};
}

std::vector<db::Value> StagingValues(const StagingRow &r)
{
    return {text(r.descricao),  text(r.lote),          text(r.fornecedor),    text(r.codigo),
            decimal(r.saldoPrevisto), decimal(r.saldoCorrente), text(r.unidade), text(r.codigoEan),
            text(r.fabricante), r.validade.isValid() ? db::Value::date(r.validade) : db::Value(),
            text(r.situacao),   decimal(r.densidade),  decimal(r.fatorCorrecao), text(r.laboratorio),
            text(r.controlada), decimal(r.precoCusto), decimal(r.precoVenda),   real(r.estoqueCusto),
            real(r.estoqueVenda)};
}

StagingReplacement::StagingReplacement(db::Connection &workstation) : m_tx(workstation) {}

StagingReplacement::~StagingReplacement()
{
    m_insert.reset();
    if (m_tx.isActive())
        m_tx.rollback();
}

void StagingReplacement::clear()
{
    m_tx.execute(QStringLiteral("DELETE FROM RELESTLOTE"));
}

std::optional<QString> StagingReplacement::insert(const StagingRow &row)
{
    const QString problem = StagingRowProblem(row);
    if (!problem.isEmpty())
        return problem;
    if (!m_insert)
        m_insert = std::make_unique<db::Prepared>(m_tx, kStagingInsert);
    try {
        m_insert->execute(StagingValues(row));
    } catch (const db::DbError &e) {
        if (e.waitEnded())
            throw;   // the whole build is given up, not one row
        return e.message();
    }
    return std::nullopt;
}

void StagingReplacement::commit()
{
    m_insert.reset();
    m_tx.commit();
}

} // namespace reports
