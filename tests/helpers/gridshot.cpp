// A picture of the main window after a real login on a demo installation, for looking at the grid
// and its panels without a screen.
// Usage: gridshot DEMO_DIR OUT.png [--user MARIA] [--password 1234] [--today yyyy-mm-dd] [--size WxH]
//                 [--view N] [--expired] [--sort COLUMN] [--search TEXT] [--panel none|detalha|nf|rastreio|pedido|senha|manutencao|relatorios|vencimentos|historico|auditoria|auditoria2|preview|lote|laudo]
// The last three are windows of their own: the picture is of that window (the lot edit form, the
// form with its certificate panel, the report preview of "Listar Estoque").
// DEMO_DIR is made by: makedemo --dir DEMO_DIR (the same --today keeps the colours as built).
#include "shell/errordisplay.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/detailpanel.h"
#include "browser/ui/invoicepanel.h"
#include "browser/ui/maintenancepanel.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "users/ui/loginpanel.h"
#include "reports/ui/reportspanel.h"
#include "trace/ui/ordertracepanel.h"
#include "exports/ui/deductionauditpanel.h"
#include "exports/ui/historyviewer.h"
#include "lotedit/ui/tform2.h"
#include "reports/engine/previewdialog.h"
#include "reports/ui/periodpanel.h"
#include <QPushButton>
#include <QTimer>

#include <QAction>
#include <QComboBox>
#include <QCommandLineParser>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

// No one is there to close a message box: messages go to standard error.
class PrintingOperator : public platform::Operator {
public:
    void inform(const QString &t) override { std::fprintf(stderr, "message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &t) override
    {
        inform(t);
        return platform::Answer::No;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    shell::EstoqueApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("demo"), QStringLiteral("Installation root made by makedemo."));
    parser.addPositionalArgument(QStringLiteral("out"), QStringLiteral("PNG file to write."));
    parser.addOption({QStringLiteral("user"), QStringLiteral("Login name."), QStringLiteral("name"), QStringLiteral("MARIA")});
    parser.addOption({QStringLiteral("password"), QStringLiteral("Password."), QStringLiteral("password"), QStringLiteral("1234")});
    parser.addOption({QStringLiteral("today"), QStringLiteral("The workstation's date."), QStringLiteral("yyyy-mm-dd")});
    parser.addOption({QStringLiteral("view"), QStringLiteral("ComboBox1 index after login."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("expired"), QStringLiteral("Include expired lots (ComboBox2 index 1).")});
    parser.addOption({QStringLiteral("sort"), QStringLiteral("Grid column to click the title of (0-12)."), QStringLiteral("COLUMN")});
    parser.addOption({QStringLiteral("search"), QStringLiteral("Text typed into the search box."), QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("panel"), QStringLiteral("Panel to open: none, detalha, nf, rastreio, pedido, senha, manutencao, relatorios, vencimentos."),
                      QStringLiteral("name"), QStringLiteral("none")});
    parser.addOption({QStringLiteral("size"), QStringLiteral("The main window's size."), QStringLiteral("WxH")});
    parser.addHelpOption();
    parser.process(app);
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 2) {
        parser.showHelp(2);
    }

    const QDate today = parser.isSet(QStringLiteral("today"))
        ? QDate::fromString(parser.value(QStringLiteral("today")), Qt::ISODate)
        : QDate::currentDate();
    platform::FixedClock clock(today, QTime(10, 0));
    PrintingOperator op;
    app.setOperator(&op);
    shell::Program program(pos.at(0) + QStringLiteral("/c/FORMULIX"), clock, op);
    shell::TForm1 form(program);
    if (!form.created())
        return 1;
    if (parser.isSet(QStringLiteral("size"))) {
        const QStringList wh = parser.value(QStringLiteral("size")).split(QLatin1Char('x'));
        form.setWindowState(Qt::WindowNoState);
        form.setGeometry(0, 0, wh.value(0).toInt(), wh.value(1).toInt());
    }
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    form.PainelLogin->EditNome->setText(parser.value(QStringLiteral("user")));
    form.PainelLogin->EditSenhaU->setText(parser.value(QStringLiteral("password")));
    QTest::keyClick(form.PainelLogin->EditSenhaU, Qt::Key_Return);
    QCoreApplication::processEvents();
    if (form.PainelLogin->isVisible() || !program.dm.ESTLOTE.isOpen()) {
        std::fprintf(stderr, "login did not open the grid\n");
        return 1;
    }

    if (parser.isSet(QStringLiteral("view")))
        form.ComboBox1->setCurrentIndex(parser.value(QStringLiteral("view")).toInt());
    if (parser.isSet(QStringLiteral("expired")))
        form.ComboBox2->setCurrentIndex(1);
    if (parser.isSet(QStringLiteral("sort")))
        form.DBGrid1->DBGrid1TitleClick(parser.value(QStringLiteral("sort")).toInt());
    if (parser.isSet(QStringLiteral("search"))) {
        QTest::mouseClick(form.Edit1, Qt::LeftButton);
        QTest::keyClicks(form.Edit1, parser.value(QStringLiteral("search")));
        QTest::keyClick(form.Edit1, Qt::Key_Return);
    }
    const QString panel = parser.value(QStringLiteral("panel"));
    if (panel == QLatin1String("detalha"))
        form.DBGrid1->DBGrid1DblClick();
    else if (panel == QLatin1String("nf"))
        form.DBGrid1->NotaFiscal1->trigger();
    else if (panel == QLatin1String("rastreio"))
        form.DBGrid1->RastrearLote1->trigger();
    else if (panel == QLatin1String("pedido")) {   // the demo's traced order from workstation 01
        form.btn1->click();
        form.pnlRelatorios->btnRastrearPedido->click();
        form.PainelRastreioPedido->edtEstacao->setText(QStringLiteral("01"));
        form.PainelRastreioPedido->edtPedido->setText(QStringLiteral("5001"));
        form.PainelRastreioPedido->btnRastrearClick();
    }
    else if (panel == QLatin1String("senha"))
        form.DBGrid1->AjustedeEstoque1->trigger();
    else if (panel == QLatin1String("manutencao"))
        form.Panel1->open(2);
    else if (panel == QLatin1String("relatorios"))
        form.btn1->click();
    else if (panel == QLatin1String("vencimentos")) {
        form.btn1->click();
        form.pnlRelatorios->btnVencimentos->click();
    }
    else if (panel == QLatin1String("historico")) {
        form.btn1->click();
        form.pnlRelatorios->BitBtn2->click();
    }
    else if (panel == QLatin1String("auditoria") || panel == QLatin1String("auditoria2")) {
        form.btn1->click();
        for (int round = panel == QLatin1String("auditoria2") ? 2 : 1; round > 0; --round) {
            form.pnlRelatorios->BitBtn16->click();
            form.pnlRelatorios->PainelPeriodo->BitBtn13->click();
            form.Auditoria->BitBtn17->click();
            if (round > 1) {   // "Sair" of the result, then "Relatórios" again
                form.Auditoria->BitBtn19->click();
                form.btn1->click();
            }
        }
    }
    // A window of its own: pictured once it shows, then closed.
    QImage windowShot;
    const auto whenShown = [&windowShot](std::function<QWidget *()> find, std::function<void(QWidget *)> before) {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [&windowShot, timer, find, before] {
            QWidget *w = find();
            if (!w || !w->isVisible())
                return;
            timer->stop();
            before(w);
            QCoreApplication::processEvents();
            windowShot = w->grab().toImage();
            static_cast<QDialog *>(w)->reject();
            timer->deleteLater();
        });
        timer->start(50);
    };
    const auto topLevel = [](const char *className) {
        return [className]() -> QWidget * {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->inherits(className) && w->isVisible())
                    return w;
            return nullptr;
        };
    };
    if (panel == QLatin1String("lote") || panel == QLatin1String("laudo")) {
        const bool certificate = panel == QLatin1String("laudo");
        whenShown(topLevel("lotedit_ui::TForm2"), [certificate](QWidget *w) {
            if (certificate)
                static_cast<lotedit_ui::TForm2 *>(w)->BitBtn3->click();
        });
        form.BitBtn3Click();
    } else if (panel == QLatin1String("preview")) {
        whenShown(topLevel("reports_engine::PreviewDialog"), [&form](QWidget *w) {
            w->setWindowState(Qt::WindowNoState);
            w->setGeometry(form.geometry());
        });
        form.btn1->click();
        form.pnlRelatorios->btn3->click();
    }
    QCoreApplication::processEvents();

    const QImage shot = windowShot.isNull() ? form.grab().toImage() : windowShot;
    if (!shot.save(pos.at(1), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pos.at(1)));
        return 1;
    }
    std::printf("%s: %dx%d, %d lots in the grid\n", qPrintable(pos.at(1)), shot.width(), shot.height(),
                program.dm.ESTLOTE.rowCount());
    form.close();
    return 0;
}
