#include "operator.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace platform {

namespace {
QString title() { return QApplication::applicationName(); }
// The suite's messages break lines with a carriage return alone.
QString shown(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Echoed on standard error too, so a technician who starts the program from a terminal (or
    // a script that watches it) reads what the operator was told.
    std::fprintf(stderr, "%s\n", t.toLocal8Bit().constData());
    std::fflush(stderr);
    return t;
}

// A box shown during long work (an export, the audit) has the normal pointer over it, not the
// busy one the work set; the busy one comes back when the box closes.
class NormalPointer {
public:
    NormalPointer() : m_pushed(QApplication::overrideCursor() != nullptr)
    {
        if (m_pushed)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalPointer()
    {
        if (m_pushed)
            QApplication::restoreOverrideCursor();
    }
    NormalPointer(const NormalPointer &) = delete;
    NormalPointer &operator=(const NormalPointer &) = delete;

private:
    bool m_pushed;
};
}

void MessageBoxOperator::inform(const QString &text)
{
    NormalPointer pointer;
    QMessageBox::information(m_parent, title(), shown(text));
}

void MessageBoxOperator::warn(const QString &text)
{
    NormalPointer pointer;
    QMessageBox::warning(m_parent, title(), shown(text));
}

Answer MessageBoxOperator::ask(const QString &text)
{
    NormalPointer pointer;
    const auto b = QMessageBox::warning(m_parent, title(), shown(text), QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return b == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void MessageBoxOperator::error(const QString &text)
{
    NormalPointer pointer;
    QMessageBox::critical(m_parent, title(), shown(text));
}

} // namespace platform
