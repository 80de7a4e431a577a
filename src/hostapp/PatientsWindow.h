#pragma once
// MDI child "Pacientes": the patients of the current branch, from which the
// host opens the survey on behalf of "another module" and writes the patient
// filter file.
#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace hostapp {

using SurveyOpener = std::function<void(const QVariant& param)>;

class PatientsWindow : public QWidget {
    Q_OBJECT
public:
    // Without an opener (no module) the survey button stays disabled.
    explicit PatientsWindow(SurveyOpener opener, QWidget* parent = nullptr);

    // Reads the patients of hostfw::session().branchCode; throws on a database failure.
    void reload();
    void setFilterText(const QString& text);
    int visibleCount() const;
    bool selectPatient(const QString& code);
    QString selectedCode() const;
    QString selectedName() const;

    // The user's commands; each shows its own failures.
    void openSurvey();
    void saveFilter();

private:
    void applyFilter(const QString& text);
    QString selectedColumn(int column) const;
    QLineEdit* filter_ = nullptr;
    QTableView* view_ = nullptr;
    QStandardItemModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    SurveyOpener opener_;
};

} // namespace hostapp
