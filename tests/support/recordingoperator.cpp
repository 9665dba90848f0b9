// Operator for tests: records every message in order and answers questions from a script.
#include "support/recordingoperator.h"

#include <gtest/gtest.h>

namespace testsupport {

void PrintTo(const RecordedMessage &message, std::ostream *out)
{
    static const char *const names[] = {"inform", "warn", "ask", "error"};
    *out << names[int(message.kind)] << "(\"" << message.text.toStdString() << "\")";
}

void RecordingOperator::inform(const QString &text)
{
    m_messages.append({MessageKind::Inform, text});
}

void RecordingOperator::warn(const QString &text)
{
    m_messages.append({MessageKind::Warn, text});
}

platform::Answer RecordingOperator::ask(const QString &text)
{
    m_messages.append({MessageKind::Ask, text});
    if (m_answers.isEmpty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return platform::Answer::No;
    }
    return m_answers.dequeue();
}

void RecordingOperator::error(const QString &text)
{
    m_messages.append({MessageKind::Error, text});
}

void RecordingOperator::answer(std::initializer_list<platform::Answer> next)
{
    for (platform::Answer a : next)
        m_answers.enqueue(a);
}

QStringList RecordingOperator::texts() const
{
    QStringList out;
    for (const RecordedMessage &m : m_messages)
        out << m.text;
    return out;
}

QStringList RecordingOperator::texts(MessageKind kind) const
{
    QStringList out;
    for (const RecordedMessage &m : m_messages)
        if (m.kind == kind)
            out << m.text;
    return out;
}

void RecordingOperator::clear()
{
    m_messages.clear();
    m_answers.clear();
}

} // namespace testsupport
