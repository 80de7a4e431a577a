#pragma once
// Catalogue queries of the module's screens, generic dialect, as the screens
// run them on the host database. Parameters are named :P_...; every value is
// bound as a string (or null).

namespace catalog {

// Survey screen: header and service panel.
inline constexpr const char* qryFilial = R"(SELECT
  CDFILIAL,
  NMFILIAL
FROM
   FILIAL
WHERE
  CDFILIAL  = NVL(:P_CDFILIAL, CDFILIAL)
ORDER BY
  CDFILIAL)";

inline constexpr const char* qryServico = R"(SELECT CDSERVFILI, NMSERVICO, HRINICSERV
FROM SERVICO
WHERE (CDFILIAL = :P_CDFILIAL) AND
      (CDSERVFILI = :P_CDSERVFILI OR :P_TCDSERVFILI = 'T')
ORDER BY CDSERVFILI)";

inline constexpr const char* qryParaDiet = R"(SELECT
   IDAJUSTAPACI
FROM
   PARADIETO
WHERE
   CDFILIAL = :P_CDFILIAL)";

inline constexpr const char* qryPesqPaci = R"(SELECT
   CDPACIENTE,
   NMPACIENTE,
   NMSOBRNOME,
   IDSEXOPACI,
   DTNASCPACI,
   IDTIPOPACI,
   NMPACIUPPER
FROM
   PACIENTE
WHERE
   CDFILIAL = :P_CDFILIAL
ORDER BY
   NMPACIENTE)";

// Survey screen: item grid. The product and dish lookups list first
// (IDRECENTE 'S') the patient's recent foods, which the server answers
// (GetAlimRecentes): P_RECENTES holds their codes separated by commas (""
// for none). The codes are matched whole with INSTR, so no character of a
// code is a pattern; a code holding a comma is never put in the list.
inline constexpr const char* qryProduto = R"(SELECT
    PRODUTO.CDPRODUTO, NMPRODUTO, SGUNIDADE, CDARVPROD,
    CASE WHEN INSTR(',' || :P_RECENTES || ',', ',' || PRODUTO.CDPRODUTO || ',') > 0 THEN 'S' ELSE 'N' END AS IDRECENTE
FROM
   PRODUTO
WHERE
   (CDNVPRODUTO = :P_NVPRODUTO)
ORDER BY
  IDRECENTE DESC, CDARVPROD)";

inline constexpr const char* qryValidaProduto = R"(SELECT CDPRODUTO, NMPRODUTO, SGUNIDADE, CDARVPROD
FROM PRODUTO
WHERE (CDARVPROD = :P_CDARVPROD))";

inline constexpr const char* qryPrato = R"(SELECT PRATO.CDPRATO, NMPRATO, SGUNIDADE, CDFILAUXPRAT,
       CASE WHEN INSTR(',' || :P_RECENTES || ',', ',' || PRATO.CDPRATO || ',') > 0 THEN 'S' ELSE 'N' END AS IDRECENTE
FROM PRATO
WHERE (CDFILAUXPRAT = :P_CDFILIAL OR CDFILAUXPRAT = 'P') AND
      (CDNVPRATO = :P_NVPRATO)
ORDER BY IDRECENTE DESC, PRATO.CDPRATO)";

inline constexpr const char* qryValidaPrato = R"(SELECT CDPRATO, NMPRATO, SGUNIDADE, CDFILAUXPRAT
FROM PRATO
WHERE (CDPRATO   = :P_CDPRATO) AND
      (CDFILAUXPRAT = :P_CDFILIAL OR CDFILAUXPRAT = 'P'))";

// The measures of a product or dish, with the grams of one portion (null
// where unknown) for the lookup to show beside the name.
inline constexpr const char* qryMedicaseProd = R"(SELECT
   PRODMECA.CDMEDICASE,
   MEDICASE.NMMEDICASE,
   PRODMECA.VRPESOMEDI
FROM
   PRODMECA,
   MEDICASE
WHERE
   (PRODMECA.CDPRODUTO  = :P_CDPRODUTO) AND
   (PRODMECA.CDMEDICASE = :P_CDMEDICASE OR :P_TCDMEDICASE = 'T') AND
   (PRODMECA.CDMEDICASE = MEDICASE.CDMEDICASE)
ORDER BY
   PRODMECA.CDMEDICASE)";

inline constexpr const char* qryMedicasePrato = R"(SELECT
   MEDIPRATO.CDMEDICASE,
   MEDICASE.NMMEDICASE,
   MEDIPRATO.VRPESOMED
FROM
   MEDIPRATO,
   MEDICASE
WHERE
   (MEDIPRATO.CDPRATO  = :P_CDPRATO) AND
   (MEDIPRATO.CDMEDICASE = :P_CDMEDICASE OR :P_TCDMEDICASE = 'T') AND
   (MEDIPRATO.CDMEDICASE = MEDICASE.CDMEDICASE)
ORDER BY
   MEDIPRATO.CDMEDICASE)";

inline constexpr const char* qryQuantProd = R"(SELECT NVL(VRPESOMEDI, 0) AS VRPESOMEDI
FROM PRODMECA
WHERE (CDPRODUTO  = :P_CDPRODUTO)  AND
      (CDMEDICASE = :P_CDMEDICASE))";

inline constexpr const char* qryQuantPrato = R"(SELECT NVL(VRPESOMED, 0) AS VRPESOMED
FROM MEDIPRATO
WHERE (CDPRATO  = :P_CDPRATO)  AND
      (CDMEDICASE = :P_CDMEDICASE))";

// Calculation screen.
inline constexpr const char* calcQryGrupo = R"(SELECT
   CDGRUPNUTR,
   NMGRUPNUTR
FROM
   GRUPNUTR,
   PARAM(:P_CDGRUPO) P_CDGRUPO
WHERE
   CDGRUPNUTR = NVLSTR(P_CDGRUPO.PARAM,CDGRUPNUTR)
ORDER BY
   CDGRUPNUTR)";

inline constexpr const char* calcQryNutriente = R"(SELECT
   CDNUTRIENTE,
   NMNUTRIENTE
FROM
   NUTRIENTE,
   PARAM(:P_CDGRUPO) P_CDGRUPO
WHERE
   (INSTR(P_CDGRUPO.PARAM, CDGRUPNUTR) <> 0 OR :P_TCDGRUPO = 'T')
ORDER BY
   CDNUTRIENTE)";

// Copy screen.
inline constexpr const char* copyQryServico = R"(SELECT
   CDSERVFILI, NMSERVICO
FROM
   SERVICO,
   PARAM(:P_CDSERVFILI) P_CDSERVFILI
WHERE
   (CDFILIAL   = :P_CDFILIAL) AND
   (CDSERVFILI = NVLSTR(P_CDSERVFILI.PARAM, CDSERVFILI))
ORDER BY
   CDSERVFILI)";

// Report and spreadsheet screens.
inline constexpr const char* reportQryGrupo = R"(SELECT
   CDGRUPNUTR,
   NMGRUPNUTR
FROM
   GRUPNUTR,
   PARAM(:P_CDGRUPO) P_CDGRUPO
WHERE
   (CDGRUPNUTR = NVLSTR(P_CDGRUPO.PARAM, CDGRUPNUTR))
ORDER BY
   CDGRUPNUTR)";

inline constexpr const char* reportQryNutriente = R"(SELECT
   CDNUTRIENTE, NMNUTRIENTE
FROM
   NUTRIENTE,
   PARAM(:P_CDGRUPO) P_CDGRUPO
WHERE
   (CDGRUPNUTR = NVLSTR(P_CDGRUPO.PARAM, CDGRUPNUTR))
ORDER BY
   CDNUTRIENTE)";

inline constexpr const char* reportQryServico = R"(SELECT
   CDSERVFILI,
   NMSERVICO
FROM
   SERVICO
WHERE (CDFILIAL = :P_CDFILIAL)
ORDER BY
   CDSERVFILI)";

inline constexpr const char* sheetQryGrupo = R"(SELECT CDGRUPNUTR,
       NMGRUPNUTR
FROM GRUPNUTR
ORDER BY CDGRUPNUTR)";

inline constexpr const char* sheetQryVerifGrup = R"(SELECT CDGRUPNUTR,
       NMGRUPNUTR
FROM GRUPNUTR
WHERE(CDGRUPNUTR = :P_CDGRUPNUTR))";

} // namespace catalog
