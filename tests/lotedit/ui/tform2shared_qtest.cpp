// The lot edit form sharing its lot with another workstation through a real server: a save over
// a balance the transfer changed, or a density another form saved, writes nothing, says what
// changed, keeps what was typed and audits only what finally reaches the database.
#include "lotedit/ui/tform2.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "support/privateserver.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"
#include "transfer/transfer.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using lotedit_ui::TForm2;
using State = data::CachedDataset::State;

namespace {

const QString kConflictHead = QStringLiteral("Outra estação alterou este registro depois que você o abriu. Nada foi gravado.");
const QString kConflictTail =
    QStringLiteral("O que você digitou foi mantido: confira os valores gravados e salve de novo para gravá-lo.");

// One workstation's program on the private server's central database, plus another attachment
// standing for a second workstation.
struct SharedRig {
    testsupport::PrivateServer server;
    QTemporaryDir dir;
    platform::WinPaths paths;
    platform::FixedClock clock{QDate(2024, 3, 7), QTime(14, 5)};
    core::RunState run;
    core::Connections connections{paths};
    core::ActivityLog log{clock, paths};
    testsupport::RecordingOperator op;
    data::TDM dm{run, connections, log, op};
    db::Connection other;
    bool ready = false;

    SharedRig()
    {
        if (!server.ready())
            return;
        QDir(dir.path()).mkpath(QStringLiteral("share/LOG"));
        paths = platform::WinPaths::parse(QStringLiteral("\\\\SRV\\Formulix = share\n"), dir.path());
        const db::Target t = server.target(QStringLiteral("central.fdb"));
        db::Connection::createDatabase(t);
        other.configure(t);
        other.runScript(testsupport::sqlScript(QStringLiteral("central")));
        connections.SQLConnection1.configure(t);
        run.UserName = QStringLiteral("ANA");
        run.Laboratory = QStringLiteral("Manipulação");
        run.siteConfig.LogEnabled = QStringLiteral("S");
        run.siteConfig.ServerAddress = QStringLiteral("SRV");
        log.OpenActivityLog(QStringLiteral("SRV"), run.UserName, op);
        other.execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Manipulação', '1')"));
        other.execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Almoxarifado', '1')"));
        other.execute(QStringLiteral(
            "insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, VALIDADE, SITUACAO, "
            "DENSIDADE, FATORCORRECAO) values ('Cafeína', 'C1', 'Pharma', '001', 'Manipulação', 100, '2025-03-01', "
            "'Estoque', 1.1, 1)"));
        dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
        dm.ESTLOTE.open();
        op.clear();
        ready = true;
    }

    QString stored(const QString &column, const QString &location = QStringLiteral("Manipulação"))
    {
        const db::Rows r = other.query(QStringLiteral("select ") + column + QStringLiteral(" from ESTLOTE where LABORATORIO = ?"),
                                       {db::Value::text(location)});
        return r.isEmpty() || r.rows[0][0].isNull() ? QString() : r.rows[0][0].toString();
    }
    QString lotTotal()
    {
        return other.query(QStringLiteral("select sum(SALDOCORRENTE) from ESTLOTE where CODIGO = '001' and LOTE = 'C1' "
                                          "and FORNECEDOR = 'Pharma'"))
            .rows[0][0]
            .toString();
    }
    // The log's lines after its header and the two login lines.
    QByteArray auditBytes() const
    {
        QFile f(dir.filePath(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT")));
        const QByteArray all = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        int at = 0;
        for (int i = 0; i < 5 && at >= 0; ++i)
            at = int(all.indexOf("\r\n", at)) + 2;
        return all.mid(at);
    }
};

QByteArray lines(const QStringList &texts)
{
    QByteArray out;
    for (const QString &t : texts)
        out += platform::toCp1252(QStringLiteral("07/03/24-14:05 - ANA - ") + t) + "\r\n";
    return out;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

void open(TForm2 &form)
{
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    settle();
}

void typeInto(QLineEdit *box, const QString &text)
{
    box->setFocus(Qt::TabFocusReason);
    settle();
    QTRY_COMPARE(QApplication::focusWidget(), box);
    box->selectAll();
    QTest::keyClicks(box, text);
}

void justify(TForm2 &form, const QString &why)
{
    QTRY_VERIFY(form.justificationShown());
    QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
    form.Memo1->selectAll();
    QTest::keyClicks(form.Memo1, why);
    QTest::keyClick(form.Memo1, Qt::Key_Return);
    settle();
    QVERIFY(!form.justificationShown());
}

} // namespace

class TForm2SharedTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::testServer().isEmpty())
            QSKIP("runs its own server in the embedded pass only");
    }

    void aBalanceTransferredMeanwhileIsNotOverwritten()
    {
        SharedRig rig;
        QVERIFY2(rig.ready, qPrintable(rig.server.failure()));
        TForm2 form(rig.dm, rig.clock, rig.op);
        open(form);
        typeInto(form.DBEdit6, QStringLiteral("105"));
        QTest::keyClick(form.DBEdit6, Qt::Key_Tab);
        justify(form, QStringLiteral("contagem"));

        // Workstation 02 moves 10 of the lot to another location while the form is open.
        testsupport::RecordingOperator otherOp;
        const transfer::SourceLot lot{db::Value::text(QStringLiteral("001")), db::Value::text(QStringLiteral("C1")),
                                      db::Value::text(QStringLiteral("Pharma")), db::Value::text(QStringLiteral("Manipulação")),
                                      QStringLiteral("Cafeína")};
        QCOMPARE(transfer::Transfer(rig.other, lot, QStringLiteral("10"), QStringLiteral("Almoxarifado"), otherOp).step,
                 transfer::Step::Done);

        form.BitBtn1->click();
        settle();
        QVERIFY(form.isVisible());
        QCOMPARE(rig.op.texts(), QStringList{kConflictHead + QStringLiteral("\rSaldo Atual: gravado 90, era 100 quando você começou\r")
                                             + kConflictTail});
        QCOMPARE(rig.stored(QStringLiteral("SALDOCORRENTE")), QStringLiteral("90"));
        QCOMPARE(rig.lotTotal(), QStringLiteral("100"));   // no stock made by the save
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Edit);
        QCOMPARE(form.DBEdit6->text(), QStringLiteral("105"));   // what was typed is kept
        QVERIFY(!form.DBNavigator1->isEnabled());   // no move saves it before the new audit
        QCOMPARE(rig.auditBytes(), lines({QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)")}));

        // Saving again is a new change from what is stored, justified again.
        rig.op.clear();
        form.BitBtn1->click();
        settle();
        QVERIFY(form.isVisible());
        justify(form, QStringLiteral("recontagem"));
        QCOMPARE(rig.stored(QStringLiteral("SALDOCORRENTE")), QStringLiteral("90"));
        form.BitBtn1->click();
        settle();
        QVERIFY(!form.isVisible());
        QVERIFY(rig.op.texts().isEmpty());
        QCOMPARE(rig.stored(QStringLiteral("SALDOCORRENTE")), QStringLiteral("105"));
        QCOMPARE(rig.stored(QStringLiteral("SALDOCORRENTE"), QStringLiteral("Almoxarifado")), QStringLiteral("10"));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou o Saldo Atual de 90 para 105 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: recontagem"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 105"),
        }));
    }

    void aDensitySavedElsewhereIsNotOverwritten()
    {
        SharedRig rig;
        QVERIFY2(rig.ready, qPrintable(rig.server.failure()));
        TForm2 form(rig.dm, rig.clock, rig.op);
        open(form);
        typeInto(form.DBEdit12, QStringLiteral("1,3333"));
        QTest::keyClick(form.DBEdit12, Qt::Key_Tab);
        settle();

        // Another workstation's form saves the density and the correction factor of the same lot.
        rig.other.execute(QStringLiteral("update ESTLOTE set DENSIDADE = 1.2222, FATORCORRECAO = 1.05 where LOTE = 'C1'"));

        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(rig.op.texts(), QStringList{kConflictHead + QStringLiteral("\rDensidade: gravado 1,2222, era 1,1 quando você começou\r")
                                             + kConflictTail});
        QVERIFY(form.isVisible());
        QCOMPARE(rig.stored(QStringLiteral("DENSIDADE")), QStringLiteral("1.2222"));
        QCOMPARE(form.DBEdit12->text(), QStringLiteral("1,3333"));
        // The box the operator left alone shows the stored value, and a second save keeps it.
        QCOMPARE(form.DBEdit13->text(), QStringLiteral("1,05"));
        rig.op.clear();
        form.BitBtn1->click();
        settle();
        QVERIFY(!form.isVisible());
        QVERIFY(rig.op.texts().isEmpty());
        QCOMPARE(rig.stored(QStringLiteral("DENSIDADE")), QStringLiteral("1.3333"));
        QCOMPARE(rig.stored(QStringLiteral("FATORCORRECAO")), QStringLiteral("1.05"));
        QCOMPARE(rig.stored(QStringLiteral("SALDOCORRENTE")), QStringLiteral("100"));
    }
};

QTEST_MAIN(TForm2SharedTest)
#include "tform2shared_qtest.moc"
