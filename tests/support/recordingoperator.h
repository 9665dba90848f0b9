// Operator for tests: records every message in order and answers questions from a script.
#pragma once
#include "platform/operator.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <ostream>

namespace testsupport {

enum class MessageKind { Inform, Warn, Ask, Error };

struct RecordedMessage {
    MessageKind kind;
    QString text;
    bool operator==(const RecordedMessage &) const = default;
};

void PrintTo(const RecordedMessage &message, std::ostream *out);

class RecordingOperator : public platform::Operator {
public:
    void inform(const QString &text) override;
    void warn(const QString &text) override;
    platform::Answer ask(const QString &text) override;
    void error(const QString &text) override;

    // Answers for the next questions, in order. A question with no answer left fails the test.
    void answer(platform::Answer next) { m_answers.enqueue(next); }
    void answer(std::initializer_list<platform::Answer> next);
    qsizetype unusedAnswers() const { return m_answers.size(); }

    const QList<RecordedMessage> &messages() const { return m_messages; }
    QStringList texts() const;
    QStringList texts(MessageKind kind) const;
    void clear();

private:
    QList<RecordedMessage> m_messages;
    QQueue<platform::Answer> m_answers;
};

} // namespace testsupport
