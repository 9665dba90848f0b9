#include "operator.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {
QString title() { return QApplication::applicationName(); }
}

void MessageBoxOperator::inform(const QString &text)
{
    QMessageBox::information(m_parent, title(), text);
}

void MessageBoxOperator::warn(const QString &text)
{
    QMessageBox::warning(m_parent, title(), text);
}

Answer MessageBoxOperator::ask(const QString &text)
{
    const auto b = QMessageBox::warning(m_parent, title(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return b == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void MessageBoxOperator::error(const QString &text)
{
    QMessageBox::critical(m_parent, title(), text);
}

} // namespace platform
