#pragma once
// The patient's restriction and intolerance rules, written once for the
// server's warning sets and the survey report. Every text is a SELECT over
// the patient :P_CDPACIENTE meant as a derived table; CDPRODUTO is the
// internal product code. The interaction rule is in Interactions.h.
//
// - restricted: the product's subgroup (PRODUTO.CDSUBGRPROD) is restricted
//   (RESTDIAG) by a diagnosis the patient has on the day (PACIDIAG, started
//   on or before the day and not ended before it);
// - not tolerated: the product is listed (INTOLPROD) for an intolerance of
//   the patient (PACIINTOL), whatever the day;
// - a dish clashes when a product of its recipe (PRATOPROD) does.
#include "catalog/Interactions.h"

#include <string>

namespace catalog {

// Columns CDPRODUTO, CDSUBGRPROD, NMDIAGNOSTICO, NMSUBGRPROD (the subgroup
// node's name, null when the tree has no such node). `day` as in
// interactingProductsOn.
inline std::string restrictedProductsOn(const std::string& day) {
    return "SELECT P.CDPRODUTO AS CDPRODUTO, R.CDSUBGRPROD AS CDSUBGRPROD, DG.NMDIAGNOSTICO AS NMDIAGNOSTICO, "
           "(SELECT MIN(SG.NMPRODUTO) FROM PRODUTO SG WHERE SG.CDARVPROD = R.CDSUBGRPROD) AS NMSUBGRPROD "
           "FROM PACIDIAG D "
           "JOIN DIAGNOSTICO DG ON DG.CDDIAGNOSTICO = D.CDDIAGNOSTICO "
           "JOIN RESTDIAG R ON R.CDDIAGNOSTICO = D.CDDIAGNOSTICO "
           "JOIN PRODUTO P ON P.CDSUBGRPROD = R.CDSUBGRPROD "
           "WHERE D.CDPACIENTE = :P_CDPACIENTE AND D.DTINIDIAG <= " + day +
           " AND (D.DTFIMDIAG IS NULL OR D.DTFIMDIAG >= " + day + ")";
}

// Columns CDPRODUTO, NMINTOLER.
inline const std::string intolerantProducts =
    "SELECT IP.CDPRODUTO AS CDPRODUTO, T2.NMINTOLER AS NMINTOLER "
    "FROM PACIINTOL T "
    "JOIN INTOLERANCIA T2 ON T2.CDINTOLER = T.CDINTOLER "
    "JOIN INTOLPROD IP ON IP.CDINTOLER = T.CDINTOLER "
    "WHERE T.CDPACIENTE = :P_CDPACIENTE";

// The marks of a recorded item (ITINQUERPACI aliased `item`) on its own day,
// as an SQL text expression: "R" restricted, "I" not tolerated, "M" drug
// interaction, in that order and apart ("R I M"); '' for none.
inline std::string itemWarningMarks(const std::string& item) {
    const std::string day = item + ".DTINQUERITO";
    auto clashes = [&](const std::string& rule) {
        return "EXISTS (SELECT 1 FROM (" + rule + ") WX WHERE WX.CDPRODUTO = " + item +
               ".CDPRODUTO OR WX.CDPRODUTO IN (SELECT WP.CDPRODUTO FROM PRATOPROD WP WHERE WP.CDPRATO = " + item +
               ".CDPRATO))";
    };
    return "TRIM(CASE WHEN " + clashes(restrictedProductsOn(day)) + " THEN 'R ' ELSE '' END || CASE WHEN " +
           clashes(intolerantProducts) + " THEN 'I ' ELSE '' END || CASE WHEN " +
           clashes(interactingProductsOn(day)) + " THEN 'M' ELSE '' END)";
}

} // namespace catalog
