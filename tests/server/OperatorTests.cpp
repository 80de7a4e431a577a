// Operators managed by an administrator, the forced password change at the
// next login, and the audit trail of those changes.
#include "InqueritoTestSupport.h"

#include "db/Password.h"
#include "db/Schema.h"
#include "server/Operators.h"
#include "server/ReadAudit.h"
#include "server/Sessions.h"

#include <chrono>
#include <thread>

using namespace inqtest;
using protocol::RpcFailure;
namespace rpc_error = protocol::rpc_error;

namespace {

std::pair<int, std::string> refusalOf(protocol::RpcClient& c, const std::string& method, const json& params) {
    try {
        c.call(method, params);
    } catch (const RpcFailure& e) {
        return {e.code(), e.what()};
    }
    ADD_FAILURE() << method << " succeeded but should have been refused";
    return {0, ""};
}

const std::string O = "Host.Operador.";

}  // namespace

class Operators : public testsupport::ServerTest {
protected:
    std::string flag(const std::string& code, const std::string& column) {
        return db::scalarText(sql(), "SELECT " + column + " FROM OPERADOR WHERE CDOPERADOR = :P_C", {{"P_C", code}})
            .value_or("?");
    }
    long long operatorAudits() {
        return countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE NMOPERACAO LIKE 'Host.%'");
    }
    int loginCode(const std::string& op, const std::string& pw, const std::string& branch) {
        try {
            server_->client()->login(op, pw, branch);
            return 0;
        } catch (const RpcFailure& e) {
            return e.code();
        }
    }
};

// The whole life of an operator: created by the administrator, must change
// the first password, works, is reset, disabled and enabled again.
TEST_P(Operators, AnAdministratorCreatesResetsDisablesAndEnablesAnOperator) {
    call(O + "Incluir", {"nutri2", "Nutricionista Nova", "1,0002", "N", "Primeira senha 2026"});
    EXPECT_EQ(flag("NUTRI2", "IDTROCASENHA"), "S");
    EXPECT_EQ(flag("NUTRI2", "IDPERFIL"), "N");
    auto list = packet(O + "Listar", json::array());
    const auto codes = column(list, "CDOPERADOR");
    const auto pos = std::find(codes.begin(), codes.end(), "NUTRI2") - codes.begin();
    ASSERT_LT(pos, static_cast<long>(codes.size()));
    EXPECT_EQ(column(list, "DSFILIAIS")[pos], "0001,0002");

    // First login: the password must be changed before a session is given.
    auto c = server_->client();
    try {
        c->login("NUTRI2", "Primeira senha 2026", "0001");
        ADD_FAILURE() << "a reset password opened a session";
    } catch (const RpcFailure& e) {
        EXPECT_EQ(e.code(), rpc_error::PasswordChangeRequired);
        EXPECT_EQ(std::string(e.what()), "Senha expirada: defina uma nova senha para entrar.");
    }
    EXPECT_EQ(refusalOf(*c, "Host.Sessao.TrocarSenha", {"NUTRI2", "Primeira senha 2026", "curta", "0001"}).second,
              "A senha deve ter ao menos 10 caracteres.");
    EXPECT_EQ(refusalOf(*c, "Host.Sessao.TrocarSenha", {"NUTRI2", "errada errada", "Segunda senha 2026", "0001"}).second,
              "Operador ou senha inválidos.");
    const auto reply = c->call("Host.Sessao.TrocarSenha", {"NUTRI2", "Primeira senha 2026", "Segunda senha 2026", "0001"});
    EXPECT_EQ(reply.data["token"].get<std::string>().size(), 64u);
    EXPECT_EQ(flag("NUTRI2", "IDTROCASENHA"), "N");
    EXPECT_EQ(loginCode("NUTRI2", "Primeira senha 2026", "0001"), rpc_error::OperationFailed);
    auto nutri2 = clientAs("NUTRI2", "Segunda senha 2026", "0001");
    EXPECT_NO_THROW(nutri2->call(op("GetInqPaci"), {Filial, Paciente}));

    // Reset: the open session ends and the new password must be changed again.
    call(O + "RedefinirSenha", {"NUTRI2", "Terceira senha 2026"});
    EXPECT_EQ(refusalOf(*nutri2, op("GetInqPaci"), {Filial, Paciente}).first, rpc_error::Unauthenticated);
    EXPECT_EQ(loginCode("NUTRI2", "Terceira senha 2026", "0001"), rpc_error::PasswordChangeRequired);

    // Disabled: no login, even with the right password; enabled: back.
    call("Host.Sessao.TrocarSenha", {"NUTRI2", "Terceira senha 2026", "Quarta senha 2026", "0001"});
    nutri2 = clientAs("NUTRI2", "Quarta senha 2026", "0001");
    call(O + "Desativar", {"NUTRI2"});
    EXPECT_EQ(refusalOf(*nutri2, op("GetInqPaci"), {Filial, Paciente}).first, rpc_error::Unauthenticated);
    EXPECT_EQ(refusalOf(*c, "Host.Sessao.Login", {"NUTRI2", "Quarta senha 2026", "0001"}).second,
              "Operador desativado: procure o administrador do sistema.");
    call(O + "Ativar", {"NUTRI2"});
    EXPECT_EQ(loginCode("NUTRI2", "Quarta senha 2026", "0001"), 0);

    // Every change is in the trail, with who made it and on which operator.
    const auto rows = db::query(sql(),
                                "SELECT CDOPERADOR, NMOPERACAO, IDACAO, DSCHAVE FROM AUDITORIA "
                                "WHERE NMOPERACAO LIKE 'Host.%' ORDER BY DTHRREGISTRO",
                                {});
    std::vector<std::string> seen;
    for (const auto& r : rows.rows) {
        seen.push_back(r[0].get<std::string>() + " " + r[1].get<std::string>() + " " + r[2].get<std::string>());
        EXPECT_NE(r[3].get<std::string>().find("NUTRI2"), std::string::npos);
        EXPECT_EQ(r[3].get<std::string>().find("senha 2026"), std::string::npos) << "a password in the trail";
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "DEMO Host.Operador.Incluir I", "NUTRI2 Host.Sessao.TrocarSenha A",
                        "DEMO Host.Operador.RedefinirSenha A", "NUTRI2 Host.Sessao.TrocarSenha A",
                        "DEMO Host.Operador.Desativar A", "DEMO Host.Operador.Ativar A"}));
}

// Only an administrator manages operators or reads the trail; nothing changes
// on a refusal.
TEST_P(Operators, OnlyAnAdministratorManagesOperators) {
    auto nutri = clientAs("NUTRI1", "nutri1", "0002");
    const std::vector<std::pair<std::string, json>> calls = {
        {O + "Listar", json::array()},
        {O + "Incluir", {"NUTRI3", "Nova", "0002", "A", "Primeira senha 2026"}},
        {O + "Desativar", {"DEMO"}},
        {O + "Ativar", {"DEMO"}},
        {O + "RedefinirSenha", {"DEMO", "Senha tomada 2026"}},
        {O + "ConsultarAuditoria", {"", "", "", ""}},
    };
    for (const auto& [method, params] : calls) {
        const auto [code, message] = refusalOf(*nutri, method, params);
        EXPECT_EQ(code, rpc_error::Forbidden) << method;
        EXPECT_EQ(message, "Operação permitida somente a administradores.") << method;
    }
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM OPERADOR"), 2);
    EXPECT_EQ(operatorAudits(), 0);
    EXPECT_EQ(loginCode("DEMO", "demo", "0001"), 0);
    // An administrator cannot lock itself out.
    EXPECT_EQ(failure(O + "Desativar", {"DEMO"}), "O administrador não pode desativar a si mesmo.");
}

// Passwords: at least 10 characters, not the code, not a common one; bad
// data is refused with its reason and writes nothing.
TEST_P(Operators, BadOperatorsAndPasswordsAreRefusedWithTheirReason) {
    const std::vector<std::pair<json, std::string>> cases = {
        {{"NUTRI3", "Nova", "0002", "N", "curta"}, "A senha deve ter ao menos 10 caracteres."},
        {{"NUTRICAO10", "Nova", "0002", "N", "nutricao10"}, "A senha não pode ser o código do operador."},
        {{"NUTRI3", "Nova", "0002", "N", "Senha12345"}, "Senha muito comum: escolha outra."},
        {{"NUTRI3", "Nova", "0002", "N", "QWERTYUIOP"}, "Senha muito comum: escolha outra."},
        {{"NUTRI1", "Nova", "0002", "N", "Primeira senha 2026"}, "Já existe o operador NUTRI1."},
        {{"NÃO", "Nova", "0002", "N", "Primeira senha 2026"}, "Código do operador deve ter só letras, dígitos e _."},
        {{"CODIGOLONGO1", "Nova", "0002", "N", "Primeira senha 2026"}, "Código do operador deve ter de 1 a 10 caracteres."},
        {{"NUTRI3", "", "0002", "N", "Primeira senha 2026"}, "Nome do operador deve ser informado."},
        {{"NUTRI3", "Nova", "", "N", "Primeira senha 2026"}, "Informe ao menos uma filial do operador."},
        {{"NUTRI3", "Nova", "0009", "N", "Primeira senha 2026"}, "Filial 0009 não cadastrada."},
        {{"NUTRI3", "Nova", "0002;DROP", "N", "Primeira senha 2026"}, "Filial inválida: 0002;DROP."},
        {{"NUTRI3", "Nova", "0002", "X", "Primeira senha 2026"}, "Perfil deve ser A (administrador) ou N (nutricionista)."},
    };
    for (const auto& [params, message] : cases) EXPECT_EQ(failure(O + "Incluir", params), message) << params.dump();
    EXPECT_EQ(failure(O + "RedefinirSenha", {"NUTRI1", "password123"}), "Senha muito comum: escolha outra.");
    EXPECT_EQ(failure(O + "RedefinirSenha", {"NINGUEM", "Primeira senha 2026"}), "Operador NINGUEM não cadastrado.");
    EXPECT_EQ(failure("Host.Sessao.TrocarSenha", {"NUTRI1", "nutri1", "nutri1", "0002"}),
              "A nova senha deve ser diferente da atual.");
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM OPERADOR"), 2);
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM OPERFILI"), 3);
    EXPECT_EQ(operatorAudits(), 0);
    EXPECT_EQ(flag("NUTRI1", "IDTROCASENHA"), "N");
    EXPECT_EQ(loginCode("NUTRI1", "nutri1", "0002"), 0);
}

// The server's command line adds the first operators; the console is named in the trail.
TEST_P(Operators, TheCommandLineAddsAnOperator) {
    const auto spec = server::operatorSpec(sql(), "chefe", "Chefe da Nutrição", "0001", "A", "Senha do chefe 2026");
    server::addOperatorFromConsole(sql(), spec);
    EXPECT_EQ(flag("CHEFE", "IDPERFIL"), "A");
    EXPECT_EQ(flag("CHEFE", "IDTROCASENHA"), "N");
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE CDOPERADOR = 'CONSOLE' AND IDACAO = 'I'"), 1);
    auto chefe = clientAs("CHEFE", "Senha do chefe 2026", "0001");
    EXPECT_NO_THROW(chefe->call(O + "Listar", json::array()));
    EXPECT_THROW(server::operatorSpec(sql(), "CHEFE", "Outro", "0001", "N", "Senha do chefe 2026"),
                 server::OperationError);
}

INQUERITO_ENGINES(Operators);

// Reads of a patient's survey data are in the trail: one row per call.
class ReadAuditing : public testsupport::ServerTest {
protected:
    long long reads(const std::string& where = "1 = 1") {
        server_->dispatcher().flushReadAudit(server_->pool());
        return countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C' AND " + where);
    }
};

TEST_P(ReadAuditing, EachReadOfAPatientIsOneRowWithWhoWhatAndWhere) {
    EXPECT_EQ(reads(), 0);
    const auto items = packet(op("GetItemProd"), dayArgs("00001", "2026-11-30"));
    ASSERT_GT(items.rows.size(), 1u);  // many rows read, one row recorded
    call(op("GetMax"), json::array({Paciente}));
    call("Zep12610.rdmCalcular.GetCalc", {Paciente, Inicio, Fim, Filial, "", "T", "T"});
    call("Zep12610.rdmCalcular.getNutriente", {"T", "T"});  // the catalogue: no patient
    EXPECT_EQ(reads(), 3);
    const auto rows = db::query(sql(),
                                "SELECT CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, DSCHAVE, DSENDERECO FROM AUDITORIA "
                                "WHERE IDACAO = 'C' ORDER BY NMOPERACAO",
                                {});
    ASSERT_EQ(rows.rows.size(), 3u);
    for (const auto& r : rows.rows) {
        EXPECT_EQ(r[0], "DEMO");
        EXPECT_EQ(r[1], Filial);  // GetMax names no branch: the patient's own
        EXPECT_EQ(r[2], Paciente);
        EXPECT_EQ(r[5], "127.0.0.1");
    }
    EXPECT_EQ(rows.rows[0][3], "Zep12600.rdmInquerito.GetItemProd");
    EXPECT_NE(rows.rows[0][4].get<std::string>().find("2026-11-30"), std::string::npos);

    // A refused read is not a read.
    auto nutri = clientAs("NUTRI1", "nutri1", "0002");
    EXPECT_THROW(nutri->call(op("GetInqPaci"), {Filial, Paciente}), RpcFailure);
    EXPECT_EQ(reads("CDOPERADOR = 'NUTRI1'"), 0);
}

// Reads are written in batches by the calls themselves: a full batch is in
// the trail without anyone asking (just after the reply of the call that
// filled it), the rest when the server stops.
TEST_P(ReadAuditing, ABatchIsWrittenWhenFullAndTheRestAtStop) {
    const long long batch = server::ReadAudit::FlushRows;
    for (long long i = 0; i < batch + 5; ++i) call(op("GetMax"), json::array({Paciente}));
    long long written = 0;
    for (int wait = 0; wait < 100 && written < batch; ++wait) {
        if (wait) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        written = countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C'");
    }
    EXPECT_GE(written, batch);
    EXPECT_LE(written, batch + 5);
    server_.reset();  // stops the server
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C' AND CDFILIAL = '0001'"), batch + 5);
}

// The administrator's query of the trail, filtered by patient, operator and dates.
TEST_P(ReadAuditing, TheTrailIsQueriedByPatientOperatorAndDates) {
    call(op("GetInqPaci"), {Filial, Paciente});
    call(op("GetInqPaci"), {Filial, "000000000002"});
    call(op("SetHoraItem"), {Paciente, Filial, "00002", Inicio, Fim, "2026-12-02", "0945"});
    auto nutri = clientAs("NUTRI1", "nutri1", "0002");
    nutri->call(op("GetInqPaci"), {"0002", "ZN0001"});
    const std::string today = server::timestampUtc().substr(0, 10);
    const std::string A = "Host.Operador.ConsultarAuditoria";
    // The reads just made are answered without waiting for their batch.
    auto byPatient = packet(A, {Paciente, "", "", ""});
    auto actions = column(byPatient, "IDACAO");
    std::sort(actions.begin(), actions.end());  // within one millisecond on SQLite
    EXPECT_EQ(actions, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(column(packet(A, {"", "nutri1", today, today}), "CDPACIENTE"), std::vector<std::string>{"ZN0001"});
    EXPECT_EQ(packet(A, {"", "", "2020-01-01", "2020-12-31"}).rows.size(), 0u);
    EXPECT_EQ(packet(A, {"", "DEMO", today, ""}).rows.size(), 3u);
    EXPECT_NE(failure(A, {"", "", "31/12/2026", ""}), "");
}

INQUERITO_ENGINES(ReadAuditing);
