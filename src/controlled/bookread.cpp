// The book's statements: products, lots, purchases, movements from the start, movements before
// it summed, order lines without deduction; then the log files of the months concerned.
#include "bookread.h"

#include "common/textfold.h"
#include "db/connection.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace controlled {

namespace {

// A product code of a controlled substance: its register says so or one of its lots does. Each
// test is an index lookup by code, so a long table is read once, never once per product.
QString controlledCode(const QString &column)
{
    return QStringLiteral("(exists (select 1 from COMPONEN CC where CC.CODIGO = ") + column
        + QStringLiteral(" and UPPER(CC.CONTROLADA) starting with 'S') or exists (select 1 from ESTLOTE CE where "
                         "CE.CODIGO = ")
        + column + QStringLiteral(" and UPPER(CE.CONTROLADA) starting with 'S'))");
}

// A product name of a controlled substance, for the rows that carry no code.
QString controlledName(const QString &column)
{
    return QStringLiteral("exists (select 1 from COMPONEN CN where UPPER(CN.COMPONENTE) = UPPER(") + column
        + QStringLiteral(") and ") + controlledCode(QStringLiteral("CN.CODIGO")) + QLatin1Char(')');
}

QString isoDate(const QDate &d)
{
    return QLatin1Char('\'') + d.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('\'');
}

QString text(const db::Cursor &c, int col)
{
    const db::Value v = c.value(col);
    return v.isNull() ? QString() : v.toString().trimmed();
}

QString number(const db::Cursor &c, int col)
{
    const db::Value v = c.value(col);
    if (v.isNull())
        return QString();
    if (v.kind() == db::Value::Kind::Decimal)
        return v.toDecimal().toString();
    if (v.kind() == db::Value::Kind::Integer)
        return QString::number(v.toInt());
    if (v.kind() == db::Value::Kind::Double)
        return QString::number(v.toDouble(), 'f', 8);
    return v.toString().trimmed();
}

// A row names a location of the book when it names none, one of the store's, or a shared one.
struct Locations {
    QSet<QString> folded;
    explicit Locations(const QStringList &labs)
    {
        for (const QString &l : labs)
            folded.insert(common::FoldText(l));
        for (const QString &l : kSharedLocations)
            folded.insert(common::FoldText(l));
    }
    bool admits(const QString &lab) const
    {
        const QString f = common::FoldText(lab);
        return f.isEmpty() || folded.contains(f);
    }
};

} // namespace

QStringList Pharmacy::lines() const
{
    if (!found)
        return {QStringLiteral("Loja de CNPJ ") + cnpj + QStringLiteral(" sem dados cadastrais (DADOSGER)")};
    QStringList parts;
    for (const QString &p : {name, firm})
        if (!p.isEmpty())
            parts << p;
    QStringList second;
    if (!address.isEmpty())
        second << address;
    if (!cnpj.isEmpty())
        second << QStringLiteral("CNPJ ") + cnpj;
    if (!pharmacist.isEmpty())
        second << QStringLiteral("Farm. resp. ") + pharmacist;
    if (!authorization.isEmpty())
        second << QStringLiteral("Autorização ") + authorization;
    return {parts.join(QStringLiteral(" - ")), second.join(QStringLiteral(" - "))};
}

QString ProductsStatement()
{
    return QStringLiteral("select P.CODIGO, P.COMPONENTE, P.UNID, P.CONTROLADA, P.DCB, P.NOMECIENTIFICO from COMPONEN P "
                          "where UPPER(P.CONTROLADA) starting with 'S' or exists (select 1 from ESTLOTE CE where "
                          "CE.CODIGO = P.CODIGO and UPPER(CE.CONTROLADA) starting with 'S')");
}

QString LotsStatement(const QStringList &laboratories)
{
    QStringList terms;
    for (const QString &l : laboratories)
        terms << QStringLiteral("UPPER(LABORATORIO) = '") + db::escapeQuotes(platform::asciiUpper(l.trimmed()))
                + QLatin1Char('\'');
    for (const QString &l : kSharedLocations)
        terms << QStringLiteral("UPPER(LABORATORIO) = '") + l + QLatin1Char('\'');
    return QStringLiteral("select L.CODIGO, L.DESCRICAO, L.LOTE, L.FORNECEDOR, L.LABORATORIO, L.SALDOCORRENTE, L.UNIDADE, "
                          "L.CONTROLADA from ESTLOTE L where (")
        + terms.join(QStringLiteral(" or ")) + QStringLiteral(") and ") + controlledCode(QStringLiteral("L.CODIGO"));
}

QString PurchasesStatement()
{
    return QStringLiteral("select P.ESTACAO, P.CODCOMPRA, P.DATA, P.NOTAFISCAL, P.FORNECEDOR, P.CODIGO, P.COMPONENTE, "
                          "P.LOTE, P.UNIDADE, P.QUANTIDADE, P.LABORATORIO from COMPRAS P where ")
        + controlledCode(QStringLiteral("P.CODIGO"));
}

namespace {

// Movements of the substances: by product code, by the movement's own mark, or, without a
// code, by the product's name.
QString movementFilter()
{
    return QStringLiteral("(UPPER(M.CONTROLADA) starting with 'S' or ") + controlledCode(QStringLiteral("M.CODPROD"))
        + QStringLiteral(" or (coalesce(M.CODPROD, '') = '' and ") + controlledName(QStringLiteral("M.DESCRICAO"))
        + QStringLiteral("))");
}

} // namespace

namespace {

const QString kMovementColumns = QStringLiteral(
    "M.CODMOVEST, M.DATA, M.ESTACAO, M.NPEDIDO, M.NFORMULA, M.CODPERDA, M.CODIGOCQ, M.CODCOMPRA, M.CODPROD, "
    "M.DESCRICAO, M.LOTE, M.FORNECEDOR, M.UNIDADE, M.LABORATORIO, M.QUANTIDADE");
const QString kEarlierColumns = QStringLiteral(
    "M.CODPROD, M.DESCRICAO, M.LOTE, M.FORNECEDOR, M.UNIDADE, M.LABORATORIO, case when M.NPEDIDO is null and "
    "coalesce(M.CODPERDA, '') = '' and M.CODIGOCQ is null and M.CODCOMPRA is not null then 1 else 0 end, "
    "sum(M.QUANTIDADE)");

// The substances' lot numbers, once each: their stock rows and their purchases.
QString controlledLots()
{
    return QStringLiteral("(select CL.LOTE from ESTLOTE CL where UPPER(CL.CONTROLADA) starting with 'S' or ")
        + controlledCode(QStringLiteral("CL.CODIGO")) + QStringLiteral(" union select CP.LOTE from COMPRAS CP where ")
        + controlledCode(QStringLiteral("CP.CODIGO")) + QStringLiteral(") L join MOVEST M on M.LOTE = L.LOTE");
}

// Through the lot index the date is tested on the rows the index gives ("+ 0" keeps the engine
// from crossing each lot's rows with the date index's whole range, which costs seconds).
QString movementRows(bool byLot, const QString &date)
{
    if (byLot)
        return controlledLots() + QStringLiteral(" where M.DATA + 0 ") + date;
    return QStringLiteral("MOVEST M where M.DATA ") + date + QStringLiteral(" and ") + movementFilter();
}

} // namespace

QString LotIndexStatement()
{
    return QStringLiteral("select count(*) from RDB$INDICES I join RDB$INDEX_SEGMENTS S on S.RDB$INDEX_NAME = "
                          "I.RDB$INDEX_NAME where I.RDB$RELATION_NAME = 'MOVEST' and S.RDB$FIELD_NAME = 'LOTE' and "
                          "S.RDB$FIELD_POSITION = 0 and coalesce(I.RDB$INDEX_INACTIVE, 0) = 0 and "
                          "I.RDB$EXPRESSION_BLR is null");
}

QString MovementsStatement(const QDate &start, bool byLot)
{
    return QStringLiteral("select ") + kMovementColumns + QStringLiteral(" from ")
        + movementRows(byLot, QStringLiteral(">= ") + isoDate(start));
}

QString EarlierMovementsStatement(const QDate &start, bool byLot)
{
    return QStringLiteral("select ") + kEarlierColumns + QStringLiteral(" from ")
        + movementRows(byLot, QStringLiteral("< ") + isoDate(start)) + QStringLiteral(" group by 1, 2, 3, 4, 5, 6, 7");
}

QString UndeductedStatement(const QDate &start)
{
    return QStringLiteral("select A.ESTACAO, A.NPEDIDO, A.NFORMULA, A.CODIGOCOMP, A.COMPONENTE, A.LOTE, A.FORNECEDOR, "
                          "A.UNID, A.QDEESTOQUE, B.DATAPEDIDO from COMPEDID A join PEDIDOS B on A.ESTACAO = B.ESTACAO "
                          "and A.NPEDIDO = B.NPEDIDO where B.DATAPEDIDO >= ")
        + isoDate(start)
        + QStringLiteral(" and UPPER(B.TIPOPEDIDO) = 'PEDIDO' and (") + controlledCode(QStringLiteral("A.CODIGOCOMP"))
        + QStringLiteral(" or (coalesce(A.CODIGOCOMP, '') = '' and ") + controlledName(QStringLiteral("A.COMPONENTE"))
        + QStringLiteral(")) and not exists (select 1 from MOVEST M where M.NPEDIDO = A.NPEDIDO and "
                         "M.ESTACAO = A.ESTACAO and (M.NFORMULA = A.NFORMULA or A.NFORMULA is null) and "
                         "UPPER(M.LOTE) = UPPER(A.LOTE))");
}

QString LogFilePath(const QString &serverAddress, const QDate &month)
{
    return QStringLiteral("\\\\") + serverAddress + QStringLiteral("\\Formulix\\LOG\\LOGESTOQ_")
        + month.toString(QStringLiteral("yyyy-MM")) + QStringLiteral(".TXT");
}

std::vector<LoggedChange> ParseLogChanges(const QStringList &lines, const QDate &from)
{
    static const QRegularExpression stamp(QStringLiteral("^(\\d\\d)/(\\d\\d)/(\\d\\d)-(\\d\\d):(\\d\\d) - (.*?) - (.*)$"));
    static const QRegularExpression opened(QStringLiteral("^Abriu a edição do registro: (.*) \\(lote: (.*)\\)$"));
    static const QRegularExpression changed(
        QStringLiteral("^Alterou o Saldo Atual de (\\S*) para (\\S*) \\((.*), lote: (.*)\\)$"));
    static const QRegularExpression saved(QStringLiteral("^Salvou o registro corrente\\. Saldo atual: (\\S*)"));
    static const QRegularExpression cancelled(QStringLiteral("^Cancelou a operação"));
    static const QRegularExpression justified(QStringLiteral("^Justificativa: (.*)$"));

    struct Session {
        bool open = false;
        QString descricao, lote;
        std::optional<LoggedChange> pending;
    };
    QHash<QString, Session> sessions;   // by user: one lot edit form at a time per person
    std::vector<LoggedChange> out;
    std::optional<size_t> lastPosting;   // the posting a following justification belongs to
    QHash<QString, size_t> lastPostingOf;
    for (const QString &raw : lines) {
        const QRegularExpressionMatch m = stamp.match(raw);
        if (!m.hasMatch())
            continue;
        const QDate day(2000 + m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt());
        if (!day.isValid() || !time.isValid())
            continue;
        const QDateTime at(day, time);
        const QString user = m.captured(6);
        const QString body = m.captured(7);
        Session &s = sessions[user];
        if (const auto o = opened.match(body); o.hasMatch()) {
            s = Session{true, o.captured(1), o.captured(2), std::nullopt};
            lastPostingOf.remove(user);
        } else if (const auto c = changed.match(body); c.hasMatch()) {
            const bool inEdit = s.open && common::FoldText(s.lote) == common::FoldText(c.captured(4));
            if (inEdit) {
                if (!s.pending) {
                    LoggedChange ch;
                    ch.source = LoggedChange::Source::LotEdit;
                    ch.from = c.captured(1);
                    ch.descricao = c.captured(3);
                    ch.lote = c.captured(4);
                    ch.user = user;
                    s.pending = ch;
                }
                s.pending->to = c.captured(2);
                s.pending->at = at;
            } else if (day >= from) {
                LoggedChange ch;
                ch.source = LoggedChange::Source::Stocktake;
                ch.at = at;
                ch.user = user;
                ch.from = c.captured(1);
                ch.to = c.captured(2);
                ch.descricao = c.captured(3);
                ch.lote = c.captured(4);
                out.push_back(ch);
                lastPostingOf.insert(user, out.size() - 1);
            }
        } else if (const auto j = justified.match(body); j.hasMatch()) {
            if (s.open && s.pending)
                s.pending->justification = j.captured(1).trimmed();
            else if (lastPostingOf.contains(user))
                out[lastPostingOf.value(user)].justification = j.captured(1).trimmed();
        } else if (const auto v = saved.match(body); v.hasMatch()) {
            if (s.open && s.pending) {
                LoggedChange ch = *s.pending;
                ch.to = v.captured(1);   // what was saved, whatever was typed before
                ch.at = at;
                if (day >= from)
                    out.push_back(ch);
            }
            s = Session{};
        } else if (cancelled.match(body).hasMatch()) {
            s = Session{};
        }
    }
    (void)lastPosting;
    return out;
}

BookInput ReadBookInput(db::Connection &central, const platform::WinPaths &paths, const Scope &scope,
                        const QDate &start, const QDate &end, const QDate &today, ReadFigures *figures,
                        const std::function<void()> &pump)
{
    BookInput in;
    in.start = start;
    in.end = end;
    in.today = today;
    ReadFigures local;
    ReadFigures &f = figures ? *figures : local;
    const Locations locations(scope.laboratories);
    db::Transaction tx(central);
    auto run = [&](const QString &sql, const std::function<void(const db::Cursor &)> &row) {
        ++f.statements;
        QElapsedTimer timer;
        timer.start();
        db::Cursor c = tx.open(sql);
        qint64 n = 0;
        while (c.next()) {
            row(c);
            if (++n % 4096 == 0 && pump)
                pump();
        }
        f.rows += n;
        f.statementMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    };
    run(ProductsStatement(), [&](const db::Cursor &c) {
        in.products.push_back({text(c, 0), text(c, 1), text(c, 2), text(c, 3), text(c, 4), text(c, 5)});
    });
    run(LotsStatement(scope.laboratories), [&](const db::Cursor &c) {
        in.lots.push_back({text(c, 0), text(c, 1), text(c, 2), text(c, 3), text(c, 4), text(c, 6), text(c, 7), number(c, 5)});
    });
    run(PurchasesStatement(), [&](const db::Cursor &c) {
        if (!locations.admits(text(c, 10)))
            return;
        PurchaseRow p;
        p.estacao = text(c, 0);
        p.codcompra = number(c, 1);
        p.data = c.value(2).toDate();
        p.notaFiscal = text(c, 3);
        p.fornecedor = text(c, 4);
        p.codigo = text(c, 5);
        p.componente = text(c, 6);
        p.lote = text(c, 7);
        p.unidade = text(c, 8);
        p.quantidade = number(c, 9);
        in.purchases.push_back(std::move(p));
    });
    // With the movements' lot index (README) they are found by the substances' lot numbers;
    // without it the period's movements are read and each tested by its product.
    bool byLot = false;
    run(LotIndexStatement(), [&](const db::Cursor &c) { byLot = c.value(0).toInt() > 0; });
    f.byLot = byLot;
    run(MovementsStatement(start, byLot), [&](const db::Cursor &c) {
        MovementRow m;
        m.laboratorio = text(c, 13);
        if (!locations.admits(m.laboratorio))
            return;
        m.codmovest = c.value(0).toInt();
        m.data = c.value(1).toDate();
        m.estacao = text(c, 2);
        m.npedido = number(c, 3);
        m.nformula = number(c, 4);
        m.codperda = text(c, 5);
        m.codigocq = number(c, 6);
        m.codcompra = number(c, 7);
        m.codprod = text(c, 8);
        m.descricao = text(c, 9);
        m.lote = text(c, 10);
        m.fornecedor = text(c, 11);
        m.unidade = text(c, 12);
        m.quantidade = number(c, 14);
        in.movements.push_back(std::move(m));
    });
    run(EarlierMovementsStatement(start, byLot), [&](const db::Cursor &c) {
        if (!locations.admits(text(c, 5)))
            return;
        in.earlier.push_back({text(c, 0), text(c, 1), text(c, 2), text(c, 3), text(c, 4), number(c, 7),
                              c.value(6).toInt() == 1});
    });
    run(UndeductedStatement(start), [&](const db::Cursor &c) {
        in.undeducted.push_back({text(c, 0), number(c, 1), number(c, 2), text(c, 3), text(c, 4), text(c, 5), text(c, 6),
                                 text(c, 7), number(c, 8), c.value(9).toDate()});
    });
    tx.commit();

    // The activity log, month by month from the start's to today's.
    if (!scope.serverAddress.isEmpty()) {
        for (QDate month(start.year(), start.month(), 1); month <= today; month = month.addMonths(1)) {
            const QString local = paths.toLocal(LogFilePath(scope.serverAddress, month));
            QFile file(local);
            if (local.isEmpty() || !file.open(QIODevice::ReadOnly)) {
                in.logMonthsMissing << month.toString(QStringLiteral("MM/yyyy"));
                continue;
            }
            ++f.logFiles;
            const QString all = platform::fromCp1252(file.readAll());
            const QStringList lines = all.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
            for (LoggedChange &ch : ParseLogChanges(lines, start))
                in.changes.push_back(std::move(ch));
        }
    }
    return in;
}

Pharmacy ReadPharmacy(db::Connection &central, const QString &storeCnpj, ReadFigures *figures)
{
    Pharmacy p;
    p.cnpj = storeCnpj.trimmed();
    if (figures)
        ++figures->statements;
    const db::Rows rows = central.query(
        QStringLiteral("select FARMACIA, FIRMA, ENDERECO, NUMERO, BAIRRO, CIDADE, ESTADO, CGC, FARMACEUTICO, CRF_Q, "
                       "NAUTORIZACAO from DADOSGER where CNPJ = ?"),
        {db::Value::text(storeCnpj)});
    if (rows.rows.empty())
        return p;
    const auto &r = rows.rows.front();
    auto cell = [&](int c) { return r[size_t(c)].isNull() ? QString() : r[size_t(c)].toString().trimmed(); };
    p.found = true;
    p.name = cell(0);
    p.firm = cell(1);
    QString address = cell(2);
    if (!cell(3).isEmpty())
        address += QStringLiteral(", ") + cell(3);
    for (const QString &part : {cell(4), cell(5)})
        if (!part.isEmpty())
            address += (address.isEmpty() ? QString() : QStringLiteral(", ")) + part;
    if (!cell(6).isEmpty())
        address += QLatin1Char('/') + cell(6);
    p.address = address;
    if (!cell(7).isEmpty())
        p.cnpj = cell(7);
    p.pharmacist = cell(8);
    if (!cell(9).isEmpty())
        p.pharmacist += QStringLiteral(" (CRF ") + cell(9) + QLatin1Char(')');
    p.authorization = cell(10);
    return p;
}

} // namespace controlled
