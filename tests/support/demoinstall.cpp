#include "demoinstall.h"

#include <QDir>
#include <QProcess>

namespace testsupport {

QString makeDemoInstallation(const QString &root, int lots, const QDate &today)
{
    QDir(root + QStringLiteral("/c")).removeRecursively();
    QProcess maker;
    maker.start(QStringLiteral(ESTOQUE_BINARY_DIR "/makedemo"),
                {QStringLiteral("--dir"), root, QStringLiteral("--lots"), QString::number(lots), QStringLiteral("--today"),
                 today.toString(Qt::ISODate)});
    if (!maker.waitForFinished(120000))
        return QStringLiteral("makedemo did not finish: ") + maker.errorString();
    if (maker.exitStatus() != QProcess::NormalExit || maker.exitCode() != 0)
        return QString::fromLocal8Bit(maker.readAllStandardError());
    return QString();
}

} // namespace testsupport
