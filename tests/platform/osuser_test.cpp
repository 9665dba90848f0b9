// The operating-system user name offered at login.
#include "platform/osuser.h"
#include "support/qtprint.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

TEST(OsUser, IsTheLoginNameOfTheRunningUser)
{
    QProcess id;
    id.start(QStringLiteral("id"), {QStringLiteral("-un")});
    ASSERT_TRUE(id.waitForFinished(10000));
    const QString expected = QString::fromLocal8Bit(id.readAllStandardOutput()).trimmed();
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(platform::osUserName(), expected.left(49));
}

TEST(OsUser, NameRules)
{
    using platform::osUserNameFrom;
    const QString fifty = QString(50, QLatin1Char('m'));
    EXPECT_EQ(osUserNameFrom(fifty, QString()), fifty.left(49));
    EXPECT_EQ(osUserNameFrom(QString(49, QLatin1Char('j')), QString()), QString(49, QLatin1Char('j')));
    EXPECT_EQ(osUserNameFrom(QStringLiteral("maria"), QStringLiteral("outro")), QStringLiteral("maria"));
    EXPECT_EQ(osUserNameFrom(QString(), QStringLiteral("joão")), QStringLiteral("joão"));
    EXPECT_EQ(osUserNameFrom(QString(), fifty), fifty.left(49));
    // A character outside the basic plane straddling the cut is dropped whole.
    EXPECT_EQ(osUserNameFrom(QString(48, QLatin1Char('a')) + QStringLiteral("\U0001F600z"), QString()),
              QString(48, QLatin1Char('a')));
}

} // namespace
