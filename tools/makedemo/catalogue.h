// The fixed part of the demo: products, suppliers, manufacturers, stores, laboratories and users.
#pragma once
#include <QString>
#include <QStringList>
#include <vector>

namespace makedemo {

struct Product {
    QString code;
    QString name;         // as the product register keeps it (first letter raised, ASCII lowered)
    QString group;        // MP, SUP, REV, REVI, HOM
    QString unit;         // COMPONEN.UNID, lower case
    QStringList lotUnits; // units its lots are kept in; the first is the usual one
    bool controlled = false;
    double cost = 0;      // per unit of `unit`
    double price = 0;
    double density = 1;
    double divisor = 1;
    QString family;
};

struct Store {
    QString cnpj;
    QString name;
    QString city;
    QStringList laboratories;   // empty: a store whose scope cannot be built
};

struct User {
    QString name;          // upper case, as typed at login
    QString password;
    QString workstation;   // ESTACOES.ESTACAO, empty: no row
    QString stationUser;   // ESTACOES.USUARIO as stored (case varies)
    int store = -1;        // index into stores()
    enum class Rights { Authorised, Refused, TooShort } rights = Rights::Authorised;
    QString note;          // what logging in as this user shows
};

struct Supplier {
    QString code;   // 4 characters
    QString name;
    QString shortName;
};

const std::vector<Product> &products();
const std::vector<Supplier> &suppliers();
const QStringList &manufacturers();
const std::vector<Store> &stores();
const std::vector<User> &users();

// The shared locations every store sees besides its own laboratories, in both spellings used.
const QStringList &sharedLocations();

// The rights string of a user: at least 50 characters, the eighth chosen by the rights test
// (its code minus 9, modulo 256, is the code of the name's first letter when authorised).
QString accessRights(const User &user);

// Product name as the order lines keep it: lowered, accents folded, quotes as blanks.
QString foldedName(const QString &name);

// Only ASCII letters change case, as everywhere in the suite.
QString normalisedName(const QString &name);

} // namespace makedemo
