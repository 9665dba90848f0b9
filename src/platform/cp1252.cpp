#include "cp1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

QByteArray toCp1252(const QString &text)
{
    QStringEncoder encoder("windows-1252");
    return encoder.encode(text);
}

QString fromCp1252(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1252");
    return decoder.decode(bytes);
}

QString fromCp1252(const char *data, int size)
{
    QStringDecoder decoder("windows-1252");
    return decoder.decode(QByteArrayView(data, size));
}

QString asciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const ushort u = c.unicode();
        if (u >= 'a' && u <= 'z')
            c = QChar(u - 32);
    }
    return out;
}

QString asciiLower(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const ushort u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            c = QChar(u + 32);
    }
    return out;
}

} // namespace platform
