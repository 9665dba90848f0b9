// The chain beside each month's activity log that shows any change made to the log afterwards:
// for every line, a hash over the previous line's hash and the line itself, written with the
// line; each day's last hash is also kept in the central database.
#pragma once
#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>
#include <vector>

namespace db {
class Connection;
}

namespace core {

// The central database's table of each day's last hash (one row per log file and day).
inline const QString kChainAnchorTable = QStringLiteral("LOGCADEIA");

// One entry of the chain file: 64 lower-case hex digits and CR LF.
inline constexpr int kChainEntrySize = 66;

// The chain file of a log: the log's path (Windows or local) with ".HASH" in place of ".TXT".
QString ChainFilePath(const QString &logPath);

// SHA-256 over the previous line's hash (32 zero bytes before the first line) and the line's
// bytes as the file holds them, its line end included.
QByteArray ChainHash(const QByteArray &previous, const char *line, qsizetype size);
QByteArray ChainStart();

// Where the chain stands after the last line written: lines chained and the last hash.
struct ChainPoint {
    qint64 lines = 0;
    QByteArray hash;
};

// Appends `bytes` (whole lines, each ending in LF) to the log at `logLocalPath`, open as `logFd`
// and held locked by the caller, and their hashes to the chain file, created when missing. A chain still empty
// first takes in the lines the log already holds (its header, or the lines of a month begun
// before the chain existed) as they stand. False, with nothing written to the log, when the log
// write fails; a chain that cannot be written leaves the line written and unchained (the check
// names it).
bool AppendChained(int logFd, const QString &logLocalPath, const QString &chainLocalPath, const QByteArray &bytes, ChainPoint *after);

// A day's last point as the central database keeps it.
struct ChainAnchor {
    QDate day;
    qint64 lines = 0;
    QByteArray hash;   // 32 bytes
};

// The file name a log's anchors are kept under: its name without the folder, in upper case.
QString ChainAnchorName(const QString &logPath);

// Keeps `point` as the day's last for the file, unless a longer one is kept already. Throws
// db::DbError; a missing table is told by ChainAnchorsMissing.
void StoreChainAnchor(db::Connection &central, const QString &fileName, const QDate &day, const ChainPoint &point);
// The file's anchors by day; nothing when the central database has no such table.
std::optional<std::vector<ChainAnchor>> ReadChainAnchors(db::Connection &central, const QString &fileName);
// True when the error says the anchor table does not exist.
bool ChainAnchorsMissing(const std::exception &error);

// What the check found first.
enum class Tamper {
    None,          // every line as written
    NoChain,       // no chain file: nothing can be checked
    ChainDamaged,  // the chain file itself was cut or edited at `line`
    Edited,        // line `line` changed
    Removed,       // the line that was `line` is gone
    Inserted,      // line `line` was not written by the program
    Reordered,     // lines `line` and `line` + 1 swapped
    Differs,       // from line `line` on, more than one change
    Unchained,     // `extra` lines at the end (from `line`) that the chain does not hold
    CutShort,      // the log ends at `line` - 1; the chain holds `expected` lines
    AnchorCut,     // the log ends before the `expected` lines kept for `day`
    AnchorDiffers, // the lines up to `expected` are not those kept for `day` (log and chain rewritten)
};

struct ChainCheck {
    Tamper kind = Tamper::None;
    qint64 line = 0;       // 1-based, as the viewer numbers the lines
    qint64 lines = 0;      // lines in the log
    qint64 expected = 0;
    qint64 extra = 0;
    QDate day;
    bool anchorsChecked = false;   // anchors were given (the central table exists)
    int anchorDays = 0;
};

// Checks the log against its chain and, when given, the central anchors of the file.
ChainCheck VerifyChain(const QString &logLocalPath, const QString &chainLocalPath,
                       const std::vector<ChainAnchor> *anchors);

// What the operator reads: the finding first, then what the central database added or could not
// (`anchorsProblem`: why it could not be read, when it could not).
QString ChainCheckMessage(const ChainCheck &check, const QString &chainFileName, const QString &anchorsProblem = {});
// True when the check found the log changed (or its chain), not merely unchecked.
bool ChainTampered(const ChainCheck &check);

} // namespace core
