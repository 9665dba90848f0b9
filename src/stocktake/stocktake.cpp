#include "stocktake.h"

#include "common/lotlock.h"
#include "common/textfold.h"
#include "common/usercheck.h"
#include "core/activitylog.h"
#include "data/columns.h"
#include "data/fieldinput.h"
#include "data/fieldtext.h"
#include "data/lotlock.h"
#include "db/connection.h"
#include "db/dberror.h"
#include "platform/cp1252.h"

#include <QSet>
#include <algorithm>
#include <map>

namespace stocktake {

namespace {

constexpr int kMaxAttempts = 50;

int64_t pow10(int n)
{
    int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

QString rightTrimmed(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

// A location as the scope statements compare it.
QString placeKey(const QString &laboratorio)
{
    return platform::asciiUpper(rightTrimmed(laboratorio));
}

QString text(const db::Value &v)
{
    return v.isNull() ? QString() : v.toString();
}

std::optional<Qty> optQty(const db::Value &v)
{
    if (v.isNull())
        return std::nullopt;
    return QtyOf(v);
}


db::Value textOrNull(const QString &s)
{
    return s.isEmpty() ? db::Value() : db::Value::text(s);
}

const QString kLineColumns = QStringLiteral(
    "LINHA, CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, UNIDADE, GRUPO, CONTROLADA, NAFOTO, SALDOFOTO, "
    "CONTADO, CONTADOPOR, CONTADOEM, ESTACAO, MOTIVO, OBSERVACAO, APROVADOPOR, APROVADOEM, SALDOANTES, SALDODEPOIS");

Line lineOf(const std::vector<db::Value> &r)
{
    Line l;
    l.linha = int(r[0].toInt());
    l.codigo = text(r[1]);
    l.descricao = text(r[2]);
    l.lote = text(r[3]);
    l.fornecedor = text(r[4]);
    l.laboratorio = text(r[5]);
    l.unidade = text(r[6]);
    l.grupo = text(r[7]);
    l.controlada = text(r[8]);
    l.inSnapshot = text(r[9]) != QLatin1String("N");
    l.snapshot = QtyOf(r[10]);
    l.counted = optQty(r[11]);
    l.contadoPor = text(r[12]);
    l.contadoEm = r[13].isNull() ? QDateTime() : r[13].toDateTime();
    l.estacao = text(r[14]);
    l.motivo = text(r[15]);
    l.observacao = text(r[16]);
    l.aprovadoPor = text(r[17]);
    l.aprovadoEm = r[18].isNull() ? QDateTime() : r[18].toDateTime();
    l.saldoAntes = optQty(r[19]);
    l.saldoDepois = optQty(r[20]);
    return l;
}

// By location, product and lot as stored (the lines found during the count among them).
const QString kLinesStatement = QStringLiteral("select ") + kLineColumns
    + QStringLiteral(" from INVENTARIOITEM where NUMERO = ? order by LABORATORIO, DESCRICAO, LOTE, FORNECEDOR, LINHA");

Count countOf(const std::vector<db::Value> &r)
{
    Count c;
    c.numero = int(r[0].toInt());
    c.loja = text(r[1]);
    c.abertoEm = r[2].isNull() ? QDateTime() : r[2].toDateTime();
    c.abertoPor = text(r[3]);
    c.escopo = text(r[4]);
    c.blind = text(r[5]) == QLatin1String("S");
    c.situacao = text(r[6]).trimmed();
    c.naoContados = text(r[7]);
    c.postadoEm = r[8].isNull() ? QDateTime() : r[8].toDateTime();
    c.postadoPor = text(r[9]);
    return c;
}

const QString kCountColumns = QStringLiteral(
    "NUMERO, LOJA, ABERTOEM, ABERTOPOR, ESCOPO, CEGO, SITUACAO, NAOCONTADOS, POSTADOEM, POSTADOPOR");

// The count's row locked inside tx, so entries and postings of one count follow one another. Its
// situation, or nothing when the count does not exist.
std::optional<QString> lockCount(db::Transaction &tx, int numero)
{
    const QString sql = QStringLiteral("select SITUACAO from INVENTARIO where NUMERO = ? with lock");
    for (int attempt = 1;; ++attempt) {
        try {
            const db::Rows r = tx.query(sql, {db::Value::integer(numero)});
            if (r.rows.empty())
                return std::nullopt;
            return text(r.rows[0][0]).trimmed();
        } catch (const db::DbError &e) {
            data::PassOnLostOrEndedWait(e);
            if (!data::IsRetryable(e) || attempt >= kMaxAttempts)
                throw;
        }
    }
}

QString lotName(const Line &l)
{
    return l.descricao + QStringLiteral(" lote ") + l.lote + QStringLiteral(" (") + l.fornecedor
        + QStringLiteral(") em ") + l.laboratorio;
}

// At most ten lots named, then how many more.
QString lotList(const std::vector<const Line *> &lines)
{
    QString out;
    const size_t shown = std::min<size_t>(lines.size(), 10);
    for (size_t i = 0; i < shown; ++i)
        out += QStringLiteral("\r  ") + lotName(*lines[i]);
    if (lines.size() > shown)
        out += QStringLiteral("\r  ... e mais %1.").arg(lines.size() - shown);
    return out;
}

QString inList(qsizetype n)
{
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

} // namespace

Qty QtyOf(const db::Value &v)
{
    if (v.isNull())
        return 0;
    const db::Decimal d = v.kind() == db::Value::Kind::Double ? db::Decimal::fromDouble(v.toDouble(), kScale)
                                                               : v.toDecimal();
    if (d.scale <= kScale)
        return d.mantissa * pow10(kScale - d.scale);
    return d.mantissa / pow10(d.scale - kScale);
}

db::Value ValueOf(Qty q)
{
    return db::Value::decimal(db::Decimal{q, kScale});
}

QString QtyText(Qty q)
{
    return data::FieldText(ValueOf(q));
}

bool Line::controlled() const
{
    return placeKey(controlada.trimmed()) == QLatin1String("SIM");
}

QStringList Reasons()
{
    return {QStringLiteral("Perda"), QStringLiteral("Quebra"), QStringLiteral("Vencido"),
            QStringLiteral("Erro de lançamento"), QStringLiteral("Outro")};
}

// ---- Tables -----------------------------------------------------------------------------------

QString TablesScript()
{
    return QStringLiteral(
        "CREATE TABLE INVENTARIO (NUMERO INTEGER NOT NULL, LOJA VARCHAR(20), ABERTOEM TIMESTAMP, ABERTOPOR VARCHAR(60),\n"
        "  ESCOPO VARCHAR(1000), CEGO CHAR(1), SITUACAO VARCHAR(10), NAOCONTADOS VARCHAR(10), POSTADOEM TIMESTAMP,\n"
        "  POSTADOPOR VARCHAR(60), CONSTRAINT PK_INVENTARIO PRIMARY KEY (NUMERO));\n"
        "CREATE TABLE INVENTARIOITEM (NUMERO INTEGER NOT NULL, LINHA INTEGER NOT NULL, CODIGO VARCHAR(13),\n"
        "  DESCRICAO VARCHAR(70), LOTE VARCHAR(30), FORNECEDOR VARCHAR(40), LABORATORIO VARCHAR(20), UNIDADE VARCHAR(5),\n"
        "  GRUPO VARCHAR(5), CONTROLADA VARCHAR(3), NAFOTO CHAR(1) NOT NULL, SALDOFOTO DECIMAL(18,8),\n"
        "  CONTADO DECIMAL(18,8), CONTADOPOR VARCHAR(60), CONTADOEM TIMESTAMP, ESTACAO VARCHAR(3), MOTIVO VARCHAR(20),\n"
        "  OBSERVACAO VARCHAR(200), APROVADOPOR VARCHAR(60), APROVADOEM TIMESTAMP, SALDOANTES DECIMAL(18,8),\n"
        "  SALDODEPOIS DECIMAL(18,8), CONSTRAINT PK_INVENTARIOITEM PRIMARY KEY (NUMERO, LINHA));\n"
        "CREATE INDEX IX_INVENTARIOITEM_LOTE ON INVENTARIOITEM (NUMERO, CODIGO, LOTE, FORNECEDOR, LABORATORIO);\n"
        "COMMIT;");
}

bool TablesPresent(db::Connection &central)
{
    const db::Rows r = central.query(QStringLiteral(
        "select count(*) from RDB$RELATIONS where RDB$RELATION_NAME in ('INVENTARIO', 'INVENTARIOITEM')"));
    return !r.rows.empty() && r.rows[0][0].toInt() == 2;
}

// ---- The count ------------------------------------------------------------------------------

QString ScopeText(const Scope &s, const QStringList &storeLaboratories)
{
    QStringList parts;
    parts << QStringLiteral("Locais: ")
            + (s.locations.isEmpty() || s.locations.size() == storeLaboratories.size()
                   ? QStringLiteral("todos da loja (") + storeLaboratories.join(QStringLiteral(", ")) + QLatin1Char(')')
                   : s.locations.join(QStringLiteral(", ")));
    if (!s.groups.isEmpty())
        parts << QStringLiteral("Grupos: ") + s.groups.join(QStringLiteral(", "));
    if (s.controlledOnly)
        parts << QStringLiteral("Somente controlados");
    auto range = [&](const QString &what, const QString &from, const QString &to) {
        if (from.isEmpty() && to.isEmpty())
            return;
        parts << what + (from.isEmpty() ? QString() : QStringLiteral(" de ") + from)
                + (to.isEmpty() ? QString() : QStringLiteral(" até ") + to);
    };
    range(QStringLiteral("Produtos"), s.productFrom, s.productTo);
    range(QStringLiteral("Lotes"), s.lotFrom, s.lotTo);
    if (s.blind)
        parts << QStringLiteral("Contagem cega");
    return parts.join(QStringLiteral("; "));
}

std::vector<Count> ListCounts(db::Connection &central, const QString &store)
{
    const db::Rows r = central.query(QStringLiteral("select ") + kCountColumns
                                         + QStringLiteral(" from INVENTARIO where LOJA is not distinct from ? "
                                                          "order by NUMERO desc"),
                                     {textOrNull(store)});
    std::vector<Count> out;
    for (const auto &row : r.rows)
        out.push_back(countOf(row));
    return out;
}

std::optional<Count> ReadCount(db::Connection &central, int numero)
{
    const db::Rows r = central.query(QStringLiteral("select ") + kCountColumns
                                         + QStringLiteral(" from INVENTARIO where NUMERO = ?"),
                                     {db::Value::integer(numero)});
    if (r.rows.empty())
        return std::nullopt;
    return countOf(r.rows[0]);
}

QString SnapshotStatement(const Scope &scope, const QStringList &storeLaboratories, std::vector<db::Value> &params)
{
    const QString group = QStringLiteral("(select first 1 c.GRUPO from COMPONEN c where c.CODIGO = e.CODIGO)");
    QString where;
    // Only the store's locations, whatever was asked.
    QStringList places;
    QSet<QString> store;
    for (const QString &l : storeLaboratories)
        store.insert(placeKey(l));
    for (const QString &l : scope.locations.isEmpty() ? storeLaboratories : scope.locations)
        if (store.contains(placeKey(l)) && !places.contains(placeKey(l)))
            places << placeKey(l);
    if (places.isEmpty())
        places << QString();   // no location: nothing in scope
    where = QStringLiteral("upper(trim(trailing from e.LABORATORIO)) in (") + inList(places.size()) + QLatin1Char(')');
    for (const QString &p : places)
        params.push_back(db::Value::text(p));
    if (!scope.groups.isEmpty()) {
        where += QStringLiteral(" and upper(trim(") + group + QStringLiteral(")) in (") + inList(scope.groups.size())
            + QLatin1Char(')');
        for (const QString &g : scope.groups)
            params.push_back(db::Value::text(platform::asciiUpper(g.trimmed())));
    }
    if (scope.controlledOnly)
        where += QStringLiteral(" and upper(trim(e.CONTROLADA)) = 'SIM'");
    auto range = [&](const QString &column, const QString &from, const QString &to) {
        if (!from.trimmed().isEmpty()) {
            where += QStringLiteral(" and upper(e.") + column + QStringLiteral(") >= ?");
            params.push_back(db::Value::text(platform::asciiUpper(from.trimmed())));
        }
        if (!to.trimmed().isEmpty()) {
            // "Até" takes every value it begins, as a name typed short means.
            where += QStringLiteral(" and upper(substring(e.") + column + QStringLiteral(" from 1 for ")
                + QString::number(to.trimmed().size()) + QStringLiteral(")) <= ?");
            params.push_back(db::Value::text(platform::asciiUpper(to.trimmed())));
        }
    };
    range(QStringLiteral("DESCRICAO"), scope.productFrom, scope.productTo);
    range(QStringLiteral("LOTE"), scope.lotFrom, scope.lotTo);
    // The lines are numbered as read, not sorted here: the list and the sheets order them. The
    // group is kept when the count is by group; the report takes the others' from the register.
    return QStringLiteral(
               "insert into INVENTARIOITEM (NUMERO, LINHA, CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, UNIDADE, "
               "GRUPO, CONTROLADA, NAFOTO, SALDOFOTO) select cast(? as integer), row_number() over (), e.CODIGO, "
               "e.DESCRICAO, e.LOTE, e.FORNECEDOR, e.LABORATORIO, e.UNIDADE, ")
        + (scope.groups.isEmpty() ? QStringLiteral("null") : group)
        + QStringLiteral(", e.CONTROLADA, 'S', coalesce(e.SALDOCORRENTE, 0) from ESTLOTE e where ") + where;
}

Started StartCount(db::Connection &central, const Scope &scope, const QStringList &storeLaboratories,
                   const QString &store, const QString &user, const QDateTime &now)
{
    for (int attempt = 1;; ++attempt) {
        // ESTLOTE reserved for the snapshot's statement: writers under way end first and the others
        // wait for this one, so a transfer committed while the rows are read is never half seen
        // (its debit read at one location, its credit missed at the other).
        db::Transaction tx(central, {QStringLiteral("ESTLOTE")});
        try {
            const db::Rows max = tx.query(QStringLiteral("select coalesce(max(NUMERO), 0) + 1 from INVENTARIO"));
            Started s;
            s.numero = int(max.rows[0][0].toInt());
            // The primary key refuses a number another workstation took meanwhile: then again.
            tx.execute(QStringLiteral("insert into INVENTARIO (NUMERO, LOJA, ABERTOEM, ABERTOPOR, ESCOPO, CEGO, "
                                      "SITUACAO) values (?, ?, ?, ?, ?, ?, ?)"),
                       {db::Value::integer(s.numero), textOrNull(store.left(20)), db::Value::timestamp(now),
                        db::Value::text(user.left(60)), db::Value::text(ScopeText(scope, storeLaboratories).left(1000)),
                        db::Value::text(scope.blind ? QStringLiteral("S") : QStringLiteral("N")), db::Value::text(kOpen)});
            std::vector<db::Value> params{db::Value::integer(s.numero)};
            const QString sql = SnapshotStatement(scope, storeLaboratories, params);
            s.lines = int(tx.execute(sql, params));
            tx.commit();
            return s;
        } catch (const db::DbError &e) {
            data::PassOnLostOrEndedWait(e);
            if (attempt >= kMaxAttempts || !(data::IsRetryable(e) || e.message().contains(QLatin1String("PK_INVENTARIO"))))
                throw;
        }
    }
}

// ---- Lines ------------------------------------------------------------------------------------

std::vector<Line> ReadLines(db::Connection &central, int numero)
{
    const db::Rows r = central.query(kLinesStatement, {db::Value::integer(numero)});
    std::vector<Line> out;
    out.reserve(r.rows.size());
    for (const auto &row : r.rows)
        out.push_back(lineOf(row));
    return out;
}

std::optional<Line> ReadLine(db::Connection &central, int numero, int linha)
{
    const db::Rows r = central.query(QStringLiteral("select ") + kLineColumns
                                         + QStringLiteral(" from INVENTARIOITEM where NUMERO = ? and LINHA = ?"),
                                     {db::Value::integer(numero), db::Value::integer(linha)});
    if (r.rows.empty())
        return std::nullopt;
    return lineOf(r.rows[0]);
}

std::vector<Found> FindLot(db::Connection &central, const std::vector<Line> &lines, const QString &location,
                           const QString &typed, const QStringList &storeLaboratories)
{
    std::vector<Found> out;
    const QString wanted = common::FoldText(typed.trimmed());
    if (wanted.isEmpty())
        return out;
    const QString place = placeKey(location);
    for (const Line &l : lines)
        if (placeKey(l.laboratorio) == place && common::FoldText(l.lote) == wanted)
            out.push_back({l.linha, l.codigo, l.descricao, l.lote, l.fornecedor, l.unidade});
    if (!out.empty())
        return out;
    QSet<QString> store;
    for (const QString &s : storeLaboratories)
        store.insert(placeKey(s));
    const db::Rows rows = central.query(
        QStringLiteral("select CODIGO, DESCRICAO, LOTE, FORNECEDOR, UNIDADE, LABORATORIO from ESTLOTE "
                       "where upper(LOTE) = ? order by DESCRICAO, FORNECEDOR, LABORATORIO"),
        {db::Value::text(platform::asciiUpper(typed.trimmed()))});
    for (const auto &r : rows.rows) {
        if (common::FoldText(text(r[2])) != wanted || !store.contains(placeKey(text(r[5]))))
            continue;
        const bool seen = std::any_of(out.begin(), out.end(), [&](const Found &f) {
            return f.codigo == text(r[0]) && f.lote == text(r[2]) && f.fornecedor == text(r[3]);
        });
        if (!seen)
            out.push_back({std::nullopt, text(r[0]), text(r[1]), text(r[2]), text(r[3]), text(r[4])});
    }
    return out;
}

Qty ParseCounted(const QString &typed)
{
    data::ColumnInfo info;
    info.type = data::ColumnInfo::Type::Decimal;
    info.precision = 18;
    info.scale = kScale;
    const db::Value v = data::ParseFieldText(info, typed.trimmed(), 2000, QStringLiteral("Quantidade contada"));
    if (v.isNull())
        throw data::FieldInputError(QStringLiteral("Informe a quantidade contada."));
    const Qty q = QtyOf(v);
    if (q < 0)
        throw data::FieldInputError(QStringLiteral("A quantidade contada não pode ser negativa."));
    return q;
}

EntryResult EnterCount(db::Connection &central, const Entry &e)
{
    for (int attempt = 1;; ++attempt) {
        try {
            db::Transaction tx(central);
            EntryResult result;
            const std::optional<QString> situation = lockCount(tx, e.numero);
            if (!situation)
                return result;   // Gone
            if (*situation != kOpen) {
                result.step = EntryStep::Posted;
                return result;
            }
            std::optional<int> linha = e.found.linha;
            std::optional<Qty> before;
            const std::vector<db::Value> key{db::Value::text(e.found.codigo), db::Value::text(e.found.lote),
                                             db::Value::text(e.found.fornecedor)};
            if (!linha) {
                // Another workstation may have added this lot at this location meanwhile: its line.
                std::vector<db::Value> p{db::Value::integer(e.numero)};
                p.insert(p.end(), key.begin(), key.end());
                p.push_back(db::Value::text(placeKey(e.location)));
                const db::Rows same = tx.query(
                    QStringLiteral("select LINHA from INVENTARIOITEM where NUMERO = ? and CODIGO is not distinct from ? "
                                   "and LOTE is not distinct from ? and FORNECEDOR is not distinct from ? "
                                   "and upper(trim(trailing from LABORATORIO)) = ?"),
                    p);
                if (!same.rows.empty())
                    linha = int(same.rows[0][0].toInt());
            }
            if (!linha) {
                // A new line: the lot's row at the location as it is now, or none; the lot's other
                // rows and the register give what a line records.
                const db::Rows rows = tx.query(
                    QStringLiteral("select LABORATORIO, SALDOCORRENTE, UNIDADE, CONTROLADA, DESCRICAO, "
                                   "(select first 1 c.GRUPO from COMPONEN c where c.CODIGO = e.CODIGO) from ESTLOTE e "
                                   "where ")
                        + data::LotKeyCondition(),
                    key);
                const std::vector<db::Value> *here = nullptr, *any = nullptr;
                for (const auto &r : rows.rows) {
                    any = any ? any : &r;
                    if (!here && placeKey(text(r[0])) == placeKey(e.location))
                        here = &r;
                }
                const std::vector<db::Value> *from = here ? here : any;
                const db::Rows max = tx.query(
                    QStringLiteral("select coalesce(max(LINHA), 0) + 1 from INVENTARIOITEM where NUMERO = ?"),
                    {db::Value::integer(e.numero)});
                result.linha = int(max.rows[0][0].toInt());
                result.newLine = true;
                result.counted = e.quantity;
                tx.execute(
                    QStringLiteral("insert into INVENTARIOITEM (NUMERO, LINHA, CODIGO, DESCRICAO, LOTE, FORNECEDOR, "
                                   "LABORATORIO, UNIDADE, GRUPO, CONTROLADA, NAFOTO, SALDOFOTO, CONTADO, CONTADOPOR, "
                                   "CONTADOEM, ESTACAO) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'N', ?, ?, ?, ?, ?)"),
                    {db::Value::integer(e.numero), db::Value::integer(result.linha), key[0],
                     db::Value::text(from ? text((*from)[4]) : e.found.descricao), key[1], key[2],
                     here ? (*here)[0] : db::Value::text(e.location.left(20)),
                     from ? (*from)[2] : textOrNull(e.found.unidade), from ? (*from)[5] : db::Value(),
                     from ? (*from)[3] : db::Value(), ValueOf(here ? QtyOf((*here)[1]) : 0), ValueOf(e.quantity),
                     db::Value::text(e.user.left(60)), db::Value::timestamp(e.at), textOrNull(e.station.left(3))});
                tx.commit();
                result.step = EntryStep::Stored;
                return result;
            }
            const db::Rows now = tx.query(
                QStringLiteral("select CONTADO from INVENTARIOITEM where NUMERO = ? and LINHA = ?"),
                {db::Value::integer(e.numero), db::Value::integer(*linha)});
            result.linha = *linha;
            if (now.rows.empty())
                return result;   // Gone
            before = optQty(now.rows[0][0]);
            result.before = before;
            if (before && e.mode == EntryMode::First) {
                result.step = EntryStep::AlreadyCounted;
                result.counted = *before;
                return result;
            }
            result.counted = e.mode == EntryMode::Add && before ? *before + e.quantity : e.quantity;
            tx.execute(QStringLiteral("update INVENTARIOITEM set CONTADO = ?, CONTADOPOR = ?, CONTADOEM = ?, "
                                      "ESTACAO = ?, APROVADOPOR = null, APROVADOEM = null where NUMERO = ? and LINHA = ?"),
                       {ValueOf(result.counted), db::Value::text(e.user.left(60)), db::Value::timestamp(e.at),
                        textOrNull(e.station.left(3)), db::Value::integer(e.numero), db::Value::integer(*linha)});
            tx.commit();
            result.step = EntryStep::Stored;
            return result;
        } catch (const db::DbError &err) {
            data::PassOnLostOrEndedWait(err);
            if (!data::IsRetryable(err) || attempt >= kMaxAttempts)
                throw;
        }
    }
}

bool SetReason(db::Connection &central, int numero, const std::vector<int> &linhas, const QString &motivo,
               const QString &observacao)
{
    db::Transaction tx(central);
    if (lockCount(tx, numero).value_or(QString()) != kOpen)
        return false;
    const QString sql = QStringLiteral("update INVENTARIOITEM set MOTIVO = ?, OBSERVACAO = ? where NUMERO = ? and LINHA = ?");
    // One line after another: a handful of lines chosen on the screen.
    for (int l : linhas)
        tx.execute(sql, {textOrNull(motivo.left(20)), textOrNull(core::OneLogLine(observacao).trimmed().left(kObservationWidth)),
                         db::Value::integer(numero), db::Value::integer(l)});
    tx.commit();
    return true;
}

int ZeroNotCounted(db::Connection &central, int numero, const QString &user, const QString &station,
                   const QDateTime &at)
{
    db::Transaction tx(central);
    if (lockCount(tx, numero).value_or(QString()) != kOpen)
        return 0;
    const int n = int(tx.execute(QStringLiteral("update INVENTARIOITEM set CONTADO = 0, CONTADOPOR = ?, CONTADOEM = ?, "
                                                "ESTACAO = ? where NUMERO = ? and CONTADO is null"),
                                 {db::Value::text(user.left(60)), db::Value::timestamp(at),
                                  textOrNull(station.left(3)), db::Value::integer(numero)}));
    tx.commit();
    return n;
}

// ---- Approval ---------------------------------------------------------------------------------

QString ApprovalRefusedMessage(int check)
{
    switch (common::UserCheck(check)) {
    case common::UserCheck::EmptyName: return QStringLiteral("Informe o nome do usuário que aprova.");
    case common::UserCheck::NotFound: return QStringLiteral("Usuário não encontrado: a diferença não foi aprovada.");
    case common::UserCheck::WrongPassword: return QStringLiteral("Senha incorreta: a diferença não foi aprovada.");
    case common::UserCheck::NoRights:
        return QStringLiteral("O usuário não tem acesso ao estoque: a diferença não foi aprovada.");
    case common::UserCheck::Admitted: break;
    }
    return QString();
}

ApprovalResult ApproveControlled(db::Connection &central, int numero, const QString &approver, const QString &password,
                                 const QString &currentUser, const QDateTime &at)
{
    ApprovalResult r;
    const common::UserCheck check = common::CheckUser(central, approver, password);
    if (check != common::UserCheck::Admitted) {
        r.message = ApprovalRefusedMessage(int(check));
        return r;
    }
    const QString name = platform::asciiUpper(approver).left(60);
    if (name == platform::asciiUpper(currentUser)) {
        r.message = kApprovalSameUserMessage;
        return r;
    }
    db::Transaction tx(central);
    if (lockCount(tx, numero).value_or(QString()) != kOpen) {
        r.message = QStringLiteral("O inventário nº %1 já foi postado: nada foi aprovado.").arg(numero);
        return r;
    }
    r.lines = int(tx.execute(QStringLiteral("update INVENTARIOITEM set APROVADOPOR = ?, APROVADOEM = ? where NUMERO = ? "
                                            "and CONTADO is not null and CONTADO <> SALDOFOTO and APROVADOPOR is null "
                                            "and upper(trim(CONTROLADA)) = 'SIM'"),
                             {db::Value::text(name), db::Value::timestamp(at), db::Value::integer(numero)}));
    tx.commit();
    r.approved = r.lines > 0;
    r.message = r.approved ? QStringLiteral("Diferenças de produtos controlados aprovadas por %1: %2.").arg(name).arg(r.lines)
                           : kApprovalNothingMessage;
    return r;
}

// ---- Posting ----------------------------------------------------------------------------------

QString BalanceLogLine(const Line &l, int numero)
{
    (void)numero;
    return QStringLiteral("Alterou o Saldo Atual de ") + QtyText(l.saldoAntes.value_or(0)) + QStringLiteral(" para ")
        + QtyText(l.saldoDepois.value_or(0)) + QStringLiteral(" (") + l.descricao + QStringLiteral(", lote: ") + l.lote
        + QLatin1Char(')');
}

QString ReasonLogLine(const Line &l, int numero)
{
    return QStringLiteral("Justificativa: ") + l.motivo
        + (l.observacao.isEmpty() ? QString() : QStringLiteral(" - ") + l.observacao)
        + QStringLiteral(" (inventário nº %1, local %2: contado %3, no início %4)")
              .arg(numero)
              .arg(l.laboratorio, QtyText(l.counted.value_or(0)), QtyText(l.snapshot));
}

namespace {

const QString kKeyMatch = QStringLiteral(
    "e.CODIGO is not distinct from i.CODIGO and e.LOTE is not distinct from i.LOTE and e.FORNECEDOR is not distinct "
    "from i.FORNECEDOR and e.LABORATORIO is not distinct from i.LABORATORIO");
const QString kHasDifference = QStringLiteral("i.CONTADO is not null and i.CONTADO <> i.SALDOFOTO");

PostResult postOnce(db::Connection &central, int numero, NotCountedChoice choice, const QString &user,
                    const QDateTime &at, const BeforeCommit &beforeCommit, std::vector<Line> &posted)
{
    PostResult r;
    db::Transaction tx(central);
    const std::optional<QString> situation = lockCount(tx, numero);
    if (!situation) {
        r.message = QStringLiteral("O inventário nº %1 não existe mais.").arg(numero);
        return r;
    }
    if (*situation != kOpen) {
        r.step = PostStep::AlreadyPosted;
        r.message = QStringLiteral("O inventário nº %1 já foi postado; nada foi gravado de novo.").arg(numero);
        return r;
    }
    const db::Rows all = tx.query(kLinesStatement, {db::Value::integer(numero)});
    std::vector<Line> lines;
    lines.reserve(all.rows.size());
    for (const auto &row : all.rows)
        lines.push_back(lineOf(row));

    std::vector<const Line *> noReason, noApproval, notCounted;
    for (const Line &l : lines) {
        if (!l.counted) {
            notCounted.push_back(&l);
            continue;
        }
        if (!l.hasDifference()) {
            ++r.equal;
            continue;
        }
        ++r.differences;
        if (l.motivo.isEmpty() || (l.motivo == QLatin1String("Outro") && l.observacao.isEmpty()))
            noReason.push_back(&l);
        if (l.controlled() && l.aprovadoPor.isEmpty())
            noApproval.push_back(&l);
    }
    r.notCounted = int(notCounted.size());
    if (!noReason.empty()) {
        r.step = PostStep::NeedsReasons;
        r.message = QStringLiteral("O inventário não foi postado: %1 diferença(s) sem motivo (\"Outro\" pede o texto):")
                        .arg(noReason.size())
            + lotList(noReason);
        return r;
    }
    if (!noApproval.empty()) {
        r.step = PostStep::NeedsApproval;
        r.message = QStringLiteral("O inventário não foi postado: %1 diferença(s) de produto controlado sem a aprovação "
                                   "de um segundo usuário:")
                        .arg(noApproval.size())
            + lotList(noApproval);
        return r;
    }
    if (!notCounted.empty() && choice == NotCountedChoice::Ask) {
        r.step = PostStep::NotCountedLeft;
        r.message = QStringLiteral("%1 lote(s) do inventário não foram contados:").arg(notCounted.size())
            + lotList(notCounted)
            + QStringLiteral("\r\rPostar deixando-os como estão? (Para contá-los como zero, use \"Zerar não "
                             "contados\" e dê o motivo.)");
        return r;
    }

    // How many rows each line with a difference has now.
    const db::Rows have = tx.query(QStringLiteral("select i.LINHA, (select count(*) from ESTLOTE e where ") + kKeyMatch
                                       + QStringLiteral(") from INVENTARIOITEM i where i.NUMERO = ? and ") + kHasDifference
                                       + QStringLiteral(" order by i.CODIGO, i.LOTE, i.FORNECEDOR, i.LABORATORIO"),
                                   {db::Value::integer(numero)});
    std::map<int, const Line *> byLine;
    for (const Line &l : lines)
        byLine[l.linha] = &l;
    std::vector<const Line *> missing, doubled;
    int existing = 0;
    for (const auto &row : have.rows) {
        const Line *l = byLine[int(row[0].toInt())];
        const int64_t n = row[1].toInt();
        if (n == 0)
            missing.push_back(l);
        else if (n > 1)
            doubled.push_back(l);
        else
            ++existing;
    }
    if (!doubled.empty()) {
        r.step = PostStep::Duplicate;
        r.message = QStringLiteral("O inventário não foi postado: há mais de um registro com a mesma chave para:")
            + lotList(doubled) + QStringLiteral("\rCorrija-os antes de postar.");
        return r;
    }

    // A lot without its row at the location: the lot's rows locked by the rule of a new row, and the
    // row created empty (the set-based write below gives it the difference), unless another
    // workstation created it meanwhile.
    std::vector<const Line *> negative;
    for (const Line *l : missing) {
        const db::Value codigo = db::Value::text(l->codigo), lote = db::Value::text(l->lote),
                        fornecedor = db::Value::text(l->fornecedor);
        const db::Rows rows = common::LockLotForNewRow(tx, codigo, lote, fornecedor);
        ++existing;
        if (common::RowAtLocation(rows, db::Value::text(l->laboratorio)) >= 0)
            continue;
        auto col = [&](const char *name) -> db::Value {
            if (rows.rows.empty())
                return db::Value();
            return rows.rows.front()[size_t(rows.indexOf(QLatin1String(name)))];
        };
        const db::Value zero = ValueOf(0);
        tx.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, "
                                  "SALDOPREVISTO, UNIDADE, CODIGOEAN, FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, "
                                  "FATORCORRECAO, LABORATORIO, CONTROLADA) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                  "?, ?, ?)"),
                   {db::Value::text(l->descricao), lote, fornecedor, codigo, zero, zero, textOrNull(l->unidade),
                    col("CODIGOEAN"), col("FABRICANTE"), col("VALIDADE"), col("SITUACAO"), col("DENSIDADE"),
                    col("FATORCORRECAO"), db::Value::text(l->laboratorio), textOrNull(l->controlada)});
        ++r.newRows;
    }

    // Every difference in one statement, each row from what it holds when written, in the
    // lot lock rule's order; a row that would go below zero is left and stops the posting below.
    const uint64_t written = tx.execute(
        QStringLiteral("merge into ESTLOTE e using (select CODIGO, LOTE, FORNECEDOR, LABORATORIO, CONTADO - SALDOFOTO "
                       "as DIF from INVENTARIOITEM i where i.NUMERO = ? and ")
            + kHasDifference
            + QStringLiteral(" order by CODIGO, LOTE, FORNECEDOR, LABORATORIO) i on ") + kKeyMatch
            + QStringLiteral(" when matched and coalesce(e.SALDOCORRENTE, 0) + i.DIF >= 0 then update set "
                             "SALDOCORRENTE = coalesce(e.SALDOCORRENTE, 0) + i.DIF, "
                             "SALDOPREVISTO = coalesce(e.SALDOPREVISTO, 0) + i.DIF"),
        {db::Value::integer(numero)});
    if (int64_t(written) != existing) {
        const db::Rows below = tx.query(QStringLiteral("select i.LINHA from INVENTARIOITEM i join ESTLOTE e on ")
                                            + kKeyMatch + QStringLiteral(" where i.NUMERO = ? and ") + kHasDifference
                                            + QStringLiteral(" and coalesce(e.SALDOCORRENTE, 0) + i.CONTADO - "
                                                             "i.SALDOFOTO < 0 order by i.LINHA"),
                                        {db::Value::integer(numero)});
        for (const auto &row : below.rows)
            negative.push_back(byLine[int(row[0].toInt())]);
    }
    if (!negative.empty()) {
        tx.rollback();
        r.step = PostStep::WouldGoNegative;
        r.message = QStringLiteral("O inventário não foi postado: com o que foi movimentado durante a contagem, o saldo "
                                   "destes lotes ficaria negativo. Conte-os de novo:")
            + lotList(negative);
        return r;
    }

    // The balances before and after, on every counted line: what the report and the log read.
    tx.execute(QStringLiteral("update INVENTARIOITEM i set SALDODEPOIS = (select e.SALDOCORRENTE from ESTLOTE e where ")
                   + kKeyMatch + QStringLiteral("), SALDOANTES = (select e.SALDOCORRENTE from ESTLOTE e where ")
                   + kKeyMatch
                   + QStringLiteral(") - (i.CONTADO - i.SALDOFOTO) where i.NUMERO = ? and i.CONTADO is not null"),
               {db::Value::integer(numero)});
    tx.execute(QStringLiteral("update INVENTARIO set SITUACAO = ?, POSTADOEM = ?, POSTADOPOR = ?, NAOCONTADOS = ? "
                              "where NUMERO = ?"),
               {db::Value::text(kPosted), db::Value::timestamp(at), db::Value::text(user.left(60)),
                notCounted.empty() ? db::Value() : db::Value::text(kKeepNotCounted), db::Value::integer(numero)});
    const db::Rows after = tx.query(QStringLiteral("select ") + kLineColumns
                                        + QStringLiteral(" from INVENTARIOITEM i where i.NUMERO = ? and ")
                                        + kHasDifference + QStringLiteral(" order by i.LINHA"),
                                    {db::Value::integer(numero)});
    posted.clear();
    for (const auto &row : after.rows)
        posted.push_back(lineOf(row));
    if (beforeCommit)
        beforeCommit();
    tx.commit();
    r.step = PostStep::Posted;
    return r;
}

} // namespace

PostResult PostCount(db::Connection &central, int numero, NotCountedChoice notCounted, const QString &user,
                     const QDateTime &at, core::ActivityLog *log, const BeforeCommit &beforeCommit)
{
    std::vector<Line> posted;
    PostResult r;
    for (int attempt = 1;; ++attempt) {
        try {
            r = postOnce(central, numero, notCounted, user, at, beforeCommit, posted);
            break;
        } catch (const db::DbError &e) {
            data::PassOnLostOrEndedWait(e);
            if (!data::IsRetryable(e) || attempt >= kMaxAttempts)
                throw;
        }
    }
    if (r.step != PostStep::Posted)
        return r;
    for (const Line &l : posted)
        r.logLines << BalanceLogLine(l, numero) << ReasonLogLine(l, numero);
    if (log)
        for (const QString &line : r.logLines)
            log->WriteActivityLine(user, line);
    r.message = QStringLiteral("Inventário nº %1 postado: %2 lote(s) com diferença, %3 igual(is) ao sistema")
                    .arg(numero)
                    .arg(r.differences)
                    .arg(r.equal)
        + (r.notCounted ? QStringLiteral(", %1 não contado(s) deixado(s) como estavam.").arg(r.notCounted)
                        : QStringLiteral("."));
    return r;
}

} // namespace stocktake
