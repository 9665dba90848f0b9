// One line per table: "NAME T40" is text(40), "N15,8" decimal(15,8), "I" integer, "F" float,
// "D" date, "TS" timestamp, "B" blob.
#include "columns.h"

#include <QHash>
#include <QStringList>

namespace data {

namespace {

const char *const kTables[] = {
    "ESTLOTE: DESCRICAO T70, LOTE T30, FORNECEDOR T40, CODIGO T13, SALDOPREVISTO N18,8, SALDOCORRENTE N18,8, "
    "UNIDADE T5, CODIGOEAN T13, FABRICANTE T35, VALIDADE D, SITUACAO T10, DENSIDADE N15,8, FATORCORRECAO N15,8, "
    "LABORATORIO T20, CONTROLADA T3, PRECOCUSTO N15,8, PRECOVENDA N15,8, ESTOQUECUSTO N15,8, ESTOQUEVENDA N15,8",
    "RELESTLOTE: DESCRICAO T70, LOTE T30, FORNECEDOR T35, CODIGO T13, SALDOPREVISTO N15,8, SALDOCORRENTE N15,8, "
    "UNIDADE T5, CODIGOEAN T13, FABRICANTE T35, VALIDADE D, SITUACAO T10, DENSIDADE N15,8, FATORCORRECAO N15,8, "
    "LABORATORIO T20, CONTROLADA T3, PRECOCUSTO N15,8, PRECOVENDA N15,8, ESTOQUECUSTO F, ESTOQUEVENDA F",
    "COMPONEN: CODIGO T20, COMPONENTE T70, GRUPO T5, FAMILIA T30, UNID T4, CONTROLADA T3, CUSTOUNITR N15,8, "
    "PRECOR N15,8, DIVISORUNID N15,8, FABRICANTE T40, FORNECEDOR T40, LOTE T30, FATORCORRECAO N15,8, "
    "DENSIDADE N15,8, FATORDILUICAO N15,8, VALIDADE TS, FICHATECNICA B",
    "TABLAB: LABORATORIO T20, LOJA T14",
    "FORNECED: CODIGO T4, NOME T40, NOMEFANTASIA T40",
    "FABRIC: NOMEFANTASIA T40",
    "ENSAIOS: CODIGOCOMP T10, CODIGOESPEC I",
    "ESPECIFICACOES: CODIGOESPEC I, ENSAIO T100, ESPECIFICACAO T250",
    "LAUDOPORLOTE: CODIGOLAUDO I, DATA D, MANIPULADOR T40, ANALISTA T40, TAMANHOLOTE T30, CODIGOCOMP T10, "
    "LOTE T30, FORNECEDOR T35, LABORATORIO T20, RESULTADOFINAL T10",
    "CQPORLOTE: CODIGOENSAIO I, CODIGOLAUDO I, CODIGOESPEC I, RESULTADO T250, DATADAANALISE D, RESPONSAVEL T40",
    "USUARIOS: USUARIO T30, CODIGO T10, SENHA T12, ACESSO T100, ARQUIVO T8, LOGADO T1, ESTACAO T15, "
    "CONSIST_INICIAL T1, DEFVIDEOQUR I",
    "PERIODO: DATAINICIAL D, DATAFINAL D",
};

// The labels of the boxes that edit each column.
const char *const kLabels[] = {
    "ESTLOTE.DESCRICAO=Descrição", "ESTLOTE.LOTE=Lote", "ESTLOTE.FORNECEDOR=Fornecedor", "ESTLOTE.CODIGO=Código",
    "ESTLOTE.SALDOCORRENTE=Saldo Atual", "ESTLOTE.UNIDADE=Unidade", "ESTLOTE.CODIGOEAN=Código de Barras",
    "ESTLOTE.FABRICANTE=Fabricante", "ESTLOTE.VALIDADE=Validade", "ESTLOTE.SITUACAO=Situação",
    "ESTLOTE.DENSIDADE=Densidade", "ESTLOTE.FATORCORRECAO=Fator de Correção", "ESTLOTE.CONTROLADA=Controlada?",
    "ESTLOTE.LABORATORIO=Local", "LAUDOPORLOTE.DATA=Data", "LAUDOPORLOTE.TAMANHOLOTE=Tamanho do lote",
    "LAUDOPORLOTE.RESULTADOFINAL=Resultado", "LAUDOPORLOTE.RESULTADO=Resultado do ensaio", "LAUDOPORLOTE.ANALISTA=Analista", "LAUDOPORLOTE.MANIPULADOR=Manipulador",
    "CQPORLOTE.RESULTADO=Resultado",
};

ColumnInfo parseInfo(const QString &code)
{
    ColumnInfo s;
    if (code == QLatin1String("TS")) {
        s.type = ColumnInfo::Type::Timestamp;
    } else if (code.startsWith(QLatin1Char('T'))) {
        s.type = ColumnInfo::Type::Text;
        s.width = code.mid(1).toInt();
    } else if (code.startsWith(QLatin1Char('N'))) {
        s.type = ColumnInfo::Type::Decimal;
        s.precision = code.mid(1).section(QLatin1Char(','), 0, 0).toInt();
        s.scale = code.section(QLatin1Char(','), 1).toInt();
    } else if (code == QLatin1String("I")) {
        s.type = ColumnInfo::Type::Integer;
    } else if (code == QLatin1String("F")) {
        s.type = ColumnInfo::Type::Float;
    } else if (code == QLatin1String("D")) {
        s.type = ColumnInfo::Type::Date;
    } else {
        s.type = ColumnInfo::Type::Blob;
    }
    return s;
}

const QHash<QString, ColumnInfo> &infos()
{
    static const QHash<QString, ColumnInfo> all = [] {
        QHash<QString, ColumnInfo> h;
        for (const char *line : kTables) {
            const QString text = QString::fromLatin1(line);
            const QString table = text.section(QLatin1Char(':'), 0, 0);
            // Decimal codes carry a comma of their own, so columns are split on ", ".
            for (const QString &col : text.section(QLatin1Char(':'), 1).split(QStringLiteral(", "))) {
                const QStringList parts = col.trimmed().split(QLatin1Char(' '));
                h.insert(table + QLatin1Char('.') + parts[0], parseInfo(parts[1]));
            }
        }
        return h;
    }();
    return all;
}

} // namespace

std::optional<ColumnInfo> FindColumnInfo(const QString &table, const QString &column)
{
    const auto it = infos().constFind(table.toUpper() + QLatin1Char('.') + column.toUpper());
    if (it == infos().constEnd())
        return std::nullopt;
    return *it;
}

QString FieldLabel(const QString &table, const QString &column)
{
    static const QHash<QString, QString> labels = [] {
        QHash<QString, QString> h;
        for (const char *entry : kLabels) {
            const QString text = QString::fromUtf8(entry);
            h.insert(text.section(QLatin1Char('='), 0, 0), text.section(QLatin1Char('='), 1));
        }
        return h;
    }();
    return labels.value(table.toUpper() + QLatin1Char('.') + column.toUpper(), column);
}

QString CutToColumn(const QString &table, const QString &column, const QString &text)
{
    const std::optional<ColumnInfo> info = FindColumnInfo(table, column);
    if (!info || info->type != ColumnInfo::Type::Text || info->width <= 0)
        return text;
    return text.left(info->width);
}

} // namespace data
