// The activity log read back line by line.
#include "historylog.h"

#include "platform/cp1252.h"

#include <QLocale>

#include <algorithm>
#include <cstring>
#include <limits>

namespace exports {

namespace {
constexpr qint64 kBlockLines = 256;
constexpr size_t kCachedBlocks = 32;
constexpr qint64 kReadChunk = 1 << 20;
}

QString CutLineMark(qint64 lineBytes)
{
    return QStringLiteral(" \u2026 [linha cortada: ") + QLocale(QLocale::Portuguese, QLocale::Brazil).toString(lineBytes)
           + QStringLiteral(" caracteres]");
}

QString ShownLine(const char *bytes, qint64 size, qint64 lineBytes)
{
    const bool cut = lineBytes > kShownLineLength;
    QString text = platform::fromCp1252(bytes, int(std::min<qint64>(size, kShownLineLength)));
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t')
            c = QChar(char16_t(0x2400 + u));
        else if (u == 0x7f)
            c = QChar(char16_t(0x2421));
    }
    if (cut)
        text += CutLineMark(lineBytes);
    return text;
}

bool IsWholeNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    const QString rest = text.mid(i);
    qsizetype d = 0;
    if (d < rest.size() && (rest.at(d) == QLatin1Char('+') || rest.at(d) == QLatin1Char('-')))
        ++d;
    if (d >= rest.size())
        return false;
    for (; d < rest.size(); ++d)
        if (rest.at(d) < QLatin1Char('0') || rest.at(d) > QLatin1Char('9'))
            return false;
    bool ok = false;
    rest.toInt(&ok, 10);
    return ok;
}

QString HistoryFileName(const QString &monthText, const QString &yearText)
{
    return QStringLiteral("LOGESTOQ_20") + yearText.left(2) + QLatin1Char('-') + monthText.left(2);
}

QString HistoryFilePath(const QString &serverAddress, const QString &fileName)
{
    return QStringLiteral("\\\\") + serverAddress + QStringLiteral("\\Formulix\\LOG\\") + fileName
        + QStringLiteral(".TXT");
}

namespace {

// Reads the bytes from..to of the file a chunk at a time and calls lineEnd(end, next) for every
// line end found: `end` where the line's text stops, `next` where the next line starts. A line
// ends with CR LF, a lone LF or a lone CR. False when the file cannot be read.
template <typename F>
bool scanLineEnds(QFile &file, qint64 from, qint64 to, F &&lineEnd)
{
    if (from >= to)
        return true;
    if (!file.seek(from))
        return false;
    QByteArray buffer(int(std::min(to - from, kReadChunk)), Qt::Uninitialized);
    qint64 pos = from;       // file offset of buffer[0]
    bool pendingCr = false;  // the previous chunk ended in CR: a LF at the start belongs to it
    while (pos < to) {
        const qint64 got = file.read(buffer.data(), std::min(kReadChunk, to - pos));
        if (got <= 0)
            return false;
        const char *p = buffer.constData();
        qint64 i = 0;
        if (pendingCr) {
            pendingCr = false;
            if (p[0] == '\n')
                i = 1;
            lineEnd(pos - 1, pos + i);
        }
        // Both line-end bytes are found with memchr, which skips the text between them fast.
        const char *lf = static_cast<const char *>(std::memchr(p + i, '\n', size_t(got - i)));
        const char *cr = static_cast<const char *>(std::memchr(p + i, '\r', size_t(got - i)));
        while (lf || cr) {
            const char *hit = !cr || (lf && lf < cr) ? lf : cr;
            i = hit - p;
            const qint64 end = pos + i;
            if (*hit == '\r') {
                if (i + 1 < got) {
                    if (p[i + 1] == '\n')
                        ++i;
                } else if (pos + got < to) {
                    pendingCr = true;
                    break;
                }
            }
            lineEnd(end, pos + i + 1);
            const char *next = p + i + 1;
            const size_t left = size_t(got - i - 1);
            if (lf && lf < next)
                lf = left ? static_cast<const char *>(std::memchr(next, '\n', left)) : nullptr;
            if (cr && cr < next)
                cr = left ? static_cast<const char *>(std::memchr(next, '\r', left)) : nullptr;
        }
        pos += got;
    }
    return true;
}

} // namespace

bool LineIndexedFile::open(const QString &localPath)
{
    close();
    QFile file(localPath);
    if (localPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    // What other workstations append after this moment is not part of this reading.
    const qint64 size = file.size();
    qint64 lines = 0;
    qint64 lineBegin = 0;
    m_blockStarts.push_back(0);
    auto lineEnd = [&](qint64 end, qint64 next) {
        m_longest = int(std::min<qint64>(std::max<qint64>(m_longest, end - lineBegin), std::numeric_limits<int>::max()));
        lineBegin = next;
        if (++lines % kBlockLines == 0)
            m_blockStarts.push_back(next);
    };
    if (!scanLineEnds(file, 0, size, lineEnd)) {
        close();
        return false;
    }
    if (lineBegin < size)
        lineEnd(size, size);   // the last line has no line end
    if (lines % kBlockLines != 0)
        m_blockStarts.push_back(size);
    m_blockStarts.shrink_to_fit();
    m_lineCount = lines;
    m_size = size;
    m_path = localPath;
    m_open = true;
    return true;
}

void LineIndexedFile::close()
{
    m_open = false;
    m_path.clear();
    m_size = 0;
    m_lineCount = 0;
    m_longest = 0;
    std::vector<qint64>().swap(m_blockStarts);
    m_blocks.clear();
}

LineIndexedFile::LineSpans LineIndexedFile::spans(qint64 firstLine, QFile &file) const
{
    LineSpans out;
    const size_t k = size_t(firstLine / kBlockLines);
    const qint64 from = m_blockStarts[k], to = m_blockStarts[k + 1];
    const qint64 count = std::min(firstLine + kBlockLines, m_lineCount) - firstLine;
    out.starts.push_back(from);
    scanLineEnds(file, from, to, [&out](qint64 end, qint64 next) {
        out.ends.push_back(end);
        out.starts.push_back(next);
    });
    // The file's last line may have no line end; a file cut short since it was opened shows
    // its missing lines empty.
    while (qint64(out.ends.size()) < count) {
        out.ends.push_back(std::max(out.starts.back(), to));
        out.starts.push_back(out.ends.back());
    }
    return out;
}

const LineIndexedFile::Block &LineIndexedFile::block(qint64 firstLine) const
{
    for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it) {
        if (it->first == firstLine) {
            m_blocks.splice(m_blocks.begin(), m_blocks, it);
            return m_blocks.front();
        }
    }
    Block b;
    b.first = firstLine;
    const qint64 count = std::min(firstLine + kBlockLines, m_lineCount) - firstLine;
    QFile file(m_path);
    const bool readable = file.open(QIODevice::ReadOnly);
    const LineSpans lines = readable ? spans(firstLine, file) : LineSpans{};
    // A block of ordinary lines is read at once; one holding a line too long to show is read a
    // shown line's worth per line, so no line is ever read whole.
    const size_t k = size_t(firstLine / kBlockLines);
    const qint64 from = m_blockStarts[k], to = m_blockStarts[k + 1];
    const bool atOnce = to - from <= count * (kShownLineLength + 2);
    QByteArray bytes;
    if (readable && atOnce && file.seek(from))
        bytes = file.read(to - from);
    b.lines.reserve(count);
    for (qint64 l = 0; l < count && readable; ++l) {
        const qint64 start = lines.starts[size_t(l)], length = lines.ends[size_t(l)] - start;
        const qint64 wanted = std::min<qint64>(length, kShownLineLength);
        QByteArray piece;
        if (atOnce)
            piece = QByteArray::fromRawData(bytes.constData() + std::min<qint64>(start - from, bytes.size()),
                                            int(std::clamp<qint64>(bytes.size() - (start - from), 0, wanted)));
        else if (file.seek(start))
            piece = file.read(wanted);
        b.lines << ShownLine(piece.constData(), piece.size(), length);
    }
    m_blocks.push_front(std::move(b));
    if (m_blocks.size() > kCachedBlocks)
        m_blocks.pop_back();
    return m_blocks.front();
}

QString LineIndexedFile::line(qint64 index) const
{
    if (!m_open || index < 0 || index >= m_lineCount)
        return {};
    const qint64 first = index - index % kBlockLines;
    return block(first).lines.value(int(index - first));
}

QByteArray LineIndexedFile::lineBytes(qint64 index) const
{
    if (!m_open || index < 0 || index >= m_lineCount)
        return {};
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 first = index - index % kBlockLines;
    const LineSpans lines = spans(first, file);
    const qint64 start = lines.starts[size_t(index - first)];
    if (!file.seek(start))
        return {};
    return file.read(lines.ends[size_t(index - first)] - start);
}

size_t LineIndexedFile::memoryUsed() const
{
    size_t total = m_blockStarts.capacity() * sizeof(qint64);
    for (const Block &b : m_blocks)
        for (const QString &s : b.lines)
            total += size_t(s.capacity()) * sizeof(QChar) + sizeof(QString);
    return total;
}

} // namespace exports
