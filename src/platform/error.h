// The program's own failures and the one way they are put to the operator.
#pragma once
#include <QString>
#include <exception>
#include <stdexcept>

namespace platform {

// Every failure the program raises itself carries its text as a QString, so an accented message
// reads the same whatever the machine's locale; what() holds the same text in UTF-8, for
// diagnostics only. A failure that tells the operator more than its own text (what failed and
// what to do, then an engine's words) says so in operatorText().
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    const QString &message() const { return m_message; }
    virtual QString operatorText() const { return m_message; }

private:
    QString m_message;
};

// Said first for a failure inside the program itself (memory, a broken assumption): the
// library's text comes after it.
inline const QString kInternalErrorMessage = QStringLiteral(
    "O programa não conseguiu concluir a operação por um erro interno. Repita a operação; se o erro continuar, "
    "avise o suporte técnico e informe a mensagem técnica abaixo.");
// Said for something thrown that is no exception at all.
inline const QString kUnknownErrorMessage = QStringLiteral("Erro desconhecido.");

// What the operator reads for a failure: ours as its operatorText(); a runtime failure of a
// library as its own text; any other exception (memory, a broken assumption) as an internal
// error, with the library's text after our words.
QString OperatorText(const std::exception &e);
// The same for the exception being handled; call it from a catch block. Anything thrown that is
// no std::exception gives kUnknownErrorMessage.
QString CurrentErrorText();

} // namespace platform
