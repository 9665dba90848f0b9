// The month's activity log read back: where it is, and a line index over the file so that a log of
// hundreds of megabytes opens at once and only the lines on screen are ever decoded.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <list>
#include <vector>

namespace platform {
class WinPaths;
}

namespace exports {

inline const QString kHistoryBadMonthMessage =
    QStringLiteral("Erro na mês informado!\rFavor corrigir antes de continuar.");
inline const QString kHistoryNotFoundMessage = QStringLiteral("Histórico não encontrado.");

// A whole number as the month and year boxes accept it: optional blanks before, an optional sign,
// decimal digits, within 32 bits.
bool IsWholeNumber(const QString &text);

// "LOGESTOQ_20" + the first two characters of the year + "-" + the first two of the month.
QString HistoryFileName(const QString &monthText, const QString &yearText);
// "\\" + server + "\Formulix\LOG\" + name + ".TXT".
QString HistoryFilePath(const QString &serverAddress, const QString &fileName);

// A line longer than this many characters is shown cut, followed by CutLineMark: it is never
// read, decoded or laid out whole, so one line of many megabytes costs no more than a screenful.
inline constexpr int kShownLineLength = 2000;
// What follows a cut line: its whole length.
QString CutLineMark(qint64 lineBytes);
// A line's first bytes as the viewer shows them: decoded from Windows-1252, NUL and the other
// control characters (tab excepted) as their visible pictures (NUL as U+2400), cut at
// kShownLineLength with the mark when the whole line (`lineBytes` long) is longer.
QString ShownLine(const char *bytes, qint64 size, qint64 lineBytes);

// A text file indexed by line, read up to the size it had when opened. The file is opened for
// reading only and closed between reads, so the workstations appending to it never find it busy.
// Lines end with CR LF, a lone LF or a lone CR; a line end at the very end makes no empty line.
class LineIndexedFile {
public:
    LineIndexedFile() = default;
    // False when the file cannot be opened or read (then the index is empty).
    bool open(const QString &localPath);
    void close();

    bool isOpen() const { return m_open; }
    qint64 size() const { return m_size; }
    qint64 lineCount() const { return m_lineCount; }
    int longestLine() const { return m_longest; }   // in bytes, line end excluded

    // One line as ShownLine gives it; empty past the end.
    QString line(qint64 index) const;
    // The raw bytes of one line (line end excluded).
    QByteArray lineBytes(qint64 index) const;
    // Bytes held by the index and the cache of decoded blocks.
    size_t memoryUsed() const;

private:
    struct Block {
        qint64 first = 0;
        QStringList lines;
    };
    const Block &block(qint64 firstLine) const;
    // Where each line of the block from `firstLine` starts and where its text ends (its line end
    // excluded), found by reading the block's bytes again.
    struct LineSpans {
        std::vector<qint64> starts, ends;
    };
    LineSpans spans(qint64 firstLine, QFile &file) const;

    QString m_path;
    bool m_open = false;
    qint64 m_size = 0;
    qint64 m_lineCount = 0;
    int m_longest = 0;
    // Where every block of lines starts, and one past the end of the last: the lines inside a
    // block are found again when it is shown, so the index stays small however short the lines.
    std::vector<qint64> m_blockStarts;
    mutable std::list<Block> m_blocks;   // most recently used first
};

} // namespace exports
