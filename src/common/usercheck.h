// Who a user is: the suite's scrambling of user names and passwords as USUARIOS stores them, the
// rights test of the stock module, and the check of a typed name and password against the table.
// The login uses the first two; a second user's approval (the stocktake's controlled differences)
// uses the whole check, so both accept and refuse exactly the same people.
#pragma once
#include <QString>

namespace db {
class Connection;
}

namespace common {

// Each character's Windows-1252 byte as eight bits, the whole bit string rotated left by three,
// cut into bytes again from the right-hand end (so the byte order comes out reversed), each
// byte written as two letters A..P. n characters give 2n letters: "A" -> "AK", "ABC" -> "BKBCAK".
//
// The suite defines the routine for up to 31 characters. Longer texts are scrambled by the same
// rule over their whole length: the rule is a bijection for every length, so the result differs
// from the result of every other text, and its 64 or more letters cannot be held by USUARIO
// (30) or SENHA (12), so such an input never matches a stored user. Cutting the text, or
// returning a fixed marker, would make different inputs equal; an empty result would equal the
// scrambling of an empty text.
//
// Characters without a Windows-1252 byte are taken as the encoder's replacement byte, so two
// texts that differ only in such characters scramble alike; stored names are Windows-1252.
QString ScrambleText(const QString &text);

// The rights string admits the user when its eighth character's code, less 9 (mod 256), is the
// code of the user's first character (Windows-1252 codes).
bool HasStockRights(const QString &acesso, const QString &user);

enum class UserCheck { Admitted, EmptyName, NotFound, WrongPassword, NoRights };

// The login's check of a name and password (both taken in ASCII upper case, as typed at the
// login) against USUARIOS, in one statement: the user's row by its scrambled name, its password,
// then the rights test. Throws db::DbError when the table cannot be read.
UserCheck CheckUser(db::Connection &central, const QString &name, const QString &password);

} // namespace common
