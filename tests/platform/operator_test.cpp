// The recording Operator every other test asserts messages through.
#include "support/qtprint.h"
#include "support/recordingoperator.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using platform::Answer;
using testsupport::MessageKind;
using testsupport::RecordedMessage;
using testsupport::RecordingOperator;

namespace {

TEST(RecordingOperator, RecordsInOrderAndAnswersFromTheScript)
{
    RecordingOperator op;
    op.answer({Answer::Yes, Answer::No});
    platform::Operator &shown = op;
    shown.inform("Um");
    EXPECT_EQ(shown.ask("Dois?"), Answer::Yes);
    shown.warn("Três");
    EXPECT_EQ(shown.ask("Quatro?"), Answer::No);
    shown.error("Cinco");
    const QList<RecordedMessage> expected{{MessageKind::Inform, "Um"}, {MessageKind::Ask, "Dois?"},
                                          {MessageKind::Warn, "Três"}, {MessageKind::Ask, "Quatro?"},
                                          {MessageKind::Error, "Cinco"}};
    EXPECT_EQ(op.messages(), expected);
    EXPECT_EQ(op.texts(MessageKind::Ask), (QStringList{"Dois?", "Quatro?"}));
    EXPECT_EQ(op.unusedAnswers(), 0);
    op.clear();
    EXPECT_TRUE(op.texts().isEmpty());
}

TEST(RecordingOperator, UnscriptedQuestionFailsAndSaysNo)
{
    RecordingOperator op;
    Answer answer = Answer::Yes;
    EXPECT_NONFATAL_FAILURE(answer = op.ask("Excluir?"), "unexpected question: Excluir?");
    EXPECT_EQ(answer, Answer::No);
    EXPECT_EQ(op.texts(), QStringList{"Excluir?"});
}

} // namespace
