// The site configuration file FORMULIX.INI: fixed-width labels read once at start into SiteConfig.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace core {

inline constexpr int kSituationSlots = 11;
inline constexpr int kSituationOptionWidth = 24;
inline constexpr int kProgramFolderWidth = 60;

// The key of the access codes when FORMULIX.INI has no CHAVE ESTOQUE line; the lot edit
// form's deletion code always adds this one, never the configured key.
inline const QString kDefaultStockKey = QStringLiteral("4817");

inline constexpr qint32 kDefaultLockWaitSeconds = 30;
inline constexpr qint32 kMaxLockWaitSeconds = 3600;

// The days of orders whose use projects what each lot will have left at its expiry.
inline constexpr qint32 kDefaultUseWindowDays = 90;
inline constexpr qint32 kMaxUseWindowDays = 3650;

inline const QString kConfigFileName = QStringLiteral("FORMULIX.INI");
inline const QString kConfigMissingMessage =
    QStringLiteral("Arquivo FORMULIX.INI não encontrado. Execute o programa Quinta.exe para criá-lo.");

struct SiteConfig {
    QString ServerAddress;        // up to 60
    QString WorkstationAddress;   // up to 60
    QString LocalBackupAddress;   // up to 60
    qint32 ScreenColor = 0;
    QString ActivityLogSetting;   // up to 3
    QString PriceFactorSetting;   // up to 30
    QString LogEnabled;           // one upper-case character, or empty
    QString DefaultLaboratory;    // up to 30
    QString AutoLogoffTime;       // up to 30
    QString SituationOptionsText; // up to 60
    std::array<QString, kSituationSlots> SituationOptions; // each up to 24
    QString StockKey;             // up to 60
    QString IncludeDiluted;       // up to 30
    QString ProgramFolder;        // as Windows sees it, trailing separator, up to 60
    // How long a statement waits on a record another workstation holds before it is given up
    // and rolled back, in seconds: a whole number from 1 to kMaxLockWaitSeconds.
    qint32 LockWaitSeconds = kDefaultLockWaitSeconds;
    // Situations of a lot held apart from usable stock besides "Aguardando" (SITUACOES DE
    // QUARENTENA, separated by "/"), and the days of use that project the leftovers at expiry.
    QStringList QuarantineSituations;
    qint32 UseWindowDays = kDefaultUseWindowDays;

    bool logOn() const { return LogEnabled == QLatin1String("S"); }
};

// What the main window's creation does before reading the file; the file may override both.
void SetSiteConfigDefaults(SiteConfig &config);

// Removes leading and trailing blanks (code 32 only; tabs stay).
QString TrimBlanks(const QString &text);

// Splits SituationOptionsText on "/" into the slots from the first on; slots no option
// reaches keep what they held, options past the eleventh are dropped.
void SplitSituationOptions(SiteConfig &config);

// Parses the bytes of a FORMULIX.INI into config; unknown lines are skipped.
void readSiteConfigText(const QByteArray &fileBytes, SiteConfig &config);

enum class ConfigRead { Ok, Missing, Unreadable };

// Sets ProgramFolder from windowsProgramFolder (cut to 60 characters) and reads FORMULIX.INI
// from localProgramFolder. On Unreadable, errorText holds the message to show before stopping.
ConfigRead ReadSiteConfig(const QString &windowsProgramFolder, const QString &localProgramFolder,
                          SiteConfig &config, QString *errorText = nullptr);

} // namespace core
