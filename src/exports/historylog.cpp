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

bool LineIndexedFile::open(const QString &localPath)
{
    close();
    QFile file(localPath);
    if (localPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    // What other workstations append after this moment is not part of this reading.
    const qint64 size = file.size();
    const bool wide = size > qint64(std::numeric_limits<uint32_t>::max());
    auto push = [&](qint64 offset) {
        if (wide)
            m_starts64.push_back(offset);
        else
            m_starts32.push_back(uint32_t(offset));
    };

    QByteArray buffer(int(std::min(size, kReadChunk)) + 1, Qt::Uninitialized);
    qint64 pos = 0;          // file offset of buffer[0]
    qint64 lineBegin = 0;
    bool pendingCr = false;  // the previous chunk ended in CR: a LF at the start belongs to it
    push(0);
    while (pos < size) {
        const qint64 want = std::min(kReadChunk, size - pos);
        const qint64 got = file.read(buffer.data(), want);
        if (got <= 0) {
            close();
            return false;
        }
        const char *p = buffer.constData();
        qint64 i = 0;
        if (pendingCr) {
            pendingCr = false;
            if (p[0] == '\n') {
                i = 1;
                lineBegin = pos + 1;
                if (wide) m_starts64.back() = lineBegin; else m_starts32.back() = uint32_t(lineBegin);
            }
        }
        // Both line-end bytes are found with memchr, which skips the text between them fast.
        const char *lf = static_cast<const char *>(std::memchr(p + i, '\n', size_t(got - i)));
        const char *cr = static_cast<const char *>(std::memchr(p + i, '\r', size_t(got - i)));
        while (lf || cr) {
            const char *hit = !cr || (lf && lf < cr) ? lf : cr;
            i = hit - p;
            const qint64 end = pos + i;
            m_longest = int(std::min<qint64>(std::max<qint64>(m_longest, end - lineBegin), std::numeric_limits<int>::max()));
            if (*hit == '\r') {
                if (i + 1 < got) {
                    if (p[i + 1] == '\n')
                        ++i;
                } else if (pos + got < size) {
                    pendingCr = true;
                }
            }
            lineBegin = pos + i + 1;
            push(lineBegin);
            const char *from = p + i + 1;
            const size_t left = size_t(got - i - 1);
            if (lf && lf < from)
                lf = left ? static_cast<const char *>(std::memchr(from, '\n', left)) : nullptr;
            if (cr && cr < from)
                cr = left ? static_cast<const char *>(std::memchr(from, '\r', left)) : nullptr;
        }
        pos += got;
    }
    if (lineBegin < size) {
        m_longest = int(std::min<qint64>(std::max<qint64>(m_longest, size - lineBegin), std::numeric_limits<int>::max()));
        push(size);
    }
    m_starts32.shrink_to_fit();
    m_starts64.shrink_to_fit();
    m_lineCount = qint64(wide ? m_starts64.size() : m_starts32.size()) - 1;
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
    std::vector<uint32_t>().swap(m_starts32);
    std::vector<qint64>().swap(m_starts64);
    m_blocks.clear();
}

qint64 LineIndexedFile::lineStart(qint64 index) const
{
    return m_starts64.empty() ? qint64(m_starts32[size_t(index)]) : m_starts64[size_t(index)];
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
    const qint64 last = std::min(firstLine + kBlockLines, m_lineCount);
    const qint64 from = lineStart(firstLine);
    const qint64 to = lineStart(last);
    QFile file(m_path);
    const bool readable = file.open(QIODevice::ReadOnly);
    // A block of ordinary lines is read at once; one holding a line too long to show is read a
    // shown line's worth per line, so no line is ever read whole.
    const qint64 perLine = kShownLineLength + 2;   // what is shown, and a CR LF after it
    const bool atOnce = to - from <= (last - firstLine) * perLine;
    QByteArray bytes;
    if (readable && atOnce && file.seek(from))
        bytes = file.read(to - from);
    b.lines.reserve(last - firstLine);
    for (qint64 l = firstLine; l < last; ++l) {
        const qint64 start = lineStart(l), next = lineStart(l + 1);
        QByteArray piece;
        const char *data = nullptr;
        qint64 got = 0;
        if (atOnce) {
            const qint64 a = std::min<qint64>(start - from, bytes.size());
            got = std::min<qint64>(next - from, bytes.size()) - a;
            data = bytes.constData() + a;
        } else if (readable && file.seek(start)) {
            piece = file.read(std::min(next - start, perLine));
            got = piece.size();
            data = piece.constData();
        }
        // The line without its end: known from the bytes read when they reach it, otherwise from
        // the last two bytes before the next line.
        qint64 length = next - start;
        if (got == next - start) {
            while (got > 0 && (data[got - 1] == '\n' || data[got - 1] == '\r'))
                --got;
            length = got;
        } else if (readable && next - start >= 2 && file.seek(next - 2)) {
            const QByteArray end = file.read(2);
            for (int i = end.size() - 1; i >= 0 && (end[i] == '\n' || end[i] == '\r'); --i)
                --length;
        }
        b.lines << ShownLine(data, got, length);
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
    const qint64 from = lineStart(index);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(from))
        return {};
    QByteArray bytes = file.read(lineStart(index + 1) - from);
    while (!bytes.isEmpty() && (bytes.endsWith('\n') || bytes.endsWith('\r')))
        bytes.chop(1);
    return bytes;
}

size_t LineIndexedFile::memoryUsed() const
{
    size_t total = m_starts32.capacity() * sizeof(uint32_t) + m_starts64.capacity() * sizeof(qint64);
    for (const Block &b : m_blocks)
        for (const QString &s : b.lines)
            total += size_t(s.capacity()) * sizeof(QChar) + sizeof(QString);
    return total;
}

} // namespace exports
