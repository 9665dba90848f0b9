// The grid adapter over a real lot cache, checked by Qt's model tester through open, sort,
// edit and reload.
#include "data/cacheddataset.h"
#include "data/tables.h"
#include "data/ui/datasetmodel.h"

#include "core/runstate.h"
#include "support/testdb.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using data::CachedDataset;
using data_ui::DatasetModel;

class DatasetModelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TempDatabase> m_db;

    void addLot(const QString &descricao, const QString &lote, const QString &saldo, const QDate &validade)
    {
        m_db->conn().execute(
            QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, VALIDADE) "
                           "values (?, ?, 'Galena', '001', 'Almoxarifado', ?, ?)"),
            {db::Value::text(descricao), db::Value::text(lote), db::Value::decimal(db::Decimal::fromString(saldo)),
             db::Value::date(validade)});
    }

    static QStringList columnTexts(const QAbstractItemModel &model, int col)
    {
        QStringList out;
        for (int r = 0; r < model.rowCount(); ++r)
            out << model.index(r, col).data().toString();
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_db = std::make_unique<testsupport::TempDatabase>();
        addLot(QStringLiteral("Cafeína"), QStringLiteral("C1"), QStringLiteral("12.50"), QDate(2025, 3, 1));
        addLot(QStringLiteral("Ácido Bórico"), QStringLiteral("A1"), QStringLiteral("-0.25"), QDate(2024, 12, 31));
        addLot(QStringLiteral("Benzoato"), QStringLiteral("B1"), QStringLiteral("3"), QDate());
    }
    void cleanup() { m_db.reset(); }

    void showsTheRowsWithTheDesktopTexts()
    {
        CachedDataset ds(QStringLiteral("ESTLOTE"), &m_db->conn(), data::tables::ESTLOTE());
        DatasetModel model(&ds, {{QStringLiteral("Descrição"), QStringLiteral("DESCRICAO")},
                                 {QStringLiteral("Estoque"), QStringLiteral("saldocorrente")},
                                 {QStringLiteral("Validade"), QStringLiteral("VALIDADE")},
                                 {QStringLiteral("Ausente"), QStringLiteral("NAOEXISTE")}});
        new QAbstractItemModelTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest, this);

        QCOMPARE(model.rowCount(), 0);
        ds.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
        ds.open();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Descrição"));
        QCOMPARE(columnTexts(model, 0), (QStringList{"Benzoato", "Cafeína", "Ácido Bórico"}));
        QCOMPARE(columnTexts(model, 1), (QStringList{"3", "12,5", "-0,25"}));
        QCOMPARE(columnTexts(model, 2), (QStringList{"", "01/03/2025", "31/12/2024"}));
        QCOMPARE(columnTexts(model, 3), (QStringList{"", "", ""}));

        ds.close();
        QCOMPARE(model.rowCount(), 0);
    }

    void followsSortEditsAndReload()
    {
        CachedDataset ds(QStringLiteral("ESTLOTE"), &m_db->conn(), data::tables::ESTLOTE());
        DatasetModel model(&ds, {{QStringLiteral("Lote"), QStringLiteral("LOTE")},
                                 {QStringLiteral("Estoque"), QStringLiteral("SALDOCORRENTE")}});
        new QAbstractItemModelTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest, this);
        ds.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by LOTE"));
        ds.open();
        QCOMPARE(columnTexts(model, 0), (QStringList{"A1", "B1", "C1"}));

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        ds.setIndexFieldNames(QStringLiteral("VALIDADE"));
        QCOMPARE(resets.count(), 1);
        QCOMPARE(columnTexts(model, 0), (QStringList{"B1", "A1", "C1"}));

        // An edit shows in its row as it is typed.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        ds.moveTo(2);
        ds.edit();
        ds.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({7, 0}));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 2);
        QCOMPARE(model.index(2, 1).data().toString(), QStringLiteral("7"));
        ds.post();
        QVERIFY(ds.applyUpdates(CachedDataset::OnRefusal::Stop).empty());

        // Rows added elsewhere appear on reload, in the kept client order.
        addLot(QStringLiteral("Dipirona"), QStringLiteral("D1"), QStringLiteral("1"), QDate(2024, 1, 1));
        ds.refresh();
        QCOMPARE(columnTexts(model, 0), (QStringList{"B1", "D1", "A1", "C1"}));
        QCOMPARE(columnTexts(model, 1), (QStringList{"3", "1", "-0,25", "7"}));
        QCOMPARE(ds.text(QStringLiteral("LOTE")), QStringLiteral("C1"));   // still on the edited row

        ds.remove();
        QCOMPARE(model.rowCount(), 3);
        ds.cancelUpdates();
        QCOMPARE(model.rowCount(), 4);
    }
};

QTEST_MAIN(DatasetModelTest)
#include "datasetmodel_qtest.moc"
