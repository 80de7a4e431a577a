// Message table, server connection, data sets and catalogue queries of the
// calculation screen.
#include "calculation/Adequacy.h"
#include "calculation/Cli_Zep12610.h"
#include "host/core/BrNumber.h"

#include "catalog/CatalogQueries.h"
#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/data/DataSet.h"

using namespace hostfw;

namespace {

using FT = TFieldType;

TField* field(TClientDataSet* ds, const char* name, FT type, int size = 0, const QString& label = QString()) {
    TField* f = ds->AddField(QString::fromLatin1(name), type, size);
    if (!label.isEmpty()) f->DisplayLabel = label;
    return f;
}

// Quantities in the grids: 3 decimals, Brazilian separators.
const QString QuantityFormat = QStringLiteral("#,##0.000");

// Dialect texts of the nutrient group query; the generic one is the catalogue's.
const char* GrupoOracle = R"(SELECT
   CDGRUPNUTR,
   NMGRUPNUTR
FROM
   GRUPNUTR
WHERE
   CDGRUPNUTR = NVL(:P_CDGRUPO,CDGRUPNUTR)
ORDER BY
   CDGRUPNUTR)";

const char* NutrienteOracle = R"(SELECT
   CDNUTRIENTE,
   NMNUTRIENTE
FROM
   NUTRIENTE,
   PARAMGERAL
WHERE
   (INSTR(:P_CDGRUPO, CDGRUPNUTR) <> 0 OR :P_TCDGRUPO = 'T') AND
   PARAMGERAL.CDCARBOHIDRA <> NUTRIENTE.CDNUTRIENTE AND
   PARAMGERAL.CDPROTEINA <> NUTRIENTE.CDNUTRIENTE AND
   PARAMGERAL.CDLIPIDIOS <> NUTRIENTE.CDNUTRIENTE AND
   PARAMGERAL.CDALCOOL <> NUTRIENTE.CDNUTRIENTE AND
   PARAMGERAL.CDPROTANIMAL <> NUTRIENTE.CDNUTRIENTE AND
   PARAMGERAL.CDPROTVEGETA <> NUTRIENTE.CDNUTRIENTE AND
   PARAMGERAL.CDCALORIAS <> NUTRIENTE.CDNUTRIENTE
ORDER BY
   CDNUTRIENTE)";

QStringList lines(const QString& sql) { return sql.split(QLatin1Char('\n')); }

}  // namespace

void TfrmCalculo::buildMessages() {
    msgPadrao->Lines = QStringList{
        QStringLiteral("Geral|Geral"),
        QStringLiteral("Exist_Nutr|Não há dados a serem listados."),
        QStringLiteral("DTIni_Inf|Data do período inicial deve ser informada."),
        QStringLiteral("DtFim_Inf|Data do período final deve ser informada."),
        QStringLiteral("DT_Inv|Data do período inicial deve ser menor ou igual a data do período final."),
        QStringLiteral("SERV|Serviço"),
        QStringLiteral("Serv_Inf|Serviço deve ser informado."),
        QStringLiteral("Serv_Cad|Não há serviço cadastrado."),
        QStringLiteral("Grupo_Deve|Grupo de nutriente deve ser informado."),
        QStringLiteral("Grupo_NCad|Grupo de nutriente não cadastrado."),
        QStringLiteral("Nutriente_NCad|Não há nutriente cadastrado para o grupo informado."),
        QStringLiteral("Nutriente|Nutriente"),
        QStringLiteral("Nutri_Inf|Nutriente deve ser informado."),
        QStringLiteral("Calc_Reali|Cálculo de inquérito do paciente foi realizado com sucesso."),
    };
}

void TfrmCalculo::buildDataSets() {
    netCalculo = new TNetConnection(this, "netCalculo");
    netCalculo->ServerName = QStringLiteral("Zep12610.rdmCalcular");
    netCalculo->ThrowException = false;
    netCalculo->BeforeConnect = [this](TNetConnection*) { netCalculoBeforeConnect(); };

    cdsServico = new TClientDataSet(this, "cdsServico");
    field(cdsServico, "IDMARCADO", FT::ftString, 1)->Visible = false;
    TField* service = field(cdsServico, "CDSERVFILI", FT::ftString, 5, QStringLiteral("Código"));
    service->Required = true;
    service->DisplayWidth = 8;
    service->EditMask = QStringLiteral("ccccc;0; ");
    field(cdsServico, "NMSERVICO", FT::ftString, 40, QStringLiteral("Nome"))->DisplayWidth = 50;
    dtsServico = new TDataSource(this, "dtsServico", cdsServico);

    cdsNutriente = new TClientDataSet(this, "cdsNutriente");
    field(cdsNutriente, "IDMARCADO", FT::ftString, 1)->Visible = false;
    field(cdsNutriente, "CDNUTRIENTE", FT::ftString, 3, QStringLiteral("Código"));
    field(cdsNutriente, "NMNUTRIENTE", FT::ftString, 20, QStringLiteral("Nome"));
    dtsNutriente = new TDataSource(this, "dtsNutriente", cdsNutriente);

    cdsParaDieto = new TClientDataSet(this, "cdsParaDieto");
    field(cdsParaDieto, "IDVCTCALCNUT", FT::ftString, 1)->Origin = QStringLiteral("DBVORLANE.PARADIETO.IDVCTCALCNUT");

    // The daily average: the total over the days that hold a recorded item.
    auto dailyAverage = [this](TField* sender, QString& text, bool) {
        const double total = sender->DataSet()->FieldByName(QStringLiteral("TOTAL"))->AsFloat();
        text = recordedDays_ > 0 ? hostfw::FormatFixed(total / recordedDays_, 3) : QString();
    };

    cdsMacro = new TClientDataSet(this, "cdsMacro");
    field(cdsMacro, "QTCALOTOT", FT::ftFloat, 0, QStringLiteral("Caloria"))->DisplayFormat = QuantityFormat;
    field(cdsMacro, "SGUNIDADE", FT::ftString, 10, QStringLiteral("UN"));
    field(cdsMacro, "CDNUTRIENTE", FT::ftString, 3)->Visible = false;
    field(cdsMacro, "NUTRIENTE", FT::ftString, 28, QStringLiteral("Nutriente"));
    field(cdsMacro, "TOTAL", FT::ftFloat, 0, QStringLiteral("Quantidade"))->DisplayFormat = QuantityFormat;
    cdsMacroQTMEDIADIA = cdsMacro->AddField("QTMEDIADIA", FT::ftFloat, 0, TFieldKind::fkCalculated);
    cdsMacroQTMEDIADIA->DisplayLabel = QStringLiteral("Média diária");
    cdsMacroQTMEDIADIA->OnGetText = dailyAverage;
    dtsMacro = new TDataSource(this, "dtsMacro", cdsMacro);

    cdsCalc = new TClientDataSet(this, "cdsCalc");
    field(cdsCalc, "SGUNIDADE", FT::ftString, 10, QStringLiteral("UN"));
    field(cdsCalc, "NUTRIENTE", FT::ftString, 28, QStringLiteral("Nutriente"));
    field(cdsCalc, "TOTAL", FT::ftFloat, 0, QStringLiteral("Quantidade"))->DisplayFormat = QuantityFormat;
    cdsCalcQTMEDIADIA = cdsCalc->AddField("QTMEDIADIA", FT::ftFloat, 0, TFieldKind::fkCalculated);
    cdsCalcQTMEDIADIA->DisplayLabel = QStringLiteral("Média diária");
    cdsCalcQTMEDIADIA->OnGetText = dailyAverage;
    // The reference intake of the row's nutrient for the patient, from GetCalc.
    field(cdsCalc, "CDNUTRIENTE", FT::ftString, 3)->Visible = false;
    field(cdsCalc, "VRREFERENCIA", FT::ftFloat)->Visible = false;
    field(cdsCalc, "IDTIPOREF", FT::ftString, 3)->Visible = false;
    field(cdsCalc, "VRLIMITE", FT::ftFloat)->Visible = false;
    field(cdsCalc, "IDTIPOLIMITE", FT::ftString, 4)->Visible = false;
    field(cdsCalc, "DSGRUPOREF", FT::ftString, 40)->Visible = false;
    field(cdsCalc, "DSSEMREF", FT::ftString, 100)->Visible = false;
    cdsCalcPCRECOMEND = cdsCalc->AddField("PCRECOMEND", FT::ftFloat, 0, TFieldKind::fkCalculated);
    cdsCalcPCRECOMEND->DisplayLabel = QStringLiteral("% da recomendação");
    cdsCalcPCRECOMEND->OnGetText = [this](TField*, QString& text, bool) {
        const calculation::Adequacy a = currentAdequacy();
        text = a.percent ? hostfw::FormatFixed(*a.percent, 1) : QString();
    };
    dtsCalc = new TDataSource(this, "dtsCalc", cdsCalc);

    // Energy and protein per day with the day's targets, for chtDias.
    cdsMacroDia = new TClientDataSet(this, "cdsMacroDia");
    field(cdsMacroDia, "DTINQUERITO", FT::ftDateTime);
    for (const char* name : {"QTCARBOIDRATO", "QTPROTEINA", "QTLIPIDIO", "QTALCOOL", "QTENERGIAMETA", "QTPROTEINAMETA"})
        field(cdsMacroDia, name, FT::ftFloat);

    cdsParamGeral = new TClientDataSet(this, "cdsParamGeral");
    for (const char* role : {"CDCARBOHIDRA", "CDPROTEINA", "CDLIPIDIOS", "CDALCOOL"})
        field(cdsParamGeral, role, FT::ftString, 3)->Origin = QStringLiteral("DBVORLANE.PARAMGERAL.") + role;

    cdsNutrCalc = new TClientDataSet(this, "cdsNutrCalc");
    field(cdsNutrCalc, "VRNUTRI", FT::ftFloat);

    qryGrupo = new TADOIBQuery(this, "qryGrupo");
    qryGrupo->SQL = lines(QString::fromUtf8(catalog::calcQryGrupo));
    qryGrupo->SQL_IB = qryGrupo->SQL;
    qryGrupo->SQL_ORACLE = lines(QString::fromUtf8(GrupoOracle));
    qryGrupo->SQL_MSSQL = lines(QString::fromUtf8(GrupoOracle).replace(QStringLiteral("NVL("), QStringLiteral("ISNULL(")));
    TField* group = field(qryGrupo, "CDGRUPNUTR", FT::ftString, 2, QStringLiteral("Código"));
    group->Required = true;
    field(qryGrupo, "NMGRUPNUTR", FT::ftString, 20, QStringLiteral("Nome"));
    dtsGrupo = new TDataSource(this, "dtsGrupo", qryGrupo);

    // States the selection getNutriente makes; the screen reads no row of it.
    qryNutriente = new TADOIBQuery(this, "qryNutriente");
    qryNutriente->SQL = lines(QString::fromUtf8(catalog::calcQryNutriente));
    qryNutriente->SQL_IB = qryNutriente->SQL;
    qryNutriente->SQL_ORACLE = lines(QString::fromUtf8(NutrienteOracle));
    qryNutriente->SQL_MSSQL =
        lines(QString::fromUtf8(NutrienteOracle)
                  .replace(QStringLiteral("INSTR(:P_CDGRUPO, CDGRUPNUTR)"), QStringLiteral("CHARINDEX(CDGRUPNUTR, :P_CDGRUPO)")));
    field(qryNutriente, "CDNUTRIENTE", FT::ftString, 3, QStringLiteral("Código"))->Required = true;
    field(qryNutriente, "NMNUTRIENTE", FT::ftString, 20, QStringLiteral("Nome"));
}
