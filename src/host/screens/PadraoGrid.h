#pragma once
// The standard grid maintenance screen: a toolbar of maintenance commands,
// each paired with a menu item that always carries the same enabled state, a
// page control with a grid page, a record navigator and message tables.
#include "host/data/DataSet.h"
#include "host/core/HostExport.h"
#include "host/core/Messages.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWidget>

namespace hostfw {

class TDBGrid;

// A record navigator over a data source: first, prior, next, last.
class HOSTFW_EXPORT TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget* parent, const QString& name = QString());
    TDataSource* DataSource = nullptr;
    // After a button moved the data set (argument: 0 first, 1 prior, 2 next, 3 last).
    std::function<void(int button)> OnClick;

private:
    void move(int button);
};

class HOSTFW_EXPORT TfrmPadraoGrid : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPadraoGrid(QWidget* parent = nullptr);
    ~TfrmPadraoGrid() override;

    // Toolbar and its commands (button + menu action pairs).
    QFrame* panMenu;
    QToolButton *sbtIncluir, *sbtAlterar, *sbtExcluir, *sbtProcurar, *sbtVerificar, *sbtConfirmar, *sbtCancelar,
        *sbtImprimir, *sbtAjuda, *sbtFechar;
    QMenuBar* mnuMenu;
    QMenu *mnuOperacao, *mnuManutencao;
    QAction *mnuIncluir, *mnuAlterar, *mnuExcluir, *mnuProcurar, *mnuVerificar, *mnuConfirmar, *mnuCancelar,
        *mnuImprimir, *mnuAjuda, *mnuFechar;
    QTabWidget* pgcPadrao;
    QWidget* tshPadrao;
    TDBGrid* dbgPadrao;
    QFrame* panNavigator;
    QLabel* dbtNome;
    TDBNavigator* dbnPadrao;
    TDataSource* dtsPadrao;
    TMessages* msgPadrao;
    TMessages* msgMensagensPadroes;
    QLabel* lblCodTela;
    QString HelpFile;
    int HelpContext = 0;

    // The button paired with a menu action, and the action of a button.
    static void SetCommand(QAction* action, bool enabled) { action->setEnabled(enabled); }

    // Base handlers that screens call from their own handlers of the same name.
    virtual void FormCreate();
    // Runs before the screen closes; a failure keeps it open.
    virtual void FormCloseQuery() {}
    virtual void FormClose();
    virtual void dtsPadraoStateChange();
    virtual void sbtIncluirClick();
    virtual void sbtAlterarClick();
    virtual void sbtExcluirClick();
    virtual void sbtProcurarClick();
    virtual void sbtConfirmarClick();
    virtual void sbtCancelarClick();
    virtual void sbtVerificarClick() {}
    virtual void sbtImprimirClick() {}
    virtual void sbtAjudaClick();
    virtual void FormActivate() {}

    // The widget that holds the screen's body between toolbar and navigator.
    QWidget* body() const { return body_; }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Creates a command: a flat toolbar button bound to a menu action.
    QToolButton* addCommand(const QString& buttonName, QAction* action, const QString& hint);

private:
    QWidget* body_;
    bool closing_ = false;
};

} // namespace hostfw
