#include "server/Authorization.h"

#include "db/Query.h"

namespace server {

void requireBranch(const CallContext& ctx, const std::string& filial) {
    if (filial.empty()) throw ForbiddenError("Filial deve ser informada.");
    if (!ctx.caller.mayUse(filial)) throw ForbiddenError("Operador sem permissão de acesso à filial " + filial + ".");
}

void requirePatient(CallContext& ctx, const std::string& paciente) {
    if (paciente.empty()) return;
    const auto branch = db::scalarText(ctx.session, "SELECT CDFILIAL FROM PACIENTE WHERE CDPACIENTE = :P_CDPACIENTE",
                                       {{"P_CDPACIENTE", paciente}});
    if (branch && !ctx.caller.mayUse(*branch))
        throw ForbiddenError("Operador sem permissão de acesso ao paciente " + paciente + ".");
}

namespace {

// Every CDFILIAL of the packet's old and new rows; a row without one is
// refused by the operation itself.
void checkPacketRows(const CallContext& ctx, size_t argument) {
    const protocol::ChangePacket packet = ctx.args.changes(argument);
    std::vector<size_t> columns;
    for (size_t i = 0; i < packet.fields.size(); ++i)
        if (packet.fields[i].name == "CDFILIAL") columns.push_back(i);
    for (const auto& change : packet.changes)
        for (const protocol::Row* row : {&change.oldValues, &change.newValues})
            for (size_t c : columns)
                if (c < row->size() && (*row)[c].is_string() && !(*row)[c].get<std::string>().empty())
                    requireBranch(ctx, (*row)[c].get<std::string>());
}

}  // namespace

void checkBranchRule(CallContext& ctx, const BranchRule& rule) {
    using Kind = BranchRule::Kind;
    switch (rule.kind) {
        case Kind::Undeclared:
        case Kind::Public:
        case Kind::Catalogue:
        case Kind::Handler:
            return;
        case Kind::Argument:
            requireBranch(ctx, ctx.args.text(static_cast<size_t>(rule.branchArgument), 4));
            if (rule.patientArgument >= 0)
                requirePatient(ctx, ctx.args.text(static_cast<size_t>(rule.patientArgument), 12));
            return;
        case Kind::Patient:
            requirePatient(ctx, ctx.args.text(static_cast<size_t>(rule.patientArgument), 12));
            return;
        case Kind::PacketRows:
            checkPacketRows(ctx, static_cast<size_t>(rule.packetArgument));
            return;
    }
}

} // namespace server
