// The maintenance operations: sources read once, decisions taken in memory in the order the rows
// come (so the last purchase line wins as it always has), changes written in one transaction.
#include "operations.h"

#include "lotstore.h"

#include "common/units.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/dberror.h"
#include "db/sqltext.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/operator.h"

#include <cmath>
#include <optional>
#include <unordered_map>

namespace maintenance {
namespace {
// The registers' unit table of the shared rules, by the names the operations below give it.
constexpr auto &UnitFactor = common::RegisterUnitFactor;
constexpr auto &UnitsConvertible = common::RegisterUnitsConvertible;
} // namespace
} // namespace maintenance

namespace maintenance {

namespace {

const QString kNewLotSituation = QStringLiteral("Estoque");
const int kNewLotDays = 730;
const double kNewLotBalance = 1000000;

// BitBtn3 hidden for the whole run; whatever stops the run early, the window gets its button
// back, the gauge goes away and the batch-insert mode is cleared.
class Frame {
public:
    Frame(Context &ctx, bool batchInsert) : m_ctx(ctx), m_batch(batchInsert)
    {
        if (m_batch)
            m_ctx.dm.BatchInsertMode = true;
        m_ctx.view.setEditButtonVisible(false);
    }
    ~Frame()
    {
        if (m_batch)
            m_ctx.dm.BatchInsertMode = false;
        if (!m_finished) {
            m_ctx.view.hideGauge();
            m_ctx.view.setEditButtonVisible(true);
        }
    }
    void clearBatch()
    {
        if (m_batch)
            m_ctx.dm.BatchInsertMode = false;
        m_batch = false;
    }
    void finished() { m_finished = true; }

private:
    Context &m_ctx;
    bool m_batch;
    bool m_finished = false;
};

// A source table read whole, its columns found once by name.
struct Source {
    db::Rows rows;
    std::vector<int> col;
    Source(db::Transaction &tx, const QString &sql, const QStringList &names) : rows(tx.query(sql))
    {
        for (const QString &n : names)
            col.push_back(rows.indexOf(n));
    }
    int size() const { return int(rows.rows.size()); }
    const db::Value &at(int row, int c) const { return rows.rows[size_t(row)][size_t(col[size_t(c)])]; }
    QString text(int row, int c) const { return at(row, c).toString(); }
};

// The write phase sweeps the gauge once more, as far as the rows written.
std::function<void(int, int)> gaugeSweep(MaintenanceView &view, int maximum)
{
    return [&view, maximum](int done, int total) {
        view.advanceGauge(total > 0 ? int(qint64(done) * maximum / total) : maximum);
    };
}

int postsOf(const LotStore &lots)
{
    int n = 0;
    for (int i = 0; i < lots.size(); ++i)
        n += lots.lot(i).posts;
    return n;
}

// The decimals of the lot balances (DECIMAL(18,8)).
constexpr int kBalanceScale = 8;

// A quantity times a factor of the unit table (a power of ten), worked on the exact decimal so
// that 9999999999.99999 stays what it is, at the balances' decimals (rounded half away from zero).
// Nothing when the result does not fit a balance.
std::optional<db::Value> scaled(const db::Value &quantity, double factor)
{
    if (quantity.kind() != db::Value::Kind::Integer && quantity.kind() != db::Value::Kind::Decimal)
        return db::Value::decimal(db::Decimal::fromDouble(quantity.toDouble() * factor, kBalanceScale));
    const db::Decimal d = quantity.toDecimal();
    int shift = kBalanceScale - d.scale + int(std::lround(std::log10(factor)));
    int64_t m = d.mantissa;
    for (; shift > 0; --shift)
        if (__builtin_mul_overflow(m, int64_t(10), &m))
            return std::nullopt;
    if (shift < 0) {
        if (shift < -18)
            return db::Value::decimal(db::Decimal{0, kBalanceScale});
        int64_t div = 1;
        for (; shift < 0; ++shift)
            div *= 10;
        const int64_t rest = m % div;
        m /= div;
        if (2 * (rest < 0 ? -rest : rest) >= div)
            m += d.mantissa < 0 ? -1 : 1;
    }
    return db::Value::decimal(db::Decimal{m, kBalanceScale});
}

QString tooLargeReason(const db::Value &quantity, const QString &unit)
{
    return QStringLiteral("quantidade %1 grande demais para o saldo do lote em %2").arg(quantity.toString(), unit);
}

void tellRefusals(Context &ctx, const std::vector<Refusal> &refusals)
{
    const QString summary = RefusalSummary(refusals);
    if (!summary.isEmpty())
        ctx.op.warn(summary);
}

void reopenGrid(data::TDM &dm, const QString &sql)
{
    dm.ESTLOTE.close();
    dm.ESTLOTE.setCommandText(sql);
    dm.ESTLOTE.open();
}

// A value the source leaves empty keeps the lot's own (expiry, density, factor).
void setUnlessNull(LotStore &lots, int i, LotCol c, const db::Value &v)
{
    if (!v.isNull())
        lots.set(i, c, v);
}

db::Value dateOf(const db::Value &v)
{
    return v.isNull() ? db::Value() : db::Value::date(v.toDate());
}

} // namespace

QString FromProductsMessage(int count)
{
    return QStringLiteral("Pronto. %1 registros foram incluídos na tabela de Lotes a partir da tabela de Componentes")
        .arg(count);
}

QString FromPurchasesMessage(int count)
{
    return QStringLiteral("Pronto. %1 registros foram incluídos na tabela de Lotes a partir da tabela de Compras")
        .arg(count);
}

QString AllLotsStatement()
{
    return QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE");
}

QString UnitCorrectionGridStatement(const QString &laboratory)
{
    return QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where (UPPER(LABORATORIO) = '")
        + db::escapeQuotes(platform::asciiUpper(laboratory))
        + QStringLiteral("' or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = 'EMTRANSITO') "
                         "order by DESCRICAO, VALIDADE");
}

QString NeutraliseApostrophes(const QString &text)
{
    QString s = text;
    if (s.startsWith(QLatin1Char('\'')))
        s.remove(0, 1);
    s.replace(QLatin1Char('\''), QLatin1Char(' '));
    return s;
}

// ---- ImportProductLots

Counts ImportProductLots(Context &ctx)
{
    data::TDM &dm = ctx.dm;
    Frame frame(ctx, true);
    db::Transaction tx(dm.SQLConnection1);
    enum { cCODIGO, cCOMPONENTE, cGRUPO, cUNID, cCONTROLADA, cFABRICANTE, cFORNECEDOR, cLOTE, cFATOR, cDENS };
    const Source products(tx,
                          QStringLiteral("select CODIGO, COMPONENTE, GRUPO, UNID, CONTROLADA, FABRICANTE, FORNECEDOR, "
                                         "LOTE, FATORCORRECAO, DENSIDADE from COMPONEN order by COMPONENTE"),
                          {"CODIGO", "COMPONENTE", "GRUPO", "UNID", "CONTROLADA", "FABRICANTE", "FORNECEDOR", "LOTE",
                           "FATORCORRECAO", "DENSIDADE"});
    const int n = products.size();
    ctx.view.startGauge(n);

    std::optional<LotStore> store;
    try {
        store.emplace(tx, dm.run);
    } catch (const db::DbError &e) {
        if (e.isConnectionLost())
            throw;
        // The lookup the server refuses (an empty laboratory scope) fails alike for every
        // product: one message and the run stops.
        ctx.view.hideGauge();
        ctx.op.warn(QStringLiteral("ERRO: ") + kCr + LotStore::scopeStatement(dm.run.LabScopeClause));
        return {};
    }
    LotStore &lots = *store;
    const db::Value expiry = db::Value::date(ctx.clock.today().addDays(kNewLotDays));

    for (int r = 0; r < n; ++r) {
        ctx.view.advanceGauge(r + 1);
        const QString name = products.text(r, cCOMPONENTE);
        if (name.isEmpty())
            continue;
        QString lot = products.text(r, cLOTE);
        if (lot.isEmpty())
            lot = QStringLiteral("-");
        QString supplier = products.text(r, cFORNECEDOR);
        if (supplier.isEmpty())
            supplier = QStringLiteral("-");
        const QString newName = NeutraliseApostrophes(name);
        const QString newLot = NeutraliseApostrophes(lot);
        const QString newSupplier = NeutraliseApostrophes(supplier);
        // The lot under its true name, or the one an earlier import made under the neutralised name.
        if (lots.find(name, lot, supplier) >= 0 || lots.find(newName, newLot, newSupplier) >= 0)
            continue;
        LotValues v;
        v[DESCRICAO] = db::Value::text(newName);
        v[LOTE] = db::Value::text(newLot);
        v[FORNECEDOR] = db::Value::text(newSupplier);
        v[FABRICANTE] = products.at(r, cFABRICANTE);
        v[CODIGO] = products.at(r, cCODIGO);
        v[SALDOPREVISTO] = db::Value::decimal(db::Decimal::fromDouble(kNewLotBalance, 8));
        v[SALDOCORRENTE] = v[SALDOPREVISTO];
        v[SITUACAO] = db::Value::text(kNewLotSituation);
        v[UNIDADE] = products.at(r, cUNID);
        v[VALIDADE] = expiry;
        v[DENSIDADE] = products.at(r, cDENS);
        v[FATORCORRECAO] = products.at(r, cFATOR);
        v[CONTROLADA] = products.at(r, cCONTROLADA);
        const QString group = products.text(r, cGRUPO);
        if (group == QLatin1String("REV") || group == QLatin1String("LOC"))
            v[CODIGOEAN] = products.at(r, cCODIGO);
        const int i = lots.insert(std::move(v));
        if (i >= 0)
            lots.posted(i);
    }

    const int posts = postsOf(lots);
    const LotStore::Written w = lots.write(tx, gaugeSweep(ctx.view, n));
    tx.commit();
    const int count = posts - w.refusedPosts;

    frame.clearBatch();
    ctx.view.hideGauge();
    ctx.op.inform(FromProductsMessage(count));
    tellRefusals(ctx, w.refusals);
    ctx.view.repaintWindow();
    reopenGrid(dm, AllLotsStatement());
    ctx.view.setEditButtonVisible(true);
    frame.finished();
    return {count, -1};
}

// ---- BringProductData

Counts BringProductData(Context &ctx)
{
    data::TDM &dm = ctx.dm;
    Frame frame(ctx, false);
    Counts counts;

    std::optional<db::Transaction> tx(std::in_place, dm.SQLConnection1);
    enum { cCOMPONENTE, cLOTE, cFORNECEDOR, cVALIDADE, cDENS, cFATOR };
    const QStringList names = {"COMPONENTE", "LOTE", "FORNECEDOR", "VALIDADE", "DENSIDADE", "FATORCORRECAO"};
    std::optional<Source> src(std::in_place, *tx,
                              QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, VALIDADE, DENSIDADE, FATORCORRECAO "
                                             "from COMPONEN order by COMPONENTE"),
                              names);
    int n = src->size();
    ctx.view.startGauge(n);
    ctx.view.setCaption(kCaptionFromProducts);
    LotStore lots(*tx, dm.run);

    const auto apply = [&](int r, bool fallback) {
        const QString name = src->text(r, cCOMPONENTE);
        const QString lot = src->text(r, cLOTE);
        const QString supplier = src->text(r, cFORNECEDOR);
        if (name.isEmpty() || lot.isEmpty() || supplier.isEmpty())
            return;
        int i = lots.find(name, lot, supplier);
        if (i < 0 && fallback)
            i = lots.firstUnsetDensity(name);
        if (i < 0)
            return;
        setUnlessNull(lots, i, VALIDADE, dateOf(src->at(r, cVALIDADE)));
        setUnlessNull(lots, i, DENSIDADE, src->at(r, cDENS));
        setUnlessNull(lots, i, FATORCORRECAO, src->at(r, cFATOR));
        lots.posted(i);
    };

    for (int r = 0; r < n; ++r) {
        ctx.view.advanceGauge(r + 1);
        apply(r, true);
    }
    int posts = postsOf(lots);
    const LotStore::Written fromProducts = lots.write(*tx, gaugeSweep(ctx.view, n));
    counts.first = posts - fromProducts.refusedPosts;
    src.reset();

    // The purchases in the same transaction: the register's values and the purchases' are
    // stored together or not at all, and the operator is told of both once they are.
    ctx.view.setCaption(kCaptionFromPurchases);
    src.emplace(*tx,
                QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, VALIDADE, DENSIDADE, FATORCORRECAO from COMPRAS"),
                names);
    n = src->size();
    ctx.view.startGauge(n);
    for (int r = 0; r < n; ++r) {
        ctx.view.advanceGauge(r + 1);
        apply(r, false);
    }
    posts = postsOf(lots);
    const LotStore::Written fromPurchases = lots.write(*tx, gaugeSweep(ctx.view, n));
    tx->commit();
    counts.second = posts - fromPurchases.refusedPosts;

    src.reset();
    ctx.view.hideGauge();
    ctx.op.inform(FromProductsMessage(counts.first));
    tellRefusals(ctx, fromProducts.refusals);
    ctx.view.repaintWindow();
    ctx.op.inform(FromPurchasesMessage(counts.second));
    tellRefusals(ctx, fromPurchases.refusals);
    ctx.view.setCaption(kCaptionPlain);
    reopenGrid(dm, AllLotsStatement());
    ctx.view.setEditButtonVisible(true);
    frame.finished();
    return counts;
}

// ---- ImportPurchaseLots

Counts ImportPurchaseLots(Context &ctx)
{
    data::TDM &dm = ctx.dm;
    Frame frame(ctx, false);
    db::Transaction tx(dm.SQLConnection1);
    enum { cCOMPONENTE, cLOTE, cFORNECEDOR, cCODIGO, cQTD, cUNIDADE, cFABRICANTE, cVALIDADE, cDENS, cFATOR };
    const Source lines(tx,
                       QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, CODIGO, QUANTIDADE, UNIDADE, FABRICANTE, "
                                      "VALIDADE, DENSIDADE, FATORCORRECAO from COMPRAS"),
                       {"COMPONENTE", "LOTE", "FORNECEDOR", "CODIGO", "QUANTIDADE", "UNIDADE", "FABRICANTE",
                        "VALIDADE", "DENSIDADE", "FATORCORRECAO"});
    const int n = lines.size();
    ctx.view.startGauge(n);

    // The product register by code: the first row the lookup by CODIGO would return.
    enum { pCODIGO, pUNID, pCONTROLADA };
    const Source products(tx, QStringLiteral("select CODIGO, UNID, CONTROLADA from COMPONEN"),
                          {"CODIGO", "UNID", "CONTROLADA"});
    std::unordered_map<QString, int> byCode;
    byCode.reserve(size_t(products.size()));
    for (int p = 0; p < products.size(); ++p)
        byCode.emplace(serverText(products.text(p, pCODIGO)), p);

    LotStore lots(tx, dm.run);
    std::vector<Refusal> relabelled;
    std::vector<Refusal> tooLarge;   // lines whose quantity no balance can hold: not imported
    std::vector<bool> reported(size_t(lots.size()), false);
    for (int r = 0; r < n; ++r) {
        ctx.view.advanceGauge(r + 1);
        const QString name = lines.text(r, cCOMPONENTE);
        const QString lot = lines.text(r, cLOTE);
        const QString supplier = lines.text(r, cFORNECEDOR);
        if (name.isEmpty() || lot.isEmpty() || supplier.isEmpty())
            continue;
        const QString code = lines.text(r, cCODIGO);
        const QString lineUnit = lines.text(r, cUNIDADE);
        QString unit = lineUnit;
        db::Value controlled;
        const auto p = byCode.find(serverText(code));
        if (p != byCode.end() && products.text(p->second, pCODIGO) == code) {
            unit = products.text(p->second, pUNID);
            controlled = products.at(p->second, pCONTROLADA);
        }
        // Units the table cannot convert keep the purchase line's own unit and quantity.
        if (!UnitsConvertible(unit, lineUnit))
            unit = lineUnit;
        const double factor = UnitFactor(unit, lineUnit);
        const db::Value &quantity = lines.at(r, cQTD);

        const int i = lots.find(name, lot, supplier);
        if (i >= 0) {
            // The balances are replaced by the line's quantity, not added to; a line without a
            // quantity leaves balances and unit as they are.
            if (!quantity.isNull()) {
                const LotValues &stored = lots.lot(i).v;
                const std::optional<db::Value> balance = scaled(quantity, factor);
                if (!balance) {
                    tooLarge.push_back({stored[DESCRICAO].toString(), stored[LOTE].toString(),
                                        stored[FORNECEDOR].toString(), tooLargeReason(quantity, unit)});
                    continue;
                }
                // A stored unit the new one cannot be converted from is replaced with the balance:
                // the operator is told which lots, so none changes unit unnoticed.
                const QString storedUnit = stored[UNIDADE].toString();
                if (!storedUnit.trimmed().isEmpty() && !UnitsConvertible(unit, storedUnit)
                    && i < int(reported.size()) && !reported[size_t(i)]) {
                    reported[size_t(i)] = true;
                    relabelled.push_back({stored[DESCRICAO].toString(), stored[LOTE].toString(),
                                          stored[FORNECEDOR].toString(),
                                          QStringLiteral("unidade %1 não convertida para %2; saldo e unidade "
                                                         "substituídos pelos da compra")
                                              .arg(storedUnit, unit)});
                }
                lots.set(i, SALDOPREVISTO, *balance);
                lots.set(i, SALDOCORRENTE, *balance);
                lots.set(i, UNIDADE, db::Value::text(unit));
            }
            lots.posted(i);
            continue;
        }
        LotValues v;
        v[DESCRICAO] = lines.at(r, cCOMPONENTE);
        v[LOTE] = lines.at(r, cLOTE);
        v[FORNECEDOR] = lines.at(r, cFORNECEDOR);
        v[FABRICANTE] = lines.at(r, cFABRICANTE);
        v[CODIGO] = lines.at(r, cCODIGO);
        if (!quantity.isNull()) {
            const std::optional<db::Value> balance = scaled(quantity, factor);
            if (!balance) {
                tooLarge.push_back({name, lot, supplier, tooLargeReason(quantity, unit)});
                continue;
            }
            v[SALDOPREVISTO] = *balance;
            v[SALDOCORRENTE] = *balance;
        }
        v[UNIDADE] = db::Value::text(unit);
        v[CODIGOEAN] = lines.at(r, cCODIGO);
        v[VALIDADE] = lines.at(r, cVALIDADE);
        v[DENSIDADE] = lines.at(r, cDENS);
        v[FATORCORRECAO] = lines.at(r, cFATOR);
        v[CONTROLADA] = controlled;
        const int added = lots.insert(std::move(v));
        if (added >= 0)
            lots.posted(added);
    }

    const int posts = postsOf(lots);
    LotStore::Written w = lots.write(tx, gaugeSweep(ctx.view, n));
    tx.commit();
    const int count = posts - w.refusedPosts;
    w.refusals.insert(w.refusals.end(), relabelled.begin(), relabelled.end());
    w.refusals.insert(w.refusals.end(), tooLarge.begin(), tooLarge.end());

    ctx.view.hideGauge();
    ctx.view.repaintWindow();
    ctx.op.inform(FromPurchasesMessage(count));
    tellRefusals(ctx, w.refusals);
    const QString sql = AllLotsStatement();
    try {
        reopenGrid(dm, sql);
    } catch (const db::DbError &) {
        ctx.op.inform(QStringLiteral("Erro executando o comando: ") + kCr + sql);
    }
    ctx.view.setEditButtonVisible(true);
    frame.finished();
    return {count, -1};
}

// ---- Controlled mark

void ImportarindicaodeCONTROLADA(Context &ctx)
{
    data::TDM &dm = ctx.dm;
    data::CachedDataset &grid = dm.ESTLOTE;
    if (!grid.isOpen())
        return;
    db::Transaction tx(dm.SQLConnection1);
    enum { pCOMPONENTE, pCONTROLADA };
    const Source products(tx, QStringLiteral("select COMPONENTE, CONTROLADA from COMPONEN"),
                          {"COMPONENTE", "CONTROLADA"});
    std::unordered_map<QString, int> byName;
    byName.reserve(size_t(products.size()));
    for (int p = 0; p < products.size(); ++p)
        byName.emplace(serverText(products.text(p, pCOMPONENTE)), p);

    std::vector<int> gridCol;
    for (const QString &c : lotColumnNames())
        gridCol.push_back(grid.fieldIndex(c));
    const db::Value sim = db::Value::text(QStringLiteral("Sim"));
    KeyedUpdater updater(tx);
    std::vector<Refusal> refusals;
    for (int row = 0; row < grid.rowCount(); ++row) {
        const QString description = grid.valueAt(row, gridCol[DESCRICAO]).toString();
        const auto p = byName.find(serverText(description));
        if (p == byName.end() || products.text(p->second, pCOMPONENTE) != description)
            continue;
        if (platform::asciiUpper(products.text(p->second, pCONTROLADA).left(1)) != QLatin1String("S"))
            continue;
        LotValues v;
        for (int c = 0; c < kLotCols; ++c)
            v[size_t(c)] = gridCol[size_t(c)] >= 0 ? grid.valueAt(row, gridCol[size_t(c)]) : db::Value();
        if (v[CONTROLADA] == sim)
            continue;
        const LotValues key = v;
        v[CONTROLADA] = sim;
        QString refusal;
        try {
            if (updater.update({CONTROLADA}, v, key) == 0)
                refusal = QStringLiteral("o registro não foi encontrado: foi alterado ou excluído por outro usuário");
        } catch (const db::DbError &e) {
            if (e.isConnectionLost() || e.waitEnded())
                throw;
            refusal = e.message();
        }
        if (!refusal.isEmpty())
            refusals.push_back({v[DESCRICAO].toString(), v[LOTE].toString(), v[FORNECEDOR].toString(), refusal});
    }
    tx.commit();
    tellRefusals(ctx, refusals);
    // The grid keeps its statement and ends past its last row.
    try {
        grid.refresh();
    } catch (const std::exception &) {
        grid.close();
        grid.open();
    }
    grid.last();
    grid.next();
}

// ---- Unit correction

Counts CorrectUnits(Context &ctx)
{
    data::TDM &dm = ctx.dm;
    Frame frame(ctx, false);
    db::Transaction tx(dm.SQLConnection1);
    enum { cCOMPONENTE, cLOTE, cFORNECEDOR, cUNIDADE };
    const Source lines(tx, QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, UNIDADE from COMPRAS"),
                       {"COMPONENTE", "LOTE", "FORNECEDOR", "UNIDADE"});
    const int n = lines.size();
    ctx.view.startGauge(n);

    // The product register by name: the first row the lookup by COMPONENTE would return.
    enum { pCOMPONENTE, pUNID };
    const Source products(tx, QStringLiteral("select COMPONENTE, UNID from COMPONEN"), {"COMPONENTE", "UNID"});
    std::unordered_map<QString, int> byName;
    byName.reserve(size_t(products.size()));
    for (int p = 0; p < products.size(); ++p)
        byName.emplace(serverText(products.text(p, pCOMPONENTE)), p);

    LotStore lots(tx, dm.run);
    std::vector<Refusal> notConverted;
    std::vector<bool> reported(size_t(lots.size()), false);
    for (int r = 0; r < n; ++r) {
        ctx.view.advanceGauge(r + 1);
        const QString name = lines.text(r, cCOMPONENTE);
        const QString lot = lines.text(r, cLOTE);
        const QString supplier = lines.text(r, cFORNECEDOR);
        if (name.isEmpty() || lot.isEmpty() || supplier.isEmpty())
            continue;
        QString unit = lines.text(r, cUNIDADE);
        const auto p = byName.find(serverText(name));
        if (p != byName.end() && products.text(p->second, pCOMPONENTE) == name)
            unit = products.text(p->second, pUNID);
        const int i = lots.find(name, lot, supplier);
        if (i < 0)
            continue;
        const LotValues &v = lots.lot(i).v;
        const QString lotUnit = v[UNIDADE].toString();
        if (!UnitsConvertible(unit, lotUnit)) {
            // Relabelling would keep the numbers under the wrong unit: the lot stays as it is.
            if (!reported[size_t(i)]) {
                reported[size_t(i)] = true;
                notConverted.push_back({v[DESCRICAO].toString(), v[LOTE].toString(), v[FORNECEDOR].toString(),
                                        QStringLiteral("unidade %1 não convertida para %2").arg(lotUnit, unit)});
            }
            continue;
        }
        const double factor = UnitFactor(unit, lotUnit);
        const std::optional<db::Value> expected = v[SALDOPREVISTO].isNull() ? db::Value() : scaled(v[SALDOPREVISTO], factor);
        const std::optional<db::Value> current = v[SALDOCORRENTE].isNull() ? db::Value() : scaled(v[SALDOCORRENTE], factor);
        if (!expected || !current) {
            if (!reported[size_t(i)]) {
                reported[size_t(i)] = true;
                notConverted.push_back({v[DESCRICAO].toString(), v[LOTE].toString(), v[FORNECEDOR].toString(),
                                        tooLargeReason(expected ? v[SALDOCORRENTE] : v[SALDOPREVISTO], unit)});
            }
            continue;
        }
        if (!v[SALDOPREVISTO].isNull())
            lots.set(i, SALDOPREVISTO, *expected);
        if (!v[SALDOCORRENTE].isNull())
            lots.set(i, SALDOCORRENTE, *current);
        lots.set(i, UNIDADE, db::Value::text(unit));
        lots.posted(i);
    }

    const int posts = postsOf(lots);
    LotStore::Written w = lots.write(tx, gaugeSweep(ctx.view, n));
    tx.commit();
    const int count = posts - w.refusedPosts;
    w.refusals.insert(w.refusals.end(), notConverted.begin(), notConverted.end());

    ctx.view.hideGauge();
    ctx.view.repaintWindow();
    ctx.op.inform(FromPurchasesMessage(count));
    tellRefusals(ctx, w.refusals);
    reopenGrid(dm, UnitCorrectionGridStatement(dm.run.Laboratory));
    ctx.view.setEditButtonVisible(true);
    frame.finished();
    return {count, -1};
}

// ---- Deletions

namespace {
void deleteLots(Context &ctx, const QString &sql, const QString &success)
{
    try {
        ctx.dm.SQLConnection1.execute(sql);
    } catch (const std::exception &) {
        ctx.op.inform(kDoneFailure);
        return;
    }
    ctx.op.inform(success);
}
} // namespace

void DeleteZeroBalanceLots(Context &ctx)
{
    deleteLots(ctx, kDeleteZeroBalanceSql, kDoneSuccessDot);
}

void DeleteInactiveProductLots(Context &ctx)
{
    deleteLots(ctx, kDeleteInactiveSql, kDoneSuccess);
}

} // namespace maintenance
