// The file system's failures reach the operator in Portuguese.
#include "platform/systemerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SystemError, FailuresOfRealFilesAreSaidInPortuguese)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile missing(QDir(dir.path()).filePath(QStringLiteral("nada/arquivo.txt")));
    ASSERT_FALSE(missing.open(QIODevice::WriteOnly));
    EXPECT_EQ(platform::systemErrorText(missing.errorString()), QStringLiteral("Arquivo ou pasta não encontrado"));

    QFile folder(dir.path());
    ASSERT_FALSE(folder.open(QIODevice::WriteOnly));
    EXPECT_EQ(platform::systemErrorText(folder.errorString()), QStringLiteral("É uma pasta"));

    // What it does not know passes through unchanged.
    EXPECT_EQ(platform::systemErrorText(QStringLiteral("Algo diferente")), QStringLiteral("Algo diferente"));
}
