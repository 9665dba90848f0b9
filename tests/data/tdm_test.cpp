// The data module's hooks on a temporary installation: writes after post and delete, refusals
// reported and undone, audit lines byte for byte, certificate keys and the invoice labels.
#include "data/tdm.h"

#include "lotrows.h"
#include "platform/clock.h"
#include "platform/winpath.h"
#include "support/qtprint.h"
#include "support/modulerig.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using data::CachedDataset;
using datatest::addLot;
using datatest::column;
using testsupport::MessageKind;

namespace {

struct FakeLotForm : data::LotEditFormView {
    bool active = true;
    bool descriptionEnabled = false;
    int focusCalls = 0;
    int hideCalls = 0;
    QString description, lot, balance;

    bool isActiveWindow() const override { return active; }
    void setDescriptionEnabled(bool enabled) override { descriptionEnabled = enabled; }
    void focusDescription() override { ++focusCalls; }
    QString descriptionText() const override { return description; }
    QString lotText() const override { return lot; }
    QString balanceText() const override { return balance; }
    void hideJustification() override { ++hideCalls; }
};

struct FakeInvoicePanel : data::InvoicePanelView {
    bool shown = true;
    QStringList labels;
    bool isShown() const override { return shown; }
    void setInvoiceLabels(const QString &nome, const QString &lote, const QString &numero, const QString &data) override
    {
        labels = QStringList{nome, lote, numero, data};
    }
};

class DataModule : public ::testing::Test, public testsupport::ModuleRig {
protected:
    FakeLotForm form;

    void SetUp() override
    {
        run.UserName = QStringLiteral("ANA");
        run.siteConfig.LogEnabled = QStringLiteral("S");
        ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SRV"), run.UserName, op));
        op.clear();
    }

    // The lines written after the log's header and the two login lines.
    QList<QByteArray> auditLines() const
    {
        QFile f(dir.path() + QStringLiteral("/share/LOG/LOGESTOQ_2024-03.TXT"));
        if (!f.open(QIODevice::ReadOnly))
            return {QByteArray("<no file>")};
        QList<QByteArray> lines = f.readAll().split('\n');
        for (QByteArray &l : lines)
            if (!l.endsWith('\r') && !l.isEmpty())
                l = "<no CR> " + l;
        lines.removeLast();   // after the last CR LF
        return lines.mid(5);
    }

    void openLots(const QString &orderBy = QStringLiteral("DESCRICAO"))
    {
        dm.ESTLOTE.setCommandText(datatest::lotStatement(orderBy));
        dm.ESTLOTE.open();
    }
};

TEST_F(DataModule, PostedEditIsWrittenAndReloadedAndAudited)
{
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1", .saldo = "7"});
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1", .laboratorio = "Loja 2", .saldo = "7"});
    openLots(QStringLiteral("LABORATORIO"));
    dm.lotEditForm = &form;
    form.balance = QStringLiteral("12,5");
    dm.ESTLOTE.edit();
    dm.ESTLOTE.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({125, 1}));
    // Written by another workstation meanwhile: the update sets only the balance.
    tdb.another()->execute(QStringLiteral("update ESTLOTE set SITUACAO = 'Aguardando'"));
    dm.ESTLOTE.post();

    EXPECT_FALSE(dm.ESTLOTE.hasPendingChanges());
    EXPECT_EQ(dm.ESTLOTE.text(QStringLiteral("SITUACAO")), QStringLiteral("Aguardando"));   // reloaded
    EXPECT_EQ(column(tdb.conn(), "SALDOCORRENTE", "LABORATORIO"), (QStringList{"12.5", "7"}));
    EXPECT_FALSE(form.descriptionEnabled);
    EXPECT_EQ(auditLines(), (QList<QByteArray>{"07/03/24-14:05 - ANA - Salvou o registro corrente. Saldo atual: 12,5\r"}));
    EXPECT_TRUE(op.messages().isEmpty());
}

TEST_F(DataModule, APostThatChangedNothingIsNoSave)
{
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1", .saldo = "7"});
    openLots();
    dm.lotEditForm = &form;
    form.balance = QStringLiteral("7");
    // The edit started by a key that changed nothing, then "Salvar"; and a value set to itself.
    dm.ESTLOTE.edit();
    dm.ESTLOTE.post();
    dm.ESTLOTE.edit();
    dm.ESTLOTE.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({700, 2}));
    dm.ESTLOTE.post();
    EXPECT_TRUE(auditLines().isEmpty());
    EXPECT_TRUE(op.messages().isEmpty());
    EXPECT_FALSE(dm.ESTLOTE.hasPendingChanges());
}

TEST_F(DataModule, InsertWithoutLocationStoresTheRunsLaboratory)
{
    run.Laboratory = QStringLiteral("Loja Centro");
    openLots();
    dm.lotEditForm = &form;
    form.active = false;   // no audit line when the form is not the active window
    dm.ESTLOTE.insert();
    EXPECT_EQ(dm.ESTLOTE.text(QStringLiteral("LABORATORIO")), QStringLiteral("Loja Centro"));
    EXPECT_TRUE(form.descriptionEnabled);
    EXPECT_EQ(form.focusCalls, 1);
    dm.ESTLOTE.setValue(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("Cânfora")));
    dm.ESTLOTE.setValue(QStringLiteral("LOTE"), db::Value::text(QStringLiteral("K1")));
    dm.ESTLOTE.setValue(QStringLiteral("FORNECEDOR"), db::Value::text(QStringLiteral("Galena")));
    dm.ESTLOTE.post();
    EXPECT_EQ(column(tdb.conn(), "LABORATORIO", "DESCRICAO"), QStringList{"Loja Centro"});
    EXPECT_FALSE(form.descriptionEnabled);
    EXPECT_TRUE(auditLines().isEmpty());

    // The product-register import inserts without touching the form.
    dm.BatchInsertMode = true;
    dm.ESTLOTE.insert();
    EXPECT_FALSE(form.descriptionEnabled);
    EXPECT_EQ(form.focusCalls, 1);
    dm.ESTLOTE.cancel();
}

TEST_F(DataModule, RefusedChangeIsReportedAndTheGridShowsWhatIsStored)
{
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1"});
    openLots();
    dm.ESTLOTE.edit();
    dm.ESTLOTE.setValue(QStringLiteral("FABRICANTE"), db::Value::text(QString(36, QLatin1Char('F'))));   // holds 35
    dm.ESTLOTE.post();

    const QStringList warnings = op.texts(MessageKind::Warn);
    ASSERT_EQ(warnings.size(), 1);
    // Our sentence first, on a line of its own, then what the server said.
    EXPECT_TRUE(warnings[0].startsWith(data::kRefusedChangeMessage + QLatin1Char('\r'))) << warnings[0].toStdString();
    EXPECT_EQ(data::kRefusedChangeMessage, QStringLiteral("O banco de dados recusou a alteração, que não foi gravada."));
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("string right truncation"))) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("expected length 35, actual 36"))) << warnings[0].toStdString();
    EXPECT_EQ(op.messages().size(), 1);
    EXPECT_FALSE(dm.ESTLOTE.hasPendingChanges());
    EXPECT_EQ(dm.ESTLOTE.text(QStringLiteral("FABRICANTE")), QStringLiteral("Fabrica"));
    EXPECT_EQ(column(tdb.conn(), "FABRICANTE", "LOTE"), QStringList{"Fabrica"});
    EXPECT_TRUE(auditLines().isEmpty());   // nothing was saved

    // The same for a cache that skips refusals: the refused row is not left in the grid.
    dm.Usuarios.open();
    dm.Usuarios.insert();
    dm.Usuarios.setValue(QStringLiteral("USUARIO"), db::Value::text(QString(31, QLatin1Char('U'))));   // holds 30
    dm.Usuarios.post();
    ASSERT_EQ(op.texts(MessageKind::Warn).size(), 2);
    EXPECT_TRUE(op.texts(MessageKind::Warn)[1].startsWith(data::kRefusedChangeMessage + QLatin1Char('\r')));
    EXPECT_EQ(dm.Usuarios.rowCount(), 0);
    EXPECT_FALSE(dm.Usuarios.hasPendingChanges());
}

TEST_F(DataModule, AnEditOfALotAnotherWorkstationRemovedIsNotReportedAsSaved)
{
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1", .saldo = "7"});
    openLots();
    dm.lotEditForm = &form;
    dm.ESTLOTE.edit();
    dm.ESTLOTE.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({3, 0}));
    tdb.another()->execute(QStringLiteral("delete from ESTLOTE"));
    dm.ESTLOTE.post();

    EXPECT_EQ(op.texts(MessageKind::Warn),
              QStringList{data::kRefusedChangeMessage + QLatin1Char('\r') + data::kRowVanishedMessage});
    EXPECT_EQ(dm.ESTLOTE.rowCount(), 0);   // the grid shows what is stored
    EXPECT_TRUE(auditLines().isEmpty());
}

TEST_F(DataModule, CancelWritesTheBalanceAsTheBoxShowsItOnlyWithTheLogOn)
{
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1", .saldo = "12.50"});
    addLot(tdb.conn(), {.descricao = "Dipirona", .lote = "D1", .saldo = "-0.25"});
    openLots();
    dm.lotEditForm = &form;
    form.descriptionEnabled = true;
    dm.ESTLOTE.edit();
    dm.ESTLOTE.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({3, 0}));
    dm.ESTLOTE.cancel();
    EXPECT_FALSE(form.descriptionEnabled);
    dm.ESTLOTE.next();
    dm.ESTLOTE.edit();
    dm.ESTLOTE.cancel();
    EXPECT_EQ(auditLines(), (QList<QByteArray>{"07/03/24-14:05 - ANA - Cancelou a opera\xe7\xe3o. Saldo atual: 12,5\r",
                                                "07/03/24-14:05 - ANA - Cancelou a opera\xe7\xe3o. Saldo atual: -0,25\r"}));
    EXPECT_EQ(column(tdb.conn(), "SALDOCORRENTE", "LOTE"), (QStringList{"12.5", "-0.25"}));

    run.siteConfig.LogEnabled = QStringLiteral("N");
    dm.ESTLOTE.edit();
    dm.ESTLOTE.cancel();
    EXPECT_EQ(auditLines().size(), 2);
}

TEST_F(DataModule, DeleteRemovesTheRowAndIsAuditedFromTheActiveForm)
{
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1"});
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1", .laboratorio = "Loja 2"});
    openLots(QStringLiteral("LABORATORIO"));
    dm.lotEditForm = &form;
    form.description = QStringLiteral("Cafeína");
    form.lot = QStringLiteral("C1");
    dm.ESTLOTE.remove();
    EXPECT_EQ(dm.ESTLOTE.rowCount(), 1);
    EXPECT_FALSE(dm.ESTLOTE.hasPendingChanges());
    EXPECT_EQ(column(tdb.conn(), "LABORATORIO", "LABORATORIO"), QStringList{"Loja 2"});
    EXPECT_EQ(auditLines(), (QList<QByteArray>{"07/03/24-14:05 - ANA - Excluiu o registro de Cafe\xed" "na (C1)\r"}));
}

TEST_F(DataModule, CertificateAndTestKeysAreTheLargestPlusOne)
{
    struct Case {
        CachedDataset *ds;
        const char *table;
        const char *key;
    };
    for (const Case &c : {Case{&dm.Laudo, "LAUDOPORLOTE", "CODIGOLAUDO"}, Case{&dm.CQporLote, "CQPORLOTE", "CODIGOENSAIO"}}) {
        c.ds->open();
        c.ds->insert();
        EXPECT_EQ(c.ds->value(QString::fromLatin1(c.key)).toInt(), 1) << c.table;
        c.ds->cancel();
        for (int k : {1, 7, 2})
            tdb.conn().execute(QStringLiteral("insert into %1 (%2) values (%3)")
                                   .arg(QString::fromLatin1(c.table), QString::fromLatin1(c.key))
                                   .arg(k));
        c.ds->insert();
        EXPECT_EQ(c.ds->value(QString::fromLatin1(c.key)).toInt(), 8) << c.table;
        EXPECT_EQ(dm.FetchedMaxKey, 7);
        c.ds->cancel();
        c.ds->close();
    }
}

TEST_F(DataModule, InvoiceLabelsFollowTheCurrentLot)
{
    const auto purchase = [&](const QString &componente, const QString &lote, const QString &nf, QDate when) {
        tdb.conn().execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, COMPONENTE, LOTE) "
                                          "values ('01', 1, ?, ?, ?, ?)"),
                           {db::Value::date(when), db::Value::text(nf), db::Value::text(componente), db::Value::text(lote)});
    };
    purchase(QStringLiteral("Cafeína"), QStringLiteral("C1"), QStringLiteral("4711"), QDate(2024, 2, 5));
    purchase(QStringLiteral("Óleo d'Amêndoas"), QStringLiteral("O'1"), QStringLiteral("815"), QDate(2023, 12, 31));
    purchase(QStringLiteral("Zinco"), QStringLiteral("Z1 "), QStringLiteral("99"), QDate(2024, 1, 1));   // trailing blank
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C1"});
    addLot(tdb.conn(), {.descricao = "Dipirona", .lote = "D1"});
    addLot(tdb.conn(), {.descricao = "Óleo d'Amêndoas", .lote = "O'1"});
    addLot(tdb.conn(), {.descricao = "Zinco", .lote = "Z1"});

    FakeInvoicePanel panel;
    dm.invoicePanel = &panel;
    dm.lotEditForm = &form;
    openLots();
    const QStringList cafeina{"Cafeína", "Lote C1", "Num. da Nota Fiscal: 4711", "Data da Nota Fiscal.: 05/02/2024"};
    EXPECT_EQ(panel.labels, cafeina);
    dm.ESTLOTE.next();
    EXPECT_EQ(panel.labels, (QStringList{"Dipirona", "Lote D1", "Num. da Nota Fiscal: NÃO ENCONTRADA",
                                         "Data da Nota Fiscal.: NÃO ENCONTRADA"}));
    dm.ESTLOTE.next();   // the server matches "Z1 " to "Z1"; the labels want the exact lot
    EXPECT_EQ(panel.labels, (QStringList{"Zinco", "Lote Z1", "Num. da Nota Fiscal: NÃO ENCONTRADA",
                                         "Data da Nota Fiscal.: NÃO ENCONTRADA"}));
    dm.ESTLOTE.next();   // "Ó" is byte D3, after every plain letter
    EXPECT_EQ(panel.labels, (QStringList{"Óleo d'Amêndoas", "Lote O'1", "Num. da Nota Fiscal: 815",
                                         "Data da Nota Fiscal.: 31/12/2023"}));
    EXPECT_EQ(form.hideCalls, 4);

    panel.shown = false;
    dm.ESTLOTE.first();
    EXPECT_EQ(panel.labels[0], QStringLiteral("Óleo d'Amêndoas"));   // a hidden panel is left alone
    // The menu item's own wording for a lot without purchase.
    dm.ESTLOTE.next();
    const auto labels = dm.LookUpInvoice(QStringLiteral("NÃO ENCONTRADO"));
    EXPECT_FALSE(labels.found);
    EXPECT_EQ(labels.numero, QStringLiteral("Num. da Nota Fiscal: NÃO ENCONTRADO"));
}

} // namespace
