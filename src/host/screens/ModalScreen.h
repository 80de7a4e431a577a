#pragma once
// A modal screen of the host: the screen's controls in the data group box
// grbDadosRel, a side panel of flat buttons, the screen-code label and the
// message table. Runs FormActivate when it becomes active and FormClose once
// when it closes, however it closes.
#include "host/core/HostExport.h"
#include "host/core/Messages.h"

#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>

class QHBoxLayout;
class QVBoxLayout;

namespace hostfw {

class TButtonFlat;

class HOSTFW_EXPORT TModalScreen : public QDialog {
    Q_OBJECT
public:
    explicit TModalScreen(QWidget* parent = nullptr);

    QLabel* lblCodTela;
    QGroupBox* grbDadosRel;  // the screen's own controls go here
    QFrame* panMenu;
    QFrame* panBotoes;
    TMessages* msgPadrao;
    int HelpContext = 0;

    virtual void FormActivate() { update(); }
    virtual void FormClose() {}

protected:
    // The column under the data group box, and the row of the code labels.
    QVBoxLayout* leftColumn() const { return left_; }
    QHBoxLayout* codesRow() const { return codes_; }
    // A flat button at the end of the side panel, running onClick.
    TButtonFlat* addSideButton(const char* name, const QString& caption, const QIcon& icon,
                               std::function<void()> onClick);

    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void done(int result) override;

private:
    void closeOnce();
    QVBoxLayout* left_;
    QHBoxLayout* codes_;
    bool closed_ = false;
};

} // namespace hostfw
