// Password and user-name scrambling shared with the rest of the suite, and the check of a user.
#include "usercheck.h"

#include "db/connection.h"
#include "platform/cp1252.h"

#include <QByteArray>

namespace common {

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

bool HasStockRights(const QString &acesso, const QString &user)
{
    const QByteArray rights = platform::toCp1252(acesso);
    const QByteArray name = platform::toCp1252(user);
    if (rights.size() < 8 || name.isEmpty())
        return false;
    const unsigned eighth = static_cast<unsigned char>(rights.at(7));
    const unsigned first = static_cast<unsigned char>(name.at(0));
    return ((eighth - 9u) & 0xFFu) == first;
}

UserCheck CheckUser(db::Connection &central, const QString &name, const QString &password)
{
    if (name.isEmpty())
        return UserCheck::EmptyName;
    const QString upper = platform::asciiUpper(name);
    const db::Rows rows = central.query(QStringLiteral("select SENHA, ACESSO from USUARIOS where USUARIO = ?"),
                                        {db::Value::text(ScrambleText(upper))});
    if (rows.rows.empty())
        return UserCheck::NotFound;
    // The first row found, as the login's locate finds it.
    const auto &r = rows.rows.front();
    if (ScrambleText(platform::asciiUpper(password)) != (r[0].isNull() ? QString() : r[0].toString()))
        return UserCheck::WrongPassword;
    if (!HasStockRights(r[1].isNull() ? QString() : r[1].toString(), upper))
        return UserCheck::NoRights;
    return UserCheck::Admitted;
}

} // namespace common
