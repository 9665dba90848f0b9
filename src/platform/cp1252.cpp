// Windows-1252 conversion through Qt's converters, and the ASCII-only case mapping.
#include "cp1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

namespace {
// Opening a converter looks the code page up by name each time, which costs far more than
// converting a short value: one converter per thread, reset before each use.
QStringEncoder &encoder1252()
{
    thread_local QStringEncoder encoder("windows-1252");
    encoder.resetState();
    return encoder;
}

QStringDecoder &decoder1252()
{
    thread_local QStringDecoder decoder("windows-1252");
    decoder.resetState();
    return decoder;
}
} // namespace

QByteArray toCp1252(const QString &text)
{
    QStringEncoder &encoder = encoder1252();
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;
    // A character the code page lacks becomes "?", as Windows writes it, not the SUB control
    // the converter puts there (it would end up inside log lines, CSV files and table rows).
    bytes.clear();
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder one("windows-1252");
        const QByteArray piece = one.encode(QStringView(text).mid(i, length));
        bytes += one.hasError() ? QByteArray("?") : piece;
        i += length - 1;
    }
    return bytes;
}

QString fromCp1252(const QByteArray &bytes)
{
    return decoder1252().decode(bytes);
}

QString fromCp1252(const char *data, int size)
{
    return decoder1252().decode(QByteArrayView(data, size));
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
