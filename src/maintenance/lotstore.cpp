// Reading the scope's lots once, finding them as the lookup statement would, writing back the changes.
#include "lotstore.h"

#include "common/lotlock.h"
#include "data/lotlock.h"
#include "core/runstate.h"
#include "db/dberror.h"
#include "platform/cp1252.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>

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

void FirstLotIndex::add(size_t hash, int lot)
{
    // Kept at most three quarters full, so a probe meets an empty slot soon.
    if (4 * (m_used + 1) > 3 * m_slots.size()) {
        std::vector<Slot> old(std::max<size_t>(16, 2 * m_slots.size()));
        old.swap(m_slots);
        m_used = 0;
        for (const Slot &s : old)
            if (s.lot >= 0)
                add(s.hash, s.lot);
    }
    const size_t mask = m_slots.size() - 1;
    size_t at = hash & mask;
    while (m_slots[at].lot >= 0)
        at = (at + 1) & mask;
    m_slots[at] = {uint32_t(hash), int32_t(lot)};
    ++m_used;
}

LotStore::LotStore(db::Transaction &tx, const core::RunState &run) : m_laboratory(run.Laboratory)
{
    for (const QString &lab : run.StoreLaboratories)
        m_scope.insert(serverText(platform::asciiUpper(lab)));
    m_scope.insert(QStringLiteral("CONTROLE QUALIDADE"));
    m_scope.insert(QStringLiteral("EMTRANSITO"));

    db::Cursor c = tx.open(scopeStatement(run.LabScopeClause));
    std::vector<int> columns(kLotCols);
    for (int i = 0; i < kLotCols; ++i)
        columns[size_t(i)] = i;
    const QString lab = serverText(m_laboratory);
    while (c.next()) {
        const int i = m_rows.append(c, columns);
        m_lots.emplace_back();
        index(i);
        const db::Value laboratory = m_rows.at(i, LABORATORIO);
        if (!laboratory.isNull() && serverText(text(laboratory)) == lab) {
            const QString key = codeKeyOf(i);
            if (atLaboratory(key) < 0)
                m_atLaboratory.add(qHash(key), i);
        }
    }
}

LotValues LotStore::values(int i) const
{
    LotValues v;
    m_rows.read(i, v.data());
    return v;
}

int LotStore::posts() const
{
    int n = 0;
    for (const Lot &lot : m_lots)
        n += lot.posts;
    return n;
}

QString LotStore::lookupKey(const QString &name, const QString &lot, const QString &supplier)
{
    return serverText(name) + kSep + serverText(lot) + kSep + serverText(supplier);
}

QString LotStore::lookupKeyOf(int i) const
{
    return lookupKey(text(m_rows.at(i, DESCRICAO)), text(m_rows.at(i, LOTE)), text(m_rows.at(i, FORNECEDOR)));
}

QString LotStore::nameOf(int i) const
{
    return serverText(text(m_rows.at(i, DESCRICAO)));
}

QString LotStore::codeKeyOf(int i) const
{
    return lookupKey(text(m_rows.at(i, CODIGO)), text(m_rows.at(i, LOTE)), text(m_rows.at(i, FORNECEDOR)));
}

int LotStore::atLaboratory(const QString &codeKey) const
{
    return m_atLaboratory.find(qHash(codeKey), [&](int i) { return codeKeyOf(i) == codeKey; });
}

bool LotStore::inScope(const QString &laboratory) const
{
    return m_scope.count(serverText(platform::asciiUpper(laboratory))) > 0;
}

void LotStore::index(int i)
{
    m_nextOfName.resize(size_t(size()), -1);
    m_lastOfName.resize(size_t(size()), -1);
    if (m_rows.at(i, DESCRICAO).isNull())
        return;
    const QString name = nameOf(i);
    const size_t nameHash = qHash(name);
    const int first = m_byName.find(nameHash, [&](int j) { return nameOf(j) == name; });
    if (first < 0) {
        m_byName.add(nameHash, i);
        m_lastOfName[size_t(i)] = i;
    } else {
        m_nextOfName[size_t(m_lastOfName[size_t(first)])] = i;
        m_lastOfName[size_t(first)] = i;
    }
    if (m_rows.at(i, LOTE).isNull() || m_rows.at(i, FORNECEDOR).isNull())
        return;
    const QString key = lookupKeyOf(i);
    const size_t keyHash = qHash(key);
    if (m_byLookup.find(keyHash, [&](int j) { return lookupKeyOf(j) == key; }) < 0)
        m_byLookup.add(keyHash, i);
}

int LotStore::find(const QString &name, const QString &lot, const QString &supplier) const
{
    const QString key = lookupKey(name, lot, supplier);
    return m_byLookup.find(qHash(key), [&](int i) { return lookupKeyOf(i) == key; });
}

int LotStore::firstUnsetDensity(const QString &name) const
{
    const QString wanted = serverText(name);
    static const db::Decimal one{1, 0}, zero{0, 0};
    for (int i = m_byName.find(qHash(wanted), [&](int j) { return nameOf(j) == wanted; }); i >= 0;
         i = m_nextOfName[size_t(i)]) {
        const db::Value d = m_rows.at(i, DENSIDADE);
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
    if (atRunLaboratory && atLaboratory(key) >= 0) {
        m_refusals.push_back({text(values[DESCRICAO]), text(values[LOTE]), text(values[FORNECEDOR]), kKeyExists});
        return -1;
    }
    const int i = m_rows.append(values.data());
    m_lots.push_back({0, 0, true});
    if (atRunLaboratory)
        m_atLaboratory.add(qHash(key), i);
    // The lookup only sees it again when its location is one the lookup admits.
    if (inScope(text(values[LABORATORIO])))
        index(i);
    return i;
}

void LotStore::set(int i, LotCol column, const db::Value &value)
{
    if (column == DESCRICAO || column == LOTE || column == FORNECEDOR || column == CODIGO || column == LABORATORIO)
        throw std::logic_error("a lot's finding columns are not set");
    const db::Value v = fieldValue(value);
    LotValues now = values(i);
    if (now[size_t(column)] == v && now[size_t(column)].kind() == v.kind())
        return;
    now[size_t(column)] = v;
    m_rows.replace(i, now.data());
    m_lots[size_t(i)].changed |= 1u << column;
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
    {
        struct ByCode {
            int lot;
            bool hasCode;
            size_t at, size;   // the code's bytes in `codes`
        };
        std::vector<ByCode> byCode;
        std::string codes;
        for (auto it = pending.begin(); it != newEnd; ++it) {
            const db::Value code = m_rows.at(*it, CODIGO);
            const QByteArray bytes = code.isNull() ? QByteArray() : platform::toCp1252(serverText(text(code)));
            byCode.push_back({*it, !code.isNull(), codes.size(), size_t(bytes.size())});
            codes.append(bytes.constData(), size_t(bytes.size()));
        }
        std::stable_sort(byCode.begin(), byCode.end(), [&codes](const ByCode &a, const ByCode &b) {
            if (a.hasCode != b.hasCode)
                return !a.hasCode;   // the lots without a code first
            return a.hasCode
                && std::string_view(codes).substr(a.at, a.size) < std::string_view(codes).substr(b.at, b.size);
        });
        for (size_t k = 0; k < byCode.size(); ++k)
            pending[k] = byCode[k].lot;
    }

    std::unique_ptr<db::Prepared> insert;
    KeyedUpdater updater(tx);
    int done = 0;
    // The product's lock holds until tx ends: the new lots of one product (next to each other in
    // the order above) take it once.
    std::optional<db::Value> lockedProduct;
    for (int i : pending) {
        Lot &lot = m_lots[size_t(i)];
        const LotValues v = values(i);
        QString refusal;
        try {
            // A lot another workstation created at this location since it was read (or is creating
            // now: the product's lock waits for it) is not inserted a second time.
            if (lot.isNew && !(lockedProduct && lockedProduct->isNull() == v[CODIGO].isNull()
                                && (v[CODIGO].isNull() || serverText(text(*lockedProduct)) == serverText(text(v[CODIGO]))))) {
                common::LockProduct(tx, v[CODIGO]);
                lockedProduct = v[CODIGO];
            }
            if (lot.isNew
                && common::RowAtLocation(data::LockLotRows(tx, v[CODIGO], v[LOTE], v[FORNECEDOR]), v[LABORATORIO])
                    >= 0) {
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
                insert->execute(std::vector<db::Value>(v.begin(), v.end()));
            } else {
                std::vector<int> columns;
                for (int c = 0; c < kLotCols; ++c)
                    if (lot.changed & (1u << c))
                        columns.push_back(c);
                // The key columns are never set, so the row is still found by the values as read.
                if (updater.update(columns, v, v) == 0)
                    refusal = kRowGone;
            }
        } catch (const db::DbError &e) {
            if (e.isConnectionLost() || e.waitEnded())
                throw;
            refusal = e.message();
        }
        if (!refusal.isEmpty()) {
            result.refusedPosts += lot.posts;
            result.refusals.push_back({text(v[DESCRICAO]), text(v[LOTE]), text(v[FORNECEDOR]), refusal});
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
