// The record of one run (who, where, which laboratories) and the fixed column lists of its statements.
#pragma once
#include "siteconfig.h"

#include <QString>
#include <QStringList>

namespace core {

// Statements are "select " + list + " from " + table, so a dataset always gets the same
// columns in the same order.
inline const QString kLotColumnList = QStringLiteral(
    "DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOPREVISTO, SALDOCORRENTE, UNIDADE, CODIGOEAN, FABRICANTE, "
    "VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, LABORATORIO, CONTROLADA, PRECOCUSTO, PRECOVENDA, "
    "ESTOQUECUSTO, ESTOQUEVENDA");

inline const QString kStoreDataColumnList = QStringLiteral(
    "CODIGOLIVRO, CODIGOLIVROSC, NUMEROINICIAL, NUMEROINICIALSC, QDEFOLHAS, QDEFOLHASSC, REGISTRO, "
    "REGISTROSC, FIRMA, FARMACIA, FARMACEUTICO, ENDERECO, NUMERO, CIDADE, ESTADO, NUMEROJUNTA, ESTADOEXT, "
    "INSCRICAOEST, CGC, DIADESPACHO, MESDESPACHO, ANODESPACHO, CID, DIA, MES, ANO, NAUTORIZACAO, TELEFONE, "
    "FAX, EXERCICIO, ANUALTRIMESTRAL, TRIMESTRE, PORTARIABSPO, QDEFOLHASBSPO, PREENCHIDOPORBSPO, CRF_Q, "
    "REGIAO, DATABSPO, CNPJ, NLICENCA_FUNC, SECRETARIA_SAUDE, AUTORIDADE_SANITARIA, CEP, BAIRRO, "
    "COMPLEMENTO, EMAIL, CODIGOMENSAGEM, CPF, DATAFIM, DATAINICIO, EMISSOR, TRANSMISSOR, CABECALHO");

inline const QString kProductColumnList = QStringLiteral(
    "CODIGO, COMPONENTE, GRUPO, FAMILIA, UNID, CONTROLADA, CUSTOUNITUS, CUSTOUNITR, MULTIPLICADOR, "
    "DIVISORUNID, PRECOUS, PRECOR, QDEESTOQUE, ESTOQUECRITICO, ESTOQUEMAXIMO, TRIBUTACAO, ICMS, FABRICANTE, "
    "FORNECEDOR, LOTE, FATORCORRECAO, DENSIDADE, USAEXCIPIENTE, DOSAGEMMIN, DOSAGEMMAX, DOSEMINPERC, "
    "DOSEMAXPERC, FICHATECNICA, EXCIPIENTE, VALIDADE, DCB, LISTA, USOCONTINUO, VALIDADEPRODMANIP, "
    "FATORDILUICAO, CORCAPSULA, COMISSAO, MEQ, GRUPOF, TEMPOMANIP, BC, UNID_VENDA, CUSTOFIXO, "
    "USAR_FORMPRECO, GRUPOS, TIPORECEITA, REGMSMEDICAM, EXCIPIENTE2, EXCIPIENTE3, EXCIPIENTE4, EXCIPIENTE5, "
    "CLASSE, DESCONTO, CONDARMAZENA, ALIQIPI, ALIQISS, BASEICMS, SUBSTRIB, LUCROST, ICMSECF, CST, "
    "NOMECIENTIFICO, GRUPOPRECO");

inline const QString kWorkstationColumnList = QStringLiteral(
    "ESTACAO, DATBASNAM, TIPO, ATCAIXA, ESVAZIAR, EMUSO, CAMINHOREQUISICAO, CAMINHOOM, CAMINHOECF, "
    "CAMINHOSEQUENCIAL1, CAMINHO2, ROTULO1, ROTULO2, ROTULO3, ROTULO4, ROTULO5, ROTULO6, USUARIO, CNPJ");

inline const QString kDefaultLaboratory = QStringLiteral("Almoxarifado");

// Set during start-up and login, read for the rest of the run. The data layer's hooks read it,
// which is why it lives in the shell core and not with the login.
struct RunState {
    QString UserName;           // at most 60; the typed login name in upper case after login
    QString AccessRights;       // first 50 characters of ACESSO
    QString WorkstationCode;    // first two characters of ESTACOES.ESTACAO
    QString StoreCnpj;          // at most 20
    QString Laboratory = kDefaultLaboratory;
    QStringList StoreLaboratories;  // up to 20 names of up to 60
    QString LabScopeClause;     // empty when the store has no laboratory
    QString LotColumnList;
    QString StoreDataColumnList;
    QString ProductColumnList;
    QString WorkstationColumnList;
    SiteConfig siteConfig;
};

} // namespace core
