#pragma once
// The host's main form: MDI area, menus that open the survey module and the
// patients window, status bar with operator and branch, and the patient
// filter data set "cdsFiltro" the module looks up by name.
#include "hostapp/PatientsWindow.h"

#include <QMainWindow>

class QAction;
class QMdiArea;
class QMdiSubWindow;

namespace hostfw {
class TClientDataSet;
}

namespace hostapp {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Without an opener the survey menu item is disabled (module missing).
    explicit MainWindow(SurveyOpener opener, QWidget* parent = nullptr);
    ~MainWindow() override;

    QMdiArea* mdiArea() const { return mdi_; }
    hostfw::TClientDataSet* filterDataSet() const { return filter_; }
    QAction* surveyAction() const { return surveyAction_; }

    QAction* patientsAction() const { return patientsAction_; }
    // Administrators only; null for other operators.
    QAction* operatorsAction() const { return operatorsAction_; }
    QAction* auditAction() const { return auditAction_; }
    // Opens (or brings to front) "Operadores" or "Auditoria".
    template <class Screen>
    Screen* openAdminScreen();

    // Opens (or brings to front) the patients window.
    PatientsWindow* openPatients();
    // What a user sees on start: the patients window, from which the survey opens.
    void openStartWindows();
    void openSurveyFromMenu();
    void refreshStatus();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QMdiArea* mdi_ = nullptr;
    hostfw::TClientDataSet* filter_ = nullptr;
    QAction* surveyAction_ = nullptr;
    QAction* patientsAction_ = nullptr;
    QAction* operatorsAction_ = nullptr;
    QAction* auditAction_ = nullptr;
    QMdiSubWindow* patients_ = nullptr;
    SurveyOpener opener_;
};

} // namespace hostapp
