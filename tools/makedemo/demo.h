// A complete demo installation: program folder, FORMULIX.INI, drives.conf and filled databases.
#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace makedemo {

struct Options {
    QString dir;           // the installation root; drive C: is <dir>/c
    int lots = 2000;       // rows of ESTLOTE; purchases, orders and movements follow it
    int products = 0;      // rows of COMPONEN: the catalogue, filled up with register-only products
    int orders = 0;        // orders of the last 90 days (about three component lines each); 0: lots / 10
    QDate today;           // the day the data is built around
    bool force = false;    // replace an existing <dir>/c
};

struct Summary {
    QString programFolder;          // local path of C:\FORMULIX
    QString centralDatabase;
    QStringList workstationDatabases;
    int lots = 0;
    int products = 0;
    int purchases = 0;
    int orders = 0;
    int orderLines = 0;
    int movements = 0;
    QString demoUser;
    QString demoPassword;
    QStringList otherUsers;         // "NAME/password (what it shows)"
};

// A refusal the operator can fix (existing folder, bad arguments): no stack of database text.
class DemoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Builds the installation; throws DemoError, db::DbError or std::runtime_error.
Summary makeDemo(const Options &options);

// The fixed-width FORMULIX.INI of the demo, as bytes (Windows-1252, CR LF).
QByteArray siteConfigBytes();

} // namespace makedemo
