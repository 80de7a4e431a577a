#include "server/Restrictions.h"

#include "catalog/FoodWarnings.h"

namespace server::restrictions {

const std::string& restrictedProducts() {
    static const std::string sql = catalog::restrictedProductsOn(":P_DTDIA");
    return sql;
}

const std::string& intolerantProducts() { return catalog::intolerantProducts; }

const std::string& interactingProducts() {
    static const std::string sql = catalog::interactingProducts;
    return sql;
}

const std::string& productLeafLevel() {
    // Without a picture row the deepest level in use stands for it.
    static const std::string sql =
        "COALESCE((SELECT QTNIVEIS FROM PICTCODIGO WHERE IDTIPOPICT = 0), "
        "(SELECT MAX(CDNVPRODUTO) FROM PRODUTO))";
    return sql;
}

std::string interactingProductsTable(const std::string& name) {
    return "WITH " + name + " AS (SELECT DISTINCT Z.CDPRODUTO AS CDPRODUTO FROM (" + interactingProducts() + ") Z) ";
}

std::string itemInteracts(const std::string& table, const std::string& productColumn, const std::string& dishColumn) {
    return "(EXISTS (SELECT 1 FROM " + table + " XI WHERE XI.CDPRODUTO = " + productColumn +
           ") OR EXISTS (SELECT 1 FROM PRATOPROD PP JOIN " + table + " XD ON XD.CDPRODUTO = PP.CDPRODUTO WHERE PP.CDPRATO = " +
           dishColumn + "))";
}

db::Params params(const std::string& paciente, const protocol::Date& day) {
    return {{"P_CDPACIENTE", paciente}, {"P_DTDIA", day.toString()}};
}

}  // namespace server::restrictions
