#pragma once
// Modal UI as a host service: a Qt implementation for the application
// (host/routines/QtDialogs.h) and a scripted one for tests ("answer No to the
// next confirmation", "pick row 2 in the next lookup", "what did the user see").
#include "host/core/HostExport.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace hostfw {

class TClientDataSet;

enum class DialogKind { Error, Warning, Information, Confirmation };

// What a lookup window shows: a data set's visible fields, a title and the
// text shown when the list is empty.
struct LookupRequest {
    TClientDataSet* dataSet = nullptr;
    QString title;
    QString emptyText;
    QString keyField;         // multi-choice lookups: the field whose values make the code list
    bool multiSelect = false;
    QStringList marked;       // multi-choice: keys marked when the window opens
    QString filterText;       // the search the window opens with (letters typed before it opened)
};

// What the user did: the row picked (data set positioned on it), or the keys marked.
struct LookupAnswer {
    bool accepted = false;
    int row = -1;             // zero-based row of the data set
    QStringList marked;
};

class HOSTFW_EXPORT HostDialogs {
public:
    virtual ~HostDialogs() = default;
    virtual void message(DialogKind kind, const QString& text) = 0;
    virtual bool confirm(const QString& text) = 0;  // Yes = true
    virtual LookupAnswer lookup(const LookupRequest& request) = 0;
    // The host's find dialog: answers the text to look for, or nothing.
    virtual std::optional<QString> findText(const QString& title) = 0;
    virtual void busy(bool on, int kind) = 0;
};

// The service in use; the default one (the Qt dialogs of host/routines)
// unless a test installed another.
HOSTFW_EXPORT HostDialogs& dialogs();
HOSTFW_EXPORT void setDialogs(std::unique_ptr<HostDialogs> service);
// What dialogs() makes when none was installed. The real dialogs need the
// lookup window, which lives above this folder, so they register themselves.
HOSTFW_EXPORT void setDefaultDialogs(std::function<std::unique_ptr<HostDialogs>()> factory);

// Dialogs for tests: answers come from queues, everything shown is recorded.
class HOSTFW_EXPORT ScriptedDialogs : public HostDialogs {
public:
    struct Shown {
        DialogKind kind;
        QString text;
    };
    std::vector<Shown> shown;            // every message and confirmation, in order
    std::deque<bool> confirmations;      // next answers; empty: Yes
    std::deque<LookupAnswer> lookups;    // next answers; empty: cancelled
    std::vector<LookupRequest> lookupsShown;
    std::deque<QString> finds;
    std::vector<std::pair<bool, int>> busyCalls;  // (on, kind)
    int busyDepth = 0;
    std::function<void(const LookupRequest&)> onLookup;  // called when a lookup opens

    void message(DialogKind kind, const QString& text) override;
    bool confirm(const QString& text) override;
    LookupAnswer lookup(const LookupRequest& request) override;
    std::optional<QString> findText(const QString& title) override;
    void busy(bool on, int kind) override;

    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
    void clear();
};

// Installs scripted dialogs and answers them, for tests.
HOSTFW_EXPORT ScriptedDialogs& useScriptedDialogs();

} // namespace hostfw
