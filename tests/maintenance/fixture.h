// A small pharmacy for the maintenance tests: a store with two laboratories (Manipulação and
// Loja 1), another store's laboratory, products, purchase lines and lots that show each case.
#pragma once
#include "maintenance/maintenanceview.h"
#include "support/modulerig.h"
#include "users/scope.h"

#include <QStringList>

namespace maintenancetest {

// The window as the operations drive it: every call, in order (gauge steps counted, not listed).
struct RecordingView : maintenance::MaintenanceView {
    QStringList calls;
    QStringList captions;
    int gaugeMaximum = -1;
    int gaugePosition = 0;
    int steps = 0;
    bool gaugeVisible = false;
    bool editButtonVisible = true;

    void setEditButtonVisible(bool visible) override
    {
        editButtonVisible = visible;
        calls << (visible ? QStringLiteral("show BitBtn3") : QStringLiteral("hide BitBtn3"));
    }
    void startGauge(int maximum) override
    {
        gaugeMaximum = maximum;
        gaugePosition = 0;
        gaugeVisible = true;
        calls << QStringLiteral("gauge %1").arg(maximum);
    }
    void advanceGauge(int position) override
    {
        gaugePosition = position;
        ++steps;
    }
    void hideGauge() override
    {
        gaugeVisible = false;
        calls << QStringLiteral("hide gauge");
    }
    void setCaption(const QString &text) override
    {
        captions << text;
        calls << QStringLiteral("caption");
    }
    void repaintWindow() override { calls << QStringLiteral("repaint"); }
};

inline db::Value t(const char *s)
{
    return s ? db::Value::text(QString::fromUtf8(s)) : db::Value();
}
inline db::Value n(const char *s)
{
    return s ? db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(s))) : db::Value();
}
inline db::Value d(const char *iso)
{
    return iso ? db::Value::date(QDate::fromString(QString::fromLatin1(iso), Qt::ISODate)) : db::Value();
}

struct ProductRow {
    const char *codigo, *componente, *grupo, *unid, *controlada, *fabricante, *fornecedor, *lote, *fator, *dens,
        *validade;
};
struct LotRow {
    const char *descricao, *lote, *fornecedor, *codigo, *saldo, *unidade, *validade, *dens, *fator, *lab,
        *controlada;
};
struct PurchaseRow {
    const char *componente, *lote, *fornecedor, *quantidade, *unidade, *codigo, *fabricante, *validade, *dens, *fator;
};

inline void addProduct(db::Connection &c, const ProductRow &p)
{
    c.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CONTROLADA, FABRICANTE, FORNECEDOR, "
                             "LOTE, FATORCORRECAO, DENSIDADE, VALIDADE) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
              {t(p.codigo), t(p.componente), t(p.grupo), t(p.unid), t(p.controlada), t(p.fabricante), t(p.fornecedor),
               t(p.lote), n(p.fator), n(p.dens),
               p.validade ? db::Value::timestamp(QDateTime(QDate::fromString(QString::fromLatin1(p.validade), Qt::ISODate),
                                                           QTime(0, 0)))
                          : db::Value()});
}

inline void addLot(db::Connection &c, const LotRow &l)
{
    c.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOPREVISTO, SALDOCORRENTE, "
                             "UNIDADE, VALIDADE, DENSIDADE, FATORCORRECAO, LABORATORIO, CONTROLADA, SITUACAO) "
                             "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'Estoque')"),
              {t(l.descricao), t(l.lote), t(l.fornecedor), t(l.codigo), n(l.saldo), n(l.saldo), t(l.unidade),
               d(l.validade), n(l.dens), n(l.fator), t(l.lab), t(l.controlada)});
}

inline void addPurchase(db::Connection &c, int number, const PurchaseRow &p)
{
    c.execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, COMPONENTE, LOTE, FORNECEDOR, "
                             "QUANTIDADE, UNIDADE, CODIGO, FABRICANTE, VALIDADE, DENSIDADE, FATORCORRECAO, "
                             "CODIGOFORNECEDOR) values ('01', ?, '2024-01-15', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '0001')"),
              {db::Value::integer(number), db::Value::text(QStringLiteral("NF%1").arg(number)), t(p.componente),
               t(p.lote), t(p.fornecedor), n(p.quantidade), t(p.unidade), t(p.codigo), t(p.fabricante), d(p.validade),
               n(p.dens), n(p.fator)});
}

// The pharmacy every operation's cases are shown on.
inline const std::vector<ProductRow> &products()
{
    static const std::vector<ProductRow> rows = {
        {"001", "Acido Ascorbico", "MP", "KG", "Não", "Fab A", "Forn A", "L1", "1.1", "1.5", "2025-01-10"},
        {"002", "Benzocaina", "MP", "G", "sim", "Fab B", nullptr, nullptr, "1", "1", "2025-02-01"},
        {"003", "Cafeina", "REV", "UN", "Sim", "Fab C", "Forn C", "L3", "1", "1", "2025-03-01"},
        {"004", "Dipirona", "LOC", "G", "Não", "Fab D", "Forn D", "L4", "1", "1", "2025-04-01"},
        {"005", "Extrato Seco", "MP", "KG", "Sim", "Fab E", "Forn E", "L5", "1", "1", "2025-05-01"},
        {"006", "Ferro Quelato", "REVI", "G", "Não", "Fab F", "Forn F", "L6", "1", "1", "2025-06-01"},
        {"007", "Glicerina", "MP", "ML", "Não", "Fab G", "Forn G", "L7", "1.02", "1.26", "2025-07-01"},
        {"008", "Hidroquinona", "MP", "KG", "Sim", "Fab H", "Forn H", "H0", "1", "1", "2025-08-01"},
        {"009", "Iodo", "MP", "MG", "Não", "Fab I", "Forn I", "I0", "1", "1.3", "2025-09-01"},
        {"010", "Jaborandi", "MP", "KG", "Não", "Fab J", "Forn J", "J1", "1", "1", "2025-10-01"},
    };
    return rows;
}

inline const std::vector<LotRow> &lots()
{
    static const std::vector<LotRow> rows = {
        {"Acido Ascorbico", "L1", "Forn A", "001", "12", "KG", "2024-06-01", "1", "1", "Manipulação", "Não"},
        {"Cafeina", "L3", "Forn C", "003", "5", "UN", "2024-06-01", "1", "1", "CONTROLE QUALIDADE", nullptr},
        {"Extrato Seco", "L5", "Forn E", "005", "3", "KG", "2024-06-01", "1", "1", "Outra", nullptr},
        {"Ferro Quelato", "L6", "Forn F", "006", "0", "G", "2024-06-01", "1", "1", "Loja 1", "Não"},
        {"Glicerina", "G1", "Forn G", "007", "1", "ML", "2024-06-01", "0.9", "1", "Manipulação", "Não"},
        {"Glicerina", "G2", "Forn G", "007", "2", "ML", "2024-06-01", "1", "1", "Manipulação", "Não"},
        {"Jaborandi", "J1", "Forn J", "010", "2500", "G", "2024-06-01", "1", "1", "manipulação", "Não"},
        {"Benzocaina", "B9", "Forn B", "002", "0.5", "G", "2024-06-01", "1", "1", "EMTRANSITO", "Não"},
        {"Iodo", "I9", "Forn I", "009", "-2", "MG", "2024-06-01", nullptr, "1", "Loja 1", "Não"},
        {"Acido Ascorbico", "L1", "Forn A", "001", "7", "KG", "2024-06-01", "1", "1", "Outra", "Não"},
    };
    return rows;
}

inline const std::vector<PurchaseRow> &purchases()
{
    static const std::vector<PurchaseRow> rows = {
        {"Acido Ascorbico", "L1", "Forn A", "12", "KG", "001", "Fab A", "2026-01-01", "1.6", "1.2"},
        {"Acido Ascorbico", "L1", "Forn A", "20", "KG", "001", "Fab A", "2026-02-01", "1.7", "1.3"},
        {"Hidroquinona", "HQ5", "Forn H", "500", "G", "008", "Fab H", "2026-03-01", "1", "1"},
        {"Iodo", "IO1", "Forn I", "1", "g", "009", "Fab I", "2026-04-01", "1", "1"},
        {"Jaborandi", "J1", "Forn J", "2500", "G", "010", "Fab J", "2026-05-01", "1", "1"},
        {"Nova Mat", "N1", "Forn N", "3", "UN", "099", "Fab N", "2026-06-01", "1", "1"},
        {"Nova Mat", "N1", "Forn N", "4", "UN", "099", "Fab N", "2026-06-01", "1", "1"},
        {"Sem Lote", nullptr, "Forn X", "9", "KG", "098", "Fab X", "2026-06-01", "1", "1"},
    };
    return rows;
}

// The data module on a test database holding the pharmacy, logged in at the store 111.
struct Pharmacy : testsupport::ModuleRig {
    RecordingView view;
    maintenance::Context ctx{dm, view, op, clock};

    explicit Pharmacy(bool fill = true)
    {
        run.StoreCnpj = QStringLiteral("111");
        run.Laboratory = QStringLiteral("Manipulação");
        run.StoreLaboratories = {QStringLiteral("Manipulação"), QStringLiteral("Loja 1")};
        run.LabScopeClause = users::LabScopeClause(run.StoreLaboratories);
        db::Connection &c = tdb.conn();
        c.execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Manipulação', '111')"));
        c.execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Loja 1', '111')"));
        c.execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Outra', '222')"));
        if (!fill)
            return;
        for (const ProductRow &p : products())
            addProduct(c, p);
        for (const LotRow &l : lots())
            addLot(c, l);
        int number = 1;
        for (const PurchaseRow &p : purchases())
            addPurchase(c, number++, p);
    }

    // The grid on the store's view, as the login leaves it.
    void openGrid()
    {
        dm.ESTLOTE.close();
        dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where (")
                                  + run.LabScopeClause
                                  + QStringLiteral(" or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or "
                                                   "UPPER(LABORATORIO) = 'EMTRANSITO') order by DESCRICAO, VALIDADE"));
        dm.ESTLOTE.open();
    }

    // Every stored lot, one line each, in a fixed order.
    QStringList table()
    {
        const db::Rows rows = tdb.conn().query(QStringLiteral("select ") + core::kLotColumnList
                                               + QStringLiteral(" from ESTLOTE order by DESCRICAO, LOTE, FORNECEDOR, "
                                                                "LABORATORIO, SALDOCORRENTE"));
        QStringList out;
        for (const auto &r : rows.rows) {
            QStringList cells;
            for (const db::Value &v : r)
                cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            out << cells.join(QStringLiteral(" | "));
        }
        return out;
    }

    // One lot's columns, found by name, lot and laboratory.
    db::Rows lot(const QString &name, const QString &lote, const QString &columns)
    {
        return tdb.conn().query(QStringLiteral("select ") + columns
                                    + QStringLiteral(" from ESTLOTE where DESCRICAO = ? and LOTE = ?"),
                                {db::Value::text(name), db::Value::text(lote)});
    }
};

} // namespace maintenancetest
