// The suite's scrambling of user names and passwords, as they are stored in USUARIOS.
#pragma once
#include <QString>

namespace users {

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

} // namespace users
