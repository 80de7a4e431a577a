// Confirming a copy: the checks in their order, the nine arguments on the
// wire, the rows the server writes, its refusals, and the survey's grid.
#include "ServerFixture.h"
#include "protocol/RpcClient.h"
#include "CopyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/data/DBGrid.h"
#include "server/HttpServer.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>

#include <mutex>
#include <thread>

using protocol::json;

namespace {

// A server whose SetConfirmar only records its arguments and succeeds.
class RecordingServer {
public:
    explicit RecordingServer(const db::DatabaseUrl& url) : pool_(url, 2) {
        server::registerAll(dispatcher_);
        dispatcher_.add("Zep12630.rdmCopiarInq", "SetConfirmar", 9, [this](server::CallContext& c) {
            json args = json::array();
            for (size_t i = 0; i < c.args.size(); ++i) args.push_back(c.args.raw(i));
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.push_back(args);
            c.result.data = nullptr;
        });
        server::ServerOptions options;
        options.port = 0;
        options.threads = 2;
        options.log = false;
        http_ = std::make_unique<server::HttpServer>(pool_, dispatcher_, options);
        port_ = http_->bind();
        thread_ = std::thread([this] { http_->run(); });
        // Calls through this server carry the demo operator's session, as they
        // do through the shared test server.
        {
            protocol::RpcClient client(protocol::ServerEndpoint{"127.0.0.1", port_, false, ""});
            client.login(testsupport::DemoOperator, testsupport::DemoPassword, "0001");
        }
    }
    ~RecordingServer() {
        protocol::forgetSessionToken("127.0.0.1:" + std::to_string(port_));
        http_->stop();
        thread_.join();
    }
    int port() const { return port_; }
    std::vector<json> calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    db::SessionPool pool_;
    server::Dispatcher dispatcher_;
    std::unique_ptr<server::HttpServer> http_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<json> calls_;
};

const QDate Nov30(2026, 11, 30), Dec1(2026, 12, 1);

}  // namespace

TEST_F(CopyTest, ChecksRefuseInTheirOrderWithTheFocusOnTheFaultAndWriteNothing) {
    struct Case {
        const char* what;
        std::function<void(TfrmCopiarInq&)> set;
        QString message;
        std::function<QWidget*(TfrmCopiarInq&)> focus;
    };
    auto origemDate = [](TfrmCopiarInq& s) -> QWidget* { return s.depOrigem; };
    auto destinoDate = [](TfrmCopiarInq& s) -> QWidget* { return s.depDestino; };
    auto origemServ = [](TfrmCopiarInq& s) -> QWidget* { return s.medCdServOrig; };
    auto destinoServ = [](TfrmCopiarInq& s) -> QWidget* { return s.medCdServDest; };
    const std::vector<Case> cases = {
        {"same service typed on both sides at once",
         [](TfrmCopiarInq& s) { fill(s, Nov30, "1", Nov30, "00001"); },
         "Data/serviço origem deve ser diferente da data/serviço destino.", origemServ},
        {"no origin date, everything else wrong too",
         [](TfrmCopiarInq& s) {
             fill(s, QDate(), "", QDate(), "");
             s.chkPrato->setChecked(false);
             s.chkProduto->setChecked(false);
         },
         "Data de origem deve ser informada.", origemDate},
        {"no destination date", [](TfrmCopiarInq& s) { fill(s, Nov30, "", QDate(), ""); },
         "Data de destino deve ser informada.", destinoDate},
        {"no origin service", [](TfrmCopiarInq& s) { fill(s, Nov30, "  ", Dec1, "00006"); },
         "Serviço de origem deve ser informado.", origemServ},
        {"no origin service but the focused code refused on its way out",
         [](TfrmCopiarInq& s) { fill(s, Nov30, "", Dec1, "00099"); }, "Serviço não cadastrado.", destinoServ},
        {"no destination service", [](TfrmCopiarInq& s) { fill(s, Nov30, "00001", Dec1, ""); },
         "Serviço de destino deve ser informado.", destinoServ},
        {"destination service of no service", [](TfrmCopiarInq& s) { fill(s, Nov30, "00001", Dec1, "00099"); },
         "Serviço não cadastrado.", destinoServ},
        {"same day and service outside the period",
         [](TfrmCopiarInq& s) { fill(s, QDate(2026, 11, 29), "00002", QDate(2026, 11, 29), "2"); },
         "Data/serviço origem deve ser diferente da data/serviço destino.", origemServ},
        {"origin before the period start", [](TfrmCopiarInq& s) { fill(s, QDate(2026, 11, 28), "1", Nov30, "1"); },
         "Data de origem deve estar dentro do período de inquérito.", origemDate},
        {"origin after the period end, destination before it",
         [](TfrmCopiarInq& s) { fill(s, QDate(2026, 12, 7), "1", QDate(2026, 12, 6), "1"); },
         "Data de origem deve estar dentro do período de inquérito.", origemDate},
        {"destination before the origin",
         [](TfrmCopiarInq& s) { fill(s, QDate(2026, 12, 5), "1", QDate(2026, 12, 4), "1"); },
         "Data de Origem deve ser menor ou igual a data de destino.", origemDate},
        {"destination after the period end",
         [](TfrmCopiarInq& s) { fill(s, Nov30, "1", QDate(2026, 12, 7), "1"); },
         "Data de destino deve estar dentro do período de inquérito.", destinoDate},
        {"neither products nor dishes",
         [](TfrmCopiarInq& s) {
             fill(s, Nov30, "1", Dec1, "6");
             s.chkPrato->setChecked(false);
             s.chkProduto->setChecked(false);
         },
         "Opção deve ser informada.", [](TfrmCopiarInq& s) -> QWidget* { return s.chkProduto; }},
        {"a focused date that is no date",
         [&](TfrmCopiarInq& s) {
             fill(s, Nov30, "1", Dec1, "6");
             focus(s.depDestino);
             s.depDestino->SetText("31/02/2026");
         },
         "'31/02/2026' não é uma data válida.", destinoDate},
    };
    const auto before = snapshot();
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        for (const Case& c : cases) {
            s.chkProduto->setChecked(true);
            s.chkPrato->setChecked(true);
            focus(s.medCdServDest);
            c.set(s);
            const QString origin = s.depOrigem->Text(), destination = s.depDestino->Text();
            dialogs_->clear();
            confirm(s);
            ASSERT_EQ(dialogs_->shown.size(), 1u) << c.what;
            EXPECT_EQ(dialogs_->shown[0].kind, hostfw::DialogKind::Error) << c.what;
            EXPECT_EQ(dialogs_->shown[0].text, c.message) << c.what;
            EXPECT_TRUE(focused(c.focus(s))) << c.what;
            EXPECT_TRUE(dialogs_->busyCalls.empty()) << c.what << ": nothing was sent";
            EXPECT_EQ(s.depOrigem->Text(), origin) << c.what;
            EXPECT_EQ(s.depDestino->Text(), destination) << c.what;
            s.depDestino->SetDate(Dec1);
        }
        EXPECT_EQ(frmCopiarInq, &s) << "the screen stays open";
    }));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(CopyTest, SendsTheNineArgumentsWithTheOptionOfTheTicks) {
    RecordingServer recorder(db_->url());
    hostfw::session().serverPort = recorder.port();
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        // Same day, two services typed short: normalised before they are sent.
        fill(s, Nov30, "1", Nov30, "2");
        for (auto [produto, prato] : {std::pair{true, true}, {false, true}, {true, false}}) {
            s.chkProduto->setChecked(produto);
            s.chkPrato->setChecked(prato);
            dialogs_->clear();
            confirm(s);
            EXPECT_EQ(shownText(), QString("A cópia do inquérito foi realizada com sucesso."));
        }
    }));
    const auto calls = recorder.calls();
    ASSERT_EQ(calls.size(), 3u);
    const char* const options[] = {"", "1", "0"};
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i], (json{"000000000001", "2026-11-30", "2026-12-06", "2026-11-30", "0001", "00001",
                                  options[i], "2026-11-30", "00002"}))
            << calls[i].dump();
}

TEST_F(CopyTest, ASuccessfulCopyWritesTheRowsAndLeavesTheScreenReadyForAnother) {
    const auto lunchAtTheEnd = items("2026-12-06", "00003");
    ASSERT_EQ(lunchAtTheEnd.size(), 5u);
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        // Breakfast of the first day to the supper of the next, which has nothing.
        typeAndLeave(s.medCdServOrig, "1");
        typeAndLeave(s.depDestino, "01122026");
        typeAndLeave(s.medCdServDest, "6");
        dialogs_->clear();
        confirm(s);
        ASSERT_EQ(dialogs_->shown.size(), 1u) << shownText().toStdString();
        EXPECT_EQ(dialogs_->shown[0].kind, hostfw::DialogKind::Information);
        EXPECT_EQ(shownText(), QString("A cópia do inquérito foi realizada com sucesso."));
        EXPECT_EQ(dialogs_->busyCalls, (std::vector<std::pair<bool, int>>{{true, 6}, {false, -1}}));
        EXPECT_EQ(frmCopiarInq, &s);
        EXPECT_TRUE(s.isVisible());
        EXPECT_EQ(s.depOrigem->Date(), Nov30);
        EXPECT_EQ(s.depDestino->Date(), Dec1);
        EXPECT_EQ(s.medNmServOrig->Text(), QString("Desjejum"));
        EXPECT_EQ(s.medNmServDest->Text(), QString("Ceia"));
        EXPECT_EQ(items("2026-12-01", "00006"),
                  (std::vector<std::string>{"001 000492", "002 000017", "003 000296", "004 000210"}));
        EXPECT_EQ(mealTime("2026-12-01", "00006"), "0700") << "the origin's meal time comes along";

        // The same copy again adds nothing.
        confirm(s);
        EXPECT_EQ(shownText(), QString("A cópia do inquérito foi realizada com sucesso."));
        EXPECT_EQ(items("2026-12-01", "00006").size(), 4u);

        // Same day to another service.
        fill(s, Nov30, "00001", Nov30, "00002");
        confirm(s);
        EXPECT_EQ(items("2026-11-30", "00002"),
                  (std::vector<std::string>{"001 000492", "002 000017", "003 000296", "004 000210"}));

        // Dishes only, to the last day of the period, after what it holds.
        fill(s, Nov30, "00003", QDate(2026, 12, 6), "00003");
        s.chkProduto->setChecked(false);
        dialogs_->clear();
        confirm(s);
        EXPECT_EQ(shownText(), QString("A cópia do inquérito foi realizada com sucesso."));
        auto expected = lunchAtTheEnd;  // its dish 04001 is there already
        expected.push_back("006 02001");
        expected.push_back("007 01001");
        EXPECT_EQ(items("2026-12-06", "00003"), expected);
        EXPECT_EQ(mealTime("2026-12-06", "00003"), "1230");
    }));
    EXPECT_EQ(items("2026-11-30", "00001").size(), 4u) << "the origin is left as it was";
}

TEST_F(CopyTest, AnEmptyOriginAndOtherServerRefusalsAreShownAndWriteNothing) {
    const auto before = snapshot();
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        for (bool dishesOnly : {false, true}) {
            // Supper of 01/12 holds nothing; breakfast of 30/11 holds no dish.
            if (dishesOnly)
                fill(s, Nov30, "00001", Dec1, "00006");
            else
                fill(s, Dec1, "00006", QDate(2026, 12, 2), "00006");
            s.chkProduto->setChecked(!dishesOnly);
            focus(s.chkPrato);
            dialogs_->clear();
            confirm(s);
            ASSERT_EQ(dialogs_->shown.size(), 1u);
            EXPECT_EQ(dialogs_->shown[0].kind, hostfw::DialogKind::Error);
            EXPECT_EQ(shownText(), QString("Não existe inquérito de origem cadastrado."));
            EXPECT_TRUE(focused(s.medCdServOrig));
            EXPECT_EQ(dialogs_->busyDepth, 0) << "the busy indicator is off";
        }

        // Another user moved the period's end meanwhile: the server's own words.
        db::execute(hostfw::hostDatabase(),
                    "UPDATE INQUERPACI SET DTFININQU = '2026-12-07' WHERE CDPACIENTE = '000000000001'", {});
        fill(s, Nov30, "00001", Dec1, "00006");
        s.chkProduto->setChecked(true);
        focus(s.chkPrato);
        dialogs_->clear();
        confirm(s);
        ASSERT_EQ(dialogs_->shown.size(), 1u);
        EXPECT_EQ(shownText(), QString("Período de inquérito não cadastrado."));
        EXPECT_TRUE(focused(s.chkPrato)) << "no focus move for other failures";
        EXPECT_EQ(dialogs_->busyDepth, 0);
        EXPECT_EQ(frmCopiarInq, &s);
        db::execute(hostfw::hostDatabase(),
                    "UPDATE INQUERPACI SET DTFININQU = '2026-12-06' WHERE CDPACIENTE = '000000000001'", {});
    }));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(CopyTest, TheSurveyChecksItsDateFirstAndShowsTheCopyWhenItsGridIsEntered) {
    screen()->mnuPadraoClick();
    processEvents();
    ASSERT_TRUE(screen()->itemsPageShowing());
    screen()->items()->edtCdServico->SetText("00006");
    screen()->items()->depInquerito->SetDate(Dec1);
    focus(screen()->items()->dbgProdPrat);
    ASSERT_TRUE(screen()->items()->cdsProdPrat->Active());
    EXPECT_EQ(screen()->items()->cdsProdPrat->RecordCount(), 0);

    focus(screen()->items()->depInquerito);
    screen()->items()->depInquerito->SetText("31/02/2026");
    dialogs_->clear();
    EXPECT_FALSE(withCopyScreen([](TfrmCopiarInq&) {})) << "a survey date that is no date stops the command";
    EXPECT_EQ(shownText(), QString("'31/02/2026' não é uma data válida."));

    screen()->items()->depInquerito->SetDate(Dec1);
    ASSERT_TRUE(withCopyScreen([&](TfrmCopiarInq& s) {
        EXPECT_EQ(screen()->focusWidget(), screen()->items()->edtCdServico) << "the survey moved to its service first";
        fill(s, Nov30, "00001", Dec1, "00006");
        dialogs_->clear();
        confirm(s);
        EXPECT_EQ(shownText(), QString("A cópia do inquérito foi realizada com sucesso."));
    }));
    EXPECT_EQ(screen()->items()->cdsProdPrat->RecordCount(), 0) << "no reload until the grid is entered";
    QApplication::setActiveWindow(main_.get());
    focus(screen()->items()->dbgProdPrat);
    EXPECT_EQ(screen()->items()->cdsProdPrat->RecordCount(), 4);
}
