// The operator's message boxes during long work: the normal pointer over the box, the busy one
// back when it closes.
#include "platform/operator.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {
// The pointer shape while the box is up and the box's text; the box is then answered with `button`.
struct Seen {
    Qt::CursorShape shape = Qt::BlankCursor;
    QString text;
};

void whenBoxShows(Seen *seen, QMessageBox::StandardButton button)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, seen, button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        timer->stop();
        seen->shape = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::BlankCursor;
        seen->text = box->text();
        box->button(button)->click();
        timer->deleteLater();
    });
    timer->start(10);
}
} // namespace

class MessageBoxTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void boxesShowTheNormalPointerDuringLongWork()
    {
        platform::MessageBoxOperator op;
        using Show = std::function<void()>;
        const struct {
            const char *what;
            Show show;
            QMessageBox::StandardButton button;
        } cases[] = {
            {"inform", [&op] { op.inform(QStringLiteral("Exportado")); }, QMessageBox::Ok},
            {"warn", [&op] { op.warn(QStringLiteral("Exportado")); }, QMessageBox::Ok},
            {"error", [&op] { op.error(QStringLiteral("Exportado")); }, QMessageBox::Ok},
            {"ask", [&op] { QCOMPARE(op.ask(QStringLiteral("Exportado")), platform::Answer::Yes); }, QMessageBox::Yes},
        };
        for (const auto &c : cases) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            Seen seen;
            whenBoxShows(&seen, c.button);
            c.show();
            QCOMPARE(seen.text, QStringLiteral("Exportado"));
            QVERIFY2(seen.shape == Qt::ArrowCursor, c.what);
            QVERIFY2(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor, c.what);
            QApplication::restoreOverrideCursor();
            QVERIFY2(!QApplication::overrideCursor(), c.what);
        }

        // With no work going on nothing is set over the pointer.
        Seen seen;
        whenBoxShows(&seen, QMessageBox::Ok);
        op.inform(QStringLiteral("Exportado"));
        QCOMPARE(seen.shape, Qt::BlankCursor);
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(MessageBoxTest)
#include "messagebox_qtest.moc"
