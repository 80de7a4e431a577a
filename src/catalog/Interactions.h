#pragma once
// The drug-nutrient interaction rule, written once for the server's warnings
// and the host's interaction screen: a product interacts with a drug the
// patient :P_CDPACIENTE takes on the day :P_DTDIA (PACIMEDIC, started on or
// before the day and not ended before it) when its content of a nutrient
// (PRODNUTR) reaches the limit set for that drug (MEDINUTR.QTLIMINTER).
// Meant as a derived table; CDPRODUTO is the internal product code.

namespace catalog {

// Columns CDPRODUTO, NMMEDICAMENT, NMNUTRIENTE, SGUNIDADE, QTNUTRPROD, QTLIMINTER.
inline constexpr const char* interactingProducts =
    "SELECT PN.CDPRODUTO AS CDPRODUTO, M.NMMEDICAMENT AS NMMEDICAMENT, N.NMNUTRIENTE AS NMNUTRIENTE, "
    "N.SGUNIDADE AS SGUNIDADE, PN.QTNUTRPROD AS QTNUTRPROD, MN.QTLIMINTER AS QTLIMINTER "
    "FROM PACIMEDIC PM "
    "JOIN MEDICAMENTO M ON M.CDMEDICAMENT = PM.CDMEDICAMENT "
    "JOIN MEDINUTR MN ON MN.CDMEDICAMENT = PM.CDMEDICAMENT "
    "JOIN NUTRIENTE N ON N.CDNUTRIENTE = MN.CDNUTRIENTE "
    "JOIN PRODNUTR PN ON PN.CDNUTRIENTE = MN.CDNUTRIENTE AND PN.QTNUTRPROD >= MN.QTLIMINTER "
    "WHERE PM.CDPACIENTE = :P_CDPACIENTE AND PM.DTINIMEDIC <= :P_DTDIA "
    "AND (PM.DTFIMMEDIC IS NULL OR PM.DTFIMMEDIC >= :P_DTDIA)";

} // namespace catalog
