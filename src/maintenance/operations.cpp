// The maintenance operations: sources read once, decisions taken in memory in the order the rows
// come (so the last purchase line wins as it always has), changes written in one transaction.
#include "operations.h"

#include "lotstore.h"
#include "packedrows.h"

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

// A source table read whole through a cursor into packed rows. Its columns are named once, in
// the order of the caller's enum; the statement is made of them.
class Source {
public:
    Source(db::Transaction &tx, const QStringList &columns, const QString &from) : m_rows(int(columns.size()))
    {
        db::Cursor c = tx.open(QStringLiteral("select ") + columns.join(QStringLiteral(", ")) + QLatin1Char(' ') + from);
        std::vector<int> at;
        for (const QString &name : columns)
            at.push_back(c.layout().indexOf(name));
        while (c.next())
            m_rows.append(c, at);
    }
    int size() const { return m_rows.size(); }
    db::Value at(int row, int c) const { return m_rows.at(row, c); }
    QString text(int row, int c) const { return at(row, c).toString(); }

private:
    PackedRows m_rows;
};

// The row a lookup by one column of a source returns: the first row of the text as the server
// compares it (trailing blanks do not count), and only when it holds exactly that text.
class FirstRowOf {
public:
    FirstRowOf(const Source &source, int column) : m_source(source), m_column(column)
    {
        m_first.reserve(size_t(source.size()));
        for (int r = 0; r < source.size(); ++r)
            m_first.emplace(serverText(source.text(r, column)), r);
    }
    int find(const QString &text) const
    {
        const auto it = m_first.find(serverText(text));
        return it != m_first.end() && m_source.text(it->second, m_column) == text ? it->second : -1;
    }

private:
    const Source &m_source;
    int m_column;
    std::unordered_map<QString, int> m_first;
};

// The write phase sweeps the gauge once more, as far as the rows written.
std::function<void(int, int)> gaugeSweep(MaintenanceView &view, int maximum)
{
    return [&view, maximum](int done, int total) {
        view.advanceGauge(total > 0 ? int(qint64(done) * maximum / total) : maximum);
    };
}

// What a write of the lots leaves to tell: the posts of the lots the server took, and the rows
// it refused.
struct Outcome {
    int count = 0;
    std::vector<Refusal> refusals;
};

Outcome writeLots(Context &ctx, LotStore &lots, db::Transaction &tx, int gaugeMaximum)
{
    const int posts = lots.posts();
    LotStore::Written w = lots.write(tx, gaugeSweep(ctx.view, gaugeMaximum));
    return {posts - w.refusedPosts, std::move(w.refusals)};
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

// The end of a run that wrote its lots, as the operator sees it: the gauge gone, the count and
// the refusals told, the grid reloaded, the edit button back.
struct Ending {
    QString message;
    std::vector<Refusal> refusals;
    QString grid;             // the statement the grid reopens on
    // The product import tells its count over the window as the run left it; the others once
    // the window is repainted.
    bool tellFirst = false;
    // The purchase import carries on past a grid that will not reload, naming its statement.
    bool gridFailureTold = false;
};

void end(Context &ctx, Frame &frame, const Ending &e)
{
    frame.clearBatch();
    ctx.view.hideGauge();
    if (!e.tellFirst)
        ctx.view.repaintWindow();
    ctx.op.inform(e.message);
    tellRefusals(ctx, e.refusals);
    if (e.tellFirst)
        ctx.view.repaintWindow();
    try {
        reopenGrid(ctx.dm, e.grid);
    } catch (const db::DbError &) {
        if (!e.gridFailureTold)
            throw;
        ctx.op.inform(QStringLiteral("Erro executando o comando: ") + kCr + e.grid);
    }
    ctx.view.setEditButtonVisible(true);
    frame.finished();
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

namespace {

enum { cCODIGO, cCOMPONENTE, cGRUPO, cUNID, cCONTROLADA, cFABRICANTE, cFORNECEDOR, cLOTE, cFATOR, cDENS };
const QStringList kRegisterColumns = {"CODIGO", "COMPONENTE", "GRUPO", "UNID", "CONTROLADA",
                                      "FABRICANTE", "FORNECEDOR", "LOTE", "FATORCORRECAO", "DENSIDADE"};

// The lot a register row makes, under the neutralised name, lot and supplier.
LotValues newLotOf(const Source &products, int r, const QString &name, const QString &lot, const QString &supplier,
                   const db::Value &expiry)
{
    LotValues v;
    v[DESCRICAO] = db::Value::text(name);
    v[LOTE] = db::Value::text(lot);
    v[FORNECEDOR] = db::Value::text(supplier);
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
    return v;
}

} // namespace

Counts ImportProductLots(Context &ctx)
{
    data::TDM &dm = ctx.dm;
    Frame frame(ctx, true);
    Ending ending;
    int count = 0;
    // The register and the lots are dropped before the grid reloads the lots.
    {
        db::Transaction tx(dm.SQLConnection1);
        const Source products(tx, kRegisterColumns, QStringLiteral("from COMPONEN order by COMPONENTE"));
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
            const int i = lots.insert(newLotOf(products, r, newName, newLot, newSupplier, expiry));
            if (i >= 0)
                lots.posted(i);
        }

        Outcome out = writeLots(ctx, lots, tx, n);
        tx.commit();
        count = out.count;
        ending = {FromProductsMessage(count), std::move(out.refusals), AllLotsStatement(), true, false};
    }
    end(ctx, frame, ending);
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
    const QStringList columns = {"COMPONENTE", "LOTE", "FORNECEDOR", "VALIDADE", "DENSIDADE", "FATORCORRECAO"};
    std::optional<Source> src(std::in_place, *tx, columns, QStringLiteral("from COMPONEN order by COMPONENTE"));
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
    const Outcome fromProducts = writeLots(ctx, lots, *tx, n);
    counts.first = fromProducts.count;
    src.reset();

    // The purchases in the same transaction: the register's values and the purchases' are
    // stored together or not at all, and the operator is told of both once they are.
    ctx.view.setCaption(kCaptionFromPurchases);
    src.emplace(*tx, columns, QStringLiteral("from COMPRAS"));
    n = src->size();
    ctx.view.startGauge(n);
    for (int r = 0; r < n; ++r) {
        ctx.view.advanceGauge(r + 1);
        apply(r, false);
    }
    const Outcome fromPurchases = writeLots(ctx, lots, *tx, n);
    tx->commit();
    counts.second = fromPurchases.count;

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

namespace {

// The product register by code, as the purchase import reads it.
struct ProductsByCode {
    enum { pCODIGO, pUNID, pCONTROLADA };
    Source rows;
    FirstRowOf byCode;
    explicit ProductsByCode(db::Transaction &tx)
        : rows(tx, {"CODIGO", "UNID", "CONTROLADA"}, QStringLiteral("from COMPONEN")), byCode(rows, pCODIGO)
    {
    }
};

// One purchase line as the import reads it, its unit settled against the product register.
struct PurchaseLine {
    enum { cCOMPONENTE, cLOTE, cFORNECEDOR, cCODIGO, cQTD, cUNIDADE, cFABRICANTE, cVALIDADE, cDENS, cFATOR };
    static const QStringList &columns()
    {
        static const QStringList c = {"COMPONENTE", "LOTE",       "FORNECEDOR", "CODIGO",    "QUANTIDADE",
                                      "UNIDADE",    "FABRICANTE", "VALIDADE",   "DENSIDADE", "FATORCORRECAO"};
        return c;
    }

    const Source &lines;
    int r;
    QString name, lot, supplier;
    QString unit;             // the product's unit when the line's converts to it, else the line's
    db::Value controlled;     // the product's mark
    db::Value quantity;
    double factor = 1;        // from the line's unit to `unit`

    PurchaseLine(const Source &lines, int r, const ProductsByCode &products)
        : lines(lines), r(r), name(lines.text(r, cCOMPONENTE)), lot(lines.text(r, cLOTE)),
          supplier(lines.text(r, cFORNECEDOR)), quantity(lines.at(r, cQTD))
    {
        const QString lineUnit = lines.text(r, cUNIDADE);
        unit = lineUnit;
        if (const int p = products.byCode.find(lines.text(r, cCODIGO)); p >= 0) {
            unit = products.rows.text(p, ProductsByCode::pUNID);
            controlled = products.rows.at(p, ProductsByCode::pCONTROLADA);
        }
        // Units the table cannot convert keep the purchase line's own unit and quantity.
        if (!UnitsConvertible(unit, lineUnit))
            unit = lineUnit;
        factor = UnitFactor(unit, lineUnit);
    }
    bool complete() const { return !name.isEmpty() && !lot.isEmpty() && !supplier.isEmpty(); }
    std::optional<db::Value> balance() const { return scaled(quantity, factor); }
};

// The decisions of a purchase import over the lots, line by line, and what it tells the
// operator of the lines it did not write as they came.
class PurchaseImport {
public:
    explicit PurchaseImport(LotStore &lots) : m_lots(lots), m_reported(size_t(lots.size()), false) {}

    void take(const PurchaseLine &line)
    {
        if (const int i = m_lots.find(line.name, line.lot, line.supplier); i >= 0)
            replaceBalances(i, line);
        else
            addLot(line);
    }
    std::vector<Refusal> notes() const
    {
        std::vector<Refusal> all = m_relabelled;
        all.insert(all.end(), m_tooLarge.begin(), m_tooLarge.end());
        return all;
    }

private:
    // The balances are replaced by the line's quantity, not added to; a line without a quantity
    // leaves balances and unit as they are.
    void replaceBalances(int i, const PurchaseLine &line)
    {
        if (!line.quantity.isNull()) {
            const LotValues stored = m_lots.values(i);
            const std::optional<db::Value> balance = line.balance();
            if (!balance) {
                m_tooLarge.push_back({stored[DESCRICAO].toString(), stored[LOTE].toString(),
                                      stored[FORNECEDOR].toString(), tooLargeReason(line.quantity, line.unit)});
                return;
            }
            // A stored unit the new one cannot be converted from is replaced with the balance:
            // the operator is told which lots, so none changes unit unnoticed.
            const QString storedUnit = stored[UNIDADE].toString();
            if (!storedUnit.trimmed().isEmpty() && !UnitsConvertible(line.unit, storedUnit)
                && i < int(m_reported.size()) && !m_reported[size_t(i)]) {
                m_reported[size_t(i)] = true;
                m_relabelled.push_back({stored[DESCRICAO].toString(), stored[LOTE].toString(),
                                        stored[FORNECEDOR].toString(),
                                        QStringLiteral("unidade %1 não convertida para %2; saldo e unidade "
                                                       "substituídos pelos da compra")
                                            .arg(storedUnit, line.unit)});
            }
            m_lots.set(i, SALDOPREVISTO, *balance);
            m_lots.set(i, SALDOCORRENTE, *balance);
            m_lots.set(i, UNIDADE, db::Value::text(line.unit));
        }
        m_lots.posted(i);
    }

    void addLot(const PurchaseLine &line)
    {
        using L = PurchaseLine;
        LotValues v;
        v[DESCRICAO] = line.lines.at(line.r, L::cCOMPONENTE);
        v[LOTE] = line.lines.at(line.r, L::cLOTE);
        v[FORNECEDOR] = line.lines.at(line.r, L::cFORNECEDOR);
        v[FABRICANTE] = line.lines.at(line.r, L::cFABRICANTE);
        v[CODIGO] = line.lines.at(line.r, L::cCODIGO);
        if (!line.quantity.isNull()) {
            const std::optional<db::Value> balance = line.balance();
            if (!balance) {
                m_tooLarge.push_back({line.name, line.lot, line.supplier, tooLargeReason(line.quantity, line.unit)});
                return;
            }
            v[SALDOPREVISTO] = *balance;
            v[SALDOCORRENTE] = *balance;
        }
        v[UNIDADE] = db::Value::text(line.unit);
        v[CODIGOEAN] = line.lines.at(line.r, L::cCODIGO);
        v[VALIDADE] = line.lines.at(line.r, L::cVALIDADE);
        v[DENSIDADE] = line.lines.at(line.r, L::cDENS);
        v[FATORCORRECAO] = line.lines.at(line.r, L::cFATOR);
        v[CONTROLADA] = line.controlled;
        if (const int added = m_lots.insert(std::move(v)); added >= 0)
            m_lots.posted(added);
    }

    LotStore &m_lots;
    std::vector<bool> m_reported;        // lots read whose change of unit is told already
    std::vector<Refusal> m_relabelled;
    std::vector<Refusal> m_tooLarge;     // lines whose quantity no balance can hold: not imported
};

} // namespace

Counts ImportPurchaseLots(Context &ctx)
{
    Frame frame(ctx, false);
    Ending ending;
    int count = 0;
    {
        db::Transaction tx(ctx.dm.SQLConnection1);
        const Source lines(tx, PurchaseLine::columns(), QStringLiteral("from COMPRAS"));
        ctx.view.startGauge(lines.size());
        const ProductsByCode products(tx);
        LotStore lots(tx, ctx.dm.run);

        PurchaseImport import(lots);
        for (int r = 0; r < lines.size(); ++r) {
            ctx.view.advanceGauge(r + 1);
            const PurchaseLine line(lines, r, products);
            if (line.complete())
                import.take(line);
        }

        Outcome out = writeLots(ctx, lots, tx, lines.size());
        tx.commit();
        count = out.count;
        const std::vector<Refusal> notes = import.notes();
        out.refusals.insert(out.refusals.end(), notes.begin(), notes.end());
        ending = {FromPurchasesMessage(count), std::move(out.refusals), AllLotsStatement(), false, true};
    }
    end(ctx, frame, ending);
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
    const Source products(tx, {"COMPONENTE", "CONTROLADA"}, QStringLiteral("from COMPONEN"));
    const FirstRowOf byName(products, pCOMPONENTE);

    std::vector<int> gridCol;
    for (const QString &c : lotColumnNames())
        gridCol.push_back(grid.fieldIndex(c));
    const db::Value sim = db::Value::text(QStringLiteral("Sim"));
    KeyedUpdater updater(tx);
    std::vector<Refusal> refusals;
    for (int row = 0; row < grid.rowCount(); ++row) {
        const QString description = grid.valueAt(row, gridCol[DESCRICAO]).toString();
        const int p = byName.find(description);
        if (p < 0)
            continue;
        if (platform::asciiUpper(products.text(p, pCONTROLADA).left(1)) != QLatin1String("S"))
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
    Ending ending;
    int count = 0;
    {
        db::Transaction tx(dm.SQLConnection1);
        enum { cCOMPONENTE, cLOTE, cFORNECEDOR, cUNIDADE };
        const Source lines(tx, {"COMPONENTE", "LOTE", "FORNECEDOR", "UNIDADE"}, QStringLiteral("from COMPRAS"));
        const int n = lines.size();
        ctx.view.startGauge(n);

        enum { pCOMPONENTE, pUNID };
        const Source products(tx, {"COMPONENTE", "UNID"}, QStringLiteral("from COMPONEN"));
        const FirstRowOf byName(products, pCOMPONENTE);

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
            if (const int p = byName.find(name); p >= 0)
                unit = products.text(p, pUNID);
            const int i = lots.find(name, lot, supplier);
            if (i < 0)
                continue;
            const LotValues v = lots.values(i);
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
            const std::optional<db::Value> expected =
                v[SALDOPREVISTO].isNull() ? db::Value() : scaled(v[SALDOPREVISTO], factor);
            const std::optional<db::Value> current =
                v[SALDOCORRENTE].isNull() ? db::Value() : scaled(v[SALDOCORRENTE], factor);
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

        Outcome out = writeLots(ctx, lots, tx, n);
        tx.commit();
        count = out.count;
        out.refusals.insert(out.refusals.end(), notConverted.begin(), notConverted.end());
        ending = {FromPurchasesMessage(count), std::move(out.refusals), UnitCorrectionGridStatement(dm.run.Laboratory),
                  false, false};
    }
    end(ctx, frame, ending);
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
