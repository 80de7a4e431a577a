// Configuration file and command line of the desktop host.
#include "hostapp/HostConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hostapp;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

class ConfigFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("inquerito-host.ini"); }
    QString exe() const { return dir.filePath("bin"); }
};

} // namespace

TEST_F(ConfigFile, RoundTripKeepsEveryValue) {
    HostConfig c = HostConfig::defaults(exe());
    c.serverHost = "10.0.0.7";
    c.serverPort = 9100;
    c.databaseUrl = "postgresql://nutri@db.local:5432/inquerito";
    c.moduleBoundToBranch = true;
    c.activeModule = 11;
    c.executableFolder = dir.filePath("filtros");
    c.moduleLibrary = dir.filePath("mod/libinquerito.so");
    c.autoLogin = {"DEMO", "demo", "0002"};
    QString error;
    ASSERT_TRUE(saveConfig(c, path(), &error)) << error.toStdString();

    QStringList problems;
    const HostConfig r = loadConfig(path(), exe(), &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    EXPECT_EQ(r.serverHost, c.serverHost);
    EXPECT_EQ(r.serverPort, 9100);
    EXPECT_EQ(r.databaseUrl, c.databaseUrl);
    EXPECT_TRUE(r.moduleBoundToBranch);
    EXPECT_EQ(r.activeModule, 11);
    EXPECT_EQ(r.executableFolder, c.executableFolder);
    EXPECT_EQ(r.moduleLibrary, c.moduleLibrary);
    EXPECT_EQ(r.autoLogin.operatorCode, "DEMO");
    EXPECT_EQ(r.autoLogin.password, "demo");
    EXPECT_EQ(r.autoLogin.branchCode, "0002");
}

TEST_F(ConfigFile, MissingFileGivesDefaultsWithoutComplaint) {
    QStringList problems;
    const HostConfig c = loadConfig(dir.filePath("nao-existe.ini"), exe(), &problems);
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_EQ(c.serverHost, "127.0.0.1");
    EXPECT_EQ(c.serverPort, 8211);
    EXPECT_EQ(c.executableFolder, exe());
    EXPECT_FALSE(c.autoLogin.enabled());
    EXPECT_TRUE(c.databaseUrl.startsWith("sqlite:/"));
}

TEST_F(ConfigFile, DamagedFileIsReportedAndDefaultsStand) {
    // A half-written file: the section header is cut and a line has no key.
    writeFile(path(), "[Servidor]\nEndereco=10.1.1.1\nPorta=9000\n[BancoDad\nlixo sem igual\n");
    QStringList problems;
    const HostConfig c = loadConfig(path(), exe(), &problems);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("danificado")) << problems[0].toStdString();
    EXPECT_TRUE(problems[0].contains("linha 4")) << problems[0].toStdString();
    EXPECT_EQ(c.serverHost, "127.0.0.1");
    EXPECT_EQ(c.serverPort, 8211);

    writeFile(path(), QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11));
    problems.clear();
    loadConfig(path(), exe(), &problems);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("danificado"));
}

TEST_F(ConfigFile, BadValuesFallBackOneByOne) {
    writeFile(path(),
              "[Servidor]\nEndereco=servidor.local\nPorta=abc\n"
              "[Sessao]\nModuloFilial=talvez\nModuloAtivo=10\n"
              "[BancoDados]\nUrl=mysql://x\n");
    QStringList problems;
    const HostConfig c = loadConfig(path(), exe(), &problems);
    EXPECT_EQ(problems.size(), 3) << problems.join('\n').toStdString();
    EXPECT_EQ(c.serverHost, "servidor.local");  // good values are kept
    EXPECT_EQ(c.serverPort, 8211);
    EXPECT_FALSE(c.moduleBoundToBranch);
    EXPECT_EQ(c.activeModule, 10);
    EXPECT_TRUE(c.databaseUrl.startsWith("sqlite:"));
    EXPECT_TRUE(problems.join('\n').contains("Porta"));
}

TEST_F(ConfigFile, RelativePathsFollowTheConfigFile) {
    writeFile(path(), "[BancoDados]\nUrl=sqlite:dados/inq.db\n[Sessao]\nPastaExecutavel=filtro\nModuloFilial=S\n");
    QStringList problems;
    const HostConfig c = loadConfig(path(), exe(), &problems);
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_EQ(c.databaseUrl, "sqlite:" + dir.filePath("dados/inq.db"));
    EXPECT_EQ(c.executableFolder, dir.filePath("filtro"));
    EXPECT_TRUE(c.moduleBoundToBranch);
    EXPECT_EQ(resolveDatabaseUrl("postgresql://u@h:5432/d", "/tmp"), "postgresql://u@h:5432/d");
    EXPECT_EQ(resolveDatabaseUrl("sqlite:/abs/x.db", "/tmp"), "sqlite:/abs/x.db");
}

TEST(CommandLineTest, OptionsAndOverrides) {
    const CommandLine line = parseCommandLine(
        {"inquerito-host", "-platform", "offscreen", "--config", "outro.ini", "--server=10.2.3.4:9001", "--db", "sqlite:x.db"});
    ASSERT_TRUE(line.error.isEmpty()) << line.error.toStdString();
    EXPECT_EQ(line.configPath, "outro.ini");
    ASSERT_TRUE(line.server);
    EXPECT_EQ(line.server->host, "10.2.3.4");
    EXPECT_EQ(line.server->port, 9001);

    HostConfig c = HostConfig::defaults("/opt/bin");
    applyOverrides(c, line, "/home/nutri");
    EXPECT_EQ(c.serverHost, "10.2.3.4");
    EXPECT_EQ(c.serverPort, 9001);
    EXPECT_EQ(c.databaseUrl, "sqlite:/home/nutri/x.db");

    EXPECT_FALSE(parseCommandLine({"h", "--server", "semporta"}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"h", "--server", "host:70000"}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"h", "--config"}).error.isEmpty());
    EXPECT_TRUE(parseCommandLine({"h", "--help"}).help);
}

TEST_F(ConfigFile, AlternateServerAddresses) {
    writeFile(path(), "[Servidor]\nEndereco=10.0.0.1\nPorta=8211\nAlternativos=10.0.0.2:8211, balanceador:80\n");
    QStringList problems;
    HostConfig c = loadConfig(path(), exe(), &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    EXPECT_EQ(c.serverAlternates, QStringList({"10.0.0.2:8211", "balanceador:80"}));
    ASSERT_TRUE(saveConfig(c, path()));
    EXPECT_EQ(loadConfig(path(), exe(), nullptr).serverAlternates, c.serverAlternates);

    // One bad address refuses the whole list, and says which key.
    writeFile(path(), "[Servidor]\nAlternativos=10.0.0.2:8211, semporta\n");
    problems.clear();
    c = loadConfig(path(), exe(), &problems);
    EXPECT_TRUE(c.serverAlternates.isEmpty());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("Servidor/Alternativos")) << problems[0].toStdString();

    // --server with several addresses: the first is the server, the rest its alternates.
    const CommandLine line = parseCommandLine({"h", "--server", "a:1,b:2"});
    ASSERT_TRUE(line.error.isEmpty()) << line.error.toStdString();
    applyOverrides(c, line, "/tmp");
    EXPECT_EQ(c.serverHost, "a");
    EXPECT_EQ(c.serverPort, 1);
    EXPECT_EQ(c.serverAlternates, QStringList({"b:2"}));
    EXPECT_FALSE(parseCommandLine({"h", "--server", "a:1,b"}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"h", "--server", ","}).error.isEmpty());
}

TEST(DemoConfigTest, ShippedDemoFileLoadsCleanly) {
    QStringList problems;
    const HostConfig c = loadConfig(HOSTAPP_DEMO_CONFIG, "/opt/bin", &problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    EXPECT_EQ(c.autoLogin.operatorCode, "DEMO");
    EXPECT_EQ(c.autoLogin.branchCode, "0001");
    EXPECT_TRUE(c.databaseUrl.endsWith("/data/inquerito.db")) << c.databaseUrl.toStdString();
}
