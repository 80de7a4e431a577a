// Operator login against the demo database and the session it fills.
#include "HostAppFixture.h"
#include "host/connection/NetConnection.h"
#include "hostapp/LoginDialog.h"

#include <QFileInfo>
#include <QTemporaryDir>

using namespace hostapp;

using LoginTest = HostAppTest;

TEST_F(LoginTest, DemoOperatorFillsTheSession) {
    const LoginResult r = authenticate(hostfw::hostDatabase(), "demo", "demo", "2");
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    applyLoginToSession(hostfw::hostDatabase(), r);

    const auto& s = hostfw::session();
    EXPECT_EQ(s.operatorCode, "DEMO");  // typed in lower case
    EXPECT_EQ(s.operatorName, "Nutricionista Demonstração");
    EXPECT_EQ(s.branchCode, "0002");     // padded as the branch edits pad
    EXPECT_EQ(s.branchName, "Hospital Zona Norte");
    EXPECT_EQ(s.operatorBranches, QStringList({"0001", "0002"}));
    EXPECT_EQ(s.productPicture.mask, "99.99.999");
    EXPECT_EQ(s.productPicture.levels, 3);
    EXPECT_EQ(s.dishPicture.mask, "99.999");
    EXPECT_EQ(s.dishPicture.levels, 2);
}

TEST_F(LoginTest, WrongCredentialsAndForbiddenBranchAreRefused) {
    auto& db = hostfw::hostDatabase();
    const LoginResult wrong = authenticate(db, "DEMO", "errada", "0001");
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(wrong.error, "Operador ou senha inválidos.");
    // An unknown operator gets the same answer: the login does not tell which part was wrong.
    EXPECT_EQ(authenticate(db, "NINGUEM", "demo", "0001").error, "Operador ou senha inválidos.");
    EXPECT_EQ(authenticate(db, "", "", "0001").error, "Operador ou senha inválidos.");
    // Another operator's password does not open this one.
    EXPECT_FALSE(authenticate(db, "NUTRI1", "demo", "0002").ok);

    const LoginResult forbidden = authenticate(db, "NUTRI1", "nutri1", "0001");
    EXPECT_FALSE(forbidden.ok);
    EXPECT_EQ(forbidden.error, "Operador sem permissão de acesso à filial 0001.");
    EXPECT_FALSE(authenticate(db, "NUTRI1", "nutri1", "").ok);
    EXPECT_TRUE(authenticate(db, "NUTRI1", "nutri1", "0002").ok);

    QStringList codes;
    for (const Branch& b : operatorBranches(db, "nutri1")) codes << b.code;
    EXPECT_EQ(codes, QStringList({"0002"}));
}

TEST_F(LoginTest, DialogStaysOpenOnFailureAndOffersOnlyTheOperatorsBranches) {
    LoginDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Acesso ao Sistema");
    dialog.setCredentials("NUTRI1", "nutri1", "0002");
    EXPECT_EQ(dialog.branchChoices(), QStringList({"0002"}));

    EXPECT_FALSE(dialog.tryLogin("DEMO", "x", "0001"));
    EXPECT_EQ(dialogs->lastText(), "Operador ou senha inválidos.");
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(hostfw::session().operatorCode.isEmpty());  // nothing filled on failure

    EXPECT_TRUE(dialog.tryLogin("DEMO", "demo", "0001"));
    EXPECT_EQ(hostfw::session().branchCode, "0001");
}

TEST_F(LoginTest, MissingSqliteFileIsReportedAndNotCreated) {
    QTemporaryDir dir;
    const QString file = dir.filePath("ausente.db");
    hostfw::closeHostDatabase();
    hostfw::session().databaseUrl = "sqlite:" + file;
    LoginDialog dialog;
    EXPECT_FALSE(dialog.tryLogin("DEMO", "demo", "0001"));
    EXPECT_TRUE(dialogs->lastText().startsWith("Banco de dados não encontrado")) << dialogs->lastText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(databaseProblem("mysql:qualquer").isEmpty());
}

// The login opens a session on the application server; every connection of
// the screens sends it, and the host's logout ends it.
TEST_F(LoginTest, TheSessionTravelsWithEveryCallAndEndsAtLogout) {
    login("DEMO", "demo", "0001");
    const QString token = hostfw::session().sessionToken;
    EXPECT_EQ(token.size(), 64);
    EXPECT_FALSE(hostfw::session().sessionExpires.isEmpty());

    hostfw::TNetConnection net(nullptr, "netInquerito");
    net.ServerName = "Zep12600.rdmInquerito";
    net.BeforeConnect = [this](hostfw::TNetConnection* c) {
        c->Host = "127.0.0.1";
        c->Port = appServer->port();
    };
    net.Open();
    EXPECT_TRUE(net.AppServer("GetInqPaci", {"0001", "000000000001"}).ok);

    hostapp::logout();
    EXPECT_TRUE(hostfw::session().sessionToken.isEmpty());
    const auto refused = net.AppServer("GetInqPaci", {"0001", "000000000001"});
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "Sessão não iniciada: entre no sistema para usar o servidor de aplicação.");
}

TEST_F(LoginTest, AServerThatCannotBeReachedIsSaid) {
    hostfw::session().serverPort = 1;
    const LoginResult r = authenticate("DEMO", "demo", "0001");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Não foi possível conectar ao servidor de aplicação em 127.0.0.1:1.");
}
