// The data module: every dataset on its connection with its design-time statement, and the hooks
// that send cached changes, keep the audit trail of the lot table and allocate certificate keys.
#include "tdm.h"

#include "fieldtext.h"
#include "tables.h"

#include "db/serverwatch.h"
#include "db/sqltext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace data {

namespace {

using OnRefusal = CachedDataset::OnRefusal;

QString lotRelColumns()
{
    // The report copy carries the lot columns up to CONTROLADA.
    return core::kLotColumnList.split(QStringLiteral(", ")).mid(0, 15).join(QStringLiteral(", "));
}

const QString kLaudoHeaderColumns = QStringLiteral(
    "CODIGOLAUDO, DATA, MANIPULADOR, ANALISTA, TAMANHOLOTE, CODIGOCOMP, LOTE, FORNECEDOR, LABORATORIO, RESULTADOFINAL");

TableDef laudoTable()
{
    // The certificate grid joins the tests and their acceptance criteria; only the header is its table's.
    TableDef t = tables::LAUDOPORLOTE();
    t.writableColumns = kLaudoHeaderColumns.split(QStringLiteral(", "));
    return t;
}

TableDef ensaiosTable()
{
    TableDef t = tables::ENSAIOS();
    t.writableColumns = QStringList{QStringLiteral("CODIGOCOMP"), QStringLiteral("CODIGOESPEC")};
    return t;
}

// Sends the cache's changes and shows the server's rows again. A change the server refuses is
// not left pending behind a grid that shows it as saved: the operator is told the server's
// reason and the cache goes back to what the database holds. False when something was refused
// or (with ignoreRefreshFailure) the reload failed.
bool applyAndReload(platform::Operator &op, CachedDataset &ds, OnRefusal mode, bool ignoreRefreshFailure,
                    bool *refused = nullptr, bool *conflict = nullptr, bool *lost = nullptr,
                    bool *reloadFailed = nullptr)
{
    std::vector<ApplyError> errors;
    bool toldAlready = false;
    bool linkLost = false;
    try {
        errors = ds.applyUpdates(mode);
    } catch (const db::DbError &e) {
        // The link went while the changes were on their way, perhaps after the server took them:
        // they are never sent again blindly. The operator is told, and the reload below shows
        // what the database really holds. A wait on a record another workstation held that was
        // cancelled or ran out rolled everything back; its text says so.
        if (!e.isConnectionLost() && !e.waitEnded())
            throw;
        errors.push_back({db::operatorText(e), QString(), {}});
        toldAlready = true;
        linkLost = e.isConnectionLost();
    }
    if (refused)
        *refused = !errors.empty();
    if (lost)
        *lost = linkLost;
    if (conflict)
        *conflict = std::any_of(errors.begin(), errors.end(), [](const ApplyError &e) { return e.isConflict(); });
    // A lost link is not a refusal: the change may have reached the server, so it is not said to
    // be unsaved; the reload shows what is stored. A conflict, or a refusal of the program's own
    // rules (no statement sent), says itself what happened.
    for (const ApplyError &e : errors)
        op.warn(toldAlready || e.isConflict() || e.statement.isEmpty() ? e.message
                                                                        : kRefusedChangeMessage + QLatin1Char('\r') + e.message);
    if (!errors.empty())
        ds.cancelUpdates();
    if (!ignoreRefreshFailure) {
        try {
            ds.refresh();
        } catch (const db::DbError &e) {
            // The operator has just been told the link is gone: once is enough.
            if (!linkLost || !e.isConnectionLost())
                throw;
            return false;
        }
        return errors.empty();
    }
    try {
        ds.refresh();
    } catch (const std::exception &) {
        if (reloadFailed)
            *reloadFailed = true;
        return false;
    }
    return errors.empty();
}

} // namespace

namespace {
SaveFound findSavedChange(db::Connection &conn, const CachedDataset &ds, const std::vector<db::Value> &before,
                          const std::vector<db::Value> &after, bool *linkDown);
}

SaveFound FindSavedChange(db::Connection &conn, const CachedDataset &ds, const std::vector<db::Value> &before,
                          const std::vector<db::Value> &after)
{
    bool linkDown = false;
    return findSavedChange(conn, ds, before, after, &linkDown);
}

SaveFound CheckSavedChange(db::Connection &conn, const CachedDataset &ds, const std::vector<db::Value> &before,
                           const std::vector<db::Value> &after, int boundMs, const std::function<void(int)> &pause)
{
    QElapsedTimer since;
    since.start();
    for (;;) {
        bool linkDown = false;
        const SaveFound found = findSavedChange(conn, ds, before, after, &linkDown);
        // Only a link still gone is worth another read; a row that cannot be looked up stays so.
        if (found != SaveFound::Unknown || !linkDown)
            return found;
        const qint64 left = boundMs - since.elapsed();
        if (left <= 0)
            return SaveFound::Unknown;
        if (pause)
            pause(int(std::min<qint64>(left, 1000)));
    }
}

int SaveCheckBoundMs()
{
    return std::min(db::serverAnswerLimit(), 10) * 1000;
}

void PauseKeepingWindowAlive(int ms)
{
    if (!QCoreApplication::instance()) {
        QThread::msleep(unsigned(ms));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

namespace {
SaveFound findSavedChange(db::Connection &conn, const CachedDataset &ds, const std::vector<db::Value> &before,
                          const std::vector<db::Value> &after, bool *linkDown)
{
    const QStringList names = ds.fieldNames();
    QStringList terms;
    std::vector<db::Value> params;
    for (const QString &k : ds.table().keyColumns) {
        const int c = ds.fieldIndex(k);
        if (c < 0)
            return SaveFound::Unknown;
        if (after[size_t(c)].isNull()) {
            terms << names[c] + QStringLiteral(" is null");
        } else {
            terms << names[c] + QStringLiteral(" = ?");
            params.push_back(after[size_t(c)]);
        }
    }
    // What the change wrote: every column of a new row, the changed ones of an update.
    std::vector<int> written;
    QStringList cols;
    QStringList seen;
    for (int c = 0; c < int(after.size()); ++c) {
        if (seen.contains(names[c], Qt::CaseInsensitive))
            continue;
        seen << names[c];
        if (before.empty() || !(before[size_t(c)] == after[size_t(c)])) {
            written.push_back(c);
            cols << names[c];
        }
    }
    if (terms.isEmpty() || cols.isEmpty())
        return SaveFound::Unknown;
    db::Rows now;
    try {
        now = conn.query(QStringLiteral("select %1 from %2 where %3")
                             .arg(cols.join(QStringLiteral(", ")), ds.table().name, terms.join(QStringLiteral(" and "))),
                         params);
    } catch (const db::DbError &e) {
        *linkDown = e.isConnectionLost();
        return SaveFound::Unknown;
    }
    if (now.rows.size() != 1)
        return SaveFound::NotStored;
    for (size_t i = 0; i < written.size(); ++i) {
        const db::Value &stored = now.rows.front()[i];
        const db::Value &wanted = after[size_t(written[i])];
        if (stored.isNull() != wanted.isNull() || !(stored == wanted))
            return SaveFound::NotStored;
    }
    return SaveFound::Stored;
}
} // namespace

TDM::TDM(core::RunState &run, core::Connections &connections, core::ActivityLog &log, platform::Operator &op)
    : run(run),
      connections(connections),
      log(log),
      op(op),
      SQLConnection1(connections.SQLConnection1),
      SQLConnection2(connections.SQLConnection2),
      ESTLOTE(QStringLiteral("ESTLOTE"), &SQLConnection1, tables::ESTLOTE()),
      cds_EstLoteRel(QStringLiteral("cds_EstLoteRel"), &SQLConnection1, tables::ESTLOTE()),
      Usuarios(QStringLiteral("Usuarios"), &SQLConnection1, tables::USUARIOS()),
      CompNomes(QStringLiteral("CompNomes"), &SQLConnection1, tables::COMPONEN()),
      Componen(QStringLiteral("Componen"), &SQLConnection1, tables::COMPONEN()),
      Compras(QStringLiteral("Compras"), &SQLConnection1, tables::COMPRAS()),
      Forneced(QStringLiteral("Forneced"), &SQLConnection1, tables::FORNECED()),
      Estacoes(QStringLiteral("Estacoes"), &SQLConnection1, tables::ESTACOES()),
      TabLab(QStringLiteral("TabLab"), &SQLConnection1, tables::TABLAB()),
      Ensaios(QStringLiteral("Ensaios"), &SQLConnection1, ensaiosTable()),
      CQporLote(QStringLiteral("CQporLote"), &SQLConnection1, tables::CQPORLOTE()),
      Laudo(QStringLiteral("Laudo"), &SQLConnection1, laudoTable()),
      Laudo1(QStringLiteral("Laudo1"), &SQLConnection1, tables::LAUDOPORLOTE()),
      DadosGer(QStringLiteral("DadosGer"), &SQLConnection1, tables::DADOSGER()),
      tbl_pdEstLote(QStringLiteral("tbl_pdEstLote"), &SQLConnection2, tables::RELESTLOTE()),
      Periodo(QStringLiteral("Periodo"), &SQLConnection2, tables::PERIODO()),
      qry_pdEstLote(QStringLiteral("qry_pdEstLote"), &SQLConnection2,
                    QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from RELESTLOTE order by DESCRICAO")),
      qry_Vencimentos(QStringLiteral("qry_Vencimentos"), &SQLConnection2,
                      QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from RELESTLOTE order by VALIDADE")),
      qry_Componen(QStringLiteral("qry_Componen"), &SQLConnection1,
                   QStringLiteral("SELECT ") + core::kProductColumnList + QStringLiteral(" FROM COMPONEN")),
      SQLQuery1(QStringLiteral("SQLQuery1"), &SQLConnection1),
      SQLQuery2(QStringLiteral("SQLQuery2"), &SQLConnection2),
      SQLQuery3(QStringLiteral("SQLQuery3"), &SQLConnection1,
                QStringLiteral("Select COMPONENTE from COMPONEN order by COMPONENTE"))
{
    ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
    cds_EstLoteRel.setCommandText(QStringLiteral("select ") + lotRelColumns() + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
    Usuarios.setCommandText(QStringLiteral(
        "select USUARIO, CODIGO, SENHA, ACESSO, ARQUIVO, LOGADO, ESTACAO, CONSIST_INICIAL, DEFVIDEOQUR from USUARIOS order by USUARIO"));
    const QString products = QStringLiteral("select ") + core::kProductColumnList + QStringLiteral(" from COMPONEN order by COMPONENTE");
    CompNomes.setCommandText(products);
    Componen.setCommandText(products);
    Compras.setCommandText(QStringLiteral(
        "select ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, FORNECEDOR, COMPONENTE, LOTE, QUANTIDADE, UNIDADE, PRECOUNITUS, "
        "PRECOUNITR, FABRICACAO, VALIDADE, USADO, SALDO, ETIQUETA, RESPONSAVEL, CODIGO, SITUACAO, FABRICANTE, "
        "SITUACAOMATP, DENSIDADE, FATORCORRECAO, FATORDILUICAO, LABORATORIO, CODIGOFORNECEDOR, OBSERVACAO from COMPRAS"));
    Forneced.setCommandText(QStringLiteral("select CODIGO, NOME, NOMEFANTASIA from FORNECED order by NOME"));
    Estacoes.setCommandText(QStringLiteral("select ") + core::kWorkstationColumnList + QStringLiteral(" from ESTACOES"));
    TabLab.setCommandText(QStringLiteral("select LABORATORIO, LOJA from TABLAB"));
    // The certificate panel names the product before opening these two.
    Ensaios.setCommandText(QStringLiteral(
        "select A.CODIGOCOMP, A.CODIGOESPEC, B.ENSAIO, B.ESPECIFICACAO from ENSAIOS A, ESPECIFICACOES B "
        "WHERE (A.CODIGOCOMP = '') AND (A.CODIGOESPEC=B.CODIGOESPEC) ORDER BY B.ENSAIO"));
    CQporLote.setCommandText(QStringLiteral(
        "select CODIGOENSAIO, CODIGOLAUDO, CODIGOESPEC, RESULTADO, DATADAANALISE, RESPONSAVEL from CQPORLOTE"));
    Laudo.setCommandText(QStringLiteral(
        "select a.CODIGOLAUDO, a.DATA, a.MANIPULADOR, a.ANALISTA, a.TAMANHOLOTE, a.CODIGOCOMP, a.LOTE, a.FORNECEDOR, "
        "a.LABORATORIO, a.RESULTADOFINAL, b.CODIGOENSAIO, b.CODIGOLAUDO, b.CODIGOESPEC, b.RESULTADO, b.DATADAANALISE, "
        "b.RESPONSAVEL, c.CODIGOESPEC, c.ENSAIO, c.ESPECIFICACAO from LAUDOPORLOTE a, CQPORLOTE b, ESPECIFICACOES c "
        "where (a.CODIGOLAUDO = b.CODIGOLAUDO) and (b.CODIGOESPEC = c.CODIGOESPEC) and (a.CODIGOCOMP  = '') and "
        "(a.LOTE        = '') and (a.FORNECEDOR  = '')"));
    Laudo1.setCommandText(QStringLiteral("select ") + kLaudoHeaderColumns + QStringLiteral(" from LAUDOPORLOTE order by CODIGOLAUDO"));
    DadosGer.setCommandText(QStringLiteral("select ") + core::kStoreDataColumnList + QStringLiteral(" from DADOSGER"));
    tbl_pdEstLote.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from RELESTLOTE order by DESCRICAO"));
    Periodo.setCommandText(QStringLiteral("select DATAINICIAL, DATAFINAL from PERIODO"));

    installHooks();
}

TDM::InvoiceLabels TDM::LookUpInvoice(const QString &notFoundNumber)
{
    const QString description = ESTLOTE.text(QStringLiteral("DESCRICAO"));
    const QString lot = ESTLOTE.text(QStringLiteral("LOTE"));
    InvoiceLabels labels;
    labels.nome = description;
    labels.lote = QStringLiteral("Lote ") + lot;
    SQLQuery1.close();
    // Quotes inside the values are doubled, so a name with an apostrophe is looked up like any other.
    SQLQuery1.setSql(QStringLiteral("Select NotaFiscal, Data, Componente, Lote from COMPRAS where COMPONENTE = '")
                     + db::escapeQuotes(description) + QStringLiteral("' and LOTE = '") + db::escapeQuotes(lot)
                     + QStringLiteral("'"));
    SQLQuery1.open();
    if (!SQLQuery1.isEmpty() && SQLQuery1.value(QStringLiteral("COMPONENTE")).toString() == description
        && SQLQuery1.value(QStringLiteral("LOTE")).toString() == lot) {
        labels.found = true;
        labels.numero = QStringLiteral("Num. da Nota Fiscal: ") + SQLQuery1.value(QStringLiteral("NOTAFISCAL")).toString();
        labels.data = QStringLiteral("Data da Nota Fiscal.: ")
            + SQLQuery1.value(QStringLiteral("DATA")).toDate().toString(QStringLiteral("dd/MM/yyyy"));
    } else {
        labels.numero = QStringLiteral("Num. da Nota Fiscal: ") + notFoundNumber;
        labels.data = QStringLiteral("Data da Nota Fiscal.: NÃO ENCONTRADA");
    }
    SQLQuery1.close();
    return labels;
}

void TDM::installHooks()
{
    // ---- the lot table

    ESTLOTE.afterInsert = [this](CachedDataset &ds) {
        if (ds.text(QStringLiteral("LABORATORIO")).isEmpty())
            ds.setValue(QStringLiteral("LABORATORIO"), db::Value::text(run.Laboratory));
        if (!BatchInsertMode && lotEditForm) {
            lotEditForm->setDescriptionEnabled(true);
            try {
                lotEditForm->focusDescription();
            } catch (...) {
                // A box that cannot take the focus yet is no reason to refuse the new row.
            }
        }
    };

    ESTLOTE.afterPost = [this](CachedDataset &ds) {
        // The balance of the row being saved: after the reload another row may be current.
        const QString balance = lotEditForm ? lotEditForm->balanceText() : QString();
        // An edit that changed nothing sends nothing, and no save is put on record.
        const bool changed = ds.hasPendingChanges();
        const std::optional<CachedDataset::PendingRow> posted = ds.currentPendingChange();
        bool refused = false;
        bool conflict = false;
        bool lost = false;
        bool saved = applyAndReload(op, ds, OnRefusal::Stop, true, &refused, &conflict, &lost);
        // A lost link is no refusal: the change may have reached the server. The row read again
        // (the link is tried anew) says which.
        bool confirmed = false;
        if (lost && posted) {
            // Read again for a short while when the link is still gone (the reload may have failed
            // too): a server restarting comes back within it.
            const SaveFound found = CheckSavedChange(SQLConnection1, ds, posted->before, posted->after,
                                                     SaveCheckBoundMs(), pauseBetweenSaveChecks);
            switch (found) {
            case SaveFound::Stored:
                confirmed = true;
                refused = false;
                saved = true;
                try {
                    ds.refresh();   // the stored row on show, whether or not the reload before could
                } catch (const std::exception &) {
                }
                op.inform(kConfirmedAfterReconnectionMessage);
                break;
            case SaveFound::NotStored:
                op.warn(kNotSavedAfterReconnectionMessage);
                break;
            case SaveFound::Unknown:
                op.warn(kUnconfirmedSaveMessage);
                break;
            }
        }
        ESTLOTEPostRefused = refused;
        ESTLOTEPostConflict = conflict;
        if (lotEditForm && conflict)
            lotEditForm->rowChangedElsewhere();
        if (!refused) {
            try {
                // A post that changed no value stored nothing: its audit lines tell of nothing.
                if (lotEditForm && confirmed)
                    lotEditForm->rowSavedAfterReconnection();
                else if (lotEditForm && changed)
                    lotEditForm->rowSaved();
                else if (lotEditForm)
                    lotEditForm->rowCancelled();
            } catch (...) {
            }
        }
        if (saved && changed) {
            try {
                if (lotEditForm && lotEditForm->isActiveWindow() && run.siteConfig.logOn())
                    log.WriteActivityLine(run.UserName, QStringLiteral("Salvou o registro corrente. Saldo atual: ") + balance
                                                            + (confirmed ? kConfirmedAfterReconnectionMark : QString()));
            } catch (...) {
            }
        }
        if (lotEditForm)
            lotEditForm->setDescriptionEnabled(false);
    };

    ESTLOTE.afterCancel = [this](CachedDataset &ds) {
        try {
            if (lotEditForm) {
                lotEditForm->setDescriptionEnabled(false);
                lotEditForm->rowCancelled();
            }
        } catch (...) {
        }
        try {
            if (run.siteConfig.logOn())
                log.WriteActivityLine(run.UserName, QStringLiteral("Cancelou a operação. Saldo atual: ")
                                                        + FieldText(ds.value(QStringLiteral("SALDOCORRENTE"))));
        } catch (...) {
        }
    };

    ESTLOTE.beforeDelete = [this](CachedDataset &) {
        // An edit in progress goes with the row: nothing of it is saved.
        if (lotEditForm)
            lotEditForm->rowCancelled();
        if (lotEditForm && lotEditForm->isActiveWindow() && run.siteConfig.logOn())
            log.WriteActivityLine(run.UserName, QStringLiteral("Excluiu o registro de ") + lotEditForm->descriptionText()
                                                    + QStringLiteral(" (") + lotEditForm->lotText() + QStringLiteral(")"));
    };

    ESTLOTE.afterDelete = [this](CachedDataset &ds) { applyAndReload(op, ds, OnRefusal::Stop, true); };

    ESTLOTE.afterScroll = [this](CachedDataset &) {
        if (lotEditForm) {
            try {
                lotEditForm->hideJustification();
            } catch (...) {
            }
        }
        if (invoicePanel && invoicePanel->isShown()) {
            const InvoiceLabels l = LookUpInvoice(QStringLiteral("NÃO ENCONTRADA"));
            invoicePanel->setInvoiceLabels(l.nome, l.lote, l.numero, l.data);
        }
    };

    // ---- caches written right after each post and delete, keeping what the server accepts

    const auto applySkipping = [this](CachedDataset &ds) { applyAndReload(op, ds, OnRefusal::Skip, false); };
    for (CachedDataset *ds : {&Usuarios, &CompNomes, &Componen, &tbl_pdEstLote, &CQporLote}) {
        ds->afterPost = applySkipping;
        ds->afterDelete = applySkipping;
    }
    // Certificate rows posted in the panel stay in the cache until the panel writes them itself.
    Laudo.afterDelete = applySkipping;

    // ---- keys of the quality-control tables: the largest in use plus one

    const auto fetchMaxKey = [this](const QString &sql) {
        SQLQuery1.close();
        SQLQuery1.setSql(sql);
        SQLQuery1.open();
        FetchedMaxKey = int(SQLQuery1.value(QStringLiteral("MAIORCOD")).toInt());   // empty table: null, read as 0
        SQLQuery1.close();
    };
    Laudo.beforeInsert = [fetchMaxKey](CachedDataset &) {
        fetchMaxKey(QStringLiteral("Select max(CODIGOLAUDO) as MAIORCOD from LAUDOPORLOTE"));
    };
    Laudo.afterInsert = [this](CachedDataset &ds) {
        ds.setValue(QStringLiteral("CODIGOLAUDO"), db::Value::integer(FetchedMaxKey + 1));
    };
    CQporLote.beforeInsert = [fetchMaxKey](CachedDataset &) {
        fetchMaxKey(QStringLiteral("Select max(CODIGOENSAIO) as MAIORCOD from CQPORLOTE"));
    };
    CQporLote.afterInsert = [this](CachedDataset &ds) {
        ds.setValue(QStringLiteral("CODIGOENSAIO"), db::Value::integer(FetchedMaxKey + 1));
    };
}

} // namespace data
