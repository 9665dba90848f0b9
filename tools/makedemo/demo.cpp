// Builds the demo installation: folders, configuration files, both databases and their rows.
#include "demo.h"

#include "bulkwriter.h"
#include "catalogue.h"

#include "db/connection.h"
#include "platform/cp1252.h"
#include "users/uchkprot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <optional>

namespace makedemo {

namespace {

using db::Value;

Value text(const QString &s) { return Value::text(s); }
Value integer(int64_t v) { return Value::integer(v); }
Value dec(double v, int scale = 4) { return Value::decimal(db::Decimal::fromDouble(v, scale)); }
Value date(const std::optional<QDate> &d) { return d && d->isValid() ? Value::date(*d) : Value(); }
Value null() { return Value(); }

// The same --lots and --today always give the same installation.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed ? seed : 1) {}
    uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 2685821657736338717ULL;
    }
    int below(int n) { return n <= 1 ? 0 : int(next() % uint64_t(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    double uniform() { return double(next() >> 11) / double(1ULL << 53); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    bool perMille(int p) { return below(1000) < p; }
    template <typename T> const T &pick(const QList<T> &list) { return list[below(int(list.size()))]; }

private:
    uint64_t m_state;
};

double round(double v, int decimals)
{
    const double p = std::pow(10.0, decimals);
    return std::round(v * p) / p;
}

// How many units of the product's register unit one unit of a lot's unit holds.
double registerUnitsPer(const QString &lotUnit, const QString &productUnit)
{
    static const QHash<QString, double> toBase = {
        {QStringLiteral("kg"), 1e6}, {QStringLiteral("g"), 1e3}, {QStringLiteral("mg"), 1},
        {QStringLiteral("mcg"), 1e-3}, {QStringLiteral("l"), 1e6}, {QStringLiteral("ml"), 1e3},
        {QStringLiteral("mcl"), 1},
    };
    const QString from = platform::asciiLower(lotUnit);
    const QString to = platform::asciiLower(productUnit);
    const bool mass = QStringList{"kg", "g", "mg", "mcg"}.contains(from) && QStringList{"kg", "g", "mg", "mcg"}.contains(to);
    const bool volume = QStringList{"l", "ml", "mcl"}.contains(from) && QStringList{"l", "ml", "mcl"}.contains(to);
    if (!mass && !volume)
        return 1;
    return toBase.value(from) / toBase.value(to);
}

// A typical balance in the given lot unit.
double typicalQuantity(Random &rnd, const QString &unit)
{
    const QString u = platform::asciiUpper(unit);
    if (u == QLatin1String("KG")) return round(rnd.range(0.5, 25), 3);
    if (u == QLatin1String("G")) return round(rnd.range(1, 2000), 4);
    if (u == QLatin1String("MG")) return round(rnd.range(100, 100000), 2);
    if (u == QLatin1String("MCG")) return round(rnd.range(100, 50000), 1);
    if (u == QLatin1String("MIL")) return double(rnd.between(10, 1000) * 100);
    if (u == QLatin1String("L")) return round(rnd.range(1, 20), 3);
    if (u == QLatin1String("ML")) return round(rnd.range(50, 5000), 2);
    if (u == QLatin1String("MCL")) return round(rnd.range(100, 10000), 1);
    return double(rnd.between(1, 500));
}

struct Lot {
    int product = 0;
    QString lote;
    QString supplier;
    QString supplierCode;
    QString manufacturer;
    QString laboratory;
    QString unit;
    QString situation;
    std::optional<QDate> expiry;
    QDate made;
    double balance = 0;
    double forecast = 0;
    double cost = 0;     // per lot unit
    double price = 0;
    double density = 1;
    double factor = 1;
    bool purchased = true;
};

struct Generated {
    std::vector<Lot> lots;
};

int productIndex(const QString &code)
{
    const auto &list = products();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].code == code)
            return int(i);
    throw std::logic_error("unknown demo product " + code.toStdString());
}

QList<int> suppliersOf(const QString &group)
{
    if (group == QLatin1String("SUP")) return {5};
    if (group == QLatin1String("REV") || group == QLatin1String("REVI")) return {3, 6};
    if (group == QLatin1String("HOM")) return {2};
    return {0, 1, 2, 4};
}

QList<int> manufacturersOf(const QString &group)
{
    if (group == QLatin1String("SUP")) return {4};
    if (group == QLatin1String("REV") || group == QLatin1String("REVI")) return {5, 3};
    if (group == QLatin1String("HOM")) return {6};
    return {0, 1, 2, 3};
}

QString lotNumber(int index, const QDate &made)
{
    return made.toString(QStringLiteral("yyMM")) + QChar(u'A' + index % 26) + QString::number(index + 1).rightJustified(5, u'0');
}

void fillLot(Random &rnd, Lot &lot, int index)
{
    const Product &p = products()[size_t(lot.product)];
    const QList<int> sup = suppliersOf(p.group);
    const int s = rnd.pick(sup);
    lot.supplier = suppliers()[size_t(s)].name;
    lot.supplierCode = suppliers()[size_t(s)].code;
    lot.manufacturer = manufacturers()[rnd.pick(manufacturersOf(p.group))];
    lot.made = lot.expiry ? lot.expiry->addYears(-2) : QDate();
    lot.lote = lotNumber(index, lot.made.isValid() ? lot.made : QDate(2023, 1 + index % 12, 1));
    const double per = registerUnitsPer(lot.unit, p.unit);
    lot.cost = round(p.cost * per * rnd.range(0.9, 1.1), 6);
    lot.price = round(p.price * per * rnd.range(0.95, 1.05), 6);
    lot.density = p.density;
    lot.factor = p.group == QLatin1String("MP") && rnd.perMille(300) ? round(rnd.range(1.01, 1.10), 2) : 1.0;
    lot.forecast = lot.balance > 0 && rnd.perMille(150) ? round(lot.balance * rnd.range(0.8, 1.0), 4) : lot.balance;
}

// Lots that show each state the module treats apart, whatever --lots says.
std::vector<Lot> specialLots(Random &rnd, const QDate &today)
{
    struct Special {
        const char *code;
        const char *lab;
        std::optional<int> days;   // expiry as days from today; none: no expiry
        double balance;
        const char *unit;
        const char *situation;
        bool twin = false;         // same product, lot and supplier as the previous one
        bool purchased = true;
    };
    const Special specials[] = {
        {"00101", "Manipulação", -30, 120.5, "G", "Vencido"},
        {"00102", "Manipulação", -10, 850, "G", "Estoque"},          // expired, start-up marks it
        {"00108", "Manipulação", -1, 40, "G", "Estoque"},
        {"00109", "Manipulação", 0, 25, "G", "Estoque"},             // expires today
        {"00110", "Manipulação", 1, 60, "G", "Estoque"},
        {"00111", "Manipulação", 30, 15.75, "G", "Estoque"},
        {"00112", "Manipulação", 60, 500, "MG", "Estoque"},          // last day of the 60-day view
        {"00113", "Manipulação", 61, 800, "MG", "Estoque"},          // first day after it
        {"00118", "Manipulação", std::nullopt, 5, "ML", "Estoque", false, false},
        {"00120", "Manipulação", 200, -0.5, "G", "Estoque"},
        {"00121", "Manipulação", 210, 0, "G", "Estoque", false, false},
        {"00116", "Manipulação", 400, 2.5, "KG", "Estoque"},
        {"00106", "Manipulação", 300, 1500, "MCG", "Estoque"},
        {"00125", "Manipulação", 180, 5000, "MIL", "Estoque"},
        {"00201", "Manipulação", 700, 3000, "UN", "Estoque"},
        {"00119", "Manipulação", 500, 20, "L", "Estoque"},
        {"00103", "Manipulação", 365, 2500, "ML", "Estoque"},
        {"00126", "Manipulação", 240, 800, "MCL", "Estoque"},
        {"00203", "Manipulação", 700, 150, "un", "Estoque"},
        {"00203", "Loja 1", 700, 80, "UN", "Estoque"},
        {"00109", "Manipulação", 260, 2500, "mg", "Estoque"},
        {"00109", "Loja 1", 260, 300, "mg", "Estoque", true},        // same lot, another location
        {"00104", "Controle Qualidade", 300, 1000, "ML", "Quarentena"},
        {"00108", "CONTROLE QUALIDADE", 300, 250, "G", "Aguardando"},
        {"00123", "EMTRANSITO", 420, 500, "G", "Estoque"},
        {"00302", "TERCEIROS", 500, 24, "UN", "Estoque"},
        {"00105", "manipulação", 250, 300, "G", "Estoque"},
        {"00122", "MANIPULAçãO", 250, 400, "G", "Estoque"},
        {"00303", "Loja 1", 540, 12, "UN", "Estoque"},
        {"00306", "Loja 1", -5, 3, "UN", "Vencido"},
        {"00401", "Loja 1", 100, 6, "UN", "Estoque"},
        {"00501", "Manipulação", 400, 1000, "ML", "Estoque"},
        {"00101", "Laboratório Sul", 280, 50, "G", "Estoque"},
        {"00301", "Loja 2", 300, 30, "UN", "Estoque"},
        {"00114", "Laboratório Sul", 45, 80, "G", "Estoque"},
    };
    std::vector<Lot> out;
    for (const Special &s : specials) {
        Lot lot;
        lot.product = productIndex(QString::fromLatin1(s.code));
        lot.laboratory = QString::fromUtf8(s.lab);
        if (s.days)
            lot.expiry = today.addDays(*s.days);
        lot.balance = s.balance;
        lot.unit = QString::fromLatin1(s.unit);
        lot.situation = QString::fromLatin1(s.situation);
        lot.purchased = s.purchased;
        fillLot(rnd, lot, int(out.size()));
        if (s.twin && !out.empty()) {
            lot.lote = out.back().lote;
            lot.supplier = out.back().supplier;
            lot.supplierCode = out.back().supplierCode;
            lot.made = out.back().made;
        }
        out.push_back(lot);
    }
    return out;
}

Lot randomLot(Random &rnd, const QDate &today, int index)
{
    static const QList<QPair<QString, int>> labWeights = {
        {QStringLiteral("Manipulação"), 34}, {QStringLiteral("Laboratório Sul"), 24},
        {QStringLiteral("Controle Qualidade"), 10}, {QStringLiteral("CONTROLE QUALIDADE"), 3},
        {QStringLiteral("EMTRANSITO"), 8}, {QStringLiteral("TERCEIROS"), 6}, {QStringLiteral("manipulação"), 2},
        {QStringLiteral("MANIPULAçãO"), 1}, {QStringLiteral("Loja 1"), 6}, {QStringLiteral("Loja 2"), 6},
    };
    static const QStringList shopLabs = {QStringLiteral("Loja 1"), QStringLiteral("Loja 1"), QStringLiteral("Loja 2"),
                                         QStringLiteral("Loja 2"), QStringLiteral("Loja 2"), QStringLiteral("TERCEIROS"),
                                         QStringLiteral("EMTRANSITO")};
    Lot lot;
    lot.product = rnd.below(int(products().size()));
    const Product &p = products()[size_t(lot.product)];
    if (p.group == QLatin1String("REV") || p.group == QLatin1String("REVI")) {
        lot.laboratory = rnd.pick(shopLabs);
    } else {
        int r = rnd.below(100);
        for (const auto &[lab, w] : labWeights) {
            lot.laboratory = lab;
            if ((r -= w) < 0)
                break;
        }
    }
    lot.unit = rnd.perMille(800) ? p.lotUnits.first() : rnd.pick(p.lotUnits);

    const int r = rnd.below(1000);
    if (r < 80) lot.expiry = today.addDays(-rnd.between(1, 400));
    else if (r < 90) lot.expiry = today;
    else if (r < 200) lot.expiry = today.addDays(rnd.between(1, 59));
    else if (r < 205) lot.expiry = today.addDays(60);
    else if (r < 210) lot.expiry = today.addDays(61);
    else if (r < 225) lot.expiry = std::nullopt;
    else lot.expiry = today.addDays(rnd.between(62, 900));

    const bool quality = lot.laboratory.compare(QLatin1String("Controle Qualidade"), Qt::CaseInsensitive) == 0;
    if (lot.expiry && *lot.expiry < today)
        lot.situation = rnd.perMille(800) ? QStringLiteral("Vencido") : QStringLiteral("Estoque");
    else if (quality)
        lot.situation = rnd.perMille(500) ? QStringLiteral("Aguardando") : QStringLiteral("Quarentena");
    else
        lot.situation = rnd.perMille(950) ? QStringLiteral("Estoque") : QStringLiteral("Aguardando");

    const int b = rnd.below(1000);
    if (b < 40) lot.balance = 0;
    else if (b < 50) lot.balance = rnd.pick(QList<double>{-0.5, -1, -2.25, -10});
    else lot.balance = typicalQuantity(rnd, lot.unit);

    fillLot(rnd, lot, index);
    lot.purchased = rnd.perMille(860);
    return lot;
}

QString readResource(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing embedded file " + path.toStdString());
    return QString::fromUtf8(f.readAll());
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        throw std::runtime_error("cannot write " + QDir::toNativeSeparators(path).toStdString());
}

void makeDir(const QString &path)
{
    if (!QDir().mkpath(path))
        throw std::runtime_error("cannot create folder " + path.toStdString());
}

db::Connection &createDatabase(db::Connection &conn, const QString &file, const QString &script)
{
    const db::Target target{file, true, true};
    db::Connection::createDatabase(target);
    conn.configure(target);
    conn.runScript(readResource(script));
    return conn;
}

// ---- central tables

const QStringList kLotColumns = {
    "DESCRICAO", "LOTE", "FORNECEDOR", "CODIGO", "SALDOPREVISTO", "SALDOCORRENTE", "UNIDADE", "CODIGOEAN",
    "FABRICANTE", "VALIDADE", "SITUACAO", "DENSIDADE", "FATORCORRECAO", "LABORATORIO", "CONTROLADA",
    "PRECOCUSTO", "PRECOVENDA", "ESTOQUECUSTO", "ESTOQUEVENDA"};

QString controlled(bool yes) { return yes ? QStringLiteral("Sim") : QStringLiteral("Não"); }

void writeLot(BulkWriter &w, const Lot &lot)
{
    const Product &p = products()[size_t(lot.product)];
    const double stock = std::max(lot.balance, 0.0);
    w.insert(QStringLiteral("ESTLOTE"), kLotColumns,
             {text(p.name), text(lot.lote), text(lot.supplier), text(p.code), dec(lot.forecast, 8),
              dec(lot.balance, 8), text(lot.unit), text(p.code), text(lot.manufacturer), date(lot.expiry),
              text(lot.situation), dec(lot.density), dec(lot.factor), text(lot.laboratory),
              text(controlled(p.controlled)), dec(lot.cost, 8), dec(lot.price, 8), dec(stock * lot.cost, 4),
              dec(stock * lot.price, 4)});
}

void writePurchase(BulkWriter &w, Random &rnd, const Lot &lot, int code, const QDate &today)
{
    static const QStringList columns = {
        "ESTACAO", "CODCOMPRA", "DATA", "NOTAFISCAL", "FORNECEDOR", "COMPONENTE", "LOTE", "QUANTIDADE",
        "UNIDADE", "PRECOUNITUS", "PRECOUNITR", "FABRICACAO", "VALIDADE", "USADO", "SALDO", "ETIQUETA",
        "RESPONSAVEL", "CODIGO", "SITUACAO", "FABRICANTE", "SITUACAOMATP", "DENSIDADE", "FATORCORRECAO",
        "FATORDILUICAO", "LABORATORIO", "CODIGOFORNECEDOR", "OBSERVACAO"};
    const Product &p = products()[size_t(lot.product)];
    QDate made = lot.made.isValid() ? lot.made : today.addDays(-rnd.between(30, 700));
    QDate day = std::min(made.addDays(rnd.between(5, 60)), today);
    const double stock = std::max(lot.balance, 0.0);
    const double bought = round(stock + typicalQuantity(rnd, lot.unit) * rnd.range(0, 0.5), 4);
    const bool second = lot.laboratory.startsWith(QLatin1String("Loja 2")) || lot.laboratory == QLatin1String("Laboratório Sul");
    w.insert(QStringLiteral("COMPRAS"), columns,
             {text(second ? QStringLiteral("02") : QStringLiteral("01")), integer(code), date(day),
              text(QString::number(40000 + code * 3).rightJustified(6, u'0')), text(lot.supplier), text(p.name),
              text(lot.lote), dec(bought, 5), text(lot.unit), dec(lot.cost / 5.2, 2), dec(lot.cost, 2), date(made),
              date(lot.expiry), text(QStringLiteral("S")), dec(stock, 2), text(rnd.perMille(700) ? "S" : "N"),
              text(rnd.perMille(500) ? QStringLiteral("Maria") : QStringLiteral("João")), text(p.code),
              text(QStringLiteral("Aprovado")), text(lot.manufacturer), text(QStringLiteral("Aprovada")),
              dec(lot.density, 2), dec(lot.factor, 2), dec(1, 2), text(lot.laboratory), text(lot.supplierCode),
              rnd.perMille(100) ? text(QStringLiteral("Entrega parcial; restante na próxima nota")) : null()});
}

void writeProducts(BulkWriter &w, const std::vector<Lot> &lots)
{
    static const QStringList columns = {
        "CODIGO", "COMPONENTE", "GRUPO", "FAMILIA", "UNID", "CONTROLADA", "CUSTOUNITUS", "CUSTOUNITR",
        "MULTIPLICADOR", "DIVISORUNID", "PRECOUS", "PRECOR", "QDEESTOQUE", "ESTOQUECRITICO", "ESTOQUEMAXIMO",
        "TRIBUTACAO", "ICMS", "FABRICANTE", "FORNECEDOR", "LOTE", "FATORCORRECAO", "DENSIDADE", "USAEXCIPIENTE",
        "FICHATECNICA", "VALIDADE", "DCB", "LISTA", "USOCONTINUO", "FATORDILUICAO", "TEMPOMANIP", "UNID_VENDA",
        "USAR_FORMPRECO", "CLASSE", "CONDARMAZENA", "NOMECIENTIFICO", "GRUPOPRECO", "CST"};
    for (const Product &p : products()) {
        const Lot *first = nullptr;
        double stock = 0;
        const int index = productIndex(p.code);
        for (const Lot &l : lots) {
            if (l.product != index)
                continue;
            if (!first)
                first = &l;
            stock += std::max(l.balance, 0.0) * registerUnitsPer(l.unit, p.unit);
        }
        // One product keeps a unit divisor of 0, as old registers do, and one is a dilution.
        double divisor = p.divisor;
        if (p.code == QLatin1String("00120"))
            divisor = 0;
        const double dilution = p.code == QLatin1String("00107") ? 100 : 1;
        const bool mp = p.group == QLatin1String("MP");
        const QByteArray sheet = mp ? platform::toCp1252(QStringLiteral("Ficha técnica de %1.\r\nArmazenar entre 15 °C e 30 °C.").arg(p.name))
                                    : QByteArray();
        w.insert(QStringLiteral("COMPONEN"), columns,
                 {text(p.code), text(p.name), text(p.group), text(p.family), text(p.unit), text(controlled(p.controlled)),
                  dec(p.cost / 5.2, 8), dec(p.cost, 8), dec(1, 8), dec(divisor, 8), dec(p.price / 5.2, 8), dec(p.price, 8),
                  Value::real(round(stock, 4)), Value::real(mp ? 100 : 10), Value::real(mp ? 5000 : 200),
                  text(QStringLiteral("T18")), dec(18, 8), text(first ? first->manufacturer : QString()),
                  text(first ? first->supplier : QString()), text(first ? first->lote : QString()), dec(1, 8),
                  dec(p.density, 8), text(mp ? "S" : "N"), sheet.isEmpty() ? null() : Value::blob(sheet),
                  first && first->expiry ? Value::timestamp(QDateTime(*first->expiry, QTime(0, 0))) : null(),
                  mp ? text(QString::number(1000 + index)) : null(),
                  p.controlled ? text(p.code == QLatin1String("00114") ? "C2" : "B1") : null(), text("N"),
                  dec(dilution, 8), integer(mp ? 15 : 0), text(p.unit), text("N"),
                  text(p.group == QLatin1String("HOM") ? QStringLiteral("Homeopatia") : QStringLiteral("Geral")),
                  text(QStringLiteral("Conservar em local fresco e seco, ao abrigo da luz.")), null(),
                  text(p.group), dec(0, 8)});
    }
}

// Products the register holds without any lot, up to `total` rows in all: varied names in the
// register's spelling, raw materials with their technical sheet.
void writeRegisterOnlyProducts(BulkWriter &w, int total)
{
    static const char *const heads[] = {"Extrato", "Oleo", "Tintura", "Po", "Acido", "Sal", "Essencia", "Base",
                                        "Resina", "Goma", "Cloreto", "Sulfato", "Vitamina", "Creme", "Gel", "Xarope"};
    static const char *const bodies[] = {"de alecrim", "de camomila", "de hamamelis", "de calendula", "mineral",
                                         "vegetal", "glicolico", "ascorbico", "citrico", "de sodio", "de potassio",
                                         "de zinco", "natural", "composto", "de arnica", "de aloe"};
    static const QStringList columns = {"CODIGO", "COMPONENTE", "GRUPO", "FAMILIA", "UNID", "CONTROLADA",
                                        "CUSTOUNITR", "PRECOR", "DIVISORUNID", "FABRICANTE", "FORNECEDOR", "LOTE",
                                        "FATORCORRECAO", "DENSIDADE", "FICHATECNICA", "CONDARMAZENA"};
    const int start = int(products().size());
    for (int i = start; i < total; ++i) {
        const int n = i - start;
        const QString name = QStringLiteral("%1 %2 %3")
                                 .arg(QLatin1String(heads[n % 16]), QLatin1String(bodies[(n / 16) % 16]))
                                 .arg(n / 256 + 1, 4, 10, QLatin1Char('0'));
        const bool mp = n % 3 != 2;
        w.insert(QStringLiteral("COMPONEN"), columns,
                 {text(QStringLiteral("R%1").arg(n + 1, 6, 10, QLatin1Char('0'))), text(name),
                  text(mp ? QStringLiteral("MP") : QStringLiteral("REV")), text(QStringLiteral("Geral")),
                  text(mp ? QStringLiteral("g") : QStringLiteral("un")), text(QStringLiteral("Não")), dec(1.5 + n % 40, 8),
                  dec(4.5 + n % 90, 8), dec(1, 8), text(manufacturers()[size_t(n) % manufacturers().size()]),
                  text(suppliers()[size_t(n) % suppliers().size()].name), text(QStringLiteral("R%1").arg(n % 997)),
                  dec(1, 8), dec(1, 8),
                  mp ? Value::blob(platform::toCp1252(QStringLiteral("Ficha técnica de %1.\r\n").arg(name).repeated(20))) : null(),
                  text(QStringLiteral("Conservar em local fresco e seco, ao abrigo da luz."))});
    }
}

void writeQualityControl(BulkWriter &w, const std::vector<Lot> &lots, const QDate &today)
{
    struct CriterionText { int code; const char *test; const char *criterion; };
    const CriterionText criteria[] = {
        {1, "Aspecto", "Pó cristalino branco a levemente amarelado"},
        {2, "Cor", "Conforme padrão de referência"},
        {3, "Odor", "Característico"},
        {4, "pH (solução a 1%)", "Entre 5,0 e 7,0"},
        {5, "Solubilidade", "Solúvel em água, pouco solúvel em etanol"},
        {6, "Densidade", "Entre 0,900 e 1,300 g/ml a 20 °C"},
        {7, "Ponto de fusão", "Entre 190 °C e 194 °C"},
        {8, "Identificação", "Positiva conforme monografia"},
        {9, "Teor", "Entre 98,0% e 102,0%"},
    };
    for (const CriterionText &s : criteria)
        w.insert(QStringLiteral("ESPECIFICACOES"), {"CODIGOESPEC", "ENSAIO", "ESPECIFICACAO"},
                 {integer(s.code), text(QString::fromUtf8(s.test)), text(QString::fromUtf8(s.criterion))});
    auto testsOf = [](const Product &p) {
        const bool liquid = p.unit == QLatin1String("ml") || p.unit == QLatin1String("l");
        return liquid ? QList<int>{1, 2, 3, 4, 6, 8} : QList<int>{1, 2, 3, 5, 7, 8, 9};
    };
    for (const Product &p : products()) {
        if (p.group != QLatin1String("MP") && p.group != QLatin1String("HOM"))
            continue;
        for (int criterion : testsOf(p))
            w.insert(QStringLiteral("ENSAIOS"), {"CODIGOCOMP", "CODIGOESPEC"}, {text(p.code), integer(criterion)});
    }
    // Two certificates of lots held in quality control, one approved, one refused.
    int laudo = 0;
    int ensaio = 0;
    for (const Lot &l : lots) {
        if (laudo == 2)
            break;
        const Product &p = products()[size_t(l.product)];
        if (l.laboratory.compare(QLatin1String("Controle Qualidade"), Qt::CaseInsensitive) != 0 || p.group != QLatin1String("MP"))
            continue;
        ++laudo;
        const QDate day = today.addDays(-laudo * 3);
        const bool approved = laudo == 1;
        w.insert(QStringLiteral("LAUDOPORLOTE"),
                 {"CODIGOLAUDO", "DATA", "MANIPULADOR", "ANALISTA", "TAMANHOLOTE", "CODIGOCOMP", "LOTE", "FORNECEDOR",
                  "LABORATORIO", "RESULTADOFINAL"},
                 {integer(laudo), date(day), text(QStringLiteral("Ana Paula Souza")), text(QStringLiteral("Carla Menezes")),
                  text(QStringLiteral("%1 %2").arg(std::max(l.balance, 0.0)).arg(l.unit)), text(p.code), text(l.lote),
                  text(l.supplier.left(35)), text(l.laboratory), text(approved ? "Aprovado" : "Reprovado")});
        for (int criterion : testsOf(p)) {
            const bool fail = !approved && criterion == 2;
            w.insert(QStringLiteral("CQPORLOTE"),
                     {"CODIGOENSAIO", "CODIGOLAUDO", "CODIGOESPEC", "RESULTADO", "DATADAANALISE", "RESPONSAVEL"},
                     {integer(++ensaio), integer(laudo), integer(criterion),
                      text(fail ? QStringLiteral("Não conforme: coloração acinzentada") : QStringLiteral("Conforme")),
                      date(day), text(QStringLiteral("Carla Menezes"))});
        }
    }
}

void writeStoresAndUsers(BulkWriter &w, const QDate &today)
{
    const auto &storeList = stores();
    for (size_t i = 0; i < storeList.size(); ++i) {
        const Store &s = storeList[i];
        for (const QString &lab : s.laboratories)
            w.insert(QStringLiteral("TABLAB"), {"LABORATORIO", "LOJA"}, {text(lab), text(s.cnpj)});
        const QString cgc = QStringLiteral("%1.%2.%3/%4-%5")
                                .arg(s.cnpj.mid(0, 2), s.cnpj.mid(2, 3), s.cnpj.mid(5, 3), s.cnpj.mid(8, 4), s.cnpj.mid(12, 2));
        w.insert(QStringLiteral("DADOSGER"),
                 {"FIRMA", "FARMACIA", "FARMACEUTICO", "ENDERECO", "NUMERO", "CIDADE", "ESTADO", "INSCRICAOEST",
                  "CGC", "TELEFONE", "CNPJ", "CEP", "BAIRRO", "EMAIL", "CRF_Q", "CABECALHO", "DIA", "MES", "ANO",
                  "NUMEROINICIAL", "QDEFOLHAS", "DATAINICIO"},
                 {text(QStringLiteral("Flor de Lis Manipulação Ltda")), text(s.name),
                  text(i == 1 ? QStringLiteral("Dr. Rafael Nogueira") : QStringLiteral("Dra. Helena Martins")),
                  text(i == 0 ? QStringLiteral("Rua XV de Novembro") : i == 1 ? QStringLiteral("Avenida do Batel")
                                                                               : QStringLiteral("Rua São João")),
                  text(QString::number(120 + 311 * int(i))), text(s.city), text(QStringLiteral("PR")),
                  text(QStringLiteral("90%1-8").arg(1234567 + int(i))), text(cgc),
                  text(QStringLiteral("(41) 3322-%1").arg(4500 + int(i))), text(s.cnpj),
                  text(QStringLiteral("80020-%1").arg(310 + int(i))), text(i == 1 ? QStringLiteral("Batel") : QStringLiteral("Centro")),
                  text(QStringLiteral("contato%1@flordelis.example").arg(i + 1)), text(QStringLiteral("CRF-PR %1").arg(12345 + int(i))),
                  text(s.name + QStringLiteral(" - ") + s.city + QStringLiteral("/PR")), integer(today.day()),
                  text(QLocale(QLocale::Portuguese, QLocale::Brazil).monthName(today.month())), integer(today.year()),
                  integer(1), integer(200), date(QDate(today.year(), 1, 1))});
    }

    static const QStringList stationColumns = {
        "ESTACAO", "DATBASNAM", "TIPO", "ATCAIXA", "ESVAZIAR", "EMUSO", "CAMINHOREQUISICAO", "CAMINHOOM",
        "CAMINHOECF", "CAMINHOSEQUENCIAL1", "CAMINHO2", "ROTULO1", "ROTULO2", "ROTULO3", "ROTULO4", "ROTULO5",
        "ROTULO6", "USUARIO", "CNPJ"};
    int code = 0;
    for (const User &u : users()) {
        ++code;
        w.insert(QStringLiteral("USUARIOS"),
                 {"USUARIO", "CODIGO", "SENHA", "ACESSO", "ARQUIVO", "LOGADO", "ESTACAO", "CONSIST_INICIAL", "DEFVIDEOQUR"},
                 {text(users::ScrambleText(u.name)), text(QString::number(code).rightJustified(3, u'0')),
                  text(users::ScrambleText(u.password)), text(accessRights(u)), text(QStringLiteral("USU%1").arg(code)),
                  text(QStringLiteral("N")), u.workstation.isEmpty() ? null() : text(u.workstation), text(QStringLiteral("S")),
                  integer(0)});
        if (u.workstation.isEmpty())
            continue;
        const QString folder = QStringLiteral("C:\\FORMULIX\\INTERFAC%1\\").arg(u.workstation);
        w.insert(QStringLiteral("ESTACOES"), stationColumns,
                 {text(u.workstation), text(folder + QStringLiteral("FORMULIX.BD")), text(QStringLiteral("Laboratório")),
                  text(QStringLiteral("Caixa %1").arg(u.workstation)), text(QStringLiteral("Não")), text(QStringLiteral("Sim")),
                  text(folder + QStringLiteral("REQUISIC")), text(folder + QStringLiteral("OM")), text(folder + QStringLiteral("ECF")),
                  text(folder + QStringLiteral("SEQ1")), text(folder + QStringLiteral("AUX")), text(QStringLiteral("Rótulo padrão")),
                  text(QStringLiteral("Rótulo de cápsulas")), text(QStringLiteral("Rótulo de cremes")),
                  text(QStringLiteral("Rótulo de soluções")), text(QStringLiteral("Rótulo de controlados")),
                  text(QStringLiteral("Rótulo de revenda")), text(u.stationUser), text(stores()[size_t(u.store)].cnpj)});
    }

    for (const Supplier &s : suppliers())
        w.insert(QStringLiteral("FORNECED"), {"CODIGO", "NOME", "NOMEFANTASIA"},
                 {text(s.code), text(s.name), text(s.shortName)});
    int m = 0;
    for (const QString &name : manufacturers())
        w.insert(QStringLiteral("FABRIC"), {"CODIGO", "NOMEFANTASIA"},
                 {text(QString::number(++m).rightJustified(3, u'0')), text(name)});
}

// Orders of the last 90 days with their component lines, and the stock movements that
// deducted them: most match, some are missing, some took another quantity or unit.
void writeOrders(BulkWriter &w, Random &rnd, const std::vector<Lot> &lots, const QDate &today, int orderCount)
{
    std::vector<int> usable;
    for (size_t i = 0; i < lots.size(); ++i) {
        const QString &group = products()[size_t(lots[i].product)].group;
        if (group == QLatin1String("MP") || group == QLatin1String("HOM") || products()[size_t(lots[i].product)].code == QLatin1String("00201"))
            usable.push_back(int(i));
    }
    static const QStringList lineColumns = {"ESTACAO", "NPEDIDO", "NFORMULA", "CODIGOCOMP", "COMPONENTE",
                                            "QDEESTOQUE", "UNID", "LOTE", "GRUPO", "FORNECEDOR"};
    static const QStringList moveColumns = {
        "CODMOVEST", "ESTACAO", "NPEDIDO", "CODCOMPRA", "CODPERDA", "CODIGOCQ", "NFORMULA", "NITEM", "CODPROD",
        "NNOTAFISCAL", "FORNECEDOR", "LOTE", "DATA", "DESCRICAO", "QUANTIDADE", "UNIDADE", "USADOESTPREV",
        "USADOESTCOR", "LABORATORIO", "CONTROLADA", "VALIDADE"};
    enum class Fate { Exact, Missing, OtherQuantity, OtherUnit };
    int line = 0;
    int movement = 0;
    for (int o = 0; o < orderCount; ++o) {
        const QString station = rnd.perMille(600) ? QStringLiteral("01") : QStringLiteral("02");
        const int number = 5001 + o;
        // The first orders fall inside the stored period so the audit and the cost report find them.
        const QDate day = today.addDays(o < 8 ? -o : -rnd.between(0, 89));
        const bool real = o == 6 ? false : rnd.perMille(900) || o < 8;
        w.insert(QStringLiteral("PEDIDOS"), {"ESTACAO", "NPEDIDO", "TIPOPEDIDO", "DATAPEDIDO"},
                 {text(station), integer(number), text(real ? QStringLiteral("Pedido") : QStringLiteral("Orçamento")), date(day)});
        const int formulas = rnd.between(1, 2);
        for (int f = 1; f <= formulas; ++f) {
            const int items = rnd.between(1, 3);
            for (int it = 1; it <= items; ++it, ++line) {
                // The first lines all use one product, so a single audit shows every outcome.
                const Lot &lot = lots[size_t(line < 6 ? 0 : usable[size_t(rnd.below(int(usable.size())))])];
                const Product &p = products()[size_t(lot.product)];
                const bool hom = p.group == QLatin1String("HOM");
                const double quantity = p.unit == QLatin1String("un") ? double(rnd.between(10, 120))
                                                                      : std::max(0.001, round(typicalQuantity(rnd, p.unit) / 50.0, 3));
                QString unit = p.unit;
                Fate fate = Fate::Exact;
                if (line < 6) {
                    static const Fate first[] = {Fate::Exact, Fate::Missing, Fate::OtherQuantity, Fate::OtherUnit,
                                                 Fate::Exact, Fate::Exact};
                    fate = first[line];
                } else if (hom) {
                    fate = rnd.perMille(400) ? Fate::Missing : Fate::Exact;
                    if (rnd.perMille(300))
                        unit = QStringLiteral("gts");
                } else {
                    const int r = rnd.below(1000);
                    fate = r < 930 ? Fate::Exact : r < 970 ? Fate::Missing : r < 990 ? Fate::OtherQuantity : Fate::OtherUnit;
                }
                double ordered = quantity;
                QString orderedUnit = unit;
                if (fate == Fate::OtherUnit) {   // asked in milligrams, deducted in grams
                    ordered = quantity * 1000;
                    orderedUnit = QStringLiteral("mg");
                }
                const bool noQuantity = line >= 6 && rnd.perMille(15);
                const bool noUnit = line >= 6 && !noQuantity && rnd.perMille(15);
                w.insert(QStringLiteral("COMPEDID"), lineColumns,
                         {text(station), integer(number), integer(f), text(p.code), text(foldedName(p.name)),
                          noQuantity ? null() : dec(ordered, 8), noUnit ? null() : text(orderedUnit), text(lot.lote),
                          text(p.group), text(lot.supplier)});
                if (!real || noQuantity || fate == Fate::Missing)
                    continue;
                double taken = quantity;
                if (fate == Fate::OtherQuantity)
                    taken = round(quantity * 0.9, 3);
                const QString description = rnd.perMille(500) ? platform::asciiUpper(foldedName(p.name)) : foldedName(p.name);
                const QString supplier = rnd.perMille(200) ? platform::asciiUpper(lot.supplier) : lot.supplier;
                w.insert(QStringLiteral("MOVEST"), moveColumns,
                         {integer(++movement), text(station), integer(number), null(), null(), null(), integer(f),
                          text(QString::number(it)), text(p.code), null(), text(supplier), text(lot.lote), date(day),
                          text(description), dec(taken, 8),
                          text(fate == Fate::OtherUnit ? QStringLiteral("G") : platform::asciiUpper(unit)),
                          text(QStringLiteral("S")), text(QStringLiteral("S")), text(lot.laboratory),
                          text(controlled(p.controlled)), date(lot.expiry)});
            }
        }
    }
}

// The first lot in stock and not near its expiry gets other movements, for its trace: a purchase, a loss, a quality-control sample,
// one of no known kind, and two more orders, one from each workstation. Its locations then hold
// less than bought minus moved, as happens when stock leaves without a movement.
void writeTraceMovements(BulkWriter &w, const std::vector<Lot> &lots, const QDate &today)
{
    static const QStringList moveColumns = {"CODMOVEST", "ESTACAO", "NPEDIDO", "CODCOMPRA", "CODPERDA", "CODIGOCQ",
                                            "NFORMULA", "NNOTAFISCAL", "FORNECEDOR", "LOTE", "DATA", "DESCRICAO",
                                            "QUANTIDADE", "UNIDADE", "LABORATORIO"};
    const auto it = std::find_if(lots.begin(), lots.end(), [&](const Lot &l) {
        return l.balance > 0 && l.expiry && *l.expiry > today.addDays(90) && l.situation == QLatin1String("Estoque");
    });
    if (it == lots.end())
        return;
    const Lot &lot = *it;
    const Product &p = products()[size_t(lot.product)];
    int code = w.rows(QStringLiteral("MOVEST"));
    auto move = [&](const QString &station, const db::Value &order, const db::Value &purchase, const db::Value &loss,
                    const db::Value &test, int daysAgo, double quantity) {
        w.insert(QStringLiteral("MOVEST"), moveColumns,
                 {integer(++code), text(station), order, purchase, loss, test, order.isNull() ? null() : integer(1),
                  purchase.isNull() ? null() : text(QStringLiteral("040003")), text(lot.supplier), text(lot.lote),
                  date(today.addDays(-daysAgo)), text(platform::asciiUpper(foldedName(p.name))), dec(quantity, 8),
                  text(lot.unit), text(lot.laboratory)});
    };
    const QString one = QStringLiteral("01"), two = QStringLiteral("02");
    move(one, null(), integer(1), null(), null(), 120, 0);
    move(one, null(), null(), text(QStringLiteral("PERDA-0001")), null(), 40, 1);
    move(one, null(), null(), null(), integer(1), 35, 0.5);
    move(two, null(), null(), null(), null(), 20, 0.25);
    for (const auto &[station, number] : {std::pair{one, 900001}, std::pair{two, 900002}}) {
        w.insert(QStringLiteral("PEDIDOS"), {"ESTACAO", "NPEDIDO", "TIPOPEDIDO", "DATAPEDIDO"},
                 {text(station), integer(number), text(QStringLiteral("Pedido")), date(today.addDays(-10))});
        w.insert(QStringLiteral("COMPEDID"),
                 {"ESTACAO", "NPEDIDO", "NFORMULA", "CODIGOCOMP", "COMPONENTE", "QDEESTOQUE", "UNID", "LOTE", "GRUPO",
                  "FORNECEDOR"},
                 {text(station), integer(number), integer(1), text(p.code), text(foldedName(p.name)), dec(2, 8),
                  text(lot.unit), text(lot.lote), text(p.group), text(lot.supplier)});
        move(station, integer(number), null(), null(), null(), 10, 2);
    }
}

void writePeriod(BulkWriter &w, const QDate &today)
{
    w.insert(QStringLiteral("PERIODO"), {"DATAINICIAL", "DATAFINAL"}, {date(today.addDays(-30)), date(today)});
}

QByteArray iniLine(const QString &label, const QString &value)
{
    if (label.size() != 48)
        throw std::logic_error("FORMULIX.INI label not 48 characters: " + label.toStdString());
    return platform::toCp1252(label + QLatin1Char(' ') + value) + "\r\n";
}

} // namespace

QByteArray siteConfigBytes()
{
    QByteArray out;
    out += iniLine(QStringLiteral("IP DO SERVIDOR CENTRAL.........................:"), QStringLiteral("127.0.0.1"));
    out += iniLine(QStringLiteral("IP DA ESTACAO DO USUARIO.......................:"), QStringLiteral("127.0.0.1"));
    out += iniLine(QStringLiteral("IP DO BACKUP DO BD LOCAL (BKPPED)..............:"), QStringLiteral("127.0.0.1"));
    out += iniLine(QStringLiteral("COR DE FUNDO DAS TELAS.........................:"), QStringLiteral("12632256"));
    out += iniLine(QStringLiteral("LOG DE ATIVIDADES..............................:"), QStringLiteral("SIM"));
    out += iniLine(QStringLiteral("USAR F.C. NO PRECO DE VENDA....................:"), QStringLiteral("N"));
    // Another program's setting: this module skips it.
    out += iniLine(QStringLiteral("IMPRESSORA DE ROTULOS..........................:"), QStringLiteral("LPT1"));
    out += iniLine(QStringLiteral("LOG ATIVADO....................................:"), QStringLiteral("S"));
    out += iniLine(QStringLiteral("LABORATORIO PADRAO.............................:"), QStringLiteral("Manipulação"));
    out += iniLine(QStringLiteral("TEMPO PARA LOGOFF AUTOMATICO...................:"), QStringLiteral("30"));
    out += iniLine(QStringLiteral("OPÇÕES DE SITUAÇÃO DO ESTOQUE..................:"),
                   QStringLiteral("Estoque/Vencido/Aguardando/Quarentena"));
    out += iniLine(QStringLiteral("CHAVE ESTOQUE..................................:"), QStringLiteral("4817"));
    out += iniLine(QStringLiteral("INCLUIR DILUIDOS NO RELATORIO FISICO/FINANCEIRO:"), QStringLiteral("S"));
    return out;
}

Summary makeDemo(const Options &options)
{
    if (options.dir.isEmpty())
        throw DemoError("no installation folder given");
    if (options.lots < 1)
        throw DemoError("the number of lots must be at least 1");
    const QDate today = options.today.isValid() ? options.today : QDate::currentDate();
    const QString root = QDir(options.dir).absolutePath();
    const QString drive = root + QStringLiteral("/c");
    if (QFileInfo::exists(drive)) {
        if (!options.force)
            throw DemoError(QStringLiteral("%1 already exists; use --force to replace it").arg(drive).toStdString());
        if (!QDir(drive).removeRecursively())
            throw DemoError(QStringLiteral("cannot remove %1").arg(drive).toStdString());
    }

    // One folder for C:\FORMULIX: the program resolves every letter case of it to this one.
    const QString program = drive + QStringLiteral("/FORMULIX");
    for (const char *sub : {"Dados", "LOG", "interfac01", "interfac02", "rpt"})
        makeDir(program + QLatin1Char('/') + QLatin1String(sub));
    writeFile(program + QStringLiteral("/FORMULIX.INI"), siteConfigBytes());
    writeFile(program + QStringLiteral("/drives.conf"),
              "# Windows locations of this demo installation; relative paths start at this folder.\n"
              "C: = ..\n"
              "\\\\127.0.0.1\\Formulix = .\n");
    const QDir rpt(QStringLiteral(":/rpt"));
    for (const QString &name : rpt.entryList(QDir::Files))
        writeFile(program + QStringLiteral("/rpt/") + name, [&] {
            QFile f(rpt.filePath(name));
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }());

    Summary summary;
    summary.programFolder = program;
    summary.centralDatabase = program + QStringLiteral("/Dados/FORMULIX.BD");

    Random rnd(0x5eed0000ULL + uint64_t(options.lots) * 7919 + uint64_t(today.toJulianDay()));
    std::vector<Lot> lots = specialLots(rnd, today);
    for (int i = int(lots.size()); i < options.lots; ++i)
        lots.push_back(randomLot(rnd, today, i));

    {
        db::Connection central;
        createDatabase(central, summary.centralDatabase, QStringLiteral(":/sql/central.sql"));
        BulkWriter w(central);
        writeStoresAndUsers(w, today);
        writeProducts(w, lots);
        writeRegisterOnlyProducts(w, options.products);
        int purchase = 0;
        for (const Lot &lot : lots) {
            writeLot(w, lot);
            if (lot.purchased) {
                writePurchase(w, rnd, lot, ++purchase, today);
                if (rnd.perMille(30))
                    writePurchase(w, rnd, lot, ++purchase, today);
            }
        }
        writeQualityControl(w, lots, today);
        writeOrders(w, rnd, lots, today, options.orders > 0 ? std::max(12, options.orders) : std::max(12, options.lots / 10));
        writeTraceMovements(w, lots, today);
        writePeriod(w, today);
        w.finish();
        summary.lots = w.rows(QStringLiteral("ESTLOTE"));
        summary.products = w.rows(QStringLiteral("COMPONEN"));
        summary.purchases = w.rows(QStringLiteral("COMPRAS"));
        summary.orders = w.rows(QStringLiteral("PEDIDOS"));
        summary.orderLines = w.rows(QStringLiteral("COMPEDID"));
        summary.movements = w.rows(QStringLiteral("MOVEST"));
    }

    for (const char *station : {"01", "02"}) {
        const QString file = program + QStringLiteral("/interfac%1/formulix.bd").arg(QLatin1String(station));
        db::Connection conn;
        createDatabase(conn, file, QStringLiteral(":/sql/workstation.sql"));
        BulkWriter w(conn);
        writePeriod(w, today);
        w.finish();
        summary.workstationDatabases << file;
    }

    const User &demo = users().front();
    summary.demoUser = demo.name;
    summary.demoPassword = demo.password;
    for (size_t i = 1; i < users().size(); ++i)
        summary.otherUsers << QStringLiteral("%1/%2 (%3)").arg(users()[i].name, users()[i].password, users()[i].note);
    return summary;
}

} // namespace makedemo
