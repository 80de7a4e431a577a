#pragma once
// The one way the survey screen saves a data set's pending changes.
#include "host/connection/NetConnection.h"
#include "host/data/DataSet.h"

class QWidget;

namespace survey {

// Sends the pending changes of ds to the server operation, with the busy
// indicator (kind 1) on. On success the change log is merged (the sent changes
// become the saved state) and the reply's data returned; on any failure the
// pending changes are cancelled and the failure goes on. Nothing pending:
// nothing is sent and the answer is null.
protocol::json sendChanges(hostfw::TNetConnection* net, const char* operation, hostfw::TClientDataSet* ds,
                           QWidget* mainWindow);

}  // namespace survey
