// A small store whose controlled substances have hand-computed balances over the first two
// quarters of 2024 (today 10/07/2024). Every figure the tests expect is worked out in the comments.
//
// CLONAZEPAM (code 100, DCB 02345, kept in g), lot L1 of "Química Ávila":
//   05/01 NF 501  +1 KG      -> 1000        20/03 loss 7     -0,5 G      -> 1248
//   10/02 NF 502  +250 g     -> 1250        10/04 order 01.200/2 -2 g    -> 1246
//   15/02 order 01.100/1 -1500 MG -> 1248,5 05/05 QC 3        -250 mg    -> 1245,75
//   20/05 lot edit form: 1000 -> 990 in the laboratory row (-10)      -> 1235,75
//   02/07 order 01.300/1 -1 G (after both periods)                   -> 1234,75
//   held now: 990 g in "Laboratório" + 0,24475 kg in "CONTROLE QUALIDADE" (the lot was moved)
//   = 1234,75 g; the other store's 77 g are not the store's.
// FENOBARBITAL (code 200, no DCB, kept in g), lot F1 of "Pharma Sul":
//   10/01 NF 601 +100 G -> 100; 20/01 order 01.110 -80 g -> 20; 25/01 order 01.120 -40 g -> -20,
//   so the start-up set it to zero (+20) -> 0; 01/03 NF 602 +50 g -> 50;
//   05/03 order 01.150/1 asked 5 G of F1 and was never deducted (no movement);
//   15/06 a count's posting 50 -> 48 (-2). Held now 48 g.
// MORFINA (DCB 06104, kept in mL): product 300 "Morfina Sulfato 1%" (unit mL) lot M1 of "Dist. Norte":
//   15/02 NF 701 +0,5 L -> 500; 20/02 order 01.130 -3 ML -> 497; 25/02 order 01.140 "2 CX": no
//   conversion. Held 497 mL. Product 301 "Sulfato de Morfina" (register not controlled) lot M2
//   marked controlled, 100 ml held, nothing on record: start and end 100.
// DIAZEPAM (code 400, register controlled), lot D1 held 10 g but marked "Não".
// LACTOSE (code 900) is not controlled and never appears.
#pragma once
#include "db/connection.h"
#include "platform/cp1252.h"

#include <QDir>
#include <QFile>

namespace bookfixture {

inline const QString kStore = QStringLiteral("11222333000181");

inline void Plant(db::Connection &c)
{
    auto exec = [&](const QString &sql) { c.execute(sql); };
    exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Laboratório', '%1')").arg(kStore));
    exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('LOJA2', '99888777000166')"));
    exec(QStringLiteral("insert into DADOSGER (FARMACIA, FIRMA, ENDERECO, NUMERO, CIDADE, ESTADO, CGC, CNPJ, "
                        "FARMACEUTICO, CRF_Q, NAUTORIZACAO) values ('Farmácia Bela Vista', 'Bela Vista Manipulação "
                        "Ltda', 'Rua das Acácias', '120', 'Curitiba', 'PR', '11.222.333/0001-81', '%1', "
                        "'Ana Lúcia Prado', '12345', '7.012345')")
             .arg(kStore));
    auto product = [&](const char *code, const QString &name, const char *unit, const char *mark, const char *dcb) {
        c.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, UNID, CONTROLADA, DCB) values (?, ?, ?, ?, ?)"),
                  {db::Value::text(QLatin1String(code)), db::Value::text(name), db::Value::text(QLatin1String(unit)),
                   db::Value::text(QString::fromUtf8(mark)),
                   dcb ? db::Value::text(QLatin1String(dcb)) : db::Value()});
    };
    product("100", QStringLiteral("CLONAZEPAM"), "G", "Sim", "02345");
    product("200", QStringLiteral("FENOBARBITAL"), "G", "Sim", nullptr);
    product("300", QStringLiteral("Morfina Sulfato 1%"), "mL", "Sim", "06104");
    product("301", QStringLiteral("Sulfato de Morfina"), "L", "Não", "06104");
    product("400", QStringLiteral("DIAZEPAM"), "G", "sim", nullptr);
    product("900", QStringLiteral("LACTOSE"), "G", "Não", nullptr);
    auto lot = [&](const char *code, const QString &name, const char *lote, const QString &supplier, const QString &lab,
                   const char *balance, const char *unit, const char *mark) {
        c.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                                 "UNIDADE, CONTROLADA) values (?, ?, ?, ?, ?, ?, ?, ?)"),
                  {db::Value::text(QLatin1String(code)), db::Value::text(name), db::Value::text(QLatin1String(lote)),
                   db::Value::text(supplier), db::Value::text(lab), db::Value::text(QLatin1String(balance)),
                   db::Value::text(QLatin1String(unit)), db::Value::text(QString::fromUtf8(mark))});
    };
    lot("100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), QStringLiteral("Laboratório"), "990", "g", "Sim");
    lot("100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), QStringLiteral("CONTROLE QUALIDADE"),
        "0.24475", "kg", "Sim");
    lot("100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), QStringLiteral("LOJA2"), "77", "g", "Sim");
    lot("200", QStringLiteral("FENOBARBITAL"), "F1", QStringLiteral("Pharma Sul"), QStringLiteral("Laboratório"), "48", "G", "Sim");
    lot("300", QStringLiteral("Morfina Sulfato 1%"), "M1", QStringLiteral("Dist. Norte"), QStringLiteral("Laboratório"), "497",
        "ML", "Sim");
    lot("301", QStringLiteral("Sulfato de Morfina"), "M2", QStringLiteral("Dist. Norte"), QStringLiteral("Laboratório"), "100",
        "ml", "Sim");
    lot("400", QStringLiteral("DIAZEPAM"), "D1", QStringLiteral("Pharma Sul"), QStringLiteral("Laboratório"), "10", "G", "Não");
    lot("900", QStringLiteral("LACTOSE"), "X9", QStringLiteral("Pharma Sul"), QStringLiteral("Laboratório"), "5000", "G", "Não");

    int key = 0;
    auto purchase = [&](const char *date, const char *nf, const char *code, const QString &name, const char *lote,
                        const QString &supplier, const char *qty, const char *unit) {
        c.execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, FORNECEDOR, CODIGO, "
                                 "COMPONENTE, LOTE, QUANTIDADE, UNIDADE, CODIGOFORNECEDOR, LABORATORIO) values "
                                 "('01', ?, ?, ?, ?, ?, ?, ?, ?, ?, '0001', 'Laboratório')"),
                  {db::Value::integer(++key), db::Value::text(QLatin1String(date)), db::Value::text(QLatin1String(nf)),
                   db::Value::text(supplier), db::Value::text(QLatin1String(code)), db::Value::text(name),
                   db::Value::text(QLatin1String(lote)), db::Value::text(QLatin1String(qty)),
                   db::Value::text(QLatin1String(unit))});
    };
    purchase("2024-01-05", "501", "100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), "1", "KG");
    purchase("2024-02-10", "502", "100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("QUIMICA AVILA"), "250", "g");
    purchase("2024-01-10", "601", "200", QStringLiteral("FENOBARBITAL"), "F1", QStringLiteral("Pharma Sul"), "100", "G");
    purchase("2024-03-01", "602", "200", QStringLiteral("FENOBARBITAL"), "F1", QStringLiteral("Pharma Sul"), "50", "g");
    purchase("2024-02-15", "701", "300", QStringLiteral("Morfina Sulfato 1%"), "M1", QStringLiteral("Dist. Norte"), "0.5", "L");
    purchase("2024-02-01", "901", "900", QStringLiteral("LACTOSE"), "X9", QStringLiteral("Pharma Sul"), "5", "KG");

    int mkey = 0;
    // kind: 'P' order (station.order/formula), 'L' loss, 'Q' quality control.
    auto move = [&](const char *date, char kind, const char *order, const char *formula, const char *code,
                    const QString &name, const char *lote, const QString &supplier, const char *qty, const char *unit,
                    const QString &lab) {
        auto opt = [](const char *v) { return v ? db::Value::text(QLatin1String(v)) : db::Value(); };
        c.execute(QStringLiteral("insert into MOVEST (CODMOVEST, DATA, ESTACAO, NPEDIDO, NFORMULA, CODPERDA, CODIGOCQ, "
                                 "CODPROD, DESCRICAO, LOTE, FORNECEDOR, QUANTIDADE, UNIDADE, LABORATORIO) values "
                                 "(?, ?, '01', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                  {db::Value::integer(++mkey), db::Value::text(QLatin1String(date)), kind == 'P' ? opt(order) : db::Value(),
                   kind == 'P' ? opt(formula) : db::Value(), kind == 'L' ? opt(order) : db::Value(),
                   kind == 'Q' ? opt(order) : db::Value(), opt(code), db::Value::text(name),
                   db::Value::text(QLatin1String(lote)), db::Value::text(supplier), db::Value::text(QLatin1String(qty)),
                   db::Value::text(QLatin1String(unit)), db::Value::text(lab)});
    };
    const QString lab = QStringLiteral("Laboratório");
    move("2024-02-15", 'P', "100", "1", "100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("QUIMICA AVILA"), "1500", "MG", lab);
    move("2024-03-20", 'L', "7", nullptr, "100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), "0.5", "G", lab);
    move("2024-04-10", 'P', "200", "2", "100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), "2", "g", lab);
    // A movement with no product code, found by its name.
    move("2024-05-05", 'Q', "3", nullptr, nullptr, QStringLiteral("Clonazepam"), "L1", QStringLiteral("Química Ávila"), "250", "mg",
         QStringLiteral("CONTROLE QUALIDADE"));
    move("2024-07-02", 'P', "300", "1", "100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), "1", "G", lab);
    // The other store's own movement of the same lot is not this store's book.
    move("2024-03-03", 'P', "900", "1", "100", QStringLiteral("CLONAZEPAM"), "L1", QStringLiteral("Química Ávila"), "5", "G",
         QStringLiteral("LOJA2"));
    move("2024-01-20", 'P', "110", "1", "200", QStringLiteral("FENOBARBITAL"), "F1", QStringLiteral("Pharma Sul"), "80", "g", lab);
    move("2024-01-25", 'P', "120", "1", "200", QStringLiteral("FENOBARBITAL"), "F1", QStringLiteral("Pharma Sul"), "40", "g", lab);
    move("2024-02-20", 'P', "130", "1", "300", QStringLiteral("Morfina Sulfato 1%"), "M1", QStringLiteral("Dist. Norte"), "3", "ML", lab);
    move("2024-02-25", 'P', "140", "1", "300", QStringLiteral("Morfina Sulfato 1%"), "M1", QStringLiteral("Dist. Norte"), "2", "CX", lab);
    move("2024-02-02", 'P', "190", "1", "900", QStringLiteral("LACTOSE"), "X9", QStringLiteral("Pharma Sul"), "10", "G", lab);

    // Orders: 01.150 took 5 G of F1 and was never deducted; 01.110 was.
    exec(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('01', 150, 'Pedido', '2024-03-05')"));
    exec(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('01', 110, 'Pedido', '2024-01-20')"));
    exec(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, CODIGOCOMP, COMPONENTE, QDEESTOQUE, UNID, LOTE, "
                        "FORNECEDOR) values ('01', 150, 1, '200', 'FENOBARBITAL', 5, 'G', 'F1', 'Pharma Sul')"));
    exec(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, CODIGOCOMP, COMPONENTE, QDEESTOQUE, UNID, LOTE, "
                        "FORNECEDOR) values ('01', 110, 1, '200', 'FENOBARBITAL', 80, 'g', 'F1', 'Pharma Sul')"));
}

// The activity log's months on the server's share (folder LOG below `share`): a saved edit of
// L1, a cancelled edit of F1, a count's posting of F1. March has no file.
inline void WriteLogs(const QString &share)
{
    QDir(share).mkpath(QStringLiteral("LOG"));
    auto file = [&](const char *month, const QStringList &lines) {
        QFile f(share + QStringLiteral("/LOG/LOGESTOQ_") + QLatin1String(month) + QStringLiteral(".TXT"));
        f.open(QIODevice::WriteOnly);
        QByteArray bytes = "--------------------------------\r\n  LOG criado em 01/01/24-08:00\r\n"
                           "--------------------------------\r\n";
        for (const QString &l : lines)
            bytes += platform::toCp1252(l) + "\r\n";
        f.write(bytes);
    };
    for (const char *m : {"2024-01", "2024-02", "2024-04", "2024-07"})
        file(m, {});
    file("2024-05", {QStringLiteral("20/05/24-09:10 - MARIA - Abriu a edição do registro: CLONAZEPAM (lote: L1)"),
                     QStringLiteral("20/05/24-09:11 - MARIA - Alterou o Saldo Atual de 1000 para 995 (CLONAZEPAM, lote: L1)"),
                     QStringLiteral("20/05/24-09:11 - JOSE - Abriu a edição do registro: FENOBARBITAL (lote: F1)"),
                     QStringLiteral("20/05/24-09:12 - JOSE - Alterou o Saldo Atual de 50 para 40 (FENOBARBITAL, lote: F1)"),
                     QStringLiteral("20/05/24-09:12 - MARIA - Justificativa: frasco quebrado"),
                     QStringLiteral("20/05/24-09:12 - JOSE - Justificativa: teste"),
                     QStringLiteral("20/05/24-09:13 - MARIA - Alterou o Saldo Atual de 1000 para 990 (CLONAZEPAM, lote: L1)"),
                     QStringLiteral("20/05/24-09:13 - JOSE - Cancelou a operação. Saldo atual: 50"),
                     QStringLiteral("20/05/24-09:14 - MARIA - Salvou o registro corrente. Saldo atual: 990")});
    file("2024-06", {QStringLiteral("15/06/24-17:00 - PEDRO - Alterou o Saldo Atual de 50 para 48 (FENOBARBITAL, lote: F1)"),
                     QStringLiteral("15/06/24-17:00 - PEDRO - Justificativa: Inventário 3 - quebra")});
}

} // namespace bookfixture
