// One way to say a failure: the program's own texts as they were written whatever the machine's
// locale, a library's runtime failure by its text, anything else as an internal error.
#include "platform/error.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <new>
#include <string>

namespace {

class FixedLead : public platform::Error {
public:
    using platform::Error::Error;
    QString operatorText() const override { return QStringLiteral("Não foi feito.\n\n") + message(); }
};

// Runs under the plain C locale, where the local 8-bit encoding is ASCII: no accent survives a
// trip through it.
class PlainLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_before = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    }
    void TearDown() override { std::setlocale(LC_ALL, m_before.c_str()); }

private:
    std::string m_before;
};

} // namespace

TEST_F(PlainLocale, EachKindOfFailureIsToldOneWay)
{
    const QString accented = QStringLiteral("Validade: '31/02/25' não é uma data válida");
    const QString internal = platform::kInternalErrorMessage + QStringLiteral("\n\n");
    const struct {
        const char *name;
        std::function<void()> raise;
        QString told;
    } cases[] = {
        {"ours", [&] { throw platform::Error(accented); }, accented},
        {"ours, with a lead-in", [] { throw FixedLead(QStringLiteral("Ação recusada")); },
         QStringLiteral("Não foi feito.\n\nAção recusada")},
        {"a library's runtime failure", [] { throw std::runtime_error("arquivo ilegível"); },
         QStringLiteral("arquivo ilegível")},
        {"a broken assumption", [] { throw std::logic_error("índice fora do vetor"); },
         internal + QStringLiteral("índice fora do vetor")},
        {"memory", [] { throw std::bad_alloc(); }, internal + QStringLiteral("std::bad_alloc")},
        {"no exception", [] { throw 42; }, QStringLiteral("Erro desconhecido.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.raise();
            ADD_FAILURE() << "nothing thrown";
        } catch (...) {
            EXPECT_EQ(platform::CurrentErrorText(), c.told);
        }
    }
    // The same text through the exception itself, and in UTF-8 for diagnostics.
    const platform::Error e(accented);
    EXPECT_EQ(platform::OperatorText(e), accented);
    EXPECT_EQ(QString::fromUtf8(e.what()), accented);
}
