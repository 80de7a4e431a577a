#pragma once
#include "server/Operation.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace server {

class LoginThrottle;
class SessionCache;
class ReadAudit;

// Which branch a call is about, declared with each operation and checked by
// the dispatcher before the operation runs: the call is refused unless the
// session's operator may use that branch (OPERFILI).
struct BranchRule {
    enum class Kind {
        Undeclared,      // registered without a rule (refused by the tests; logged at start)
        Public,          // needs no session (the login alone)
        Catalogue,       // reads only tables shared by every branch
        Argument,        // the text argument `branchArgument` is the branch
        Patient,         // the patient named by `patientArgument` belongs to an allowed branch
        PacketRows,      // every old and new row of the change packet `packetArgument` names an allowed CDFILIAL
        Handler,         // the operation applies the rule itself (see its file)
    };
    Kind kind = Kind::Undeclared;
    int branchArgument = -1;
    int patientArgument = -1;
    int packetArgument = -1;

    static BranchRule publicOperation() { return {Kind::Public}; }
    static BranchRule catalogue() { return {Kind::Catalogue}; }
    static BranchRule argument(int i) { return {Kind::Argument, i}; }
    static BranchRule patient(int i) { return {Kind::Patient, -1, i}; }
    // Branch argument and the patient's own branch, both allowed.
    static BranchRule argumentAndPatient(int branch, int patient) { return {Kind::Argument, branch, patient}; }
    static BranchRule packetRows(int i) { return {Kind::PacketRows, -1, -1, i}; }
    static BranchRule inHandler() { return {Kind::Handler}; }
};

// What callers are told of a database or internal failure; the detail goes to the log.
extern const char* const DatabaseFailure;
extern const char* const InternalFailure;

// Session settings of the server (see Sessions.h).
struct SessionPolicy {
    int lifetimeMinutes = 12 * 60;       // a session ends this long after the login
    int operatorFreeFailures = 3;        // failed logins of one operator before delays begin
    int addressFreeFailures = 10;        // failed logins from one address before delays begin
    int firstDelayMilliseconds = 1000;   // then 1 s, 2 s, 4 s ... up to maxDelaySeconds
    int maxDelaySeconds = 300;
    // How long a checked session is answered from memory (SessionCache.h); 0: checked on every call.
    int sessionCheckMilliseconds = 1000;
};

// What the transport knows of a request besides its body.
struct RequestMeta {
    std::string token;      // from "Authorization: Bearer <token>"
    std::string address;    // client IP
    std::string requestId;  // from "Idempotency-Key"
};

// Routes "Object.Operation" calls to their handlers, each inside one pooled
// session, after checking the caller's session and branch; turns every
// failure into an error reply.
class Dispatcher {
public:
    struct Outcome {
        std::string method;
        std::string body;
        bool ok = false;
        std::string error;
        std::string detail;  // for the server's log only (driver text of a failure)
        std::string operatorCode;
    };

    Dispatcher();
    ~Dispatcher();

    void add(const std::string& object, const std::string& operation, size_t argumentCount, Handler handler,
             BranchRule rule = {});
    // With flushAudit false, a batch of recorded reads that is due is left to
    // flushReadAuditIfDue (the server calls it once the reply is on its way).
    Outcome handle(const std::string& requestBody, db::SessionPool& pool, const RequestMeta& meta,
                   bool flushAudit = true) const;
    // Without credentials: only public operations succeed.
    Outcome handle(const std::string& requestBody, db::SessionPool& pool) const {
        return handle(requestBody, pool, RequestMeta{});
    }
    bool has(const std::string& method) const { return operations_.count(method) > 0; }
    // Operations registered without a branch rule.
    std::vector<std::string> undeclaredOperations() const;
    std::vector<std::string> operations() const;
    BranchRule ruleOf(const std::string& method) const;

    SessionPolicy& sessionPolicy() { return *policy_; }
    const std::shared_ptr<SessionPolicy>& sharedPolicy() const { return policy_; }
    const std::shared_ptr<LoginThrottle>& throttle() const { return throttle_; }
    const std::shared_ptr<SessionCache>& sessionCache() const { return sessions_; }
    // Reads of patients' data waiting to be written to the audit trail.
    ReadAudit& readAudit() const { return *readAudit_; }
    // Writes them now (before the trail is read, and when the server stops).
    void flushReadAudit(db::SessionPool& pool) const;
    // Writes them when a batch is due (full, or its oldest read a second old).
    void flushReadAuditIfDue(db::SessionPool& pool) const;

private:
    struct Entry {
        size_t argumentCount;
        Handler handler;
        BranchRule rule;
    };
    std::map<std::string, Entry> operations_;
    std::shared_ptr<SessionPolicy> policy_;
    std::shared_ptr<LoginThrottle> throttle_;
    std::shared_ptr<SessionCache> sessions_;
    std::shared_ptr<ReadAudit> readAudit_;
};

// Every server object of the application.
void registerRdmInquerito(Dispatcher& d);
void registerRdmCalcular(Dispatcher& d);
void registerRdmCopiarInq(Dispatcher& d);
void registerRdmPlaInqNutr(Dispatcher& d);
void registerHostLookup(Dispatcher& d);
void registerSessions(Dispatcher& d);
void registerOperators(Dispatcher& d);
void registerAll(Dispatcher& d);

} // namespace server
