// The needs screen: layout, loading the stored values, live targets and saving.
#include "needs/NecesNutr.h"

#include "host/connection/NetConnection.h"
#include "host/controls/NumberEdit.h"
#include "host/core/BrNumber.h"
#include "host/core/Session.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "protocol/Packets.h"

#include <QComboBox>

#include <algorithm>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace hostfw;
namespace needs = catalog::needs;

TfrmNecesNutr* frmNecesNutr = nullptr;

int CriaNecesNutr(const survey::SurveyContext& context) {
    frmNecesNutr = new TfrmNecesNutr(context, session().mainWindow);
    return frmNecesNutr->exec();
}

namespace {

TNumberEdit* number(QWidget* parent, const char* name, int decimals, const QColor& required) {
    auto* e = new TNumberEdit(parent, QString::fromLatin1(name));
    e->SetDecimals(decimals);
    e->SetThousandSeparator(false);
    e->SetColor(required);
    e->setAlignment(Qt::AlignRight);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00000,00")) + 16);
    return e;
}

TEdit* display(QWidget* parent, const char* name, int chars) {
    auto* e = new TEdit(parent, QString::fromLatin1(name));
    e->SetDisplayOnly(true);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 16);
    return e;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& title) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

double valueOf(const protocol::DataPacket& p, const char* field, double otherwise) {
    const auto& v = p.at(0, field);
    return v.is_number() ? v.get<double>() : otherwise;
}

}  // namespace

TfrmNecesNutr::TfrmNecesNutr(const survey::SurveyContext& context, QWidget* parent)
    : TfrmRotiGeral(parent), context_(context) {
    setObjectName("frmNecesNutr");
    setWindowTitle(QStringLiteral("Necessidades Nutricionais"));
    lblCodTela->setText(QStringLiteral("ZEP12660"));
    netNecesNutr = new TNetConnection(this, "netNecesNutr");
    netNecesNutr->ServerName = QStringLiteral("Zep12600.rdmInquerito");
    netNecesNutr->BeforeConnect = [](TNetConnection* c) {
        c->Host = Vorlane::WebURL();
        c->Port = Vorlane::WebPort();
    };
    buildControls();
    FormCreate();
}

TfrmNecesNutr::~TfrmNecesNutr() {
    if (frmNecesNutr == this) frmNecesNutr = nullptr;
}

void TfrmNecesNutr::buildControls() {
    const QColor required = palette().color(QPalette::ToolTipBase);
    auto* body = new QVBoxLayout(grbDadosRel);

    grbPaciente = group(grbDadosRel, "grbPaciente", QStringLiteral("Paciente"));
    auto* who = new QFormLayout(grbPaciente);
    edtNmPaciente = display(grbPaciente, "edtNmPaciente", 40);
    edtPeriodo = display(grbPaciente, "edtPeriodo", 24);
    edtSexo = display(grbPaciente, "edtSexo", 10);
    edtIdade = display(grbPaciente, "edtIdade", 8);
    auto* sexAge = new QHBoxLayout();
    sexAge->addWidget(edtSexo);
    sexAge->addSpacing(12);
    sexAge->addWidget(new QLabel(QStringLiteral("Idade"), grbPaciente));
    sexAge->addWidget(edtIdade);
    sexAge->addStretch(1);
    who->addRow(QStringLiteral("Nome"), edtNmPaciente);
    who->addRow(QStringLiteral("Período"), edtPeriodo);
    who->addRow(QStringLiteral("Sexo"), sexAge);
    body->addWidget(grbPaciente);

    auto* columns = new QHBoxLayout();
    grbMedidas = group(grbDadosRel, "grbMedidas", QStringLiteral("Medidas e fatores"));
    auto* form = new QFormLayout(grbMedidas);
    nedPeso = number(grbMedidas, "nedPeso", 1, required);
    nedAltura = number(grbMedidas, "nedAltura", 1, required);
    cbxMetodo = new QComboBox(grbMedidas);
    cbxMetodo->setObjectName("cbxMetodo");
    cbxMetodo->addItem(QStringLiteral("Harris-Benedict"), QString(QLatin1Char(needs::HarrisBenedict)));
    cbxMetodo->addItem(QStringLiteral("Mifflin-St Jeor"), QString(QLatin1Char(needs::MifflinStJeor)));
    cbxMetodo->addItem(QStringLiteral("kcal por kg"), QString(QLatin1Char(needs::KcalPerKg)));
    nedKcalKg = number(grbMedidas, "nedKcalKg", 1, required);
    nedFatorAtiv = number(grbMedidas, "nedFatorAtiv", 2, required);
    nedFatorLesao = number(grbMedidas, "nedFatorLesao", 2, required);
    nedProtKg = number(grbMedidas, "nedProtKg", 2, required);
    nedPercCarb = number(grbMedidas, "nedPercCarb", 1, required);
    nedPercLipi = number(grbMedidas, "nedPercLipi", 1, required);
    nedLiquKg = number(grbMedidas, "nedLiquKg", 1, required);
    form->addRow(QStringLiteral("Peso (kg)"), nedPeso);
    form->addRow(QStringLiteral("Altura (cm)"), nedAltura);
    form->addRow(QStringLiteral("Método"), cbxMetodo);
    form->addRow(QStringLiteral("Energia (kcal/kg)"), nedKcalKg);
    form->addRow(QStringLiteral("Fator atividade"), nedFatorAtiv);
    form->addRow(QStringLiteral("Fator lesão"), nedFatorLesao);
    form->addRow(QStringLiteral("Proteína (g/kg)"), nedProtKg);
    form->addRow(QStringLiteral("Carboidrato (% da energia)"), nedPercCarb);
    form->addRow(QStringLiteral("Lipídio (% da energia)"), nedPercLipi);
    form->addRow(QStringLiteral("Líquido (ml/kg)"), nedLiquKg);
    columns->addWidget(grbMedidas);

    grbMetas = group(grbDadosRel, "grbMetas", QStringLiteral("Metas diárias"));
    auto* goals = new QFormLayout(grbMetas);
    edtEnergia = display(grbMetas, "edtEnergia", 9);
    edtProteina = display(grbMetas, "edtProteina", 9);
    edtCarboidrato = display(grbMetas, "edtCarboidrato", 9);
    edtLipidio = display(grbMetas, "edtLipidio", 9);
    edtLiquido = display(grbMetas, "edtLiquido", 9);
    for (TEdit* e : {edtEnergia, edtProteina, edtCarboidrato, edtLipidio, edtLiquido}) e->setAlignment(Qt::AlignRight);
    goals->addRow(QStringLiteral("Energia (kcal)"), edtEnergia);
    goals->addRow(QStringLiteral("Proteína (g)"), edtProteina);
    goals->addRow(QStringLiteral("Carboidrato (g)"), edtCarboidrato);
    goals->addRow(QStringLiteral("Lipídio (g)"), edtLipidio);
    goals->addRow(QStringLiteral("Líquido (ml)"), edtLiquido);
    lblAviso = new QLabel(grbMetas);
    lblAviso->setObjectName("lblAviso");
    lblAviso->setWordWrap(true);
    lblAviso->setStyleSheet(QStringLiteral("color: #a02020;"));
    lblAviso->setMaximumWidth(260);
    goals->addRow(lblAviso);
    columns->addWidget(grbMetas, 1);
    body->addLayout(columns);

    lblRegistro = new QLabel(grbDadosRel);
    lblRegistro->setObjectName("lblRegistro");
    body->addWidget(lblRegistro);
    body->addStretch(1);

    for (TNumberEdit* e : {nedPeso, nedAltura, nedKcalKg, nedFatorAtiv, nedFatorLesao, nedProtKg, nedPercCarb,
                           nedPercLipi, nedLiquKg})
        connect(e, &QLineEdit::textChanged, this, [this] { recalculate(); });
    connect(cbxMetodo, &QComboBox::currentIndexChanged, this, [this] { methodChanged(); });
    QWidget* previous = nedPeso;
    for (QWidget* w : std::initializer_list<QWidget*>{nedAltura, cbxMetodo, nedKcalKg, nedFatorAtiv, nedFatorLesao,
                                                      nedProtKg, nedPercCarb, nedPercLipi, nedLiquKg}) {
        setTabOrder(previous, w);
        previous = w;
    }
}

void TfrmNecesNutr::FormCreate() {
    TfrmRotiGeral::FormCreate();
    edtNmPaciente->SetText(context_.patientName);
    edtPeriodo->SetText(context_.periodStart.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" a ") +
                        context_.periodEnd.toString(QStringLiteral("dd/MM/yyyy")));
    netNecesNutr->SetConnected(true);
    load();
}

void TfrmNecesNutr::FormClose() {
    TfrmRotiGeral::FormClose();
    netNecesNutr->SetConnected(false);
}

void TfrmNecesNutr::load() {
    const auto data = Consiste::CheckResultServ(
        netNecesNutr->AppServer(QStringLiteral("GetNecesNutr"), {context_.patient, context_.branch, context_.periodStart}));
    showStored(protocol::DataPacket::fromJson(data));
}

void TfrmNecesNutr::showStored(const protocol::DataPacket& p) {
    if (p.rows.empty()) return;
    const auto& sexo = p.at(0, "IDSEXOPACI");
    patient_.sexo = sexo.is_string() && !sexo.get<std::string>().empty() ? sexo.get<std::string>()[0] : 0;
    const auto& idade = p.at(0, "QTIDADE");
    patient_.idade = idade.is_number() ? std::optional<int>(idade.get<int>()) : std::nullopt;
    edtSexo->SetText(patient_.sexo == 'M'   ? QStringLiteral("Masculino")
                     : patient_.sexo == 'F' ? QStringLiteral("Feminino")
                                            : QStringLiteral("Não informado"));
    edtIdade->SetText(patient_.idade ? QString::number(*patient_.idade) + QStringLiteral(" anos") : QString());

    const bool stored = p.at(0, "QTPESOPACI").is_number();
    // Without a record: the equations when the patient allows them, kcal per kg otherwise.
    const bool equations = patient_.sexo && patient_.idade && *patient_.idade >= needs::range::IdadeAdulto;
    const std::string metodo = stored ? p.at(0, "IDMETODOENER").get<std::string>()
                                      : std::string(1, equations ? needs::HarrisBenedict : needs::KcalPerKg);
    cbxMetodo->setCurrentIndex(std::max(0, cbxMetodo->findData(QString::fromStdString(metodo))));
    if (stored) {
        nedPeso->SetNumber(valueOf(p, "QTPESOPACI", 0));
        nedAltura->SetNumber(valueOf(p, "QTALTUPACI", 0));
    }
    nedKcalKg->SetNumber(valueOf(p, "QTKCALKG", 30));
    nedFatorAtiv->SetNumber(valueOf(p, "QTFATORATIV", 1));
    nedFatorLesao->SetNumber(valueOf(p, "QTFATORLESAO", 1));
    nedProtKg->SetNumber(valueOf(p, "QTPROTKG", 1));
    nedPercCarb->SetNumber(valueOf(p, "QTPERCCARB", 50));
    nedPercLipi->SetNumber(valueOf(p, "QTPERCLIPI", 30));
    nedLiquKg->SetNumber(valueOf(p, "QTLIQUMLKG", 30));
    const auto& who = p.at(0, "CDOPERADOR");
    const auto& when = p.at(0, "DTHRREGISTRO");
    if (who.is_string() && when.is_string()) {
        QDateTime at = QDateTime::fromString(QString::fromStdString(when.get<std::string>()).left(19),
                                             QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        at.setTimeSpec(Qt::UTC);
        lblRegistro->setText(QStringLiteral("Registrado por %1 em %2")
                                 .arg(QString::fromStdString(who.get<std::string>()),
                                      at.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
    } else {
        lblRegistro->setText(QStringLiteral("Ainda não registradas para este período."));
    }
    methodChanged();
}

void TfrmNecesNutr::methodChanged() {
    nedKcalKg->setEnabled(inputs().metodo == needs::KcalPerKg);
    recalculate();
}

needs::Inputs TfrmNecesNutr::inputs() const {
    needs::Inputs in;
    in.peso = nedPeso->GetNumber();
    in.altura = nedAltura->GetNumber();
    const QString m = cbxMetodo->currentData().toString();
    in.metodo = m.isEmpty() ? '\0' : m.at(0).toLatin1();
    in.fatorAtividade = nedFatorAtiv->GetNumber();
    in.fatorLesao = nedFatorLesao->GetNumber();
    in.kcalKg = nedKcalKg->GetNumber();
    in.proteinaKg = nedProtKg->GetNumber();
    in.percCarboidrato = nedPercCarb->GetNumber();
    in.percLipidio = nedPercLipi->GetNumber();
    in.liquidoKg = nedLiquKg->GetNumber();
    return in;
}

void TfrmNecesNutr::recalculate() {
    const needs::Inputs in = inputs();
    const std::string refusal = needs::check(in, patient_);
    lblAviso->setText(QString::fromStdString(refusal));
    if (!refusal.empty()) {
        for (TEdit* e : {edtEnergia, edtProteina, edtCarboidrato, edtLipidio, edtLiquido}) e->Clear();
        return;
    }
    const needs::Targets t = needs::compute(in, patient_);
    edtEnergia->SetText(FormatFixed(t.energia, 0));
    edtProteina->SetText(FormatFixed(t.proteina, 1));
    edtCarboidrato->SetText(FormatFixed(t.carboidrato, 1));
    edtLipidio->SetText(FormatFixed(t.lipidio, 1));
    edtLiquido->SetText(FormatFixed(t.liquido, 0));
}

void TfrmNecesNutr::sbtConfirmaClick() {
    const needs::Inputs in = inputs();
    // The server checks again; refusing here keeps the user on the screen with the reason.
    if (const std::string refusal = needs::check(in, patient_); !refusal.empty())
        Consiste::MensErro(QString::fromStdString(refusal));
    const bool perKg = in.metodo == needs::KcalPerKg;
    const auto data = Consiste::CheckResultServ(netNecesNutr->AppServer(
        QStringLiteral("SetNecesNutr"),
        {context_.patient, context_.branch, context_.periodStart, protocol::json(in.peso), protocol::json(in.altura),
         QString(QLatin1Char(in.metodo)), protocol::json(in.fatorAtividade), protocol::json(in.fatorLesao),
         perKg ? protocol::json(in.kcalKg) : protocol::json(nullptr), protocol::json(in.proteinaKg),
         protocol::json(in.percCarboidrato), protocol::json(in.percLipidio), protocol::json(in.liquidoKg)}));
    showStored(protocol::DataPacket::fromJson(data));
    accept();
}
