// Started twice by the single-copy test: the first copy keeps a window, the second asks it back.
// Usage: singlecopy_probe KEY [TIMEOUT_MS]. Prints PRIMARY or SECOND, and RESTORED when asked back.
#include "platform/singleinstance.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {
void say(const char *line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs("usage: singlecopy_probe KEY [TIMEOUT_MS]\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    const QString key = QString::fromLocal8Bit(argv[1]);
    const int timeoutMs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 30000;

    // As the program does: the claim comes before any window exists.
    platform::SingleInstance instance(QStringLiteral("ESTOQUE-TEST-") + key);
    if (!instance.claim()) {
        say(QApplication::topLevelWidgets().isEmpty() ? "SECOND" : "SECOND WITH WINDOW");
        return 0;
    }

    QWidget window;
    window.setWindowTitle(key);
    window.showMinimized();
    say("PRIMARY");

    QObject::connect(&instance, &platform::SingleInstance::restoreRequested, &window, [&] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.showNormal();
        window.raise();
        window.activateWindow();
        say(window.isVisible() && !window.isMinimized() ? "RESTORED" : "RESTORE FAILED");
        QTimer::singleShot(0, &app, &QApplication::quit);
    });
    QTimer::singleShot(timeoutMs, &app, [&] {
        say("TIMEOUT");
        app.exit(3);
    });
    return app.exec();
}
