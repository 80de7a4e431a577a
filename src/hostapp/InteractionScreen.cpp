#include "hostapp/InteractionScreen.h"

#include "catalog/Interactions.h"
#include "db/Query.h"
#include "host/core/BrNumber.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/core/Session.h"
#include "host/connection/NetConnection.h"
#include "host/routines/Consiste.h"
#include "protocol/CodeList.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace hostapp {

namespace {

using protocol::FieldType;

QString text(const protocol::Value& v) {
    return v.is_string() ? QString::fromStdString(v.get<std::string>()) : QString();
}
double number(const protocol::Value& v) { return v.is_number() ? v.get<double>() : 0.0; }

QDate dayOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QDate: return value.toDate();
    case QMetaType::QDateTime: return value.toDateTime().date();
    default: break;
    }
    const QString t = value.toString().trimmed();
    QDate d = QDate::fromString(t.left(10), Qt::ISODate);
    if (!d.isValid()) d = QDate::fromString(t, QStringLiteral("dd/MM/yyyy"));
    return d;
}

// Codes travel as the module shows them; the tree code has no separators.
QString bareCode(const QString& code) {
    QString out;
    for (QChar c : code)
        if (c.isLetterOrNumber()) out += c;
    return out;
}

// The code as the user knows it: the picture's separators put back
// ("0701005" under "99.99.999" reads "07.01.005").
QString withPicture(const QString& code, const QString& mask) {
    QString out;
    int next = 0;
    for (QChar m : mask) {
        if (next >= code.size()) break;
        out += (m == '9') ? code[next++] : m;
    }
    return out + code.mid(next);
}

} // namespace

InteractionRequest InteractionRequest::fromValues(const QVariantList& values) {
    if (values.size() < 5)
        throw hostfw::EHostError(QStringLiteral("Tela ZEP12650: são esperados 5 valores, recebidos %1.").arg(values.size()));
    InteractionRequest r;
    r.patientCode = values[0].toString().trimmed();
    r.itemCode = bareCode(values[1].toString());
    r.dishOwner = values[2].toString().trimmed();
    r.branchCode = values[3].toString().trimmed();
    r.day = dayOf(values[4]);
    if (r.patientCode.isEmpty() || r.itemCode.isEmpty() || !r.day.isValid())
        throw hostfw::EHostError(QStringLiteral("Tela ZEP12650: paciente, item ou dia inválido."));
    return r;
}

QList<Interaction> findInteractions(soci::session& db, const InteractionRequest& request) {
    const std::string items = request.isDish()
                                  ? "P.CDPRODUTO IN (SELECT PP.CDPRODUTO FROM PRATOPROD PP WHERE PP.CDPRATO = :P_CDITEM)"
                                  : "P.CDARVPROD = :P_CDITEM";
    // The rule is the one the server's warnings use; only the item differs.
    const std::string sql =
        std::string("SELECT X.NMMEDICAMENT AS NMMEDICAMENT, X.CDNUTRIENTE AS CDNUTRIENTE, X.NMNUTRIENTE AS NMNUTRIENTE, "
                    "X.SGUNIDADE AS SGUNIDADE, "
                    "P.CDARVPROD AS CDARVPROD, P.NMPRODUTO AS NMPRODUTO, X.QTNUTRPROD AS QTNUTRPROD, "
                    "X.QTLIMINTER AS QTLIMINTER FROM (") +
        catalog::interactingProducts + ") X JOIN PRODUTO P ON P.CDPRODUTO = X.CDPRODUTO WHERE " + items +
        " ORDER BY NMMEDICAMENT, NMNUTRIENTE, NMPRODUTO";
    const auto packet = db::query(db, sql,
                                  {{"P_CDPACIENTE", request.patientCode.toStdString()},
                                   {"P_DTDIA", request.day.toString(Qt::ISODate).toStdString()},
                                   {"P_CDITEM", request.itemCode.toStdString()}},
                                  {{"NMMEDICAMENT", FieldType::String, 150},
                                   {"CDNUTRIENTE", FieldType::String, 3},
                                   {"NMNUTRIENTE", FieldType::String, 20},
                                   {"SGUNIDADE", FieldType::String, 10},
                                   {"CDARVPROD", FieldType::String, 20},
                                   {"NMPRODUTO", FieldType::String, 50},
                                   {"QTNUTRPROD", FieldType::Float, 0},
                                   {"QTLIMINTER", FieldType::Float, 0}});
    QList<Interaction> out;
    for (const auto& row : packet.rows)
        out.append({text(row[0]), text(row[1]), text(row[2]), text(row[3]), text(row[4]), text(row[5]),
                    number(row[6]), number(row[7]), !row[7].is_null()});
    return out;
}

DayIntake serverDayIntake() {
    return [](const InteractionRequest& request, const QStringList& nutrientCodes) {
        hostfw::TNetConnection net(nullptr, QStringLiteral("netInteracao"));
        net.ServerName = QStringLiteral("Zep12600.rdmInquerito");
        net.Host = hostfw::session().serverHost;
        net.Port = hostfw::session().serverPort;
        net.Open();
        std::vector<std::string> codes;
        for (const QString& c : nutrientCodes) codes.push_back(c.toStdString());
        const protocol::json data = Consiste::CheckResultServ(
            net.AppServer(QStringLiteral("GetNutrDia"), {request.patientCode, request.branchCode, request.day,
                                                         QString::fromStdString(protocol::CodeList::format(codes))}));
        std::map<QString, double> out;
        const auto packet = protocol::DataPacket::fromJson(data);
        const int code = packet.indexOf("CDNUTRIENTE"), amount = packet.indexOf("QTNUTRDIA");
        if (code < 0 || amount < 0) throw hostfw::EHostError(QStringLiteral("Resposta inválida do servidor."));
        for (const auto& row : packet.rows) out[text(row[size_t(code)])] = number(row[size_t(amount)]);
        return out;
    };
}

InteractionScreen::InteractionScreen(const InteractionRequest& request, soci::session& db, QWidget* parent,
                                     const DayIntake& intake)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ZEP12650"));
    setWindowTitle(QStringLiteral("Interações Medicamento-Nutriente"));
    setModal(true);
    resize(820, 460);

    header_ = new QLabel(describe(db, request), this);
    header_->setObjectName(QStringLiteral("lblItem"));
    header_->setWordWrap(true);

    const QList<Interaction> rows = findInteractions(db, request);
    table_ = new QTableWidget(int(rows.size()), 6, this);
    table_->setObjectName(QStringLiteral("grdInteracoes"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Medicamento"), QStringLiteral("Nutriente"),
                                       QStringLiteral("Alimento"), QStringLiteral("Teor em 100 g"),
                                       QStringLiteral("Limite"), QStringLiteral("Unidade")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    for (int r = 0; r < rows.size(); ++r) {
        const Interaction& i = rows[r];
        const QStringList cells{i.drug, i.nutrient, i.productName, hostfw::FormatFixed(i.content, 3),
                                hostfw::FormatFixed(i.threshold, 3), i.unit};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 3 || c == 4) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(r, c, item);
        }
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);

    auto* empty = new QLabel(QStringLiteral("Nenhuma interação medicamento-nutriente para este item no dia informado."), this);
    empty->setObjectName(QStringLiteral("lblSemInteracao"));
    empty->setVisible(rows.isEmpty());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Fechar"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header_);
    layout->addWidget(table_, 1);
    layout->addWidget(empty);

    intakeNote_ = new QLabel(this);
    intakeNote_->setObjectName(QStringLiteral("lblConsumoDia"));
    intakeNote_->setWordWrap(true);
    intake_ = new QTableWidget(0, 5, this);
    intake_->setObjectName(QStringLiteral("grdConsumoDia"));
    intake_->setHorizontalHeaderLabels({QStringLiteral("Medicamento"), QStringLiteral("Nutriente"),
                                        QStringLiteral("Ingerido no dia"), QStringLiteral("Limite da interação"),
                                        QStringLiteral("Unidade")});
    intake_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    intake_->verticalHeader()->hide();
    // As tall as its few lines: the foods above take the room left.
    intake_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    intake_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    fillIntake(request, rows, intake);
    intakeNote_->setVisible(!rows.isEmpty());
    intake_->setVisible(!rows.isEmpty());
    layout->addWidget(intakeNote_);
    layout->addWidget(intake_);
    layout->addWidget(buttons);
}

void InteractionScreen::fillIntake(const InteractionRequest& request, const QList<Interaction>& rows,
                                   const DayIntake& intake) {
    // One line per drug and nutrient, however many foods of the item bring it.
    QList<const Interaction*> pairs;
    QStringList codes;
    for (const Interaction& i : rows) {
        if (!codes.contains(i.nutrientCode)) codes << i.nutrientCode;
        const bool seen = std::any_of(pairs.begin(), pairs.end(), [&](const Interaction* p) {
            return p->drug == i.drug && p->nutrientCode == i.nutrientCode;
        });
        if (!seen) pairs << &i;
    }
    std::optional<std::map<QString, double>> eaten;
    QString failure;
    if (!intake) {
        failure = QStringLiteral("consulta não disponível");
    } else if (!codes.isEmpty()) {
        try {
            eaten = intake(request, codes);
        } catch (const hostfw::EHostError& e) {
            failure = e.message();
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    }
    const QString day = request.day.toString(QStringLiteral("dd/MM/yyyy"));
    intakeNote_->setText(
        eaten ? QStringLiteral("Consumo do paciente em %1, em todos os serviços, comparado ao limite de cada interação "
                               "(teor do alimento em 100 g a partir do qual ele interage com o medicamento).")
                    .arg(day)
              : QStringLiteral("Consumo do paciente em %1 indisponível: %2").arg(day, failure));
    intake_->setRowCount(int(pairs.size()));
    for (int r = 0; r < pairs.size(); ++r) {
        const Interaction& i = *pairs[r];
        QString amount = QStringLiteral("—");
        if (eaten) {
            const auto it = eaten->find(i.nutrientCode);
            amount = hostfw::FormatFixed(it == eaten->end() ? 0.0 : it->second, 3);
        }
        const QString limit = i.hasThreshold ? QStringLiteral("%1 por 100 g").arg(hostfw::FormatFixed(i.threshold, 3))
                                             : QStringLiteral("não registrado");
        const QStringList cells{i.drug, i.nutrient, amount, limit, i.unit};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 2 || c == 3) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            intake_->setItem(r, c, item);
        }
    }
    intake_->resizeColumnsToContents();
    intake_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
}

QString InteractionScreen::describe(soci::session& db, const InteractionRequest& request) const {
    const auto patient = db::scalarText(db, "SELECT NMPACIENTE FROM PACIENTE WHERE CDPACIENTE = :P_CDPACIENTE",
                                   {{"P_CDPACIENTE", request.patientCode.toStdString()}});
    const auto item = db::scalarText(db,
                                     request.isDish() ? "SELECT NMPRATO FROM PRATO WHERE CDPRATO = :P_CDITEM"
                                                      : "SELECT NMPRODUTO FROM PRODUTO WHERE CDARVPROD = :P_CDITEM",
                                     {{"P_CDITEM", request.itemCode.toStdString()}});
    const QString itemKind = request.isDish() ? QStringLiteral("Prato") : QStringLiteral("Produto");
    const auto& picture = request.isDish() ? hostfw::session().dishPicture : hostfw::session().productPicture;
    return QStringLiteral("Paciente: %1 - %2\n%3: %4 - %5\nDia: %6")
        .arg(request.patientCode, patient ? QString::fromStdString(*patient) : QString(), itemKind,
             withPicture(request.itemCode, picture.mask),
             item ? QString::fromStdString(*item) : QString(), request.day.toString(QStringLiteral("dd/MM/yyyy")));
}

int InteractionScreen::rowCount() const { return table_->rowCount(); }

int InteractionScreen::intakeRowCount() const { return intake_->rowCount(); }

QString InteractionScreen::intakeCellText(int row, int column) const {
    const QTableWidgetItem* item = intake_->item(row, column);
    return item ? item->text() : QString();
}

QString InteractionScreen::intakeNote() const { return intakeNote_->text(); }

QString InteractionScreen::cellText(int row, int column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? item->text() : QString();
}

QString InteractionScreen::headerText() const { return header_->text(); }

void openHostScreen(const QString& screenCode, const QVariantList& values, QWidget* parent) {
    if (screenCode.compare(QStringLiteral("ZEP12650"), Qt::CaseInsensitive) != 0)
        throw hostfw::EHostError(QStringLiteral("A tela %1 não está disponível neste sistema.").arg(screenCode));
    const InteractionRequest request = InteractionRequest::fromValues(values);
    try {
        InteractionScreen screen(request, hostfw::hostDatabase(), parent, serverDayIntake());
        screen.exec();
    } catch (const hostfw::EHostError&) {
        throw;
    } catch (const std::exception& e) {
        throw hostfw::EHostError(QStringLiteral("Não foi possível consultar as interações: %1").arg(QString::fromUtf8(e.what())));
    }
}

} // namespace hostapp
