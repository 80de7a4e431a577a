#include "survey/SendChanges.h"

#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"

namespace survey {

using namespace hostfw;

protocol::json sendChanges(hostfw::TNetConnection* net, const char* operation, hostfw::TClientDataSet* ds,
                           QWidget* mainWindow) {
    if (ds->ChangeCount() == 0) return nullptr;
    try {
        Showavi::Scope busy(1, mainWindow);
        protocol::json reply = Consiste::CheckResultServ(net->AppServer(QString::fromLatin1(operation), {ds->Delta()}));
        if (ds->LogChanges) ds->MergeChangeLog();
        return reply;
    } catch (...) {
        // The row returns to its last saved state.
        ds->CancelUpdates();
        throw;
    }
}

}  // namespace survey
