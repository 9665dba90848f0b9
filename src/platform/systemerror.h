// The file system's error texts as the operator reads them: in Portuguese.
#pragma once
#include <QString>

namespace platform {

// The text of a failed file operation (QFile::errorString(), strerror()) in Portuguese; a text
// it does not know is passed through Qt's own translations, and left as it is after that.
QString systemErrorText(const QString &text);

} // namespace platform
