#pragma once
// The drug-nutrient interaction rule, written once for the server's warnings,
// the host's interaction screen and the survey report: a product interacts
// with a drug the patient :P_CDPACIENTE takes on a day (PACIMEDIC, started on
// or before the day and not ended before it) when its content of a nutrient
// (PRODNUTR) reaches the limit set for that drug (MEDINUTR.QTLIMINTER).
// Meant as a derived table; CDPRODUTO is the internal product code.
#include <string>

namespace catalog {

// Columns CDPRODUTO, NMMEDICAMENT, CDNUTRIENTE, NMNUTRIENTE, SGUNIDADE,
// QTNUTRPROD, QTLIMINTER. `day` is an SQL expression: a parameter
// (":P_DTDIA") or a column of an enclosing query (the item's date).
inline std::string interactingProductsOn(const std::string& day) {
    return "SELECT PN.CDPRODUTO AS CDPRODUTO, M.NMMEDICAMENT AS NMMEDICAMENT, N.CDNUTRIENTE AS CDNUTRIENTE, "
           "N.NMNUTRIENTE AS NMNUTRIENTE, N.SGUNIDADE AS SGUNIDADE, PN.QTNUTRPROD AS QTNUTRPROD, "
           "MN.QTLIMINTER AS QTLIMINTER "
           "FROM PACIMEDIC PM "
           "JOIN MEDICAMENTO M ON M.CDMEDICAMENT = PM.CDMEDICAMENT "
           "JOIN MEDINUTR MN ON MN.CDMEDICAMENT = PM.CDMEDICAMENT "
           "JOIN NUTRIENTE N ON N.CDNUTRIENTE = MN.CDNUTRIENTE "
           "JOIN PRODNUTR PN ON PN.CDNUTRIENTE = MN.CDNUTRIENTE AND PN.QTNUTRPROD >= MN.QTLIMINTER "
           "WHERE PM.CDPACIENTE = :P_CDPACIENTE AND PM.DTINIMEDIC <= " + day +
           " AND (PM.DTFIMMEDIC IS NULL OR PM.DTFIMMEDIC >= " + day + ")";
}

// The rule on the survey day :P_DTDIA.
inline const std::string interactingProducts = interactingProductsOn(":P_DTDIA");

} // namespace catalog
