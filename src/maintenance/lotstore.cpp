// Reading the scope's lots once, finding them as the lookup statement would, writing back the changes.
#include "lotstore.h"

#include "common/lotlock.h"
#include "data/lotlock.h"
#include "core/runstate.h"
#include "db/dberror.h"
#include "platform/cp1252.h"

#include <algorithm>
#include <optional>

namespace maintenance {

namespace {

const QChar kSep(0x1f);
const int kKeyCols[] = {CODIGO, LOTE, FORNECEDOR, LABORATORIO};
const int kListedRefusals = 20;

const QString kRowGone = QStringLiteral("o registro não foi encontrado: foi alterado ou excluído por outro usuário");
const QString kKeyExists =
    QStringLiteral("já existe um lote com este código, lote e fornecedor neste laboratório; não foi incluído outro");

QString text(const db::Value &v)
{
    return v.toString();
}

} // namespace

const QStringList &lotColumnNames()
{
    static const QStringList names = {
        QStringLiteral("DESCRICAO"), QStringLiteral("LOTE"), QStringLiteral("FORNECEDOR"), QStringLiteral("CODIGO"),
        QStringLiteral("SALDOPREVISTO"), QStringLiteral("SALDOCORRENTE"), QStringLiteral("UNIDADE"),
        QStringLiteral("CODIGOEAN"), QStringLiteral("FABRICANTE"), QStringLiteral("VALIDADE"),
        QStringLiteral("SITUACAO"), QStringLiteral("DENSIDADE"), QStringLiteral("FATORCORRECAO"),
        QStringLiteral("LABORATORIO"), QStringLiteral("CONTROLADA")};
    return names;
}

QString serverText(const QString &t)
{
    qsizetype n = t.size();
    while (n > 0 && t[n - 1] == QLatin1Char(' '))
        --n;
    return n == t.size() ? t : t.left(n);
}

db::Value fieldValue(const db::Value &v)
{
    return (v.kind() == db::Value::Kind::Text && v.toString().isEmpty()) ? db::Value() : v;
}

QString scopeCondition(const QString &labScopeClause)
{
    return QStringLiteral("(") + labScopeClause
        + QStringLiteral(" or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = 'EMTRANSITO')");
}

// ---- KeyedUpdater

uint64_t KeyedUpdater::update(const std::vector<int> &columns, const LotValues &values, const LotValues &key)
{
    uint32_t setMask = 0, nullMask = 0;
    for (int c : columns)
        setMask |= 1u << c;
    for (int c : kKeyCols)
        if (key[size_t(c)].isNull())
            nullMask |= 1u << c;
    std::unique_ptr<db::Prepared> &stmt = m_statements[{setMask, nullMask}];
    if (!stmt) {
        QStringList sets, where;
        for (int c : columns)
            sets << lotColumnNames()[c] + QStringLiteral(" = ?");
        for (int c : kKeyCols)
            where << lotColumnNames()[c] + ((nullMask & (1u << c)) ? QStringLiteral(" is null") : QStringLiteral(" = ?"));
        stmt = std::make_unique<db::Prepared>(m_tx, QStringLiteral("update ESTLOTE set ") + sets.join(QStringLiteral(", "))
                                                        + QStringLiteral(" where ") + where.join(QStringLiteral(" and ")));
    }
    std::vector<db::Value> params;
    params.reserve(columns.size() + 4);
    for (int c : columns)
        params.push_back(values[size_t(c)]);
    for (int c : kKeyCols)
        if (!key[size_t(c)].isNull())
            params.push_back(key[size_t(c)]);
    return stmt->execute(params);
}

// ---- LotStore

QString LotStore::scopeStatement(const QString &labScopeClause)
{
    return QStringLiteral("select ") + lotColumnNames().join(QStringLiteral(", "))
        + QStringLiteral(" from ESTLOTE where ") + scopeCondition(labScopeClause);
}

LotStore::LotStore(db::Transaction &tx, const core::RunState &run) : m_laboratory(run.Laboratory)
{
    for (const QString &lab : run.StoreLaboratories)
        m_scope.insert(serverText(platform::asciiUpper(lab)));
    m_scope.insert(QStringLiteral("CONTROLE QUALIDADE"));
    m_scope.insert(QStringLiteral("EMTRANSITO"));

    db::Cursor c = tx.open(scopeStatement(run.LabScopeClause));
    const QString lab = serverText(m_laboratory);
    while (c.next()) {
        Lot lot;
        for (int i = 0; i < kLotCols; ++i)
            lot.v[size_t(i)] = c.value(i);
        for (int k : kKeyCols)
            lot.key[size_t(k)] = lot.v[size_t(k)];
        m_lots.push_back(std::move(lot));
        const int i = int(m_lots.size()) - 1;
        index(i);
        const LotValues &v = m_lots.back().v;
        if (!v[LABORATORIO].isNull() && serverText(text(v[LABORATORIO])) == lab)
            m_keysAtLaboratory.insert(lookupKey(text(v[CODIGO]), text(v[LOTE]), text(v[FORNECEDOR])));
    }
}

QString LotStore::lookupKey(const QString &name, const QString &lot, const QString &supplier)
{
    return serverText(name) + kSep + serverText(lot) + kSep + serverText(supplier);
}

bool LotStore::inScope(const QString &laboratory) const
{
    return m_scope.count(serverText(platform::asciiUpper(laboratory))) > 0;
}

void LotStore::index(int i)
{
    const LotValues &v = m_lots[size_t(i)].v;
    if (v[DESCRICAO].isNull())
        return;
    m_byName[serverText(text(v[DESCRICAO]))].push_back(i);
    if (v[LOTE].isNull() || v[FORNECEDOR].isNull())
        return;
    m_byLookup[lookupKey(text(v[DESCRICAO]), text(v[LOTE]), text(v[FORNECEDOR]))].push_back(i);
}

int LotStore::find(const QString &name, const QString &lot, const QString &supplier) const
{
    const auto it = m_byLookup.find(lookupKey(name, lot, supplier));
    return it == m_byLookup.end() ? -1 : it->second.front();
}

int LotStore::firstUnsetDensity(const QString &name) const
{
    const auto it = m_byName.find(serverText(name));
    if (it == m_byName.end())
        return -1;
    static const db::Decimal one{1, 0}, zero{0, 0};
    for (int i : it->second) {
        const db::Value &d = m_lots[size_t(i)].v[DENSIDADE];
        if (d.isNull() || d.toDecimal() == one || d.toDecimal() == zero)
            return i;
    }
    return -1;
}

int LotStore::insert(LotValues values)
{
    for (db::Value &v : values)
        v = fieldValue(v);
    if (values[LABORATORIO].isNull())
        values[LABORATORIO] = fieldValue(db::Value::text(m_laboratory));
    const QString key = lookupKey(text(values[CODIGO]), text(values[LOTE]), text(values[FORNECEDOR]));
    const bool atRunLaboratory = serverText(text(values[LABORATORIO])) == serverText(m_laboratory);
    if (atRunLaboratory && m_keysAtLaboratory.count(key)) {
        m_refusals.push_back({text(values[DESCRICAO]), text(values[LOTE]), text(values[FORNECEDOR]), kKeyExists});
        return -1;
    }
    if (atRunLaboratory)
        m_keysAtLaboratory.insert(key);
    Lot lot;
    lot.v = std::move(values);
    lot.isNew = true;
    m_lots.push_back(std::move(lot));
    const int i = int(m_lots.size()) - 1;
    // The lookup only sees it again when its location is one the lookup admits.
    if (inScope(text(m_lots.back().v[LABORATORIO])))
        index(i);
    return i;
}

void LotStore::set(int i, LotCol column, const db::Value &value)
{
    Lot &lot = m_lots[size_t(i)];
    const db::Value v = fieldValue(value);
    if (lot.v[size_t(column)] == v && lot.v[size_t(column)].kind() == v.kind())
        return;
    lot.v[size_t(column)] = v;
    lot.changed |= 1u << column;
}

LotStore::Written LotStore::write(db::Transaction &tx, const std::function<void(int, int)> &progress)
{
    Written result;
    result.refusals = std::move(m_refusals);
    m_refusals.clear();

    std::vector<int> pending;
    for (int i = 0; i < size(); ++i)
        if (m_lots[size_t(i)].isNew || m_lots[size_t(i)].changed)
            pending.push_back(i);
    const auto newEnd =
        std::stable_partition(pending.begin(), pending.end(), [&](int i) { return m_lots[size_t(i)].isNew; });
    // New lots lock their products in one order (by code), so two imports never hold each
    // other's product.
    std::stable_sort(pending.begin(), newEnd, [&](int a, int b) {
        const db::Value &ca = m_lots[size_t(a)].v[CODIGO];
        const db::Value &cb = m_lots[size_t(b)].v[CODIGO];
        if (ca.isNull() != cb.isNull())
            return ca.isNull();
        return !ca.isNull() && platform::toCp1252(serverText(text(ca))) < platform::toCp1252(serverText(text(cb)));
    });

    std::unique_ptr<db::Prepared> insert;
    KeyedUpdater updater(tx);
    int done = 0;
    // The product's lock holds until tx ends: the new lots of one product (next to each other in
    // the order above) take it once.
    std::optional<db::Value> lockedProduct;
    for (int i : pending) {
        Lot &lot = m_lots[size_t(i)];
        QString refusal;
        try {
            // A lot another workstation created at this location since it was read (or is creating
            // now: the product's lock waits for it) is not inserted a second time.
            if (lot.isNew && !(lockedProduct && lockedProduct->isNull() == lot.v[CODIGO].isNull()
                                && (lot.v[CODIGO].isNull() || serverText(text(*lockedProduct)) == serverText(text(lot.v[CODIGO]))))) {
                common::LockProduct(tx, lot.v[CODIGO]);
                lockedProduct = lot.v[CODIGO];
            }
            if (lot.isNew
                && common::RowAtLocation(data::LockLotRows(tx, lot.v[CODIGO], lot.v[LOTE], lot.v[FORNECEDOR]),
                                         lot.v[LABORATORIO]) >= 0) {
                refusal = kKeyExists;
            } else if (lot.isNew) {
                if (!insert) {
                    QStringList marks;
                    for (int c = 0; c < kLotCols; ++c)
                        marks << QStringLiteral("?");
                    insert = std::make_unique<db::Prepared>(
                        tx, QStringLiteral("insert into ESTLOTE (") + lotColumnNames().join(QStringLiteral(", "))
                                + QStringLiteral(") values (") + marks.join(QStringLiteral(", ")) + QStringLiteral(")"));
                }
                insert->execute(std::vector<db::Value>(lot.v.begin(), lot.v.end()));
            } else {
                std::vector<int> columns;
                for (int c = 0; c < kLotCols; ++c)
                    if (lot.changed & (1u << c))
                        columns.push_back(c);
                if (updater.update(columns, lot.v, lot.key) == 0)
                    refusal = kRowGone;
            }
        } catch (const db::DbError &e) {
            if (e.isConnectionLost() || e.waitEnded())
                throw;
            refusal = e.message();
        }
        if (refusal.isEmpty()) {
            for (int k : kKeyCols)
                lot.key[size_t(k)] = lot.v[size_t(k)];
        } else {
            result.refusedPosts += lot.posts;
            result.refusals.push_back({text(lot.v[DESCRICAO]), text(lot.v[LOTE]), text(lot.v[FORNECEDOR]), refusal});
        }
        lot.isNew = false;
        lot.changed = 0;
        ++done;
        if (progress)
            progress(done, int(pending.size()));
    }
    for (Lot &lot : m_lots)
        lot.posts = 0;
    return result;
}

QString RefusalSummary(const std::vector<Refusal> &refusals)
{
    if (refusals.empty())
        return {};
    QString s = QStringLiteral("%1 registro(s) não foram gravados na tabela de Lotes e não foram contados:")
                    .arg(refusals.size());
    int listed = 0;
    for (const Refusal &r : refusals) {
        if (listed++ == kListedRefusals) {
            s += QStringLiteral("\r  ... e mais %1.").arg(refusals.size() - size_t(kListedRefusals));
            break;
        }
        QString reason = r.reason.simplified();
        s += QStringLiteral("\r  ") + r.descricao + QStringLiteral(" - Lote ") + r.lote + QStringLiteral(" - ")
            + r.fornecedor + QStringLiteral(": ") + reason;
    }
    return s;
}

} // namespace maintenance
