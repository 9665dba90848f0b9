// The maintenance operations as they always ran, one lookup statement and one post (apply and
// reload) per source row through the data module's cached datasets. Kept only as the reference
// the set-based operations are compared with, and timed by the benchmark.
#pragma once
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "maintenance/operations.h"
#include "common/units.h"
#include "platform/clock.h"
#include "platform/cp1252.h"

namespace rowbyrow {

inline QString L(const core::RunState &run, const QString &name, const QString &lot, const QString &supplier)
{
    return QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where (") + run.LabScopeClause
        + QStringLiteral(" or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = 'EMTRANSITO') and DESCRICAO = '")
        + db::escapeQuotes(name) + QStringLiteral("' and LOTE = '") + db::escapeQuotes(lot)
        + QStringLiteral("' and FORNECEDOR = '") + db::escapeQuotes(supplier) + QStringLiteral("'");
}

inline void openOn(data::CachedDataset &ds, const QString &sql)
{
    ds.close();
    ds.setCommandText(sql);
    ds.open();
}

inline QString text(data::CachedDataset &ds, const char *col)
{
    return ds.value(QString::fromLatin1(col)).toString();
}

// A post the cache refuses is cancelled without a word and not counted.
inline bool post(data::CachedDataset &ds)
{
    try {
        ds.post();
        return true;
    } catch (const data::DatasetError &) {
        ds.cancel();
        return false;
    }
}

inline QString productRegister()
{
    return QStringLiteral("Select ") + core::kProductColumnList + QStringLiteral(" from COMPONEN order by COMPONENTE");
}

inline int ImportProductLots(data::TDM &dm, const platform::Clock &clock)
{
    dm.BatchInsertMode = true;
    openOn(dm.Componen, productRegister());
    int count = 0;
    for (dm.Componen.first(); !dm.Componen.eof(); dm.Componen.next()) {
        data::CachedDataset &p = dm.Componen;
        if (text(p, "COMPONENTE").isEmpty())
            continue;
        QString lot = text(p, "LOTE");
        if (lot.isEmpty())
            lot = QStringLiteral("-");
        QString supplier = text(p, "FORNECEDOR");
        if (supplier.isEmpty())
            supplier = QStringLiteral("-");
        const QString name = maintenance::NeutraliseApostrophes(text(p, "COMPONENTE"));
        lot = maintenance::NeutraliseApostrophes(lot);
        supplier = maintenance::NeutraliseApostrophes(supplier);
        openOn(dm.ESTLOTE, L(dm.run, name, lot, supplier));
        if (!dm.ESTLOTE.isEmpty())
            continue;
        data::CachedDataset &e = dm.ESTLOTE;
        e.insert();
        e.setValue(QStringLiteral("DESCRICAO"), db::Value::text(name));
        e.setValue(QStringLiteral("LOTE"), db::Value::text(lot));
        e.setValue(QStringLiteral("FORNECEDOR"), db::Value::text(supplier));
        e.setValue(QStringLiteral("FABRICANTE"), p.value(QStringLiteral("FABRICANTE")));
        e.setValue(QStringLiteral("CODIGO"), p.value(QStringLiteral("CODIGO")));
        e.setValue(QStringLiteral("SALDOPREVISTO"), db::Value::real(1000000));
        e.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::real(1000000));
        e.setValue(QStringLiteral("SITUACAO"), db::Value::text(QStringLiteral("Estoque")));
        e.setValue(QStringLiteral("UNIDADE"), p.value(QStringLiteral("UNID")));
        e.setValue(QStringLiteral("VALIDADE"), db::Value::date(clock.today().addDays(730)));
        e.setValue(QStringLiteral("DENSIDADE"), p.value(QStringLiteral("DENSIDADE")));
        e.setValue(QStringLiteral("FATORCORRECAO"), p.value(QStringLiteral("FATORCORRECAO")));
        e.setValue(QStringLiteral("CONTROLADA"), p.value(QStringLiteral("CONTROLADA")));
        const QString group = text(p, "GRUPO");
        if (group == QLatin1String("REV") || group == QLatin1String("LOC"))
            e.setValue(QStringLiteral("CODIGOEAN"), p.value(QStringLiteral("CODIGO")));
        if (post(e))
            ++count;
    }
    dm.BatchInsertMode = false;
    dm.Componen.close();
    openOn(dm.ESTLOTE, maintenance::AllLotsStatement());
    return count;
}

inline void setThree(data::CachedDataset &e, data::CachedDataset &src)
{
    e.setValue(QStringLiteral("VALIDADE"), db::Value::date(src.value(QStringLiteral("VALIDADE")).toDate()));
    e.setValue(QStringLiteral("DENSIDADE"), src.value(QStringLiteral("DENSIDADE")));
    e.setValue(QStringLiteral("FATORCORRECAO"), src.value(QStringLiteral("FATORCORRECAO")));
}

inline std::pair<int, int> BringProductData(data::TDM &dm)
{
    openOn(dm.Componen, productRegister());
    int fromProducts = 0;
    data::CachedDataset &e = dm.ESTLOTE;
    for (dm.Componen.first(); !dm.Componen.eof(); dm.Componen.next()) {
        data::CachedDataset &p = dm.Componen;
        const QString name = text(p, "COMPONENTE"), lot = text(p, "LOTE"), supplier = text(p, "FORNECEDOR");
        if (name.isEmpty() || lot.isEmpty() || supplier.isEmpty())
            continue;
        openOn(e, L(dm.run, name, lot, supplier));
        if (e.isEmpty()) {
            openOn(e, QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where (")
                          + dm.run.LabScopeClause
                          + QStringLiteral(" or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = "
                                           "'EMTRANSITO') and DESCRICAO = '")
                          + db::escapeQuotes(name)
                          + QStringLiteral("' and (Densidade = '1' or Densidade = '0' or Densidade is Null)"));
            if (e.isEmpty())
                continue;
        }
        e.first();
        e.edit();
        setThree(e, p);
        if (post(e))
            ++fromProducts;
    }
    dm.Componen.close();
    openOn(dm.Compras, dm.Compras.commandText());
    int fromPurchases = 0;
    for (dm.Compras.first(); !dm.Compras.eof(); dm.Compras.next()) {
        data::CachedDataset &c = dm.Compras;
        const QString name = text(c, "COMPONENTE"), lot = text(c, "LOTE"), supplier = text(c, "FORNECEDOR");
        if (name.isEmpty() || lot.isEmpty() || supplier.isEmpty())
            continue;
        openOn(e, L(dm.run, name, lot, supplier));
        if (e.isEmpty())
            continue;
        e.first();
        e.edit();
        setThree(e, c);
        if (post(e))
            ++fromPurchases;
    }
    dm.Compras.close();
    openOn(e, maintenance::AllLotsStatement());
    return {fromProducts, fromPurchases};
}

inline int ImportPurchaseLots(data::TDM &dm)
{
    openOn(dm.Compras, dm.Compras.commandText());
    int count = 0;
    data::CachedDataset &e = dm.ESTLOTE;
    for (dm.Compras.first(); !dm.Compras.eof(); dm.Compras.next()) {
        data::CachedDataset &c = dm.Compras;
        const QString name = text(c, "COMPONENTE"), lot = text(c, "LOTE"), supplier = text(c, "FORNECEDOR");
        if (name.isEmpty() || lot.isEmpty() || supplier.isEmpty())
            continue;
        const QString code = text(c, "CODIGO");
        openOn(dm.Componen, QStringLiteral("Select ") + core::kProductColumnList
                                + QStringLiteral(" from COMPONEN where CODIGO = '") + db::escapeQuotes(code)
                                + QStringLiteral("'"));
        QString unit = text(c, "UNIDADE");
        db::Value controlled;
        if (!dm.Componen.isEmpty() && text(dm.Componen, "CODIGO") == code) {
            unit = text(dm.Componen, "UNID");
            controlled = dm.Componen.value(QStringLiteral("CONTROLADA"));
        }
        dm.Componen.close();
        openOn(e, L(dm.run, name, lot, supplier));
        const double f = common::RegisterUnitFactor(unit, text(c, "UNIDADE"));
        const double quantity = c.value(QStringLiteral("QUANTIDADE")).toDouble() * f;
        if (!e.isEmpty()) {
            e.first();
            e.edit();
            e.setValue(QStringLiteral("SALDOPREVISTO"), db::Value::real(quantity));
            e.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::real(quantity));
            e.setValue(QStringLiteral("UNIDADE"), db::Value::text(unit));
        } else {
            e.insert();
            e.setValue(QStringLiteral("DESCRICAO"), c.value(QStringLiteral("COMPONENTE")));
            for (const char *col : {"LOTE", "FORNECEDOR", "FABRICANTE", "CODIGO", "VALIDADE", "DENSIDADE", "FATORCORRECAO"})
                e.setValue(QString::fromLatin1(col), c.value(QString::fromLatin1(col)));
            e.setValue(QStringLiteral("SALDOPREVISTO"), db::Value::real(quantity));
            e.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::real(quantity));
            e.setValue(QStringLiteral("UNIDADE"), db::Value::text(unit));
            e.setValue(QStringLiteral("CODIGOEAN"), c.value(QStringLiteral("CODIGO")));
            e.setValue(QStringLiteral("CONTROLADA"), controlled);
        }
        if (post(e))
            ++count;
    }
    dm.Compras.close();
    openOn(e, maintenance::AllLotsStatement());
    return count;
}

inline QString N(const QString &name)
{
    return QStringLiteral("Select ") + core::kProductColumnList + QStringLiteral(" from COMPONEN where COMPONENTE = '")
        + db::escapeQuotes(name) + QStringLiteral("'");
}

// On the rows the grid holds; each post reloads the grid, which keeps its place by the lot's key.
inline void ControlledMark(data::TDM &dm)
{
    data::CachedDataset &e = dm.ESTLOTE;
    for (e.first(); !e.eof(); e.next()) {
        const QString description = text(e, "DESCRICAO");
        openOn(dm.Componen, N(description));
        if (!dm.Componen.isEmpty() && text(dm.Componen, "COMPONENTE") == description
            && platform::asciiUpper(text(dm.Componen, "CONTROLADA").left(1)) == QLatin1String("S")) {
            e.edit();
            e.setValue(QStringLiteral("CONTROLADA"), db::Value::text(QStringLiteral("Sim")));
            post(e);
        }
    }
    dm.Componen.close();
}

inline int CorrectUnits(data::TDM &dm)
{
    openOn(dm.Compras, dm.Compras.commandText());
    int count = 0;
    data::CachedDataset &e = dm.ESTLOTE;
    for (dm.Compras.first(); !dm.Compras.eof(); dm.Compras.next()) {
        data::CachedDataset &c = dm.Compras;
        const QString name = text(c, "COMPONENTE"), lot = text(c, "LOTE"), supplier = text(c, "FORNECEDOR");
        if (name.isEmpty() || lot.isEmpty() || supplier.isEmpty())
            continue;
        openOn(dm.Componen, N(name));
        QString unit = text(c, "UNIDADE");
        if (!dm.Componen.isEmpty() && text(dm.Componen, "COMPONENTE") == name)
            unit = text(dm.Componen, "UNID");
        openOn(e, L(dm.run, name, lot, supplier));
        if (e.isEmpty())
            continue;
        e.first();
        const double f = common::RegisterUnitFactor(unit, text(e, "UNIDADE"));
        e.edit();
        e.setValue(QStringLiteral("SALDOPREVISTO"), db::Value::real(e.value(QStringLiteral("SALDOPREVISTO")).toDouble() * f));
        e.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::real(e.value(QStringLiteral("SALDOCORRENTE")).toDouble() * f));
        e.setValue(QStringLiteral("UNIDADE"), db::Value::text(unit));
        if (post(e))
            ++count;
    }
    dm.Componen.close();
    dm.Compras.close();
    openOn(e, maintenance::UnitCorrectionGridStatement(dm.run.Laboratory));
    return count;
}

} // namespace rowbyrow
