// Password and user-name scrambling shared with the rest of the suite.
#include "uchkprot.h"

#include "platform/cp1252.h"

#include <QByteArray>

namespace users {

QString ScrambleText(const QString &text)
{
    const QByteArray in = platform::toCp1252(text);
    const int n = int(in.size());
    QString out;
    out.reserve(2 * n);
    // Rotating the bit string left by three makes byte j of the rotated string the low five bits
    // of byte j followed by the high three bits of byte j + 1 (the last byte borrows from the first).
    // Regrouping from the right-hand end emits those rotated bytes last to first.
    for (int k = 0; k < n; ++k) {
        const int j = n - 1 - k;
        const auto cur = static_cast<unsigned char>(in[j]);
        const auto next = static_cast<unsigned char>(in[(j + 1) % n]);
        const unsigned byte = ((unsigned(cur) << 3) | (unsigned(next) >> 5)) & 0xFFu;
        out += QChar(char16_t(u'A' + (byte >> 4)));
        out += QChar(char16_t(u'A' + (byte & 0x0Fu)));
    }
    return out;
}

} // namespace users
