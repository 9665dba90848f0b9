// Reads FORMULIX.INI byte by byte as the suite's set-up tools write it: 48-column labels, values from column 50.
#include "siteconfig.h"

#include "platform/cp1252.h"
#include "platform/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

namespace core {

namespace {

constexpr int kLabelWidth = 48;
constexpr int kValueColumn = 50;  // column 49 is a separator the suite writes as a blank
constexpr int kValueWidth = 60;

enum class Field {
    ServerAddress, WorkstationAddress, LocalBackupAddress, ScreenColor, ActivityLogSetting,
    PriceFactorSetting, LogEnabled, DefaultLaboratory, AutoLogoffTime, SituationOptions,
    StockKey, IncludeDiluted, LockWaitSeconds, QuarantineSituations, UseWindowDays
};

struct Label {
    QByteArray bytes;  // Windows-1252, exactly 48
    Field field;
};

const QList<Label> &knownLabels()
{
    static const QList<Label> labels = [] {
        const QList<QPair<QString, Field>> texts = {
            {QStringLiteral("IP DO SERVIDOR CENTRAL.........................:"), Field::ServerAddress},
            {QStringLiteral("IP DA ESTACAO DO USUARIO.......................:"), Field::WorkstationAddress},
            {QStringLiteral("IP DO BACKUP DO BD LOCAL (BKPPED)..............:"), Field::LocalBackupAddress},
            {QStringLiteral("COR DE FUNDO DAS TELAS.........................:"), Field::ScreenColor},
            {QStringLiteral("LOG DE ATIVIDADES..............................:"), Field::ActivityLogSetting},
            {QStringLiteral("USAR F.C. NO PRECO DE VENDA....................:"), Field::PriceFactorSetting},
            {QStringLiteral("LOG ATIVADO....................................:"), Field::LogEnabled},
            {QStringLiteral("LABORATORIO PADRAO.............................:"), Field::DefaultLaboratory},
            {QStringLiteral("TEMPO PARA LOGOFF AUTOMATICO...................:"), Field::AutoLogoffTime},
            {QStringLiteral("OPÇÕES DE SITUAÇÃO DO ESTOQUE..................:"), Field::SituationOptions},
            {QStringLiteral("OPCOES DE SITUACAO DO ESTOQUE..................:"), Field::SituationOptions},
            {QStringLiteral("OPÇOES DE SITUAÇAO DO ESTOQUE..................:"), Field::SituationOptions},
            {QStringLiteral("OPÇÕES DE SITUAÇAO DO ESTOQUE..................:"), Field::SituationOptions},
            {QStringLiteral("OPCÕES DE SITUACÃO DO ESTOQUE..................:"), Field::SituationOptions},
            {QStringLiteral("CHAVE ESTOQUE..................................:"), Field::StockKey},
            {QStringLiteral("INCLUIR DILUIDOS NO RELATORIO FISICO/FINANCEIRO:"), Field::IncludeDiluted},
            {QStringLiteral("ESPERA MAXIMA POR REGISTRO EM USO (SEGUNDOS)...:"), Field::LockWaitSeconds},
            {QStringLiteral("SITUACOES DE QUARENTENA........................:"), Field::QuarantineSituations},
            {QStringLiteral("DIAS DE USO PARA A SOBRA NO VENCIMENTO.........:"), Field::UseWindowDays},
        };
        QList<Label> out;
        for (const auto &[text, field] : texts) {
            Q_ASSERT(text.size() == kLabelWidth);
            out.append({platform::toCp1252(text), field});
        }
        return out;
    }();
    return labels;
}

// A decimal integer of 32 bits with an optional sign, nothing else.
bool parseInt32(const QString &text, qint32 &out)
{
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return false;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return false;
    out = qint32(value);
    return true;
}

void storeValue(SiteConfig &config, Field field, const QString &value)
{
    switch (field) {
    case Field::ServerAddress: config.ServerAddress = value.left(60); break;
    case Field::WorkstationAddress: config.WorkstationAddress = value.left(60); break;
    case Field::LocalBackupAddress: config.LocalBackupAddress = value.left(60); break;
    case Field::ScreenColor:
        // Nothing in this program uses the colour, so a value that is no number is not worth
        // stopping the start for: the field keeps what it held.
        parseInt32(value, config.ScreenColor);
        break;
    case Field::ActivityLogSetting: config.ActivityLogSetting = value.left(3); break;
    case Field::PriceFactorSetting: config.PriceFactorSetting = value.left(30); break;
    case Field::LogEnabled: config.LogEnabled = platform::asciiUpper(value.left(1)); break;
    case Field::DefaultLaboratory: config.DefaultLaboratory = value.left(30); break;
    case Field::AutoLogoffTime: config.AutoLogoffTime = value.left(30); break;
    case Field::SituationOptions:
        config.SituationOptionsText = value.left(60);
        SplitSituationOptions(config);
        break;
    case Field::StockKey: config.StockKey = value.left(60); break;
    case Field::IncludeDiluted: config.IncludeDiluted = value.left(30); break;
    case Field::LockWaitSeconds: {
        // A value that is no usable number keeps the default rather than leaving waits unbounded.
        qint32 seconds = 0;
        if (parseInt32(value, seconds) && seconds >= 1 && seconds <= kMaxLockWaitSeconds)
            config.LockWaitSeconds = seconds;
        break;
    }
    case Field::QuarantineSituations:
        config.QuarantineSituations.clear();
        for (const QString &part : value.split(u'/')) {
            const QString situation = TrimBlanks(part);
            if (!situation.isEmpty())
                config.QuarantineSituations << situation.left(kSituationOptionWidth);
        }
        break;
    case Field::UseWindowDays: {
        // A value that is no usable number keeps the default window.
        qint32 days = 0;
        if (parseInt32(value, days) && days >= 1 && days <= kMaxUseWindowDays)
            config.UseWindowDays = days;
        break;
    }
    }
}

// A file of the folder by its name as Windows finds it, whatever the case on this disk;
// empty when there is none. A folder of that name is no file, as for Windows.
QString findFile(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    const QFileInfo exact(dir.filePath(name));
    if (exact.isFile())
        return exact.filePath();
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return QString();
}

QString readError(const SiteConfig &config, const QString &why)
{
    return QStringLiteral("Não foi possível ler o arquivo ") + config.ProgramFolder + kConfigFileName
        + QStringLiteral(": ") + why;
}

// Far above any file the set-up tools write.
constexpr qint64 kMaxConfigBytes = 1024 * 1024;

} // namespace

void SetSiteConfigDefaults(SiteConfig &config)
{
    config.StockKey = kDefaultStockKey;
    config.IncludeDiluted = QStringLiteral("S");
}

QString TrimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

void SplitSituationOptions(SiteConfig &config)
{
    const QString &text = config.SituationOptionsText;
    int slot = 0;
    QString current;
    for (qsizetype i = 0; i <= text.size() && slot < kSituationSlots; ++i) {
        if (i < text.size() && text[i] != u'/') {
            current.append(text[i]);
            continue;
        }
        config.SituationOptions[slot++] = current.left(kSituationOptionWidth);
        current.clear();
    }
}

void readSiteConfigText(const QByteArray &fileBytes, SiteConfig &config)
{
    const QList<Label> &labels = knownLabels();
    qsizetype start = 0;
    while (start < fileBytes.size()) {
        qsizetype end = fileBytes.indexOf('\n', start);
        if (end < 0)
            end = fileBytes.size();
        QByteArray line = fileBytes.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() < kLabelWidth)
            continue;
        const QByteArray label = line.left(kLabelWidth);
        for (const Label &known : labels) {
            if (label == known.bytes) {
                const QString value = TrimBlanks(platform::fromCp1252(line.mid(kValueColumn - 1, kValueWidth)));
                storeValue(config, known.field, value);
                break;
            }
        }
    }
}

ConfigRead ReadSiteConfig(const QString &windowsProgramFolder, const QString &localProgramFolder,
                          SiteConfig &config, QString *errorText)
{
    QString folder = windowsProgramFolder;
    if (!folder.isEmpty() && !folder.endsWith(u'\\') && !folder.endsWith(u'/'))
        folder.append(folder.contains(u'\\') ? u'\\' : u'/');
    config.ProgramFolder = folder.left(kProgramFolderWidth);

    // A folder longer than the field is looked for under the cut text. The Windows text and the
    // local path end in the same components, so cutting the same number of characters from the
    // local path names the place the cut Windows text points at.
    QString local = localProgramFolder;
    if (!local.isEmpty() && !local.endsWith(u'/') && !local.endsWith(QDir::separator()))
        local.append(u'/');
    const qsizetype excess = folder.size() - config.ProgramFolder.size();
    const QFileInfo wanted(local.left(local.size() - excess) + kConfigFileName);
    const QString path = findFile(wanted.path(), wanted.fileName());
    if (path.isEmpty())
        return ConfigRead::Missing;

    // Only a regular file of a sane size is read: a FIFO would hang the start and a link to a
    // device would read without end.
    QByteArray bytes;
    QString why;
    if (!platform::readRegularFile(path, kMaxConfigBytes, &bytes, &why)) {
        if (errorText)
            *errorText = readError(config, why);
        return ConfigRead::Unreadable;
    }
    readSiteConfigText(bytes, config);
    return ConfigRead::Ok;
}

} // namespace core
