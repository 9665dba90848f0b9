#include "startupwait.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace shell {

StartupWait::StartupWait(platform::Operator &op) : m_op(op)
{
    m_window = std::make_unique<QLabel>(kStartupWaitText);
    m_window->setObjectName(QStringLiteral("StartupWait"));
    m_window->setWindowTitle(QApplication::applicationName());
    m_window->setWindowFlags(Qt::SplashScreen | Qt::WindowStaysOnTopHint);
    m_window->setAlignment(Qt::AlignCenter);
    m_window->setMargin(24);
    m_window->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_window->adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    m_window->show();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursor = true;
    // Painted now: the statements that follow block the event loop.
    m_window->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

StartupWait::~StartupWait()
{
    end();
}

void StartupWait::end()
{
    if (m_cursor) {
        QGuiApplication::restoreOverrideCursor();
        m_cursor = false;
    }
    m_window.reset();
}

void StartupWait::inform(const QString &text)
{
    end();
    m_op.inform(text);
}

void StartupWait::warn(const QString &text)
{
    end();
    m_op.warn(text);
}

platform::Answer StartupWait::ask(const QString &text)
{
    end();
    return m_op.ask(text);
}

void StartupWait::error(const QString &text)
{
    end();
    m_op.error(text);
}

} // namespace shell
