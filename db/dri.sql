-- Dietary Reference Intakes per nutrient of the food table, sex and
-- life-stage group (ages in whole years, both ends included; 999: and over),
-- filled from db/dri.tsv when the table holds no row (scripts/make-dri-data.py
-- names the source). Run on every start with IF NOT EXISTS, so databases made
-- before this table get it too. Values are per day, in SGUNIDADE, which must
-- be the nutrient's unit in NUTRIENTE.
-- IDTIPOREF: RDA (Recommended Dietary Allowance) or AI (Adequate Intake); null
-- for a nutrient with an upper limit only. IDTIPOLIMITE: UL (Tolerable Upper
-- Intake Level) or CDRR (Chronic Disease Risk Reduction Intake, sodium).
CREATE TABLE IF NOT EXISTS REFNUTRDRI (
  CDNUTRIENTE   VARCHAR(3)  NOT NULL REFERENCES NUTRIENTE (CDNUTRIENTE),
  IDSEXOPACI    VARCHAR(1)  NOT NULL CHECK (IDSEXOPACI IN ('M', 'F')),
  NRIDADEINI    INTEGER     NOT NULL CHECK (NRIDADEINI >= 0),
  NRIDADEFIM    INTEGER     NOT NULL,
  IDTIPOREF     VARCHAR(3)  CHECK (IDTIPOREF IN ('RDA', 'AI')),
  VRREFERENCIA  DOUBLE PRECISION CHECK (VRREFERENCIA > 0),
  IDTIPOLIMITE  VARCHAR(4)  CHECK (IDTIPOLIMITE IN ('UL', 'CDRR')),
  VRLIMITE      DOUBLE PRECISION CHECK (VRLIMITE > 0),
  SGUNIDADE     VARCHAR(10) NOT NULL,
  PRIMARY KEY (CDNUTRIENTE, IDSEXOPACI, NRIDADEINI),
  CHECK (NRIDADEFIM >= NRIDADEINI),
  CHECK ((IDTIPOREF IS NULL) = (VRREFERENCIA IS NULL)),
  CHECK ((IDTIPOLIMITE IS NULL) = (VRLIMITE IS NULL)),
  CHECK (VRREFERENCIA IS NOT NULL OR VRLIMITE IS NOT NULL),
  CHECK (VRLIMITE IS NULL OR VRREFERENCIA IS NULL OR VRLIMITE > VRREFERENCIA)
);
