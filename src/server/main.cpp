// inquerito-server: the application server of the food-intake survey.
#include "db/Database.h"
#include "db/Schema.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"
#include "server/Operators.h"
#include "db/Password.h"
#include "server/Sessions.h"
#include "server/TrustedProxies.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include <pthread.h>
#include <termios.h>
#include <unistd.h>

namespace {

void usage() {
    std::cout << "Uso: inquerito-server [opções]\n"
                 "  --listen HOST:PORTA   endereço de escuta (padrão 127.0.0.1:8211)\n"
                 "  --db URL              sqlite:CAMINHO ou postgresql://USUARIO@HOST:PORTA/BANCO\n"
                 "                        (padrão sqlite:inquerito.db; a senha do PostgreSQL vai em\n"
                 "                        PGPASSWORD ou ~/.pgpass, nunca é impressa)\n"
                 "  --threads N           chamadas atendidas ao mesmo tempo (padrão 16)\n"
                 "  --init-db             cria o banco, se vazio, e termina: esquema, catálogo e um\n"
                 "                        administrador com a senha de INQUERITO_ADMIN_PASSWORD\n"
                 "                        (ou digitada no terminal)\n"
                 "  --admin CODIGO        código do administrador criado (padrão ADMIN)\n"
                 "  --add-operator CODIGO cadastra um operador e termina; a senha vem de\n"
                 "                        INQUERITO_OPERATOR_PASSWORD ou é digitada duas vezes\n"
                 "  --branches LISTA      filiais do operador cadastrado (ex.: 0001,0002)\n"
                 "  --name NOME           nome do operador cadastrado (padrão: o código)\n"
                 "  --administrator       o operador cadastrado é administrador\n"
                 "  --demo                cria um banco vazio com os dados de demonstração\n"
                 "                        (operadores DEMO/demo e NUTRI1/nutri1, pacientes, uma semana)\n"
                 "  --tls-cert ARQUIVO    certificado PEM: atende só por https (com --tls-key)\n"
                 "  --tls-key ARQUIVO     chave privada PEM do certificado\n"
                 "  --session-minutes N   duração de uma sessão após o acesso (padrão 720)\n"
                 "  --session-check-ms N  por quanto tempo uma sessão verificada vale sem nova\n"
                 "                        consulta ao banco (padrão 1000; 0 verifica a cada chamada)\n"
                 "  --max-connections N   conexões abertas no total (padrão 512)\n"
                 "  --max-connections-per-address N\n"
                 "                        conexões abertas de um mesmo endereço (padrão 64)\n"
                 "  --trusted-proxy LISTA endereços (ou redes, 10.0.0.0/8) de proxies cujo\n"
                 "                        X-Forwarded-For indica o endereço do cliente (padrão: nenhum)\n"
                 "  --quiet               não registra cada chamada\n";
}

bool isLoopback(const std::string& host) {
    return host == "localhost" || host.rfind("127.", 0) == 0 || host == "::1" || host == "[::1]";
}

// The administrator's password: from the environment, else typed twice on
// the terminal without echo; nullopt when neither is possible.
std::optional<std::string> typedPassword(const char* variable, const std::string& prompt) {
    if (const char* env = std::getenv(variable); env && *env) return std::string(env);
    if (!isatty(STDIN_FILENO)) return std::nullopt;
    auto ask = [](const std::string& prompt) {
        std::fprintf(stderr, "%s", prompt.c_str());
        std::fflush(stderr);
        termios old{};
        tcgetattr(STDIN_FILENO, &old);
        termios silent = old;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &silent);
        std::string line;
        std::getline(std::cin, line);
        tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::fprintf(stderr, "\n");
        return line;
    };
    const std::string first = ask(prompt);
    if (ask("Repita a senha: ") != first) {
        std::fprintf(stderr, "As senhas não conferem.\n");
        return std::nullopt;
    }
    return first;
}

std::optional<std::string> administratorPassword(const std::string& code) {
    return typedPassword("INQUERITO_ADMIN_PASSWORD", "Senha do administrador " + code + ": ");
}

int positive(const std::string& option, const std::string& text) {
    try {
        const long v = std::stol(text);
        if (v > 0 && v <= 1000000) return static_cast<int>(v);
    } catch (const std::exception&) {
    }
    std::cerr << "Valor inválido para " << option << ": " << text << "\n";
    std::exit(2);
}

// --add-operator: the first operators of a hospital, before anyone can log in.
int addOperator(soci::session& session, const std::string& code, const std::string& name,
                const std::string& branches, bool administrator) {
    const auto password = typedPassword("INQUERITO_OPERATOR_PASSWORD", "Senha do operador " + code + ": ");
    if (!password) {
        std::fprintf(stderr, "inquerito-server: informe a senha do operador em INQUERITO_OPERATOR_PASSWORD ou "
                             "digite-a no terminal.\n");
        return 1;
    }
    try {
        const auto spec = server::operatorSpec(session, code, name.empty() ? code : name, branches,
                                               administrator ? "A" : "N", *password);
        server::addOperatorFromConsole(session, spec);
        std::string list;
        for (const auto& b : spec.branches) list += (list.empty() ? "" : ",") + b;
        std::fprintf(stderr, "operador %s cadastrado (filiais %s)\n", spec.code.c_str(), list.c_str());
        return 0;
    } catch (const server::OperationError& e) {
        std::fprintf(stderr, "inquerito-server: %s\n", e.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string listen = "127.0.0.1:8211";
    std::string dbUrl = "sqlite:inquerito.db";
    std::string adminCode = "ADMIN";
    server::ServerOptions options;
    int sessionMinutes = 0;
    int sessionCheckMs = -1;
    bool initOnly = false;
    bool demo = false;
    std::string newOperator, newBranches, newName;
    bool newAdministrator = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "Falta o valor de " << a << "\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--listen") {
            listen = value();
        } else if (a == "--db") {
            dbUrl = value();
        } else if (a == "--threads") {
            options.threads = static_cast<size_t>(positive(a, value()));
        } else if (a == "--init-db") {
            initOnly = true;
        } else if (a == "--demo") {
            demo = true;
        } else if (a == "--admin") {
            adminCode = value();
        } else if (a == "--add-operator") {
            newOperator = value();
        } else if (a == "--branches") {
            newBranches = value();
        } else if (a == "--name") {
            newName = value();
        } else if (a == "--administrator") {
            newAdministrator = true;
        } else if (a == "--tls-cert") {
            options.tlsCertFile = value();
        } else if (a == "--tls-key") {
            options.tlsKeyFile = value();
        } else if (a == "--session-minutes") {
            sessionMinutes = positive(a, value());
        } else if (a == "--session-check-ms") {
            const std::string v = value();
            sessionCheckMs = v == "0" ? 0 : std::min(positive(a, v), 10000);
        } else if (a == "--max-connections") {
            options.maxConnections = static_cast<size_t>(positive(a, value()));
        } else if (a == "--max-connections-per-address") {
            options.maxConnectionsPerAddress = static_cast<size_t>(positive(a, value()));
        } else if (a == "--trusted-proxy") {
            for (const auto& entry : server::TrustedProxies::split(value())) options.trustedProxies.push_back(entry);
            try {
                server::TrustedProxies check(options.trustedProxies);
            } catch (const std::invalid_argument& e) {
                std::cerr << "Valor inválido para --trusted-proxy: " << e.what() << "\n";
                return 2;
            }
        } else if (a == "--quiet") {
            options.log = false;
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            std::cerr << "Opção desconhecida: " << a << "\n";
            usage();
            return 2;
        }
    }
    const auto colon = listen.rfind(':');
    if (colon == std::string::npos) {
        std::cerr << "Endereço de escuta inválido: " << listen << " (use HOST:PORTA)\n";
        return 2;
    }
    options.host = listen.substr(0, colon);
    try {
        options.port = std::stoi(listen.substr(colon + 1));
    } catch (const std::exception&) {
        std::cerr << "Porta inválida: " << listen << "\n";
        return 2;
    }

    // Signals are taken by one thread of their own (sigwait), so stopping
    // never runs inside a signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        const auto url = db::DatabaseUrl::parse(dbUrl);
        if (url.engine == db::Engine::SQLite) {
            const auto parent = std::filesystem::path(url.sqlitePath).parent_path();
            if (!parent.empty()) std::filesystem::create_directories(parent);
        }
        {
            auto session = db::openSession(url);
            if (!db::schemaExists(*session)) {
                if (demo) {
                    db::initializeDatabase(*session, true);
                    std::fprintf(stderr, "database created with schema and demo data: %s\n", url.redacted().c_str());
                } else {
                    const auto password = administratorPassword(adminCode);
                    if (!password) {
                        std::fprintf(stderr,
                                     "inquerito-server: o banco %s está vazio. Crie-o com --init-db e a senha do "
                                     "administrador em INQUERITO_ADMIN_PASSWORD (ou digitada no terminal), ou use "
                                     "--demo para os dados de demonstração.\n",
                                     url.redacted().c_str());
                        return 1;
                    }
                    if (const auto problem = db::passwordProblem(adminCode, *password)) {
                        std::fprintf(stderr, "inquerito-server: %s\n", problem->c_str());
                        return 1;
                    }
                    db::initializeDatabase(*session, false);
                    db::createAdministrator(*session, adminCode, "Administrador", *password);
                    std::fprintf(stderr, "database created with schema, catalogue and administrator %s: %s\n",
                                 adminCode.c_str(), url.redacted().c_str());
                }
            } else {
                db::initializeDatabase(*session, demo);
                if (!db::hasOperators(*session)) {
                    if (const auto password = initOnly ? administratorPassword(adminCode) : std::nullopt) {
                        db::createAdministrator(*session, adminCode, "Administrador", *password);
                        std::fprintf(stderr, "administrator %s created\n", adminCode.c_str());
                    } else {
                        std::fprintf(stderr, "warning: no operator registered; create the administrator with --init-db.\n");
                    }
                }
            }
            server::removeExpired(*session);
            if (!newOperator.empty()) return addOperator(*session, newOperator, newName, newBranches, newAdministrator);
        }
        if (initOnly) return 0;

        server::Dispatcher dispatcher;
        server::registerAll(dispatcher);
        if (sessionMinutes > 0) dispatcher.sessionPolicy().lifetimeMinutes = sessionMinutes;
        if (sessionCheckMs >= 0) dispatcher.sessionPolicy().sessionCheckMilliseconds = sessionCheckMs;
        for (const auto& op : dispatcher.undeclaredOperations())
            std::fprintf(stderr, "warning: operation %s does not declare which branch its data belong to.\n", op.c_str());
        // One session more than workers: /health always finds one.
        db::SessionPool pool(url, options.threads + 1);
        server::HttpServer http(pool, dispatcher, options);
        const int port = http.bind();
        const bool tls = !options.tlsCertFile.empty();
        if (!tls && !isLoopback(options.host))
            std::fprintf(stderr,
                         "warning: serving on %s without TLS: passwords, sessions and patient data cross the "
                         "network unencrypted. Use --tls-cert and --tls-key.\n",
                         options.host.c_str());

        std::thread signals([&http, &stopSignals] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            http.stop();
        });
        std::printf("inquerito-server listening on %s://%s:%d (database %s)\n", tls ? "https" : "http",
                    options.host.c_str(), port, url.redacted().c_str());
        std::fflush(stdout);
        http.run();
        dispatcher.flushReadAudit(pool);
        pthread_kill(signals.native_handle(), SIGUSR1);
        signals.join();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "inquerito-server: " << e.what() << "\n";
        return 1;
    }
}
