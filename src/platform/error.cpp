#include "error.h"

namespace platform {

Error::Error(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}

QString OperatorText(const std::exception &e)
{
    if (const auto *ours = dynamic_cast<const Error *>(&e))
        return ours->operatorText();
    // A library's text: its bytes are UTF-8 (the standard library's own texts are plain ASCII).
    const QString text = QString::fromUtf8(e.what());
    if (dynamic_cast<const std::runtime_error *>(&e))
        return text;
    return kInternalErrorMessage + QStringLiteral("\n\n") + text;
}

QString CurrentErrorText()
{
    try {
        throw;
    } catch (const std::exception &e) {
        return OperatorText(e);
    } catch (...) {
        return kUnknownErrorMessage;
    }
}

} // namespace platform
