// The host's side of the operator's session: a reset password changed at
// the login, an expired session renewed under a running screen (the call
// repeated once, with its request id), three wrong passwords closing the
// host, and the administrator's "Operadores" and "Auditoria" screens.
#include "HostAppFixture.h"
#include "host/connection/NetConnection.h"
#include "host/data/DataSet.h"
#include "hostapp/AuditScreen.h"
#include "hostapp/LoginDialog.h"
#include "hostapp/MainWindow.h"
#include "hostapp/OperatorsScreen.h"
#include "hostapp/SessionDialogs.h"
#include "db/Query.h"

#include <chrono>
#include <thread>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

using namespace hostapp;

namespace {

const QString Paciente = QStringLiteral("000000000001");

// Acts on each modal dialog named `name` as it comes up (at most `times`),
// through its widgets, as a user would.
class DialogDriver : public QObject {
public:
    DialogDriver(const QString& name, std::function<void(QDialog*, int)> act, int times = 1)
        : name_(name), act_(std::move(act)), left_(times) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }
    int handled() const { return handled_; }

private:
    void poll() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != name_ || dialog->property("driven").toBool() || left_ == 0) return;
        dialog->setProperty("driven", true);
        --left_;
        act_(dialog, handled_++);
    }
    QString name_;
    std::function<void(QDialog*, int)> act_;
    int left_;
    int handled_ = 0;
    QTimer timer_;
};

void type(QDialog* d, const char* edit, const QString& text) {
    auto* e = d->findChild<QLineEdit*>(QString::fromLatin1(edit));
    ASSERT_NE(e, nullptr) << edit;
    e->setText(text);
}

void click(QWidget* parent, const char* button) {
    auto* b = parent->findChild<QAbstractButton*>(QString::fromLatin1(button));
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
}

// A TCP relay in front of the server that loses one reply: the first
// request containing `marker` reaches the server, its reply is thrown away
// and the desktop's connection closed, as when the network fails after the
// server has committed.
class LosingProxy {
public:
    LosingProxy(int upstreamPort, std::string marker) : upstream_(upstreamPort), marker_(std::move(marker)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = loopback(0);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listen_, 16);
        socklen_t size = sizeof addr;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &size);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~LosingProxy() {
        stop_ = true;
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        acceptor_.join();
        for (auto& t : relays_) t.join();
    }
    int port() const { return port_; }
    int lost() const { return lost_; }

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return addr;
    }
    void acceptLoop() {
        for (;;) {
            const int client = ::accept(listen_, nullptr, nullptr);
            if (client < 0 || stop_) {
                if (client >= 0) ::close(client);
                return;
            }
            const int server = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr = loopback(upstream_);
            if (::connect(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            relays_.emplace_back([this, client, server] { relay(client, server); });
        }
    }
    void relay(int client, int server) {
        bool loseNextReply = false;
        char buf[65536];
        while (!stop_) {
            pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(p, 2, 100) <= 0) continue;
            if (p[0].revents) {
                const ssize_t n = ::recv(client, buf, sizeof buf, 0);
                if (n <= 0) break;
                if (lost_ == 0 && std::string(buf, static_cast<size_t>(n)).find(marker_) != std::string::npos)
                    loseNextReply = true;
                ::send(server, buf, static_cast<size_t>(n), MSG_NOSIGNAL);
            }
            if (p[1].revents) {
                const ssize_t n = ::recv(server, buf, sizeof buf, 0);
                if (n <= 0) break;
                if (loseNextReply) {
                    ++lost_;
                    break;
                }
                ::send(client, buf, static_cast<size_t>(n), MSG_NOSIGNAL);
            }
        }
        ::close(client);
        ::close(server);
    }
    int upstream_;
    std::string marker_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> lost_{0};
    std::thread acceptor_;
    std::vector<std::thread> relays_;
};

}  // namespace

class HostSecurity : public HostAppTest {
protected:
    soci::session& sql() {
        if (!sql_) sql_ = db::openSession(database->url());
        return *sql_;
    }
    std::string flag(const std::string& code, const std::string& column) {
        return db::scalarText(sql(), "SELECT " + column + " FROM OPERADOR WHERE CDOPERADOR = :P_C", {{"P_C", code}})
            .value_or("?");
    }
    long long count(const std::string& query) {
        return static_cast<long long>(db::scalarNumber(sql(), query, {}).value_or(-1));
    }
    // The survey's connection to the fixture's server.
    std::unique_ptr<hostfw::TNetConnection> surveyConnection() {
        auto net = std::make_unique<hostfw::TNetConnection>(nullptr, "netInquerito");
        net->ServerName = "Zep12600.rdmInquerito";
        net->Host = "127.0.0.1";
        net->Port = appServer->port();
        net->Open();
        return net;
    }
    // Changed in the table, as time would; the server sees it once its
    // remembered session check is older than its time.
    void expireSessions() {
        db::execute(sql(), "UPDATE SESSAO SET DTHREXPIRA = '2000-01-01 00:00:00.000'", {});
        std::this_thread::sleep_for(
            std::chrono::milliseconds(appServer->dispatcher().sessionPolicy().sessionCheckMilliseconds + 100));
    }
    // A session found expired asks the password again through the real
    // dialog; gaveUp tells whether the operator gave up.
    void askAgainWhenTheSessionExpires() {
        renewal.onGiveUp = [this] { gaveUp = true; };
        hostfw::session().renewSession = [this] { return renewal.renew(nullptr); };
    }
    SessionRenewal renewal;
    bool gaveUp = false;
    std::unique_ptr<soci::session> sql_;
};

// A password reset by the administrator: the login asks for a new one (typed
// twice, checked by the server's rules) and then opens the session with it.
TEST_F(HostSecurity, AResetPasswordIsChangedAtTheLogin) {
    login("DEMO", "demo", "0001");
    hostfw::TNetConnection net(nullptr, "netOperador");
    net.ServerName = "Host.Operador";
    net.Host = "127.0.0.1";
    net.Port = appServer->port();
    net.Open();
    ASSERT_TRUE(net.AppServer("Incluir", {"NUTRI2", "Nutricionista Nova", "0001", "N", "Primeira senha 2026"}).ok);
    hostfw::session() = hostfw::HostSession{};
    hostfw::session().databaseUrl = QString::fromStdString(database->url().toString());
    hostfw::session().serverPort = appServer->port();

    DialogDriver change("frmTrocaSenha", [](QDialog* d, int n) {
        // First the confirmation differs, then a common password, then a good one.
        const QStringList typed = {"Outra senha 2026", "1234567890", "Segunda senha 2026"};
        type(d, "edtNovaSenha", typed[n]);
        type(d, "edtConfirmaSenha", n == 0 ? QStringLiteral("diferente!!") : typed[n]);
        click(d, "btnConfirmar");
    }, 3);
    LoginDialog dialog;
    EXPECT_TRUE(dialog.tryLogin("nutri2", "Primeira senha 2026", "0001"));
    EXPECT_EQ(change.handled(), 3);
    QStringList seen;
    for (const auto& s : dialogs->shown) seen << s.text;
    EXPECT_EQ(seen, QStringList({"Senha expirada: defina uma nova senha para entrar.", "As senhas não conferem.",
                                 "Senha muito comum: escolha outra."}));
    EXPECT_EQ(hostfw::session().operatorCode, "NUTRI2");
    EXPECT_FALSE(hostfw::session().operatorIsAdministrator);
    EXPECT_EQ(flag("NUTRI2", "IDTROCASENHA"), "N");
    EXPECT_TRUE(authenticate("NUTRI2", "Segunda senha 2026", "0001").ok);
}

// "Sessão expirada" under a running screen: the password is asked, the call
// is made again with its request id (written once) and its answer reaches
// the screen as if nothing had happened.
TEST_F(HostSecurity, AnExpiredSessionIsRenewedAndTheCallRepeatedOnce) {
    login("DEMO", "demo", "0001");
    askAgainWhenTheSessionExpires();
    auto connection = surveyConnection();
    hostfw::TNetConnection& net = *connection;
    const QString oldToken = hostfw::session().sessionToken;

    expireSessions();
    DialogDriver renew("frmSessaoExpirada", [](QDialog* d, int n) {
        type(d, "edtSenha", n == 0 ? QStringLiteral("errada") : QStringLiteral("demo"));
        click(d, "btnEntrar");
    }, 2);
    const auto r = net.AppServer("SetHoraItem", {Paciente, "0001", "00002",
                                                 QDate(2026, 11, 30), QDate(2026, 12, 6), QDate(2026, 12, 2), "0945"});
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(renew.handled(), 2);
    EXPECT_EQ(dialogs->lastText(), "Operador ou senha inválidos.");
    EXPECT_NE(hostfw::session().sessionToken, oldToken);
    EXPECT_EQ(count("SELECT COUNT(*) FROM AUDITORIA WHERE NMOPERACAO = 'Zep12600.rdmInquerito.SetHoraItem'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM REQUISICAO"), 1);
    EXPECT_FALSE(gaveUp);

    // Cancelled: the call fails with the server's message, nothing closes.
    expireSessions();
    DialogDriver cancel("frmSessaoExpirada", [](QDialog* d, int) { click(d, "btnCancelar"); });
    const auto cancelled = net.AppServer("GetInqPaci", {"0001", Paciente});
    EXPECT_FALSE(cancelled.ok);
    EXPECT_EQ(cancelled.error, "Sessão expirada: entre novamente no sistema.");
    EXPECT_FALSE(gaveUp);
}

TEST_F(HostSecurity, ThreeWrongPasswordsCloseTheHost) {
    login("DEMO", "demo", "0001");
    askAgainWhenTheSessionExpires();
    auto connection = surveyConnection();
    hostfw::TNetConnection& net = *connection;
    expireSessions();
    DialogDriver renew("frmSessaoExpirada", [](QDialog* d, int) {
        type(d, "edtSenha", "errada");
        click(d, "btnEntrar");
    }, 5);
    const auto r = net.AppServer("GetInqPaci", {"0001", Paciente});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(renew.handled(), 3);
    EXPECT_EQ(dialogs->lastText(), "Senha incorreta três vezes: o sistema será encerrado.");
    QTest::qWait(50);
    EXPECT_TRUE(gaveUp);
    // Calls made while the host closes do not ask again.
    EXPECT_FALSE(net.AppServer("GetInqPaci", {"0001", Paciente}).ok);
    QTest::qWait(100);
    EXPECT_EQ(renew.handled(), 3);
}

// The server stopped while the password is asked again: the operator is told
// it does not answer (its address and what to do), and that try is not one of
// the three; once it is back the same dialog renews the session.
TEST_F(HostSecurity, AnUnreachableServerIsNotAWrongPassword) {
    login("DEMO", "demo", "0001");
    askAgainWhenTheSessionExpires();
    auto connection = surveyConnection();
    const int port = appServer->port();
    expireSessions();
    DialogDriver renew("frmSessaoExpirada", [&](QDialog* d, int n) {
        if (n == 2) appServer.reset();
        if (n == 3) appServer = std::make_unique<testsupport::RunningServer>(database->url(), server::ServerOptions{},
                                                                             true, port);
        type(d, "edtSenha", n < 2 ? QStringLiteral("errada") : QStringLiteral("demo"));
        click(d, "btnEntrar");
    }, 5);
    const auto r = connection->AppServer("GetInqPaci", {"0001", Paciente});
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(renew.handled(), 4);
    QStringList seen;
    for (const auto& m : dialogs->shown) seen << m.text;
    EXPECT_EQ(seen, QStringList({"Operador ou senha inválidos.", "Operador ou senha inválidos.",
                                 QStringLiteral("O servidor de aplicação em 127.0.0.1:%1 não responde. Verifique se "
                                                "ele está em execução e tente novamente.")
                                     .arg(port)}));
    QTest::qWait(50);
    EXPECT_FALSE(gaveUp);
    EXPECT_FALSE(renewal.gaveUp());
}

// A write whose reply is lost after the server committed it: the connection
// sends it again with the same request id, the server answers the stored
// reply, and the meal time is written (and audited) once.
TEST_F(HostSecurity, ALostReplyIsAskedAgainWithItsKeyAndWrittenOnce) {
    login("DEMO", "demo", "0001");
    LosingProxy proxy(appServer->port(), "SetHoraItem");
    hostfw::TNetConnection net(nullptr, "netInquerito");
    net.ServerName = "Zep12600.rdmInquerito";
    net.Host = "127.0.0.1";
    net.Port = proxy.port();
    net.Open();
    const auto r = net.AppServer("SetHoraItem", {Paciente, "0001", "00002", QDate(2026, 11, 30), QDate(2026, 12, 6),
                                                 QDate(2026, 12, 2), "0945"});
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(proxy.lost(), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM AUDITORIA WHERE NMOPERACAO = 'Zep12600.rdmInquerito.SetHoraItem'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM REQUISICAO WHERE NMOPERACAO = 'Zep12600.rdmInquerito.SetHoraItem'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM HORAINQPACI WHERE CDPACIENTE = '000000000001' AND "
                    "DTINQUERITO = '2026-12-02' AND CDSERVFILI = '00002' AND HRSERVINQ = '0945'"),
              1);
    EXPECT_TRUE(dialogs->shown.empty());
}

// The administrator's screens, from the host's menu: operators included,
// disabled and reset; the audit trail queried by patient.
TEST_F(HostSecurity, AnAdministratorManagesOperatorsAndReadsTheTrail) {
    login("DEMO", "demo", "0001");
    MainWindow main{SurveyOpener{}};
    main.show();
    ASSERT_NE(main.operatorsAction(), nullptr);
    main.operatorsAction()->trigger();
    auto* screen = main.findChild<OperatorsScreen*>("frmOperadores");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->cdsOperadores->RecordCount(), 2);

    DialogDriver include("frmIncluirOperador", [](QDialog* d, int) {
        type(d, "edtCodigo", "nutri3");
        type(d, "edtNome", "Nutricionista Três");
        type(d, "edtFiliais", "1,2");
        d->findChild<QComboBox*>("cbxPerfil")->setCurrentIndex(0);
        type(d, "edtSenha", "Primeira senha 2026");
        type(d, "edtConfirmaSenha", "Primeira senha 2026");
        click(d, "sbtConfirma");
    });
    click(screen, "sbtIncluir");
    EXPECT_EQ(include.handled(), 1);
    EXPECT_EQ(screen->cdsOperadores->RecordCount(), 3);
    EXPECT_EQ(flag("NUTRI3", "IDTROCASENHA"), "S");

    ASSERT_TRUE(screen->cdsOperadores->Locate("CDOPERADOR", {"NUTRI3"}));
    click(screen, "sbtAtivar");  // the confirmation is answered Yes
    EXPECT_EQ(flag("NUTRI3", "IDATIVO"), "N");
    EXPECT_EQ(screen->cdsOperadores->FieldByName("CDOPERADOR")->AsString(), "NUTRI3");
    EXPECT_EQ(screen->cdsOperadores->FieldByName("IDATIVO")->AsString(), "N");

    ASSERT_TRUE(screen->cdsOperadores->Locate("CDOPERADOR", {"NUTRI1"}));
    DialogDriver reset("frmTrocaSenha", [](QDialog* d, int) {
        type(d, "edtNovaSenha", "Senha nova de 2026");
        type(d, "edtConfirmaSenha", "Senha nova de 2026");
        click(d, "btnConfirmar");
    });
    click(screen, "sbtRedefinirSenha");
    EXPECT_EQ(flag("NUTRI1", "IDTROCASENHA"), "S");
    EXPECT_EQ(dialogs->lastText(), "Senha do operador NUTRI1 redefinida: ele deverá trocá-la ao entrar.");
    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR);
    EXPECT_TRUE(main.grab().save(dir + "/host-operadores.png"));

    // The trail: the reads and writes of a patient, newest first.
    auto connection = surveyConnection();
    hostfw::TNetConnection& net = *connection;
    ASSERT_TRUE(net.AppServer("GetInqPaci", {"0001", Paciente}).ok);
    main.auditAction()->trigger();
    auto* audit = main.findChild<AuditScreen*>("frmAuditoria");
    ASSERT_NE(audit, nullptr);
    audit->edtPaciente->setText(Paciente);
    click(audit, "btnConsultar");
    ASSERT_EQ(audit->cdsAuditoria->RecordCount(), 1);
    EXPECT_EQ(audit->cdsAuditoria->FieldByName("NMOPERACAO")->AsString(), "Zep12600.rdmInquerito.GetInqPaci");
    EXPECT_EQ(audit->cdsAuditoria->FieldByName("IDACAO")->AsString(), "C");
    audit->edtPaciente->clear();
    audit->edtOperador->setText("demo");
    click(audit, "btnConsultar");
    EXPECT_EQ(audit->cdsAuditoria->RecordCount(), 4);  // the read, the inclusion, the deactivation, the reset
    EXPECT_TRUE(main.grab().save(dir + "/host-auditoria.png"));
}

TEST_F(HostSecurity, OtherOperatorsHaveNoAdministrationMenu) {
    login("NUTRI1", "nutri1", "0002");
    MainWindow main{SurveyOpener{}};
    EXPECT_EQ(main.operatorsAction(), nullptr);
    EXPECT_EQ(main.findChild<QMenu*>("mnuAdministracao"), nullptr);
}
