// An error that escapes an event handler is shown to the operator and the program goes on.
#include "shell/errordisplay.h"
#include "db/dberror.h"
#include "support/recordingoperator.h"

#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include <ibase.h>

class ErrorDisplayTest : public QObject {
    Q_OBJECT
public:
    explicit ErrorDisplayTest(testsupport::RecordingOperator &op) : m_op(op) {}

private Q_SLOTS:
    void errorsOfHandlersAreShownAndTheLoopGoesOn()
    {
        QPushButton failing(QStringLiteral("falha"));
        QPushButton working(QStringLiteral("ok"));
        int worked = 0;
        connect(&failing, &QPushButton::clicked, this, [] {
            throw db::DbError(QStringLiteral("Dynamic SQL Error\nTable unknown\nESTLOTEX"));
        });
        connect(&working, &QPushButton::clicked, this, [&worked] { ++worked; });
        failing.show();
        working.show();

        QTest::mouseClick(&failing, Qt::LeftButton);
        QTest::mouseClick(&working, Qt::LeftButton);
        QTest::keyClick(&failing, Qt::Key_Space);   // a key event's handler fails the same way

        using testsupport::MessageKind;
        QCOMPARE(m_op.texts(MessageKind::Error),
                 QStringList({QStringLiteral("Dynamic SQL Error\nTable unknown\nESTLOTEX"),
                              QStringLiteral("Dynamic SQL Error\nTable unknown\nESTLOTEX")}));
        QCOMPARE(worked, 1);
    }

    void otherExceptionsShowTheirText()
    {
        QPushButton failing(QStringLiteral("falha"));
        connect(&failing, &QPushButton::clicked, this, [] { throw std::runtime_error("arquivo ilegível"); });
        failing.show();
        m_op.clear();
        QTest::mouseClick(&failing, Qt::LeftButton);
        QCOMPARE(m_op.texts(), QStringList({QStringLiteral("arquivo ilegível")}));
    }

    void aLostLinkIsToldInOurWordsBeforeTheEngines()
    {
        QPushButton failing(QStringLiteral("falha"));
        connect(&failing, &QPushButton::clicked, this, [] {
            throw db::DbError(QStringLiteral("Error writing data to the connection."), {isc_net_write_err});
        });
        failing.show();
        m_op.clear();
        QTest::mouseClick(&failing, Qt::LeftButton);
        QCOMPARE(m_op.texts(), QStringList({QStringLiteral(
                                   "A conexão com o servidor de banco de dados foi perdida. Verifique se o servidor "
                                   "está ligado e se a rede está funcionando e repita a operação: o programa se conecta "
                                   "de novo na próxima vez.\n\nError writing data to the connection.")}));
    }

private:
    testsupport::RecordingOperator &m_op;
};

int main(int argc, char **argv)
{
    shell::EstoqueApplication app(argc, argv);
    testsupport::RecordingOperator op;
    app.setOperator(&op);
    ErrorDisplayTest test(op);
    return QTest::qExec(&test, argc, argv);
}

#include "errordisplay_qtest.moc"
