// The monthly activity log on the server's share, and the plain diagnostic files in the suite folder.
#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace db {
class Connection;
}
namespace platform {
class Clock;
class Operator;
class WinPaths;
}

namespace core {

inline const QString kLogFolderErrorMessage = QStringLiteral(
    "Erro tentando escrever na pasta Formulix. Verifique se a pasta C:\\FORMULIX está compartilhada.");
inline const QString kLoginSeparatorLine = QStringLiteral("---------------------------------------------");
inline const QString kLoginLine = QStringLiteral("Entrou no módulo de Posicao Atual do Estoque.");
inline const QString kExitLine = QStringLiteral("Saiu do módulo de Posicao Atual do Estoque.");

// "dd/mm/yy-hh:nn", the stamp of every log line and of the header.
QString LogTimestamp(const QDateTime &at);

// A text as one log line: each line break inside it (CR LF, a lone CR or LF, the form feeds and
// the Unicode separators) becomes one blank, so a pasted multi-line text keeps the file's lines whole.
QString OneLogLine(const QString &text);

struct ChainPoint;

// Every line written also gets its hash in the month's chain file (logchain.h).
class ActivityLog {
public:
    ActivityLog(const platform::Clock &clock, const platform::WinPaths &paths);

    // The central database, where each day's last hash is kept after every line; none: the
    // chain file alone.
    void setAnchorDatabase(db::Connection *central) { m_anchors = central; }

    // Fixes this run's file (month of now), creates it with its header when it does not exist
    // and writes the two login lines. False, after showing the folder message, when the file
    // cannot be created; the caller then closes the main window.
    bool OpenActivityLog(const QString &serverAddress, const QString &userName, platform::Operator &op);

    // Appends one stamped line (its line breaks as blanks). Whatever goes wrong, the line is lost
    // and nothing is raised.
    void WriteActivityLine(const QString &user, const QString &text) noexcept;

    // The Windows path of this run's file; empty until OpenActivityLog.
    QString path() const { return m_path; }

private:
    void keepAnchor(const ChainPoint &point) noexcept;

    const platform::Clock &m_clock;
    const platform::WinPaths &m_paths;
    QString m_path;
    db::Connection *m_anchors = nullptr;
    bool m_anchorsOn = true;   // off for the run once the central table is found missing
};

// Replaces the file at a Windows path with the given lines (Windows-1252, CR LF after each).
// False with the reason in error when the file cannot be written.
bool WriteDiagnosticFile(const platform::WinPaths &paths, const QString &windowsPath, const QStringList &lines,
                         QString *error = nullptr);

} // namespace core
