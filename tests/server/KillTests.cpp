// The real server process killed (-9) ten times under 20 concurrent writers,
// restarted each time on the same database: every acknowledged write is
// stored exactly once, nothing is written twice (clients retry with their
// request id until the server answers), and the audit trail holds one row per
// item written.
#include "InqueritoTestSupport.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace inqtest;
using protocol::RpcFailure;
using Clock = std::chrono::steady_clock;

namespace {

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// inquerito-server as a child process.
class ServerProcess {
public:
    ServerProcess(std::string url, int port, std::string log) : url_(std::move(url)), port_(port), log_(std::move(log)) {}
    ~ServerProcess() { kill(SIGKILL); }

    void start() {
        const std::string listen = "127.0.0.1:" + std::to_string(port_);
        std::vector<std::string> args = {INQUERITO_SERVER_PATH, "--db", url_, "--listen", listen, "--threads", "8",
                                         "--quiet"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ASSERT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        protocol::RpcClient probe("127.0.0.1", port_, 2);
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!probe.healthy()) {
            ASSERT_LT(Clock::now(), deadline) << "the server did not start; see " << log_;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void kill(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    std::string url_;
    int port_;
    std::string log_;
    pid_t pid_ = -1;
};

}  // namespace

class Kills : public testsupport::EngineTest {};

TEST_P(Kills, AcknowledgedWritesSurviveKillsAndNoneIsDoubled) {
    // A period of its own: patient 3, 2027-01-04 to 2027-01-10, four items at
    // breakfast of the first day to copy from.
    const std::string patient = "000000000003", start = "2027-01-04", end = "2027-01-10";
    db::execute(sql(), "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) VALUES ('0001', '" +
                           patient + "', '" + start + "', '" + end + "')", {});
    int seq = 0;
    for (const auto& [product, measure] : std::vector<std::pair<std::string, std::string>>{
             {"000017", "00015"}, {"000003", "00001"}, {"000492", "00002"}, {"000210", "00002"}})
        db::execute(sql(),
                    "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
                    "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER) VALUES ('0001', '" +
                        patient + "', '" + start + "', '" + end + "', '00001', '" + start + "', '00" +
                        std::to_string(++seq) + "', '0', '" + product + "', '" + measure + "', 1, 100)",
                    {});
    const int port = freePort();
    const auto log = std::filesystem::temp_directory_path() / ("inquerito-kill-" + std::to_string(::getpid()) + ".log");
    ServerProcess server(db_->url().toString(), port, log.string());
    server.start();
    if (HasFatalFailure()) return;
    {
        protocol::RpcClient login("127.0.0.1", port);
        login.login("DEMO", "demo", "0001");  // kept in the database: it outlives the kills
    }

    constexpr int ItemWriters = 16, CopyWriters = 4;
    const std::vector<std::string> itemServices = {"00002", "00004", "00006"};
    const std::vector<std::string> copyServices = {"00003", "00005"};  // destinations of the copies
    const std::vector<std::string> days = {"2027-01-05", "2027-01-06", "2027-01-07", "2027-01-08", "2027-01-09"};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::set<long long> acknowledged;                 // item markers
    std::set<std::pair<std::string, std::string>> copied;  // acknowledged copy destinations
    std::atomic<int> lost{0}, calls{0};

    // Retries one call with its id until it is answered; false when it never is.
    auto send = [&](protocol::RpcClient& c, const std::string& method, const json& params) {
        const std::string id = protocol::newRequestId();
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (Clock::now() < deadline) {
            try {
                c.call(method, params, id);
                ++calls;
                return true;
            } catch (const RpcFailure& e) {
                if (e.code() != protocol::rpc_error::Transport) {
                    ADD_FAILURE() << method << ": " << e.what();
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        ++lost;
        return false;
    };

    std::vector<std::thread> writers;
    for (int w = 0; w < ItemWriters; ++w)
        writers.emplace_back([&, w] {
            protocol::RpcClient c("127.0.0.1", port, 10);
            for (long long n = 1; !stop; ++n) {
                const long long marker = (w + 1) * 100000LL + n;  // portions: unique per write
                Item item;
                item.paciente = patient;
                item.inicio = start;
                item.dia = days[(w + n) % days.size()];
                item.servico = itemServices[w % itemServices.size()];
                item.seq = "";
                item.porcoes = static_cast<double>(marker);
                item.total = 50;
                if (send(c, op("SetItemPrato"), json::array({itemPacket({insertOf(item)})}))) {
                    std::lock_guard lock(mutex);
                    acknowledged.insert(marker);
                }
            }
        });
    for (int w = 0; w < CopyWriters; ++w)
        writers.emplace_back([&, w] {
            protocol::RpcClient c("127.0.0.1", port, 10);
            for (size_t n = w; !stop && n < days.size() * copyServices.size(); n += CopyWriters) {
                const std::string day = days[n % days.size()], service = copyServices[n / days.size()];
                if (send(c, "Zep12630.rdmCopiarInq.SetConfirmar",
                         {patient, start, end, start, Filial, "00001", "", day, service})) {
                    std::lock_guard lock(mutex);
                    copied.insert({day, service});
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
        });

    std::mt19937 random(16);
    for (int kill = 0; kill < 10; ++kill) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250 + random() % 300));
        server.kill(SIGKILL);
        server.start();
        if (HasFatalFailure()) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
    for (auto& t : writers) t.join();
    server.kill(SIGTERM);

    EXPECT_EQ(lost, 0);
    EXPECT_GT(acknowledged.size(), 50u) << "too few writes to tell anything";
    auto& s = sql();
    // Every acknowledged item once; no item twice, acknowledged or not.
    const auto items = db::query(s,
                                 "SELECT QTALIMMEDCAS, COUNT(*) AS N FROM ITINQUERPACI WHERE QTALIMMEDCAS >= 100000 "
                                 "GROUP BY QTALIMMEDCAS",
                                 {}, {{"QTALIMMEDCAS", protocol::FieldType::Float, 0}, {"N", protocol::FieldType::Integer, 0}});
    std::map<long long, long long> stored;
    for (const auto& row : items.rows) stored[static_cast<long long>(row[0].get<double>())] = row[1].get<long long>();
    for (long long marker : acknowledged) EXPECT_EQ(stored.count(marker), 1u) << "acknowledged item " << marker << " lost";
    for (const auto& [marker, n] : stored) EXPECT_EQ(n, 1) << "item " << marker << " stored " << n << " times";
    // One audit row per item stored.
    long long itemsStored = 0;
    for (const auto& [marker, n] : stored) itemsStored += n;
    EXPECT_EQ(countOf(s, "SELECT COUNT(*) FROM AUDITORIA WHERE NMOPERACAO = 'Zep12600.rdmInquerito.SetItemPrato'"),
              itemsStored);
    // Every acknowledged copy whole; no food twice at one destination.
    for (const auto& [day, service] : copied)
        EXPECT_EQ(countOf(s, "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE = '" + patient +
                                 "' AND DTINQUERITO = '" + day + "' AND CDSERVFILI = '" + service + "'"),
                  4)
            << day << " " << service;
    EXPECT_EQ(countOf(s,
                      "SELECT COUNT(*) FROM (SELECT DTINQUERITO, CDSERVFILI, COALESCE(CDPRODUTO, CDPRATO) AS F, COUNT(*) "
                      "AS N FROM ITINQUERPACI WHERE CDPACIENTE = '000000000003' AND CDSERVFILI IN ('00003', '00005') "
                      "GROUP BY DTINQUERITO, CDSERVFILI, COALESCE(CDPRODUTO, CDPRATO)) X "
                      "WHERE N > 1"),
              0);
    if (GetParam() == db::Engine::SQLite) {
        EXPECT_EQ(db::scalarText(s, "PRAGMA integrity_check", {}).value_or(""), "ok");
        EXPECT_TRUE(db::query(s, "PRAGMA foreign_key_check", {}).rows.empty());
    }
    std::printf("kills: %zu items and %zu copies acknowledged in %d calls\n", acknowledged.size(), copied.size(),
                calls.load());
    std::filesystem::remove(log);
}

INQUERITO_ENGINES(Kills);
