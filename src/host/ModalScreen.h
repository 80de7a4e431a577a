#pragma once
// A modal screen of the host: runs FormActivate when it becomes active and
// FormClose once when it closes, however it closes.
#include "host/HostExport.h"

#include <QDialog>

namespace hostfw {

class HOSTFW_EXPORT TModalScreen : public QDialog {
    Q_OBJECT
public:
    explicit TModalScreen(QWidget* parent = nullptr);

    virtual void FormActivate() { update(); }
    virtual void FormClose() {}

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void done(int result) override;

private:
    void closeOnce();
    bool closed_ = false;
};

} // namespace hostfw
