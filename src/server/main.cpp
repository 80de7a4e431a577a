// inquerito-server: the application server of the food-intake survey.
#include "db/Database.h"
#include "db/Schema.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

server::HttpServer* running = nullptr;

void onSignal(int) {
    if (running) running->stop();
}

void usage() {
    std::cout << "Uso: inquerito-server [opções]\n"
                 "  --listen HOST:PORTA   endereço de escuta (padrão 127.0.0.1:8211)\n"
                 "  --db URL              sqlite:CAMINHO ou postgresql://USUARIO@HOST:PORTA/BANCO\n"
                 "                        (padrão sqlite:inquerito.db)\n"
                 "  --threads N           número de threads de atendimento (padrão 16)\n"
                 "  --init-db             cria o esquema e os dados de demonstração, se o banco\n"
                 "                        estiver vazio, e termina\n"
                 "  --quiet               não registra cada chamada\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string listen = "127.0.0.1:8211";
    std::string dbUrl = "sqlite:inquerito.db";
    server::ServerOptions options;
    bool initOnly = false;
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
            try {
                options.threads = static_cast<size_t>(std::stoul(value()));
            } catch (const std::exception&) {
                std::cerr << "Número de threads inválido.\n";
                return 2;
            }
        } else if (a == "--init-db") {
            initOnly = true;
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
    if (options.threads == 0) options.threads = 1;

    try {
        const auto url = db::DatabaseUrl::parse(dbUrl);
        if (url.engine == db::Engine::SQLite) {
            const auto parent = std::filesystem::path(url.sqlitePath).parent_path();
            if (!parent.empty()) std::filesystem::create_directories(parent);
        }
        {
            auto session = db::openSession(url);
            if (db::initializeDatabase(*session))
                std::fprintf(stderr, "database created with schema and demo data: %s\n", url.toString().c_str());
        }
        if (initOnly) return 0;

        db::SessionPool pool(url, options.threads);
        server::Dispatcher dispatcher;
        server::registerAll(dispatcher);
        server::HttpServer http(pool, dispatcher, options);
        const int port = http.bind();
        running = &http;
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::printf("inquerito-server atendendo em http://%s:%d (banco %s)\n", options.host.c_str(), port,
                    url.toString().c_str());
        std::fflush(stdout);
        http.run();
        running = nullptr;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "inquerito-server: " << e.what() << "\n";
        return 1;
    }
}
