// The framework against the real server and database: a client data set's
// change log sent as a change packet and read back, failed replies, and
// catalogue queries on the host database.
#include "ServerFixture.h"
#include "catalog/CatalogQueries.h"
#include "host/connection/ADOIBQuery.h"
#include "host/routines/Consiste.h"
#include "host/data/DataSet.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/connection/NetConnection.h"
#include "host/core/Session.h"

#include <gtest/gtest.h>

using namespace hostfw;

namespace {

class ServerRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        db = testsupport::TestDatabase::create(db::Engine::SQLite);
        server = std::make_unique<testsupport::RunningServer>(db->url());
        net = std::make_unique<TNetConnection>(nullptr, "netInquerito");
        net->ServerName = "Zep12600.rdmInquerito";
        net->BeforeConnect = [this](TNetConnection* c) {
            c->Host = "127.0.0.1";
            c->Port = server->port();
        };
        net->Open();
        periods = std::make_unique<TClientDataSet>(nullptr, "cdsInqPaci");
        periods->AddField("CDFILIAL", TFieldType::ftString, 4);
        periods->AddField("CDPACIENTE", TFieldType::ftString, 12);
        periods->AddField("DTINIINQU", TFieldType::ftDateTime);
        periods->AddField("DTFININQU", TFieldType::ftDateTime);
    }
    void load(const QString& patient) {
        periods->SetData(Consiste::CheckResultServ(net->AppServer("GetInqPaci", {"0001", patient})));
    }
    void send() {
        Consiste::CheckResultServ(net->AppServer("SetInqPaci", {periods->Delta()}));
        periods->MergeChangeLog();
    }

    std::unique_ptr<testsupport::TestDatabase> db;
    std::unique_ptr<testsupport::RunningServer> server;
    std::unique_ptr<TNetConnection> net;
    std::unique_ptr<TClientDataSet> periods;
};

}  // namespace

TEST_F(ServerRoundTrip, InsertAndDeleteTravelAsChangePackets) {
    load("000000000003");
    ASSERT_TRUE(periods->IsEmpty());
    periods->Append();
    periods->FieldByName("CDFILIAL")->SetAsString("0001");
    periods->FieldByName("CDPACIENTE")->SetAsString("000000000003");
    periods->FieldByName("DTINIINQU")->SetAsDate(QDate(2027, 3, 1));
    periods->FieldByName("DTFININQU")->SetAsDate(QDate(2027, 3, 7));
    periods->Post();
    ASSERT_EQ(periods->ChangeCount(), 1);
    send();
    EXPECT_EQ(periods->ChangeCount(), 0);

    load("000000000003");
    ASSERT_EQ(periods->RecordCount(), 1);
    EXPECT_EQ(periods->FieldByName("DTFININQU")->AsDate(), QDate(2027, 3, 7));

    periods->Delete();
    send();
    load("000000000003");
    EXPECT_TRUE(periods->IsEmpty());
}

TEST_F(ServerRoundTrip, AFailedReplyRaisesTheServersMessageAndTheChangeCanBeUndone) {
    load("000000000001");
    periods->Append();
    periods->FieldByName("CDFILIAL")->SetAsString("0001");
    periods->FieldByName("CDPACIENTE")->SetAsString("000000000001");
    periods->FieldByName("DTINIINQU")->SetAsDate(QDate(2026, 12, 1));  // inside the stored period
    periods->FieldByName("DTFININQU")->SetAsDate(QDate(2026, 12, 9));
    periods->Post();
    const RemoteResult reply = net->AppServer("SetInqPaci", {periods->Delta()});
    EXPECT_FALSE(reply.ok);
    EXPECT_FALSE(reply.error.isEmpty());
    try {
        Consiste::CheckResultServ(reply);
        FAIL() << "a failed reply must raise";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), reply.error);
    }
    periods->CancelUpdates();
    EXPECT_EQ(periods->RecordCount(), 1);
    load("000000000001");
    EXPECT_EQ(periods->RecordCount(), 1) << "nothing was stored";
}

TEST_F(ServerRoundTrip, NoConnectionIsAFailedReplyNotACrash) {
    TNetConnection offline(nullptr, "netOffline");
    offline.ServerName = "Zep12600.rdmInquerito";
    const RemoteResult reply = offline.AppServer("GetInqPaci", {"0001", "000000000001"});
    EXPECT_FALSE(reply.ok);
    offline.Host = "127.0.0.1";
    offline.Port = 1;
    EXPECT_THROW(offline.Open(), EHostError);
}

TEST_F(ServerRoundTrip, CatalogueQueriesRunOnTheHostDatabase) {
    closeHostDatabase();
    session().databaseUrl = QString::fromStdString(db->url().toString());
    TADOIBQuery services(nullptr, "qryServico");
    services.SQL = QString::fromUtf8(catalog::qryServico).split('\n');
    services.AddField("CDSERVFILI", TFieldType::ftString, 5)->DisplayLabel = "Código";
    services.AddField("NMSERVICO", TFieldType::ftString, 40);
    services.AddField("HRINICSERV", TFieldType::ftString, 4)->Visible = false;
    services.ParamByName("P_CDFILIAL").SetAsString("0002");
    services.ParamByName("P_CDSERVFILI").SetAsString("");
    services.ParamByName("P_TCDSERVFILI").SetAsString("T");
    services.Open();
    EXPECT_EQ(services.RecordCount(), 7);
    EXPECT_EQ(services.FieldByName("CDSERVFILI")->DisplayLabel, QString("Código")) << "declared fields keep their looks";
    EXPECT_FALSE(services.FieldByName("HRINICSERV")->Visible);

    services.Close();
    services.ParamByName("P_TCDSERVFILI").SetAsString("");
    services.ParamByName("P_CDSERVFILI").SetAsString("00003");
    services.Open();
    ASSERT_EQ(services.RecordCount(), 1);
    EXPECT_EQ(services.FieldByName("HRINICSERV")->AsString(), QString("1130"));

    TADOIBQuery broken(nullptr, "qryQuebrada");
    broken.SQL = QStringList{"SELECT NADA FROM TABELA_INEXISTENTE"};
    EXPECT_THROW(broken.Open(), EHostError);
    closeHostDatabase();
    session() = HostSession();
}

// The module's connections take the session's server (Vorlane::WebURL and
// WebPort) and fail over to the alternates the host's configuration lists.
TEST_F(ServerRoundTrip, AConnectionOnTheSessionsServerFailsOverToItsAlternates) {
    auto& s = session();
    const HostSession saved = s;
    int down = 0;
    {
        testsupport::RunningServer stopped(db->url());
        down = stopped.port();
    }
    s.serverHost = "127.0.0.1";
    s.serverPort = down;
    s.serverAlternates = {QStringLiteral("127.0.0.1:%1").arg(server->port())};
    TNetConnection c(nullptr, "netFailover");
    c.ServerName = "Zep12600.rdmInquerito";
    c.BeforeConnect = [](TNetConnection* t) {
        t->Host = session().serverHost;
        t->Port = session().serverPort;
    };
    EXPECT_NO_THROW(c.Open());
    const RemoteResult r = c.AppServer("GetInqPaci", {"0001", "000000000001"});
    EXPECT_TRUE(r.ok) << r.error.toStdString();

    // Without alternates the dead address is reported as it stands.
    s.serverAlternates.clear();
    TNetConnection alone(nullptr, "netAlone");
    alone.BeforeConnect = c.BeforeConnect;
    EXPECT_THROW(alone.Open(), EHostError);
    s = saved;
}
