#pragma once
// Branch authorization of a call: the branch a call names must be one the
// session's operator may use (OPERFILI). Each operation declares where its
// branch comes from (BranchRule, at its registration and in the comment at
// the top of its server object's file); the dispatcher checks it before the
// operation runs, so a refused call reads and writes nothing.
#include "server/Dispatcher.h"

namespace server {

// Fails with ForbiddenError unless the operator may use the branch.
void requireBranch(const CallContext& ctx, const std::string& filial);

// Fails with ForbiddenError when the patient is registered in a branch the
// operator may not use; an unknown patient passes (there is nothing to read).
void requirePatient(CallContext& ctx, const std::string& paciente);

// Applies an operation's rule to its call.
void checkBranchRule(CallContext& ctx, const BranchRule& rule);

} // namespace server
