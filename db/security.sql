-- Sessions, audit and remembered requests of the application server.
-- Run on every start with IF NOT EXISTS, so databases made before these
-- tables get them too. Times are UTC text 'YYYY-MM-DD HH:MM:SS.mmm', which
-- sorts and compares as time on both engines.

-- Open sessions. The token itself is never stored: DSHASHTOKEN is its SHA-256
-- (hex); a stolen copy of this table opens no session.
CREATE TABLE IF NOT EXISTS SESSAO (
  DSHASHTOKEN   VARCHAR(64) NOT NULL PRIMARY KEY,
  CDOPERADOR    VARCHAR(10) NOT NULL REFERENCES OPERADOR (CDOPERADOR),
  CDFILIAL      VARCHAR(4)  NOT NULL REFERENCES FILIAL (CDFILIAL),
  DTHRCRIACAO   VARCHAR(23) NOT NULL,
  DTHREXPIRA    VARCHAR(23) NOT NULL,
  DSENDERECO    VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS IX_SESSAO_EXPIRA ON SESSAO (DTHREXPIRA);

-- One row per record written (period, item, meal time, operator), in the
-- transaction of the write, and one per call that read a patient's survey
-- data: who (CDOPERADOR, from DSENDERECO), when, through which operation,
-- which action (I inclusão, A alteração, E exclusão, C consulta) on which
-- keys (DSCHAVE, JSON). No foreign keys: the trail outlives what it names.
CREATE TABLE IF NOT EXISTS AUDITORIA (
  DTHRREGISTRO  VARCHAR(23)  NOT NULL,
  CDOPERADOR    VARCHAR(10)  NOT NULL,
  CDFILIAL      VARCHAR(4)   NOT NULL,
  CDPACIENTE    VARCHAR(12),
  NMOPERACAO    VARCHAR(80)  NOT NULL,
  IDACAO        VARCHAR(1)   NOT NULL CHECK (IDACAO IN ('I', 'A', 'E', 'C')),
  DSCHAVE       VARCHAR(1000) NOT NULL,
  DSENDERECO    VARCHAR(64),
  CDREQUISICAO  VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS IX_AUDITORIA_PACIENTE ON AUDITORIA (CDFILIAL, CDPACIENTE, DTHRREGISTRO);
CREATE INDEX IF NOT EXISTS IX_AUDITORIA_REGISTRO ON AUDITORIA (DTHRREGISTRO);
CREATE INDEX IF NOT EXISTS IX_AUDITORIA_OPERADOR ON AUDITORIA (CDOPERADOR, DTHRREGISTRO);

-- Writes that carried a client request id (Idempotency-Key), kept for a day:
-- a retry with the same id gets DSRESPOSTA instead of writing again.
-- DSRESUMO is the SHA-256 of the call, so an id reused for another call is refused.
CREATE TABLE IF NOT EXISTS REQUISICAO (
  CDREQUISICAO  VARCHAR(64) NOT NULL PRIMARY KEY,
  CDOPERADOR    VARCHAR(10) NOT NULL,
  NMOPERACAO    VARCHAR(80) NOT NULL,
  DSRESUMO      VARCHAR(64) NOT NULL,
  DTHRREGISTRO  VARCHAR(23) NOT NULL,
  DSRESPOSTA    TEXT
);
CREATE INDEX IF NOT EXISTS IX_REQUISICAO_REGISTRO ON REQUISICAO (DTHRREGISTRO);

-- Failed logins per operator (DSCHAVE 'O:' || code) and per client address
-- ('E:' || address), shared by every server instance over the database. A
-- try is counted before its password is checked; DTHRLIBERA is when the next
-- try may be made.
CREATE TABLE IF NOT EXISTS FALHAACESSO (
  DSCHAVE       VARCHAR(80) NOT NULL PRIMARY KEY,
  QTFALHAS      INTEGER     NOT NULL,
  DTHRULTIMA    VARCHAR(23) NOT NULL,
  DTHRLIBERA    VARCHAR(23) NOT NULL
);
