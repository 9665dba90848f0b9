// A demo installation made by the real demo maker, for tests of the whole window on realistic data.
#pragma once
#include <QDate>
#include <QString>

namespace testsupport {

// Runs makedemo into root (replacing an earlier one); empty on success, else what went wrong.
QString makeDemoInstallation(const QString &root, int lots, const QDate &today);

// The program folder of an installation made there.
inline QString demoProgramFolder(const QString &root) { return root + QStringLiteral("/c/FORMULIX"); }

} // namespace testsupport
