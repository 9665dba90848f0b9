// Demo catalogue: Portuguese product names with accents and apostrophes, three stores, six users.
#include "catalogue.h"

#include "platform/cp1252.h"

namespace makedemo {

namespace {

Product mp(const char *code, const char *name, const char *unit, QStringList lotUnits, double cost, double price,
           bool controlled = false, double density = 1, const char *family = "Ativos")
{
    Product p;
    p.code = QString::fromLatin1(code);
    p.name = normalisedName(QString::fromUtf8(name));
    p.group = QStringLiteral("MP");
    p.unit = QString::fromLatin1(unit);
    p.lotUnits = std::move(lotUnits);
    p.cost = cost;
    p.price = price;
    p.controlled = controlled;
    p.density = density;
    p.family = QString::fromUtf8(family);
    return p;
}

Product other(const char *code, const char *name, const char *group, QStringList lotUnits, double cost, double price,
              const char *family, double divisor = 1)
{
    Product p;
    p.code = QString::fromLatin1(code);
    p.name = normalisedName(QString::fromUtf8(name));
    p.group = QString::fromLatin1(group);
    p.unit = p.group == QLatin1String("HOM") ? QStringLiteral("ml") : QStringLiteral("un");
    p.lotUnits = std::move(lotUnits);
    p.cost = cost;
    p.price = price;
    p.divisor = divisor;
    p.family = QString::fromUtf8(family);
    return p;
}

QStringList u(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *s : list)
        out << QString::fromLatin1(s);
    return out;
}

} // namespace

QString normalisedName(const QString &name)
{
    QString out = platform::asciiLower(name);
    if (!out.isEmpty())
        out.replace(0, 1, platform::asciiUpper(out.left(1)));
    if (out.size() >= 10 && out.left(8) == QLatin1String("vitamina"))
        out.replace(9, 1, platform::asciiUpper(out.mid(9, 1)));
    return out;
}

QString foldedName(const QString &name)
{
    static const QString from = QStringLiteral("ÀÁÂÃàáâãÇçÉÊéêÍíÑñÓÔÕóôõÚÛÜúûü");
    static const QString to = QStringLiteral("aaaaaaaacceeeeiinnoooooouuuuuu");
    QString out = normalisedName(name);
    for (QChar &c : out) {
        const int at = from.indexOf(c);
        if (at >= 0)
            c = to[at];
        else if (c == QLatin1Char('\''))
            c = QLatin1Char(' ');
    }
    return out;
}

const std::vector<Product> &products()
{
    static const std::vector<Product> list = {
        mp("00101", "Ácido Hialurônico", "g", u({"G", "MG"}), 9.80, 29.40),
        mp("00102", "Ácido Ascórbico", "g", u({"G", "KG"}), 0.35, 1.20),
        mp("00103", "Óleo de Amêndoas Doce", "ml", u({"ML", "L"}), 0.08, 0.30, false, 0.91, "Óleos vegetais"),
        mp("00104", "Extrato de Hamamélis", "ml", u({"ML"}), 0.12, 0.45, false, 1.02, "Extratos"),
        mp("00105", "Vitamina C", "g", u({"G", "g"}), 0.40, 1.50, false, 1, "Vitaminas"),
        mp("00106", "Vitamina B12", "mg", u({"MG", "MCG"}), 0.90, 3.10, false, 1, "Vitaminas"),
        mp("00107", "Vitamina D3", "mcg", u({"MCG"}), 0.004, 0.02, false, 1, "Vitaminas"),
        mp("00108", "Cafeína Anidra", "g", u({"G"}), 0.25, 0.95),
        mp("00109", "Minoxidil", "g", u({"G", "mg"}), 3.20, 11.00),
        mp("00110", "Fluoxetina Cloridrato", "g", u({"G", "MG"}), 2.10, 8.40, true, 1, "Antidepressivos"),
        mp("00111", "Sertralina Cloridrato", "g", u({"G"}), 4.30, 15.00, true, 1, "Antidepressivos"),
        mp("00112", "Diazepam", "mg", u({"MG"}), 0.02, 0.09, true, 1, "Ansiolíticos"),
        mp("00113", "Clonazepam", "mg", u({"MG"}), 0.03, 0.12, true, 1, "Ansiolíticos"),
        mp("00114", "Tretinoína", "g", u({"G"}), 6.50, 21.00, true),
        mp("00115", "Melatonina", "mg", u({"MG"}), 0.01, 0.05),
        mp("00116", "Colágeno Hidrolisado", "kg", u({"KG", "G", "kg"}), 85.00, 240.00),
        mp("00117", "Ureia", "kg", u({"KG"}), 12.00, 40.00),
        mp("00118", "Pantenol", "ml", u({"ML"}), 0.30, 1.10, false, 1.20),
        mp("00119", "Glicerina Bidestilada", "l", u({"L", "ML"}), 14.00, 45.00, false, 1.26, "Veículos"),
        mp("00120", "Alantoína", "g", u({"G"}), 0.50, 1.90),
        mp("00121", "Dióxido de Titânio", "g", u({"G"}), 0.15, 0.60),
        mp("00122", "Óxido de Zinco", "g", u({"G"}), 0.10, 0.40),
        mp("00123", "Ômega 3", "g", u({"G"}), 0.18, 0.70, false, 0.92, "Óleos vegetais"),
        mp("00124", "Coenzima Q10", "mg", u({"MG"}), 0.05, 0.20),
        mp("00125", "Lactobacilos Acidófilos", "mil", u({"MIL"}), 0.002, 0.009, false, 1, "Probióticos"),
        mp("00126", "Essência de Lavanda", "ml", u({"ML", "MCL"}), 0.45, 1.60, false, 0.89, "Essências"),
        other("00201", "Cápsula Gelatinosa Incolor nº 0", "SUP", u({"UN", "un"}), 0.015, 0.05, "Cápsulas", 1000),
        other("00202", "Frasco Âmbar 100 ml", "SUP", u({"UN"}), 0.85, 2.50, "Embalagens"),
        other("00203", "Pote Plástico 60 g", "SUP", u({"UN", "un"}), 0.60, 1.80, "Embalagens"),
        other("00204", "Bisnaga de Alumínio 30 g", "SUP", u({"UN"}), 0.95, 2.90, "Embalagens"),
        other("00205", "Rótulo Adesivo", "SUP", u({"un"}), 0.03, 0.10, "Embalagens", 100),
        other("00301", "Protetor Solar FPS 50", "REV", u({"UN"}), 32.00, 64.90, "Dermocosméticos"),
        other("00302", "Sabonete de Glicerina", "REV", u({"UN"}), 3.10, 7.50, "Higiene"),
        other("00303", "Pó d'Arroz Compacto", "REV", u({"UN"}), 12.40, 29.90, "Maquiagem"),
        other("00304", "Água Termal 150 ml", "REV", u({"UN"}), 28.00, 59.00, "Dermocosméticos"),
        other("00305", "Hidratante Labial", "REV", u({"UN"}), 6.20, 14.90, "Dermocosméticos"),
        other("00306", "Colônia d'Alva", "REV", u({"UN"}), 18.00, 42.00, "Perfumaria"),
        other("00401", "Creme Dental Herbal", "REVI", u({"UN"}), 4.10, 9.90, "Higiene"),
        other("00402", "Xampu Anticaspa", "REVI", u({"UN"}), 9.50, 22.00, "Higiene"),
        other("00501", "Arnica Montana TM", "HOM", u({"ML"}), 0.40, 1.80, "Tinturas-mãe"),
        other("00502", "Calendula Officinalis TM", "HOM", u({"ML"}), 0.38, 1.70, "Tinturas-mãe"),
        other("00503", "Chamomilla TM", "HOM", u({"ML"}), 0.35, 1.60, "Tinturas-mãe"),
    };
    return list;
}

const std::vector<Supplier> &suppliers()
{
    static const std::vector<Supplier> list = {
        {QStringLiteral("0001"), QStringLiteral("Fênix Química Ltda"), QStringLiteral("Fênix Química")},
        {QStringLiteral("0002"), QStringLiteral("Aromas do Vale Ltda"), QStringLiteral("Aromas do Vale")},
        {QStringLiteral("0003"), QStringLiteral("Santa Clara Insumos Farmacêuticos"), QStringLiteral("Santa Clara")},
        {QStringLiteral("0004"), QStringLiteral("Botica Fina Distribuidora Ltda"), QStringLiteral("Botica Fina")},
        {QStringLiteral("0005"), QStringLiteral("Insumos Paranaguá S.A."), QStringLiteral("Paranaguá")},
        {QStringLiteral("0006"), QStringLiteral("Embalagens Ipê Ltda"), QStringLiteral("Ipê Embalagens")},
        {QStringLiteral("0007"), QStringLiteral("Cosméticos Bela Serra Ltda"), QStringLiteral("Bela Serra")},
    };
    return list;
}

const QStringList &manufacturers()
{
    static const QStringList list = {
        QStringLiteral("Fênix Química"),
        QStringLiteral("Indústria Química Sol Nascente"),
        QStringLiteral("Extratos Serra Verde"),
        QStringLiteral("Laboratório Aurora"),
        QStringLiteral("Plásticos Ipê"),
        QStringLiteral("Bela Serra Cosméticos"),
        QStringLiteral("Homeopatia Alvorada"),
    };
    return list;
}

const std::vector<Store> &stores()
{
    static const std::vector<Store> list = {
        {QStringLiteral("12345678000195"), QStringLiteral("Farmácia Flor de Lis - Centro"), QStringLiteral("Curitiba"),
         {QStringLiteral("Manipulação"), QStringLiteral("Loja 1")}},
        {QStringLiteral("98765432000198"), QStringLiteral("Farmácia Flor de Lis - Batel"), QStringLiteral("Curitiba"),
         {QStringLiteral("Laboratório Sul"), QStringLiteral("Loja 2")}},
        {QStringLiteral("11222333000181"), QStringLiteral("Farmácia Flor de Lis - Jardim"), QStringLiteral("Londrina"), {}},
    };
    return list;
}

const std::vector<User> &users()
{
    using R = User::Rights;
    static const std::vector<User> list = {
        {QStringLiteral("MARIA"), QStringLiteral("1234"), QStringLiteral("01"), QStringLiteral("maria"), 0, R::Authorised,
         QStringLiteral("workstation 01, store with Manipulação and Loja 1")},
        {QStringLiteral("JOAO"), QStringLiteral("5678"), QStringLiteral("02"), QStringLiteral("JOAO"), 1, R::Authorised,
         QStringLiteral("workstation 02, the second store")},
        {QStringLiteral("ANA"), QStringLiteral("2222"), QStringLiteral("03"), QStringLiteral("Ana"), 2, R::Authorised,
         QStringLiteral("store without laboratories")},
        {QStringLiteral("PEDRO"), QStringLiteral("1111"), QString(), QString(), -1, R::Authorised,
         QStringLiteral("no workstation")},
        {QStringLiteral("CARLOS"), QStringLiteral("3333"), QString(), QString(), -1, R::Refused,
         QStringLiteral("not authorised")},
        {QStringLiteral("LUCIA"), QStringLiteral("4444"), QString(), QString(), -1, R::TooShort,
         QStringLiteral("rights shorter than eight characters")},
    };
    return list;
}

const QStringList &sharedLocations()
{
    static const QStringList list = {QStringLiteral("Controle Qualidade"), QStringLiteral("CONTROLE QUALIDADE"),
                                     QStringLiteral("EMTRANSITO"), QStringLiteral("TERCEIROS")};
    return list;
}

QString accessRights(const User &user)
{
    if (user.rights == User::Rights::TooShort)
        return QStringLiteral("SSSNS");
    int key = (user.name.at(0).unicode() + 9) % 256;
    if (user.rights == User::Rights::Refused)
        key = (key + 1) % 256;
    return QStringLiteral("SSNSSSN") + QChar(key) + QStringLiteral("SSSNNSSSNSSSSNSNSSSSSNNSSSSSSSNSSSSNSSNSSSSSNS");
}

} // namespace makedemo
