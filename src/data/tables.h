// The tables the program writes through cached datasets: their names, the columns that find a
// row and the columns a posted row must fill.
#pragma once
#include "cacheddataset.h"

namespace data::tables {

// Central database.
const TableDef &ESTLOTE();
const TableDef &USUARIOS();
const TableDef &ESTACOES();
const TableDef &TABLAB();
const TableDef &COMPONEN();
const TableDef &COMPRAS();
const TableDef &FORNECED();
const TableDef &FABRIC();
const TableDef &ENSAIOS();
const TableDef &ESPECIFICACOES();
const TableDef &LAUDOPORLOTE();
const TableDef &CQPORLOTE();
const TableDef &DADOSGER();
const TableDef &MOVEST();
const TableDef &PEDIDOS();
const TableDef &COMPEDID();
const TableDef &PERIODO_CENTRAL();

// Workstation database.
const TableDef &RELESTLOTE();
const TableDef &PERIODO();
const TableDef &RP_TOTAIS();

} // namespace data::tables
