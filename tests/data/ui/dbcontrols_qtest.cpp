// The data-bound controls over a real lot cache: they follow the current row, start the edit on
// the first keystroke, write typed text in the desktop's conventions when the focus leaves, and
// tell the operator when a text is no value; the navigator acts on the same rows.
#include "data/cacheddataset.h"
#include "data/datasource.h"
#include "data/columns.h"
#include "data/tables.h"
#include "data/ui/dbcontrols.h"
#include "data/ui/dbnavigator.h"

#include "core/runstate.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

using data::CachedDataset;
using State = data::CachedDataset::State;

class DbControlsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TempDatabase> m_db;

    void addLot(const QString &descricao, const QString &lote, const QString &saldo, const QDate &validade,
                const QString &lab = QStringLiteral("Almoxarifado"))
    {
        m_db->conn().execute(
            QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, VALIDADE) "
                           "values (?, ?, 'Galena', '001', ?, ?, ?)"),
            {db::Value::text(descricao), db::Value::text(lote), db::Value::text(lab),
             db::Value::decimal(db::Decimal::fromString(saldo)), db::Value::date(validade)});
    }

    // A window with one control of each kind bound to the lot cache.
    struct Window {
        testsupport::RecordingOperator op;
        CachedDataset ds;
        CachedDataset labs;
        data::DataSource source{ds, op};
        QWidget w;
        data_ui::DBEdit *descricao, *saldo, *validade;
        data_ui::DBComboBox *situacao, *controlada;
        data_ui::DBLookupComboBox *local;
        data_ui::DBText *lote;
        data_ui::DBNavigator *nav;
        QLineEdit *other;

        explicit Window(db::Connection &conn)
            : ds(QStringLiteral("ESTLOTE"), &conn, data::tables::ESTLOTE()),
              labs(QStringLiteral("TabLab"), &conn, data::tables::TABLAB())
        {
            source.currentYear = [] { return 2026; };
            ds.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
            labs.setCommandText(QStringLiteral("select LABORATORIO, LOJA from TABLAB"));
            auto *layout = new QVBoxLayout(&w);
            layout->addWidget(descricao = new data_ui::DBEdit(&source, QStringLiteral("DESCRICAO")));
            layout->addWidget(saldo = new data_ui::DBEdit(&source, QStringLiteral("SALDOCORRENTE")));
            layout->addWidget(validade = new data_ui::DBEdit(&source, QStringLiteral("VALIDADE")));
            validade->setEditMask(QStringLiteral("!99/99/00;1;_"));
            layout->addWidget(situacao = new data_ui::DBComboBox(&source, QStringLiteral("SITUACAO")));
            situacao->setItems({QStringLiteral("Estoque"), QStringLiteral("Vencido"), QStringLiteral("Aguardando")});
            layout->addWidget(controlada = new data_ui::DBComboBox(&source, QStringLiteral("CONTROLADA")));
            controlada->setStyle(data_ui::DBComboBox::Style::DropDownList);
            controlada->setItems({QStringLiteral("Sim"), QStringLiteral("Não")});
            layout->addWidget(local = new data_ui::DBLookupComboBox(&source, QStringLiteral("LABORATORIO"), &labs,
                                                                    QStringLiteral("LABORATORIO"), QStringLiteral("LABORATORIO")));
            layout->addWidget(lote = new data_ui::DBText(&source, QStringLiteral("LOTE")));
            layout->addWidget(nav = new data_ui::DBNavigator(&source));
            layout->addWidget(other = new QLineEdit);
        }
    };

    static void focus(QWidget *w)
    {
        w->setFocus();
        QApplication::processEvents();
        QTRY_COMPARE(QApplication::focusWidget(), w);
    }

    db::Value stored(const QString &sql) { return m_db->conn().query(sql).rows.at(0).at(0); }

private Q_SLOTS:
    void init()
    {
        m_db = std::make_unique<testsupport::TempDatabase>();
        addLot(QStringLiteral("Cafeína"), QStringLiteral("C1"), QStringLiteral("12.5"), QDate(2025, 3, 1));
        addLot(QStringLiteral("Benzoato"), QStringLiteral("B1"), QStringLiteral("3"), QDate());
        m_db->conn().execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Almoxarifado', '1')"));
        m_db->conn().execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Manipulação', '1')"));
    }
    void cleanup() { m_db.reset(); }

    void followTheCurrentRowWithDisplayAndEditTexts()
    {
        Window f(m_db->conn());
        f.labs.open();
        f.ds.open();
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));
        QCOMPARE(f.descricao->text(), QStringLiteral("Benzoato"));
        QCOMPARE(f.validade->Text(), QStringLiteral("  /  /  "));
        QCOMPARE(f.lote->text(), QStringLiteral("B1"));
        QCOMPARE(f.local->currentText(), QStringLiteral("Almoxarifado"));
        f.nav->click(data_ui::DBNavigator::Next);
        QCOMPARE(f.descricao->text(), QStringLiteral("Cafeína"));
        QCOMPARE(f.saldo->text(), QStringLiteral("12,5"));
        QCOMPARE(f.validade->Text(), QStringLiteral("01/03/25"));
        QCOMPARE(f.lote->text(), QStringLiteral("C1"));
        QVERIFY(!f.nav->button(data_ui::DBNavigator::Next)->isEnabled());
        QVERIFY(f.nav->button(data_ui::DBNavigator::First)->isEnabled());
        QVERIFY(!f.nav->button(data_ui::DBNavigator::Post)->isEnabled());
        QCOMPARE(f.ds.state(), State::Browse);
    }

    void typingStartsTheEditAndLeavingWritesTheValue()
    {
        Window f(m_db->conn());
        f.ds.open();
        f.ds.locate(QStringLiteral("LOTE"), db::Value::text(QStringLiteral("C1")));
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));

        focus(f.saldo);
        f.saldo->selectAll();
        QTest::keyClicks(f.saldo, QStringLiteral("7.25"));   // the point is no decimal separator here
        QCOMPARE(f.ds.state(), State::Edit);
        QVERIFY(f.nav->button(data_ui::DBNavigator::Post)->isEnabled());
        QCOMPARE(f.saldo->text(), QStringLiteral("725"));
        f.saldo->selectAll();
        QTest::keyClicks(f.saldo, QStringLiteral("7,25"));
        // The dataset gets the value only when the box is left.
        QCOMPARE(f.ds.value(QStringLiteral("SALDOCORRENTE")).toDecimal(), db::Decimal::fromString(QStringLiteral("12.5")));

        focus(f.validade);
        f.validade->setCursorPosition(0);
        QTest::keyClicks(f.validade, QStringLiteral("311276"));
        QCOMPARE(f.ds.value(QStringLiteral("SALDOCORRENTE")).toDecimal(), db::Decimal::fromString(QStringLiteral("7.25")));
        focus(f.other);
        QCOMPARE(f.ds.value(QStringLiteral("VALIDADE")).toDate(), QDate(1976, 12, 31));

        // A text longer than its column is refused, never cut: the box keeps it until shortened.
        focus(f.situacao);
        QTest::keyClicks(f.situacao, QStringLiteral("Aguardando analise"));
        f.other->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), f.situacao);
        QCOMPARE(f.op.texts(), QStringList{data::TextTooLongMessage(QStringLiteral("Situação"), 18, 10)});
        QCOMPARE(f.situacao->currentText(), QStringLiteral("Aguardando analise"));
        f.op.clear();
        f.situacao->lineEdit()->end(false);
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(f.situacao, Qt::Key_Backspace);
        focus(f.other);
        QCOMPARE(f.ds.text(QStringLiteral("SITUACAO")), QStringLiteral("Aguardando"));

        // A pick-only list refuses typing; a pick is written at once.
        focus(f.controlada);
        QTest::keyClicks(f.controlada, QStringLiteral("Tal"));
        QCOMPARE(f.controlada->currentText(), QString());
        QTest::keyClick(f.controlada, Qt::Key_Down);
        QCOMPARE(f.ds.text(QStringLiteral("CONTROLADA")), QStringLiteral("Sim"));

        f.nav->click(data_ui::DBNavigator::Post);
        QCOMPARE(f.op.texts(), QStringList());
        QCOMPARE(f.ds.applyUpdates(CachedDataset::OnRefusal::Stop).size(), size_t(0));
        QCOMPARE(stored(QStringLiteral("select SALDOCORRENTE from ESTLOTE where LOTE = 'C1'")).toDecimal(),
                 db::Decimal::fromString(QStringLiteral("7.25")));
        QCOMPARE(stored(QStringLiteral("select VALIDADE from ESTLOTE where LOTE = 'C1'")).toDate(), QDate(1976, 12, 31));
        QCOMPARE(stored(QStringLiteral("select CONTROLADA from ESTLOTE where LOTE = 'C1'")).toString(), QStringLiteral("Sim"));
    }

    void aTextThatIsNoValueKeepsTheFocusAndIsReported()
    {
        Window f(m_db->conn());
        f.ds.open();
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));
        focus(f.validade);
        f.validade->setCursorPosition(0);
        QTest::keyClicks(f.validade, QStringLiteral("3102"));
        f.other->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), f.validade);
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral("Validade: '31/02/  ' não é uma data válida")});
        QCOMPARE(f.validade->Text(), QStringLiteral("31/02/  "));
        // Saving writes the box first, so the same refusal stops the post.
        QVERIFY(!f.source.post());
        QCOMPARE(f.ds.state(), State::Edit);
        // Esc takes back the typed text; cancel ends the edit.
        QTest::keyClick(f.validade, Qt::Key_Escape);
        QCOMPARE(f.validade->Text(), QStringLiteral("  /  /  "));
        QVERIFY(f.source.cancel());
        QCOMPARE(f.ds.state(), State::Browse);
    }

    void aTextLongerThanItsColumnIsRefusedNotCut()
    {
        Window f(m_db->conn());
        f.ds.open();
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));
        const int width = data::FindColumnInfo(QStringLiteral("ESTLOTE"), QStringLiteral("DESCRICAO"))->width;
        const QString tooLong = QString(width, u'x') + QStringLiteral("yz");
        focus(f.descricao);
        f.descricao->selectAll();
        QTest::keyClicks(f.descricao, tooLong);
        QCOMPARE(f.descricao->text(), tooLong);   // the box takes it all
        f.other->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), f.descricao);
        QCOMPARE(f.op.texts(), QStringList{data::TextTooLongMessage(QStringLiteral("Descrição"), width + 2, width)});
        QCOMPARE(f.descricao->text(), tooLong);
        QVERIFY(!f.source.post());
        QCOMPARE(f.ds.state(), State::Edit);
        // At the column's width it is written.
        f.descricao->end(false);
        QTest::keyClick(f.descricao, Qt::Key_Backspace);
        QTest::keyClick(f.descricao, Qt::Key_Backspace);
        QVERIFY(f.source.post());
        QCOMPARE(f.ds.text(QStringLiteral("DESCRICAO")), QString(width, u'x'));
    }

    void aMaskedBoxFocusedByTheProgramTakesDigitsFromItsFirstFreePosition()
    {
        Window f(m_db->conn());
        f.ds.open();
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));
        f.w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.w));
        // The first lot has no expiry: the digits fill the empty box from its start.
        f.validade->setFocus(Qt::OtherFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), f.validade);
        QCOMPARE(f.validade->Text(), QStringLiteral("  /  /  "));
        QTest::keyClicks(f.validade, QStringLiteral("010227"));
        QCOMPARE(f.validade->Text(), QStringLiteral("01/02/27"));
        f.other->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), f.other);
        QCOMPARE(f.ds.value(QStringLiteral("VALIDADE")).toDate(), QDate(2027, 2, 1));
        // A full box: typing from the start replaces the date.
        f.validade->setFocus(Qt::OtherFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), f.validade);
        QTest::keyClicks(f.validade, QStringLiteral("311226"));
        QCOMPARE(f.validade->Text(), QStringLiteral("31/12/26"));
        QVERIFY(f.op.texts().isEmpty());
    }

    void theNavigatorInsertsDeletesAndReportsARefusedPost()
    {
        Window f(m_db->conn());
        f.labs.open();
        f.ds.open();
        f.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.w));
        f.nav->click(data_ui::DBNavigator::Insert);
        QCOMPARE(f.ds.state(), State::Insert);
        QCOMPARE(f.descricao->text(), QString());
        focus(f.descricao);
        QTest::keyClicks(f.descricao, QStringLiteral("Talco"));
        f.local->setFocus();
        QTest::keyClick(f.local, Qt::Key_Down);
        QCOMPARE(f.ds.text(QStringLiteral("LABORATORIO")), QStringLiteral("Almoxarifado"));
        QTest::keyClick(f.local, Qt::Key_Down);
        QCOMPARE(f.ds.text(QStringLiteral("LABORATORIO")), QStringLiteral("Manipulação"));
        // No lot and no supplier: the cache refuses, the operator is told, the row stays typed.
        f.nav->click(data_ui::DBNavigator::Post);
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral("O campo 'LOTE' deve ter um valor")});
        QCOMPARE(f.ds.state(), State::Insert);
        QCOMPARE(f.ds.text(QStringLiteral("DESCRICAO")), QStringLiteral("Talco"));
        f.nav->click(data_ui::DBNavigator::Cancel);
        QCOMPARE(f.ds.rowCount(), 2);

        f.op.clear();
        f.op.answer(platform::Answer::No);
        f.nav->click(data_ui::DBNavigator::Delete);
        QCOMPARE(f.ds.rowCount(), 2);
        f.op.answer(platform::Answer::Yes);
        f.nav->click(data_ui::DBNavigator::Delete);
        QCOMPARE(f.ds.rowCount(), 1);
        QCOMPARE(f.op.texts(), (QStringList{data_ui::kDeleteRecordQuestion, data_ui::kDeleteRecordQuestion}));
    }
};

QTEST_MAIN(DbControlsTest)
#include "dbcontrols_qtest.moc"
