-- Workstation database of a test installation (C:\formulix\interfacNN\formulix.bd): report staging.
-- No keys or constraints, as in the central database.

CREATE TABLE RELESTLOTE (
  DESCRICAO      VARCHAR(70),
  LOTE           VARCHAR(30),
  FORNECEDOR     VARCHAR(35),
  CODIGO         VARCHAR(13),
  SALDOPREVISTO  DECIMAL(15,8),
  SALDOCORRENTE  DECIMAL(15,8),
  UNIDADE        VARCHAR(5),
  CODIGOEAN      VARCHAR(13),
  FABRICANTE     VARCHAR(35),
  VALIDADE       DATE,
  SITUACAO       VARCHAR(10),
  DENSIDADE      DECIMAL(15,8),
  FATORCORRECAO  DECIMAL(15,8),
  LABORATORIO    VARCHAR(20),
  CONTROLADA     VARCHAR(3),
  PRECOCUSTO     DECIMAL(15,8),
  PRECOVENDA     DECIMAL(15,8),
  ESTOQUECUSTO   DOUBLE PRECISION,
  ESTOQUEVENDA   DOUBLE PRECISION
);
-- Builds look up the staging row of a product code before adding a lot to it.
CREATE INDEX IX_RELESTLOTE_CODIGO ON RELESTLOTE (CODIGO);

-- The last reporting period: one row, rewritten by an update without a condition.
CREATE TABLE PERIODO (
  DATAINICIAL  DATE,
  DATAFINAL    DATE
);

-- Consumption totals per product code of the last cost-of-products-sold build (TOTAL written as
-- text with "," for decimals; the program also reads and writes a numeric column).
CREATE TABLE RP_TOTAIS (
  GRUPO  VARCHAR(20),
  TOTAL  VARCHAR(30)
);
CREATE INDEX IX_RP_TOTAIS_GRUPO ON RP_TOTAIS (GRUPO);
