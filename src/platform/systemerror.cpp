// The common failures of files, said in Portuguese.
#include "systemerror.h"

#include <QCoreApplication>
#include <utility>

namespace platform {

QString systemErrorText(const QString &text)
{
    static const std::pair<const char *, const char *> known[] = {
        {"Permission denied", "Permissão negada"},
        {"No such file or directory", "Arquivo ou pasta não encontrado"},
        {"No space left on device", "Não há espaço livre no disco"},
        {"Is a directory", "É uma pasta"},
        {"Not a directory", "Não é uma pasta"},
        {"Read-only file system", "Disco somente para leitura"},
        {"Too many open files", "Arquivos abertos demais"},
        {"File exists", "O arquivo já existe"},
        {"Operation not permitted", "Operação não permitida"},
        {"Input/output error", "Erro de leitura ou gravação"},
    };
    const QString trimmed = text.trimmed();
    for (const auto &[english, portuguese] : known)
        if (trimmed.compare(QLatin1String(english), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(portuguese);
    return QCoreApplication::translate("QIODevice", trimmed.toUtf8().constData());
}

} // namespace platform
