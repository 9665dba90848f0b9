// Windows-1252 text at the boundaries (files, database), and the ASCII-only case mapping the suite uses.
#pragma once
#include <QByteArray>
#include <QString>

namespace platform {

QByteArray toCp1252(const QString &text);
QString fromCp1252(const QByteArray &bytes);
QString fromCp1252(const char *data, int size);

// Only a-z and A-Z change; accented letters stay as they are.
QString asciiUpper(const QString &text);
QString asciiLower(const QString &text);

} // namespace platform
