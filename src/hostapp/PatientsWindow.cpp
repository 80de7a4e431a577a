#include "hostapp/PatientsWindow.h"

#include "db/Query.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/core/Session.h"
#include "hostapp/PatientFilter.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace hostapp {

namespace {

enum Column { ColCode, ColName, ColSex, ColBirth, ColType, ColumnCount };

QString text(const protocol::Value& v) {
    return v.is_string() ? QString::fromStdString(v.get<std::string>()) : QString();
}

// "José" is found by "jose": letters compared without accents or case.
QString folded(const QString& s) {
    const QString decomposed = s.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out += c.toLower();
    return out;
}

class PatientFilterModel : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setNeedle(const QString& needle) {
        needle_ = folded(needle.trimmed());
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (needle_.isEmpty()) return true;
        for (int column : {ColCode, ColName}) {
            const QString value = sourceModel()->index(row, column, parent).data().toString();
            if (folded(value).contains(needle_)) return true;
        }
        return false;
    }

private:
    QString needle_;
};

QString sexText(const QString& code) {
    if (code == "F") return QStringLiteral("Feminino");
    if (code == "M") return QStringLiteral("Masculino");
    return code;
}

QString typeText(const QString& code) {
    if (code == "I") return QStringLiteral("Internado");
    if (code == "A") return QStringLiteral("Ambulatorial");
    return code;
}

} // namespace

PatientsWindow::PatientsWindow(SurveyOpener opener, QWidget* parent) : QWidget(parent), opener_(std::move(opener)) {
    setObjectName(QStringLiteral("frmPacientes"));
    setWindowTitle(QStringLiteral("Pacientes"));
    setAttribute(Qt::WA_DeleteOnClose);

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("edtFiltro"));
    filter_->setPlaceholderText(QStringLiteral("Código ou nome do paciente"));
    filter_->setClearButtonEnabled(true);

    model_ = new QStandardItemModel(0, ColumnCount, this);
    model_->setHorizontalHeaderLabels({QStringLiteral("Código"), QStringLiteral("Nome"), QStringLiteral("Sexo"),
                                       QStringLiteral("Nascimento"), QStringLiteral("Tipo")});
    auto* proxy = new PatientFilterModel(this);
    proxy->setSourceModel(model_);
    proxy_ = proxy;

    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("grdPacientes"));
    view_->setModel(proxy_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setSectionResizeMode(ColName, QHeaderView::Stretch);

    openButton_ = new QPushButton(QStringLiteral("Abrir Inquérito"), this);
    openButton_->setObjectName(QStringLiteral("btnAbrirInquerito"));
    openButton_->setEnabled(bool(opener_));
    if (!opener_) openButton_->setToolTip(QStringLiteral("Módulo Inquérito do Paciente não carregado."));
    saveButton_ = new QPushButton(QStringLiteral("Gravar Filtro"), this);
    saveButton_->setObjectName(QStringLiteral("btnGravarFiltro"));
    saveButton_->setToolTip(QStringLiteral("Grava o paciente selecionado em FILPACI.cds (módulos 10 e 11)."));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Filtro:"), this));
    top->addWidget(filter_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(openButton_);
    bottom->addWidget(saveButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addLayout(bottom);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& t) { applyFilter(t); });
    connect(openButton_, &QPushButton::clicked, this, [this] { hostfw::guard([this] { openSurvey(); }); });
    connect(saveButton_, &QPushButton::clicked, this, [this] { hostfw::guard([this] { saveFilter(); }); });
    connect(view_, &QTableView::doubleClicked, this, [this] {
        if (opener_) hostfw::guard([this] { openSurvey(); });
    });
    resize(640, 420);
}

void PatientsWindow::reload() {
    model_->removeRows(0, model_->rowCount());
    const auto packet = db::query(hostfw::hostDatabase(),
                                  "SELECT CDPACIENTE, NMPACIENTE, IDSEXOPACI, DTNASCPACI, IDTIPOPACI FROM PACIENTE "
                                  "WHERE CDFILIAL = :P_CDFILIAL ORDER BY NMPACIENTE",
                                  {{"P_CDFILIAL", hostfw::session().branchCode.toStdString()}},
                                  {{"CDPACIENTE", protocol::FieldType::String, 12},
                                   {"NMPACIENTE", protocol::FieldType::String, 80},
                                   {"IDSEXOPACI", protocol::FieldType::String, 1},
                                   {"DTNASCPACI", protocol::FieldType::Date, 0},
                                   {"IDTIPOPACI", protocol::FieldType::String, 1}});
    for (const auto& row : packet.rows) {
        const QDate birth = QDate::fromString(text(row[3]).left(10), Qt::ISODate);
        QList<QStandardItem*> items{new QStandardItem(text(row[0])), new QStandardItem(text(row[1])),
                                    new QStandardItem(sexText(text(row[2]))),
                                    new QStandardItem(birth.isValid() ? birth.toString("dd/MM/yyyy") : QString()),
                                    new QStandardItem(typeText(text(row[4])))};
        model_->appendRow(items);
    }
    view_->resizeColumnToContents(ColCode);
    if (proxy_->rowCount() > 0) view_->selectRow(0);
}

void PatientsWindow::setFilterText(const QString& text) {
    filter_->setText(text);
    applyFilter(text);
}

void PatientsWindow::applyFilter(const QString& text) {
    static_cast<PatientFilterModel*>(proxy_)->setNeedle(text);
    if (selectedCode().isEmpty() && proxy_->rowCount() > 0) view_->selectRow(0);
}

int PatientsWindow::visibleCount() const { return proxy_->rowCount(); }

bool PatientsWindow::selectPatient(const QString& code) {
    for (int r = 0; r < proxy_->rowCount(); ++r) {
        if (proxy_->index(r, ColCode).data().toString() == code) {
            view_->selectRow(r);
            return true;
        }
    }
    return false;
}

QString PatientsWindow::selectedColumn(int column) const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows(column);
    return rows.isEmpty() ? QString() : rows.first().data().toString();
}

QString PatientsWindow::selectedCode() const { return selectedColumn(ColCode); }
QString PatientsWindow::selectedName() const { return selectedColumn(ColName); }

void PatientsWindow::openSurvey() {
    if (!opener_) return;
    const QString code = selectedCode();
    if (code.isEmpty()) {
        hostfw::dialogs().message(hostfw::DialogKind::Warning, QStringLiteral("Selecione um paciente."));
        return;
    }
    opener_(QVariantList{hostfw::session().branchCode, code, selectedName()});
}

void PatientsWindow::saveFilter() {
    const QString code = selectedCode();
    if (code.isEmpty()) {
        hostfw::dialogs().message(hostfw::DialogKind::Warning, QStringLiteral("Selecione um paciente."));
        return;
    }
    const QString path = writePatientFilter(hostfw::session().executableFolder, hostfw::session().branchCode, code);
    hostfw::dialogs().message(hostfw::DialogKind::Information,
                              QStringLiteral("Filtro gravado em %1.\nOs módulos 10 e 11 abrirão o inquérito deste paciente.")
                                  .arg(path));
}

} // namespace hostapp
