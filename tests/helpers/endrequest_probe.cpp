// The program's own run (what main does), driven by this probe to a state and left there, for
// the test that ends it with TERM or INT as the system would.
// Usage: endrequest_probe PROGRAM_FOLDER STATE   (STATE: idle | preview | message | build)
// Logs in as the demo's operator; "preview" opens the reports panel and "Listar Estoque" and
// leaves its preview open; "message" leaves a message box open; "build" starts the manufacturing
// report build and holds it a second and a half in its first step, as a slow database would.
// Prints READY once there, and PREVIEW when a build's preview comes up.
#include "shell/errordisplay.h"
#include "shell/run.h"
#include "shell/tform1.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/termination.h"
#include "reports/engine/previewdialog.h"
#include "reports/ui/reportspanel.h"
#include "users/ui/loginpanel.h"

#include <QEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

void say(const char *line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// True once a visible top-level widget of type T is up.
template <typename T>
bool shown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<T *>(w) && w->isVisible())
            return true;
    return false;
}

// Says PREVIEW as a report preview is shown, before anything can close it.
class PreviewSeen : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_said && event->type() == QEvent::Show && qobject_cast<reports_engine::PreviewDialog *>(watched)) {
            m_said = true;
            say("PREVIEW");
        }
        return false;
    }

private:
    bool m_said = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: endrequest_probe PROGRAM_FOLDER idle|preview|message|build\n", stderr);
        return 2;
    }
    platform::endAtOnceOnTermination();
    shell::EstoqueApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ESTOQUE"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString state = QString::fromLocal8Bit(argv[2]);
    platform::SystemClock clock;
    platform::MessageBoxOperator op;
    QTimer watch;
    PreviewSeen previewSeen;
    return shell::RunProgram(app, folder, clock, op, [&](shell::TForm1 &form) {
        if (!QTest::qWaitForWindowExposed(&form)) {
            say("NOT SHOWN");
            return;
        }
        form.PainelLogin->EditNome->setText(QStringLiteral("maria"));
        form.PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
        QTest::keyClick(form.PainelLogin->EditSenhaU, Qt::Key_Return);
        if (!form.DBGrid1->isEnabled()) {
            say("LOGIN FAILED");
            return;
        }
        if (state == QLatin1String("build")) {
            // Checked at every repaint the build allows.
            QObject::connect(&watch, &QTimer::timeout, &watch, [&watch, &form] {
                if (form.pnlRelatorios->busy()) {
                    watch.stop();
                    say("READY");
                    QThread::msleep(1500);
                }
            });
            watch.start(0);
            app.installEventFilter(&previewSeen);
            form.btn1->click();
            QTimer::singleShot(0, form.pnlRelatorios->btn_1, &QPushButton::click);
            return;
        }
        QObject::connect(&watch, &QTimer::timeout, &watch, [&watch, state] {
            const bool there = state == QLatin1String("preview")   ? shown<reports_engine::PreviewDialog>()
                               : state == QLatin1String("message") ? shown<QMessageBox>()
                                                                   : true;
            if (there) {
                watch.stop();
                say("READY");
            }
        });
        watch.start(50);
        if (state == QLatin1String("preview")) {
            form.btn1->click();
            QTimer::singleShot(0, form.pnlRelatorios->btn3, &QPushButton::click);
        } else if (state == QLatin1String("message")) {
            QTimer::singleShot(0, &form, [&op] { op.inform(QStringLiteral("Mensagem aberta")); });
        }
    });
}
