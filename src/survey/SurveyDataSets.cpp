// Data sets, queries and the server connection of the survey screen.
#include "catalog/CatalogQueries.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"
#include "protocol/ItemRecord.h"
#include "host/controls/Lookups.h"  // fast entry: grams beside the measure
#include "survey/RecentFoods.h"     // fast entry: recent foods first

using namespace hostfw;

namespace {

using FT = TFieldType;

TClientDataSet* dataSet(QObject* owner, const char* name) { return new TClientDataSet(owner, QString::fromLatin1(name)); }

TField* field(TClientDataSet* ds, const char* name, FT type, int size = 0, const QString& label = QString()) {
    TField* f = ds->AddField(QString::fromLatin1(name), type, size);
    if (!label.isEmpty()) f->DisplayLabel = label;
    return f;
}

FT fieldType(protocol::FieldType type) {
    switch (type) {
    case protocol::FieldType::Date: return FT::ftDateTime;
    case protocol::FieldType::Float: return FT::ftFloat;
    case protocol::FieldType::Integer: return FT::ftInteger;
    case protocol::FieldType::String: break;
    }
    return FT::ftString;
}

TADOIBQuery* query(QObject* owner, const char* name, const char* sql) {
    auto* q = new TADOIBQuery(owner, QString::fromLatin1(name));
    q->SQL = QString::fromUtf8(sql).split('\n');
    return q;
}

}  // namespace

void TfrmInquerito::buildDataSets() {
    netInquerito = new TNetConnection(this, "netInquerito");
    netInquerito->ServerName = QStringLiteral("Zep12600.rdmInquerito");
    netInquerito->ThrowException = false;
    netInquerito->BeforeConnect = [](TNetConnection* c) {
        c->Host = Vorlane::WebURL();
        c->Port = Vorlane::WebPort();
    };

    // Periods.
    cdsInqPaci = dataSet(this, "cdsInqPaci");
    cdsInqPaciCDFILIAL = field(cdsInqPaci, "CDFILIAL", FT::ftString, 4);
    cdsInqPaciCDFILIAL->Visible = false;
    cdsInqPaciCDPACIENTE = field(cdsInqPaci, "CDPACIENTE", FT::ftString, 12);
    cdsInqPaciCDPACIENTE->Visible = false;
    cdsInqPaciDTINIINQU = field(cdsInqPaci, "DTINIINQU", FT::ftDateTime, 0, QStringLiteral("Data Inicial"));
    cdsInqPaciDTINIINQU->Origin = QStringLiteral("INQUERPACI.DTINIINQU");
    cdsInqPaciDTFININQU = field(cdsInqPaci, "DTFININQU", FT::ftDateTime, 0, QStringLiteral("Data Final"));
    cdsInqPaciDTFININQU->Origin = QStringLiteral("INQUERPACI.DTFININQU");
    cdsInqPaciDTNAVIGATOR = cdsInqPaci->AddField("DTNAVIGATOR", FT::ftString, 25, TFieldKind::fkCalculated);
    cdsInqPaciDTNAVIGATOR->Visible = false;
    dtsInqPaci = new TDataSource(this, "dtsInqPaci", cdsInqPaci);

    cdsMax = dataSet(this, "cdsMax");
    field(cdsMax, "DTMAX", FT::ftDateTime)->Origin = QStringLiteral("INQUERPACI.DTFININQU");

    // Patient.
    cdsPaciente = dataSet(this, "cdsPaciente");
    field(cdsPaciente, "CDPACIENTE", FT::ftString, 12, QStringLiteral("Código"))->Origin =
        QStringLiteral("PACIENTE.CDPACIENTE");
    field(cdsPaciente, "NMPACIENTE", FT::ftString, 80, QStringLiteral("Nome"))->Origin =
        QStringLiteral("PACIENTE.NMPACIENTE");

    cdsPesqPaci = dataSet(this, "cdsPesqPaci");
    field(cdsPesqPaci, "CDPACIENTE", FT::ftString, 12, QStringLiteral("Código"))->DisplayWidth = 15;
    field(cdsPesqPaci, "NMPACIENTE", FT::ftString, 80)->Visible = false;
    field(cdsPesqPaci, "NMPACIUPPER", FT::ftString, 80, QStringLiteral("Nome"));
    // The search query returns more columns than the list shows: code and name only.
    field(cdsPesqPaci, "NMSOBRNOME", FT::ftString, 80)->Visible = false;
    field(cdsPesqPaci, "IDSEXOPACI", FT::ftString, 1)->Visible = false;
    field(cdsPesqPaci, "DTNASCPACI", FT::ftDateTime)->Visible = false;
    field(cdsPesqPaci, "IDTIPOPACI", FT::ftString, 1)->Visible = false;
    dtsPaciente = new TDataSource(this, "dtsPaciente", cdsPesqPaci);

    // Catalogue queries of the header.
    qryFilial = query(this, "qryFilial", catalog::qryFilial);
    qryFilial->SQL_ORACLE = qryFilial->SQL;
    qryFilial->SQL_MSSQL = QString::fromUtf8(catalog::qryFilial).replace("NVL(", "ISNULL(").split('\n');
    qryFilial->SQL_IB = QStringLiteral(
                            "SELECT\n  CDFILIAL,\n  NMFILIAL\nFROM\n   FILIAL,\n   PARAM(:P_CDFILIAL) P_CDFILIAL\n"
                            "WHERE\n  (CDFILIAL  = NVLSTR(P_CDFILIAL.PARAM, CDFILIAL))\nORDER BY\n  CDFILIAL")
                            .split('\n');
    field(qryFilial, "CDFILIAL", FT::ftString, 4, QStringLiteral("Código"))->Required = true;
    field(qryFilial, "NMFILIAL", FT::ftString, 30, QStringLiteral("Nome"));
    dtsFilial = new TDataSource(this, "dtsFilial", qryFilial);

    qryPesqPaci = query(this, "qryPesqPaci", catalog::qryPesqPaci);
    qryServico = query(this, "qryServico", catalog::qryServico);
    field(qryServico, "CDSERVFILI", FT::ftString, 5, QStringLiteral("Código"))->DisplayWidth = 7;
    field(qryServico, "NMSERVICO", FT::ftString, 40, QStringLiteral("Nome"))->DisplayWidth = 50;
    TField* start = field(qryServico, "HRINICSERV", FT::ftString, 4, QStringLiteral("Hora Inicial"));
    start->Visible = false;
    dtsServico = new TDataSource(this, "dtsServico", qryServico);
    qryParaDiet = query(this, "qryParaDiet", catalog::qryParaDiet);
    field(qryParaDiet, "IDAJUSTAPACI", FT::ftString, 1);

    // Items.
    cdsProdPrat = dataSet(this, "cdsProdPrat");
    for (const protocol::Field& f : protocol::item::fields())
        field(cdsProdPrat, f.name.c_str(), fieldType(f.type), f.size);
    cdsProdPrat->FieldByName("CDPRATPROD")->DisplayLabel = QStringLiteral("Código");
    cdsProdPrat->FieldByName("NMPRATPROD")->DisplayLabel = QStringLiteral("Nome");
    cdsProdPrat->FieldByName("CDMEDICASE")->DisplayLabel = QStringLiteral("Medida de Porcionamento");
    cdsProdPrat->FieldByName("IDTIPOINQUER")->DisplayLabel = QStringLiteral("Tipo");
    cdsProdPrat->FieldByName("IDTIPOINQUER")->DisplayWidth = 10;
    dtsPadrao->SetDataSet(cdsProdPrat);

    cdsSeqInquer = dataSet(this, "cdsSeqInquer");
    field(cdsSeqInquer, "NRSEQUINQUER", FT::ftString, 3);
    cdsPesqProd = dataSet(this, "cdsPesqProd");
    field(cdsPesqProd, "CDPRODUTO", FT::ftString, 10);
    cdsPesqPrato = dataSet(this, "cdsPesqPrato");
    field(cdsPesqPrato, "CDPRATO", FT::ftString, 10);

    qryProduto = query(this, "qryProduto", catalog::qryProduto);
    field(qryProduto, "CDARVPROD", FT::ftString, 20, QStringLiteral("Código"));
    field(qryProduto, "CDPRODUTO", FT::ftString, 10)->Visible = false;
    field(qryProduto, "NMPRODUTO", FT::ftString, 50, QStringLiteral("Nome"));
    field(qryProduto, "SGUNIDADE", FT::ftString, 10, QStringLiteral("UN"))->Visible = false;
    survey::showRecentMark(field(qryProduto, "IDRECENTE", FT::ftString, 1));  // fast entry
    dtsProduto = new TDataSource(this, "dtsProduto", qryProduto);
    qryValidaProduto = query(this, "qryValidaProduto", catalog::qryValidaProduto);
    field(qryValidaProduto, "CDARVPROD", FT::ftString, 20);
    field(qryValidaProduto, "CDPRODUTO", FT::ftString, 10);
    field(qryValidaProduto, "NMPRODUTO", FT::ftString, 50);
    field(qryValidaProduto, "SGUNIDADE", FT::ftString, 10);
    qryPrato = query(this, "qryPrato", catalog::qryPrato);
    field(qryPrato, "CDPRATO", FT::ftString, 10, QStringLiteral("Código"))->DisplayWidth = 15;
    field(qryPrato, "NMPRATO", FT::ftString, 40, QStringLiteral("Nome"));
    field(qryPrato, "SGUNIDADE", FT::ftString, 10)->Visible = false;
    field(qryPrato, "CDFILAUXPRAT", FT::ftString, 4)->Visible = false;
    survey::showRecentMark(field(qryPrato, "IDRECENTE", FT::ftString, 1));  // fast entry
    dtsPrato = new TDataSource(this, "dtsPrato", qryPrato);
    qryValidaPrato = query(this, "qryValidaPrato", catalog::qryValidaPrato);
    field(qryValidaPrato, "CDPRATO", FT::ftString, 10);
    field(qryValidaPrato, "NMPRATO", FT::ftString, 40);
    field(qryValidaPrato, "SGUNIDADE", FT::ftString, 10);
    field(qryValidaPrato, "CDFILAUXPRAT", FT::ftString, 4);
    // Measures of an item and the weight of one portion, one pair per kind.
    auto measures = [this](const char* name, const char* sql, const char* sourceName, TDataSource** source,
                           const char* grams) {
        TADOIBQuery* q = query(this, name, sql);
        field(q, "CDMEDICASE", FT::ftString, 5, QStringLiteral("Código"));
        TField* measure = field(q, "NMMEDICASE", FT::ftString, 40, QStringLiteral("Nome"));
        // Fast entry: the lookup shows "Fatia (25 g)"; the name itself stays "Fatia".
        TField* weight = field(q, grams, FT::ftFloat);
        weight->Visible = false;
        ShowAmountWithName(measure, weight, QStringLiteral("g"));
        *source = new TDataSource(this, sourceName, q);
        return q;
    };
    qryMedicaseProd =
        measures("qryMedicaseProd", catalog::qryMedicaseProd, "dtsMediCaseProd", &dtsMediCaseProd, "VRPESOMEDI");
    qryMedicasePrato =
        measures("qryMedicasePrato", catalog::qryMedicasePrato, "dtsMediCasePrato", &dtsMediCasePrato, "VRPESOMED");
    // The generic and Oracle dialects read a null weight as 0 with NVL, SQL
    // Server with ISNULL; InterBase selects the bare column.
    auto weight = [this](const char* name, const char* sql, const char* column) {
        TADOIBQuery* q = query(this, name, sql);
        field(q, column, FT::ftFloat);
        const QString text = QString::fromUtf8(sql);
        const QString nvl = QStringLiteral("NVL(%1, 0) AS %1").arg(QString::fromLatin1(column));
        q->SQL_ORACLE = q->SQL;
        q->SQL_MSSQL = QString(text).replace("NVL(", "ISNULL(").split('\n');
        q->SQL_IB = QString(text).replace(nvl, QString::fromLatin1(column)).split('\n');
        return q;
    };
    qryQuantProd = weight("qryQuantProd", catalog::qryQuantProd, "VRPESOMEDI");
    qryQuantPrato = weight("qryQuantPrato", catalog::qryQuantPrato, "VRPESOMED");
    qryQuantPrato->FieldByName("VRPESOMED")->ReadOnly = true;

    // Meal time.
    cdsHorario = dataSet(this, "cdsHorario");
    field(cdsHorario, "HRSERVINQ", FT::ftString, 4);
    field(cdsHorario, "IDTIPOINQUER", FT::ftString, 1);

    // Warning sets: string fields with their sizes.
    using Spec = std::initializer_list<std::pair<const char*, int>>;
    auto warningSet = [this](const char* name, Spec fields) {
        TClientDataSet* ds = dataSet(this, name);
        for (const auto& [field, size] : fields) ds->AddField(QString::fromLatin1(field), FT::ftString, size);
        return ds;
    };
    // Products are named by their tree code (CDARVPROD), up to 20 characters.
    const std::pair<const char*, int> product{"CDPRODUTO", 20}, dish{"CDPRATO", 10}, drug{"NMMEDICAMENT", 150},
        nutrient{"NMNUTRIENTE", 20};
    cdsPratoRest = warningSet("cdsPratoRest", {product, dish});
    cdsPratoIntol = warningSet("cdsPratoIntol", {product, dish});
    cdsVerMedicaPrato = warningSet("cdsVerMedicaPrato", {drug, nutrient, dish});
    cdsProdutoRest = warningSet("cdsProdutoRest", {{"CDSUBGRPROD", 10}, product});
    cdsProdutoIntol = warningSet("cdsProdutoIntol", {product});
    cdsVerMedica = warningSet("cdsVerMedica", {drug, nutrient, product});
    cdsPratoVerMedica = warningSet("cdsPratoVerMedica", {drug, nutrient});
    cdsProdVerMedica = warningSet("cdsProdVerMedica", {drug, nutrient});
}
