// The activity log's chain: written with each line under the log's lock, checked line by line.
#include "logchain.h"

#include "db/connection.h"
#include "db/dberror.h"

#include <openssl/evp.h>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

constexpr int kHashSize = 32;
constexpr qint64 kReadBlock = 4 << 20;
// isc_dsql_relation_err: "Table unknown".
constexpr intptr_t kUnknownTable = 335544580;

const char kHex[] = "0123456789abcdef";

// SHA-256 through the system's crypto library, which uses the processor's hashing instructions
// where it has them: a month of a million lines checks in a fraction of a second.
class Sha256 {
public:
    Sha256() : m_md(EVP_MD_fetch(nullptr, "SHA256", nullptr)), m_ctx(EVP_MD_CTX_new()) {}
    ~Sha256()
    {
        EVP_MD_CTX_free(m_ctx);
        EVP_MD_free(m_md);
    }
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;
    // The hash of `previous` (32 bytes) followed by `line`, into `out` (32 bytes).
    void hash(const char *previous, const char *line, size_t size, char *out)
    {
        unsigned int length = 0;
        if (!m_md || !m_ctx || !EVP_DigestInit_ex2(m_ctx, m_md, nullptr)
            || !EVP_DigestUpdate(m_ctx, previous, kHashSize) || !EVP_DigestUpdate(m_ctx, line, size)
            || !EVP_DigestFinal_ex(m_ctx, reinterpret_cast<unsigned char *>(out), &length))
            throw std::runtime_error("SHA-256 unavailable");
    }

private:
    EVP_MD *m_md;
    EVP_MD_CTX *m_ctx;
};

void toHex(const char *hash, char *out)
{
    for (int i = 0; i < kHashSize; ++i) {
        const auto b = static_cast<unsigned char>(hash[i]);
        out[2 * i] = kHex[b >> 4];
        out[2 * i + 1] = kHex[b & 15];
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The 32 bytes of an entry's 64 hex digits; empty when they are not that.
QByteArray fromHex(const char *hex)
{
    QByteArray out(kHashSize, Qt::Uninitialized);
    for (int i = 0; i < kHashSize; ++i) {
        const int hi = hexDigit(hex[2 * i]), lo = hexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return {};
        out[i] = char(hi << 4 | lo);
    }
    return out;
}

bool writeAllFd(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// The chain file open for reading and writing, made when missing; only a regular file, and its
// open never waits (a FIFO put in its place).
int openChain(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                          0666);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Hashes each line of `data` (the last one may lack its end) onto `point`, adding its entry.
void chainLines(const char *data, qint64 size, ChainPoint &point, QByteArray &entries)
{
    qint64 start = 0;
    char hex[kChainEntrySize] = {};
    hex[64] = '\r';
    hex[65] = '\n';
    while (start < size) {
        const char *nl = static_cast<const char *>(std::memchr(data + start, '\n', size_t(size - start)));
        const qint64 end = nl ? qint64(nl - data) + 1 : size;
        point.hash = ChainHash(point.hash, data + start, end - start);
        toHex(point.hash.constData(), hex);
        entries.append(hex, kChainEntrySize);
        ++point.lines;
        start = end;
    }
}

// The hashing of the check: one context for every line, the previous hash kept in place.
class Hasher {
public:
    Hasher() { m_previous.fill(0); }
    void step(const char *line, qsizetype size)
    {
        char out[kHashSize];
        m_sha.hash(m_previous.data(), line, size_t(size), out);
        std::memcpy(m_previous.data(), out, kHashSize);
    }
    // The hash that `step` would give after `previous`, without moving on.
    QByteArray peek(const char *previous, const QByteArray &line)
    {
        QByteArray out(kHashSize, Qt::Uninitialized);
        m_sha.hash(previous, line.constData(), size_t(line.size()), out.data());
        return out;
    }
    const char *current() const { return m_previous.data(); }
    bool matches(const char *entry) const
    {
        char hex[64];
        toHex(m_previous.data(), hex);
        return std::memcmp(hex, entry, 64) == 0;
    }

private:
    Sha256 m_sha;
    std::array<char, kHashSize> m_previous;
};

// Up to `count` lines (their ends included) from `offset` of a file.
QList<QByteArray> linesAt(const QString &path, qint64 offset, int count)
{
    QList<QByteArray> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
        return out;
    while (out.size() < count && !f.atEnd())
        out << f.readLine();
    return out;
}

QString day(const QDate &d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

QString ChainFilePath(const QString &logPath)
{
    QString path = logPath;
    if (path.endsWith(QStringLiteral(".TXT"), Qt::CaseInsensitive))
        path.chop(4);
    return path + QStringLiteral(".HASH");
}

QByteArray ChainStart()
{
    return QByteArray(kHashSize, '\0');
}

QByteArray ChainHash(const QByteArray &previous, const char *line, qsizetype size)
{
    static thread_local Sha256 sha;
    QByteArray out(kHashSize, Qt::Uninitialized);
    const QByteArray start = previous.size() == kHashSize ? previous : ChainStart();
    sha.hash(start.constData(), line, size_t(size), out.data());
    return out;
}

bool AppendChained(int logFd, const QString &logLocalPath, const QString &chainLocalPath, const QByteArray &bytes, ChainPoint *after)
{
    ChainPoint point;
    point.hash = ChainStart();
    QByteArray entries;
    const int chainFd = chainLocalPath.isEmpty() ? -1 : openChain(chainLocalPath);
    bool chained = chainFd >= 0;
    if (chained) {
        const off_t size = ::lseek(chainFd, 0, SEEK_END);
        const qint64 count = size < 0 ? 0 : qint64(size) / kChainEntrySize;
        if (count == 0) {
            // A chain begun now takes in the lines already there, as they stand (read through a
            // descriptor of its own: the writer's is open for appending only).
            const off_t logSize = ::lseek(logFd, 0, SEEK_END);
            const int readFd = ::open(QFile::encodeName(logLocalPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            chained = readFd >= 0;
            QByteArray block;
            QByteArray carry;
            for (off_t at = 0; chained && at < logSize;) {
                block.resize(qsizetype(std::min<qint64>(kReadBlock, logSize - at)));
                const ssize_t n = ::pread(readFd, block.data(), size_t(block.size()), at);
                if (n <= 0) {
                    chained = false;
                    break;
                }
                at += n;
                carry.append(block.constData(), n);
                const qsizetype lastEnd = carry.lastIndexOf('\n');
                if (lastEnd >= 0) {
                    chainLines(carry.constData(), lastEnd + 1, point, entries);
                    carry.remove(0, lastEnd + 1);
                }
            }
            if (readFd >= 0)
                ::close(readFd);
            if (chained && !carry.isEmpty())
                chainLines(carry.constData(), carry.size(), point, entries);
        } else {
            char hex[64];
            if (::pread(chainFd, hex, sizeof hex, off_t((count - 1) * kChainEntrySize)) == sizeof hex) {
                point.hash = fromHex(hex);
                point.lines = count;
            }
            chained = point.hash.size() == kHashSize;
        }
    }
    chainLines(bytes.constData(), bytes.size(), point, entries);
    if (!writeAllFd(logFd, bytes.constData(), bytes.size())) {
        if (chainFd >= 0)
            ::close(chainFd);
        return false;
    }
    if (chained)
        chained = ::lseek(chainFd, 0, SEEK_END) >= 0 && writeAllFd(chainFd, entries.constData(), entries.size());
    if (chainFd >= 0)
        ::close(chainFd);
    if (after)
        *after = chained ? point : ChainPoint{};
    return true;
}

QString ChainAnchorName(const QString &logPath)
{
    QString name = logPath;
    const qsizetype cut = std::max(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char('/')));
    if (cut >= 0)
        name.remove(0, cut + 1);
    return name.toUpper();
}

void StoreChainAnchor(db::Connection &central, const QString &fileName, const QDate &day, const ChainPoint &point)
{
    char hex[64];
    toHex(point.hash.constData(), hex);
    const db::Value hash = db::Value::text(QString::fromLatin1(hex, 64));
    db::Transaction tx(central);
    // Another workstation may have kept a later line of the same day meanwhile: never go back.
    const uint64_t changed = tx.execute(
        QStringLiteral("update LOGCADEIA set LINHAS = ?, HASH = ? where ARQUIVO = ? and DIA = ? and LINHAS < ?"),
        {db::Value::integer(point.lines), hash, db::Value::text(fileName), db::Value::date(day),
         db::Value::integer(point.lines)});
    if (changed == 0) {
        const db::Rows kept = tx.query(QStringLiteral("select LINHAS from LOGCADEIA where ARQUIVO = ? and DIA = ?"),
                                       {db::Value::text(fileName), db::Value::date(day)});
        if (kept.isEmpty())
            tx.execute(QStringLiteral("insert into LOGCADEIA (ARQUIVO, DIA, LINHAS, HASH) values (?, ?, ?, ?)"),
                       {db::Value::text(fileName), db::Value::date(day), db::Value::integer(point.lines), hash});
    }
    tx.commit();
}

std::optional<std::vector<ChainAnchor>> ReadChainAnchors(db::Connection &central, const QString &fileName)
{
    db::Rows rows;
    try {
        rows = central.query(QStringLiteral("select DIA, LINHAS, HASH from LOGCADEIA where ARQUIVO = ? order by DIA"),
                             {db::Value::text(fileName)});
    } catch (const db::DbError &e) {
        if (ChainAnchorsMissing(e))
            return std::nullopt;
        throw;
    }
    std::vector<ChainAnchor> out;
    for (size_t r = 0; r < rows.rows.size(); ++r) {
        const QByteArray hex = rows.at(r, QStringLiteral("HASH")).toString().toLatin1();
        out.push_back({rows.at(r, QStringLiteral("DIA")).toDate(), rows.at(r, QStringLiteral("LINHAS")).toInt(),
                       hex.size() >= 64 ? fromHex(hex.constData()) : QByteArray()});
    }
    return out;
}

bool ChainAnchorsMissing(const std::exception &error)
{
    const auto *e = dynamic_cast<const db::DbError *>(&error);
    return e && e->hasCode(kUnknownTable);
}

ChainCheck VerifyChain(const QString &logLocalPath, const QString &chainLocalPath,
                       const std::vector<ChainAnchor> *anchors)
{
    ChainCheck check;
    check.anchorsChecked = anchors != nullptr;
    std::vector<ChainAnchor> byLines;
    if (anchors) {
        byLines = *anchors;
        check.anchorDays = int(byLines.size());
        std::sort(byLines.begin(), byLines.end(),
                  [](const ChainAnchor &a, const ChainAnchor &b) { return a.lines < b.lines; });
    }

    QFile chainFile(chainLocalPath);
    if (!QFileInfo(chainLocalPath).isFile() || !chainFile.open(QIODevice::ReadOnly)) {
        check.kind = Tamper::NoChain;
        return check;
    }
    const QByteArray chain = chainFile.readAll();
    chainFile.close();
    const qint64 entries = chain.size() / kChainEntrySize;
    const char *entry = chain.constData();

    QFile log(logLocalPath);
    if (!log.open(QIODevice::ReadOnly)) {
        check.kind = Tamper::NoChain;
        return check;
    }
    Hasher hasher;
    size_t nextAnchor = 0;
    qint64 index = 0;              // lines read
    qint64 offset = 0;             // where the current block's carry starts in the file
    qint64 mismatchAt = -1, mismatchOffset = 0;
    QByteArray carry;
    QByteArray block(qsizetype(kReadBlock), Qt::Uninitialized);
    bool atEnd = false;
    // Each whole line: false to stop.
    const auto line = [&](const char *data, qsizetype size, qint64 start) {
        if (index >= entries) {
            if (index == entries && chain.size() % kChainEntrySize != 0) {
                check.kind = Tamper::ChainDamaged;   // the chain ends inside this line's entry
                check.line = index + 1;
                return false;
            }
            if (check.kind == Tamper::None) {
                check.kind = Tamper::Unchained;
                check.line = index + 1;
            }
            ++check.extra;
            ++index;
            return true;
        }
        const char *e = entry + index * kChainEntrySize;
        if (e[64] != '\r' || e[65] != '\n') {
            check.kind = Tamper::ChainDamaged;
            check.line = index + 1;
            return false;
        }
        hasher.step(data, size);
        if (!hasher.matches(e)) {
            mismatchAt = index;
            mismatchOffset = start;
            return false;
        }
        ++index;
        while (nextAnchor < byLines.size() && byLines[nextAnchor].lines < index)
            ++nextAnchor;
        if (nextAnchor < byLines.size() && byLines[nextAnchor].lines == index) {
            const ChainAnchor &a = byLines[nextAnchor];
            if (QByteArrayView(hasher.current(), kHashSize) != QByteArrayView(a.hash)) {
                check.kind = Tamper::AnchorDiffers;
                check.line = index;
                check.expected = a.lines;
                check.day = a.day;
                return false;
            }
        }
        return true;
    };
    bool stopped = false;
    while (!stopped && !atEnd) {
        const qint64 n = log.read(block.data(), block.size());
        if (n <= 0) {
            atEnd = true;
            break;
        }
        qsizetype from = 0;
        const char *data = block.constData();
        if (!carry.isEmpty()) {
            const char *nl = static_cast<const char *>(std::memchr(data, '\n', size_t(n)));
            if (!nl) {
                carry.append(data, n);
                continue;
            }
            carry.append(data, nl - data + 1);
            from = nl - data + 1;
            if (!line(carry.constData(), carry.size(), offset)) {
                stopped = true;
                break;
            }
            offset += carry.size();
            carry.clear();
        }
        while (from < n) {
            const char *nl = static_cast<const char *>(std::memchr(data + from, '\n', size_t(n - from)));
            if (!nl) {
                carry.append(data + from, n - from);
                break;
            }
            const qsizetype len = nl - (data + from) + 1;
            if (!line(data + from, len, offset)) {
                stopped = true;
                break;
            }
            offset += len;
            from += len;
        }
    }
    if (!stopped && !carry.isEmpty())
        stopped = !line(carry.constData(), carry.size(), offset);
    log.close();

    if (mismatchAt >= 0) {
        // What happened at the first line that differs, told by the lines around it; each
        // reading is confirmed by the line after it where there is one (the header has two
        // equal lines, and a log often holds repeated ones).
        const QList<QByteArray> here = linesAt(logLocalPath, mismatchOffset, 3);
        const QByteArray previousHash =
            mismatchAt == 0 ? ChainStart() : fromHex(entry + (mismatchAt - 1) * kChainEntrySize);
        const auto entryHash = [&](qint64 i) {
            return i < entries ? fromHex(entry + i * kChainEntrySize) : QByteArray();
        };
        const QByteArray c0 = entryHash(mismatchAt), c1 = entryHash(mismatchAt + 1), c2 = entryHash(mismatchAt + 2);
        // The hash of line k of `here` after `prev`; empty when either is missing.
        const auto h = [&](const QByteArray &prev, int k) {
            return k < here.size() && prev.size() == kHashSize ? hasher.peek(prev.constData(), here[k]) : QByteArray();
        };
        // Line k of `here` chains on `prev` to `expected`, or there is nothing left to tell.
        const auto follows = [&](const QByteArray &prev, int k, const QByteArray &expected) {
            return k >= here.size() || expected.isEmpty() || h(prev, k) == expected;
        };
        const auto is = [&](const QByteArray &a, const QByteArray &b) { return !a.isEmpty() && a == b; };
        check.line = mismatchAt + 1;
        if (is(h(h(previousHash, 0), 1), c1) && follows(c1, 2, c2))
            check.kind = Tamper::ChainDamaged;   // the lines are as written; the entry is not
        else if (is(h(previousHash, 1), c0) && is(h(c0, 0), c1) && follows(c1, 2, c2))
            check.kind = Tamper::Reordered;
        else if (is(h(c0, 0), c1) && follows(c1, 1, c2))
            check.kind = Tamper::Removed;
        else if (is(h(previousHash, 1), c0) && follows(c0, 2, c1))
            check.kind = Tamper::Inserted;
        else if (is(h(c0, 1), c1) || (here.size() == 1 && mismatchAt + 1 == entries))
            check.kind = Tamper::Edited;
        else
            check.kind = Tamper::Differs;
        check.lines = index;
        return check;
    }
    if (stopped)
        return check;
    check.lines = index;
    if (check.kind == Tamper::Unchained)
        return check;
    if (index < entries) {
        check.kind = Tamper::CutShort;
        check.line = index + 1;
        check.expected = entries;
        return check;
    }
    if (chain.size() % kChainEntrySize != 0) {
        check.kind = Tamper::ChainDamaged;
        check.line = entries + 1;
        return check;
    }
    for (const ChainAnchor &a : byLines)
        if (a.lines > index) {
            check.kind = Tamper::AnchorCut;
            check.line = index + 1;
            check.expected = a.lines;
            check.day = a.day;
            return check;
        }
    return check;
}

bool ChainTampered(const ChainCheck &check)
{
    return check.kind != Tamper::None && check.kind != Tamper::NoChain;
}

QString ChainCheckMessage(const ChainCheck &c, const QString &chainFileName, const QString &anchorsProblem)
{
    QString finding;
    switch (c.kind) {
    case Tamper::None:
        finding = QStringLiteral("Nenhuma alteração encontrada: as %1 linhas conferem com a cadeia de verificação.")
                      .arg(c.lines);
        break;
    case Tamper::NoChain:
        return QStringLiteral("Este histórico não tem cadeia de verificação (%1): nada pôde ser verificado.")
            .arg(chainFileName);
    case Tamper::ChainDamaged:
        finding = QStringLiteral("A cadeia de verificação (%1) foi danificada no registro da linha %2.")
                      .arg(chainFileName)
                      .arg(c.line);
        break;
    case Tamper::Edited:
        finding = QStringLiteral("A linha %1 foi alterada.").arg(c.line);
        break;
    case Tamper::Removed:
        finding = QStringLiteral("A linha %1 foi removida.").arg(c.line);
        break;
    case Tamper::Inserted:
        finding = QStringLiteral("A linha %1 foi inserida.").arg(c.line);
        break;
    case Tamper::Reordered:
        finding = QStringLiteral("As linhas %1 e %2 foram trocadas de ordem.").arg(c.line).arg(c.line + 1);
        break;
    case Tamper::Differs:
        finding = QStringLiteral("O histórico não confere com a cadeia de verificação a partir da linha %1.").arg(c.line);
        break;
    case Tamper::Unchained:
        finding = QStringLiteral("A linha %1 foi inserida no final, sem registro na cadeia de verificação "
                                 "(%2 linha(s) a mais).")
                      .arg(c.line)
                      .arg(c.extra);
        break;
    case Tamper::CutShort:
        finding = QStringLiteral("O histórico termina na linha %1, mas a cadeia de verificação registra %2 linhas: "
                                 "o final do arquivo foi cortado.")
                      .arg(c.line - 1)
                      .arg(c.expected);
        break;
    case Tamper::AnchorCut:
        finding = QStringLiteral("O histórico termina na linha %1, mas o banco central registra %2 linhas em %3: "
                                 "o final do arquivo e da cadeia foi cortado.")
                      .arg(c.line - 1)
                      .arg(c.expected)
                      .arg(day(c.day));
        break;
    case Tamper::AnchorDiffers:
        finding = QStringLiteral("As linhas até a linha %1 não conferem com o registro do banco central de %2: "
                                 "o histórico foi alterado e a cadeia refeita.")
                      .arg(c.expected)
                      .arg(day(c.day));
        break;
    }
    if (!c.anchorsChecked && !anchorsProblem.isEmpty())
        return finding
            + QStringLiteral("\rO banco central não pôde ser consultado (%1): não foi verificado se o final do "
                             "histórico foi cortado junto com a cadeia.")
                  .arg(anchorsProblem);
    if (!c.anchorsChecked)
        return finding
            + QStringLiteral("\rO banco central não tem a tabela LOGCADEIA: não foi verificado se o final do "
                             "histórico foi cortado junto com a cadeia.");
    if (c.kind == Tamper::None)
        return finding + QStringLiteral("\rO último registro de cada dia confere com o banco central (%1 dia(s)).")
                             .arg(c.anchorDays);
    return finding;
}

} // namespace core
