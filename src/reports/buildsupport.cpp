#include "buildsupport.h"
#include "platform/systemerror.h"

#include "core/runstate.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/winpath.h"

#include <QFile>
#include <stdexcept>

namespace reports {

BuildFrame::~BuildFrame()
{
    for (BuildProgress::Wait which : {BuildProgress::Wait::Finalizing, BuildProgress::Wait::Waiting})
        hideWait(which);
    if (!m_finished)
        m_progress.end();
    stopWorking();
}

void BuildFrame::showWait(BuildProgress::Wait which)
{
    m_shown[int(which)] = true;
    m_progress.showWait(which);
}

void BuildFrame::hideWait(BuildProgress::Wait which)
{
    if (!m_shown[int(which)])
        return;
    m_shown[int(which)] = false;
    m_progress.hideWait(which);
}

DiagnosticLog::DiagnosticLog(const platform::WinPaths &paths) : m_paths(paths) {}

bool DiagnosticLog::detailed() const
{
    const QString local = m_paths.toLocal(kDiagnosticMarkerPath);
    return !local.isEmpty() && QFile::exists(local);
}

namespace {

void writeLines(const platform::WinPaths &paths, const QStringList &lines, QIODevice::OpenMode mode)
{
    const QString local = paths.toLocal(kDiagnosticLogPath);
    QFile file(local);
    if (local.isEmpty() || !file.open(mode)) {
        throw platform::Error(QStringLiteral("Não foi possível gravar o arquivo ") + kDiagnosticLogPath
                              + (local.isEmpty() ? QString() : QStringLiteral(": ") + platform::systemErrorText(file.errorString())));
    }
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += platform::toCp1252(line) + "\r\n";
    file.write(bytes);
    file.close();   // a failure to close is ignored
}

} // namespace

void DiagnosticLog::create()
{
    writeLines(m_paths, {kDiagnosticHeader}, QIODevice::WriteOnly | QIODevice::Truncate);
}

void DiagnosticLog::append(const QStringList &lines)
{
    if (!lines.isEmpty())
        writeLines(m_paths, lines, QIODevice::WriteOnly | QIODevice::Append);
}

void DiagnosticLog::createMarker()
{
    if (detailed())
        return;
    const QString local = m_paths.toLocal(kDiagnosticMarkerPath);
    QFile file(local);
    if (local.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw platform::Error(QStringLiteral("Não foi possível gravar o arquivo ") + kDiagnosticMarkerPath);
    }
    file.write("-----------------------\r\n");
    file.close();
}

QString StagingTableErrorMessage(const QString &userName, const QString &workstationCode)
{
    return QStringLiteral("Erro ao tentar acessar a tabela RELESTLOTE no banco de dados do usuário ") + userName
           + QStringLiteral(" (em Interfac") + workstationCode + QStringLiteral(").")
           + QStringLiteral("\rFavor entrar em contato com o suporte técnico da QUR Sistemas para corrigir o problema.")
           + QStringLiteral("\rSugestão ao suporte técnico: Copie o FORMULIX.BD da pasta Interfac para a pasta Interfac")
           + workstationCode + QStringLiteral(".");
}

QString StoreHeaderStatement(const QString &storeCnpj)
{
    return QStringLiteral("Select ") + core::kStoreDataColumnList + QStringLiteral(" from DADOSGER where CNPJ = '")
           + db::escapeQuotes(storeCnpj) + QStringLiteral("'");
}

} // namespace reports
