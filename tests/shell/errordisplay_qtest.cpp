// An error that escapes an event handler is shown to the operator and the program goes on.
#include "shell/errordisplay.h"
#include "common/accesscodes.h"
#include "common/csvexport.h"
#include "data/cacheddataset.h"
#include "data/fieldinput.h"
#include "db/dberror.h"
#include "lotedit/certificate.h"
#include "transfer/transfer.h"
#include "reports/engine/engine.h"
#include "reports/engine/project.h"
#include "support/recordingoperator.h"

#include <QPushButton>
#include <QTest>
#include <clocale>
#include <functional>
#include <new>
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
            throw db::DbError(QStringLiteral("Dynamic SQL Error\nTable unknown\nESTLOTEX"),
                              {isc_dsql_error, isc_sqlerr, isc_dsql_relation_err});
        });
        connect(&working, &QPushButton::clicked, this, [&worked] { ++worked; });
        failing.show();
        working.show();

        m_op.clear();
        QTest::mouseClick(&failing, Qt::LeftButton);
        QTest::mouseClick(&working, Qt::LeftButton);
        QTest::keyClick(&failing, Qt::Key_Space);   // a key event's handler fails the same way

        using testsupport::MessageKind;
        const QString shown = QStringLiteral(
            "O banco de dados não tem uma tabela ou coluna que esta operação usa, e a operação não foi feita. A "
            "estrutura do banco de dados não corresponde a esta versão do programa: avise o suporte técnico e informe a "
            "mensagem técnica abaixo.\n\nDynamic SQL Error\nTable unknown\nESTLOTEX");
        QCOMPARE(m_op.texts(MessageKind::Error), QStringList({shown, shown}));
        QCOMPARE(worked, 1);
    }

    // No text of the engine, ours or the database's, reaches the operator on its own: what failed
    // and what to do come first.
    void engineTextsComeAfterOurs_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("leadIn");
        QTest::addColumn<QString>("engineText");
        QTest::newRow("recusa do banco") << 0
            << QStringLiteral("O banco de dados recusou a operação, e ela não foi concluída. Repita a operação; se o erro "
                              "continuar, avise o suporte técnico e informe a mensagem técnica abaixo.")
            << QStringLiteral("arithmetic exception, numeric overflow, or string truncation");
        QTest::newRow("projeto truncado") << 1
            << QStringLiteral("O relatório não foi mostrado: o arquivo de projeto do relatório está danificado ou "
                              "incompleto. Copie de novo os arquivos da pasta rpt da instalação para a pasta rpt do "
                              "programa e repita a operação.")
            << QStringLiteral("Invalid reporting project:\n\"C:\\FORMULIX\\rpt\\a.rav\"\nPremature end of document");
        QTest::newRow("projeto ausente") << 2
            << QStringLiteral("O relatório não foi mostrado: o arquivo de projeto do relatório não foi encontrado. Copie "
                              "de novo os arquivos da pasta rpt da instalação para a pasta rpt do programa e repita a "
                              "operação.")
            << QStringLiteral("The following reporting project does not exist:\n\"C:\\FORMULIX\\rpt\\a.rav\"");
        QTest::newRow("erro interno") << 3 << shell::kInternalErrorMessage << QStringLiteral("std::bad_alloc");
    }

    void engineTextsComeAfterOurs()
    {
        QFETCH(int, which);
        QFETCH(QString, leadIn);
        QFETCH(QString, engineText);
        QPushButton failing(QStringLiteral("falha"));
        connect(&failing, &QPushButton::clicked, this, [which] {
            using reports_engine::ReportError;
            if (which == 0)
                throw db::DbError(QStringLiteral("arithmetic exception, numeric overflow, or string truncation"),
                                  {isc_arith_except});
            if (which == 3)
                throw std::bad_alloc();
            if (which == 1)
                reports_engine::ParseProject("<ravproject version=\"1\">\n<report name=\"A\">\n",
                                             QStringLiteral("C:\\FORMULIX\\rpt\\a.rav"));
            throw ReportError(ReportError::Kind::MissingProject,
                              reports_engine::MissingProjectMessage(QStringLiteral("C:\\FORMULIX\\rpt\\a.rav")));
        });
        failing.show();
        m_op.clear();
        QTest::mouseClick(&failing, Qt::LeftButton);
        const QStringList texts = m_op.texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith(leadIn + QStringLiteral("\n\n") + engineText), qPrintable(texts[0]));
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

    // The whole test runs under the C locale (see main): every failure the program raises reads
    // as written, accents and all, and the lot form and the certificate panel say it the same way.
    void accentedMessagesReadAsWrittenUnderAnyLocale_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("told");
        const QString refused = db::kDatabaseRefusedMessage + QStringLiteral("\n\nviolação de chave única");
        QTest::newRow("banco") << 0 << refused;
        QTest::newRow("campo") << 1 << QStringLiteral("Validade: '31/02/25' não é uma data válida");
        QTest::newRow("tabela") << 2 << QStringLiteral("Não há registro para alterar.");
        QTest::newRow("quantidade") << 3 << QStringLiteral("'1.5' não é um valor numérico válido");
        QTest::newRow("chave") << 4 << QStringLiteral("'12a' não é um valor inteiro válido");
        QTest::newRow("planilha") << 5 << QStringLiteral("Não foi possível criar o arquivo C:\\FORMULIX\\Vencidos.csv");
        QTest::newRow("laudo") << 6 << QStringLiteral("O laudo foi alterado por outra estação: Analista.");
    }

    void accentedMessagesReadAsWrittenUnderAnyLocale()
    {
        QFETCH(int, which);
        QFETCH(QString, told);
        QCOMPARE(QByteArray(std::setlocale(LC_ALL, nullptr)), QByteArray("C"));
        const std::function<void()> raise[] = {
            [] { throw db::DbError(QStringLiteral("violação de chave única"), {isc_unique_key_violation}); },
            [] { throw data::FieldInputError(QStringLiteral("Validade: '31/02/25' não é uma data válida")); },
            [] { throw data::DatasetError(QStringLiteral("Não há registro para alterar.")); },
            [] { throw transfer::QuantityFormatError(QStringLiteral("1.5")); },
            [] { throw browser::ConversionError(QStringLiteral("12a")); },
            [] { throw exports::ExportError(QStringLiteral("Não foi possível criar o arquivo C:\\FORMULIX\\Vencidos.csv")); },
            [] {
                throw lotedit::CertificateChanged(QStringLiteral("O laudo foi alterado por outra estação: Analista."),
                                                  {});
            },
        };
        QPushButton failing(QStringLiteral("falha"));
        connect(&failing, &QPushButton::clicked, this, [&] { raise[which](); });
        failing.show();
        m_op.clear();
        QTest::mouseClick(&failing, Qt::LeftButton);
        QCOMPARE(m_op.texts(), QStringList({told}));
        try {
            raise[which]();
        } catch (const std::exception &e) {
            QCOMPARE(platform::OperatorText(e), told);
        }
    }

private:
    testsupport::RecordingOperator &m_op;
};

int main(int argc, char **argv)
{
    shell::EstoqueApplication app(argc, argv);
    // The plain C locale, whose 8-bit encoding is ASCII: a message that went through it would lose
    // its accents.
    std::setlocale(LC_ALL, "C");
    testsupport::RecordingOperator op;
    app.setOperator(&op);
    ErrorDisplayTest test(op);
    return QTest::qExec(&test, argc, argv);
}

#include "errordisplay_qtest.moc"
