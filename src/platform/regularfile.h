// Reading and appending only to regular files, never blocking: a FIFO, a device or a link to one
// is refused at once instead of hanging the program or reading without end.
#pragma once
#include <QByteArray>
#include <QString>

namespace platform {

// The whole file when it is a regular file of at most maxBytes; else false with the reason in
// Portuguese in *error.
bool readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error = nullptr);

// A descriptor open for appending to an existing regular file, or -1 (errno says why: ENOENT
// when it does not exist, EINVAL when it is no regular file). Never waits for a reader.
int openRegularForAppend(const QString &path);

} // namespace platform
