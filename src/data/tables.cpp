// Keys and required columns of the suite's tables. A table without a key is found by all its
// plain columns when a cached change has to reach it.
#include "tables.h"

namespace data::tables {

namespace {
TableDef def(const char *name, QStringList keys = {}, QStringList required = {})
{
    return TableDef{QString::fromLatin1(name), std::move(keys), std::move(required), {}};
}
} // namespace

const TableDef &ESTLOTE()
{
    // The same lot of the same product from the same supplier exists once per location.
    static const TableDef t = def("ESTLOTE", {"CODIGO", "LOTE", "FORNECEDOR", "LABORATORIO"},
                                  {"DESCRICAO", "LOTE", "FORNECEDOR"});
    return t;
}

const TableDef &USUARIOS()
{
    static const TableDef t = def("USUARIOS", {"USUARIO"}, {"USUARIO"});
    return t;
}

const TableDef &ESTACOES()
{
    static const TableDef t = def("ESTACOES", {"ESTACAO"}, {"ESTACAO"});
    return t;
}

const TableDef &TABLAB()
{
    static const TableDef t = def("TABLAB");
    return t;
}

const TableDef &COMPONEN()
{
    static const TableDef t = def("COMPONEN", {"CODIGO"}, {"CODIGO"});
    return t;
}

const TableDef &COMPRAS()
{
    static const TableDef t = def("COMPRAS", {"ESTACAO", "CODCOMPRA", "DATA", "NOTAFISCAL"},
                                  {"ESTACAO", "CODCOMPRA", "DATA", "NOTAFISCAL", "CODIGO", "COMPONENTE",
                                   "CODIGOFORNECEDOR"});
    return t;
}

const TableDef &FORNECED()
{
    static const TableDef t = def("FORNECED", {"CODIGO"}, {"CODIGO"});
    return t;
}

const TableDef &FABRIC()
{
    static const TableDef t = def("FABRIC");
    return t;
}

const TableDef &ENSAIOS()
{
    static const TableDef t = def("ENSAIOS");
    return t;
}

const TableDef &ESPECIFICACOES()
{
    static const TableDef t = def("ESPECIFICACOES");
    return t;
}

const TableDef &LAUDOPORLOTE()
{
    static const TableDef t = def("LAUDOPORLOTE", {"CODIGOLAUDO"});
    return t;
}

const TableDef &CQPORLOTE()
{
    static const TableDef t = def("CQPORLOTE", {"CODIGOENSAIO"});
    return t;
}

const TableDef &DADOSGER()
{
    static const TableDef t = def("DADOSGER");
    return t;
}

const TableDef &MOVEST()
{
    static const TableDef t = def("MOVEST", {"CODMOVEST"}, {"CODMOVEST"});
    return t;
}

const TableDef &PEDIDOS()
{
    static const TableDef t = def("PEDIDOS");
    return t;
}

const TableDef &COMPEDID()
{
    static const TableDef t = def("COMPEDID");
    return t;
}

const TableDef &PERIODO_CENTRAL()
{
    static const TableDef t = def("PERIODO");
    return t;
}

const TableDef &RELESTLOTE()
{
    static const TableDef t = def("RELESTLOTE", {"LOTE", "FORNECEDOR", "CODIGO", "SALDOPREVISTO", "LABORATORIO"},
                                  {"LOTE", "FORNECEDOR", "CODIGO", "LABORATORIO"});
    return t;
}

const TableDef &PERIODO()
{
    static const TableDef t = def("PERIODO");
    return t;
}

const TableDef &RP_TOTAIS()
{
    static const TableDef t = def("RP_TOTAIS");
    return t;
}

} // namespace data::tables
