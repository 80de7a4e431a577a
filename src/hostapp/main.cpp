// inquerito-host: the desktop host of the survey module.
#include "host/core/Dialogs.h"
#include "host/routines/QtDialogs.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/core/Session.h"
#include "hostapp/HostConfig.h"
#include "hostapp/Login.h"
#include "hostapp/LoginDialog.h"
#include "hostapp/SessionDialogs.h"
#include "hostapp/MainWindow.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/QtTranslations.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Checked before QApplication exists: without a display Qt would abort with
// a message the user cannot act on.
bool hasGraphicalDisplay(const QStringList& arguments) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    if (arguments.contains(QStringLiteral("-platform"))) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    const hostapp::CommandLine line = hostapp::parseCommandLine(arguments);
    if (line.help) {
        print(stdout, hostapp::usageText());
        return 0;
    }
    if (!line.error.isEmpty()) {
        print(stderr, line.error + "\n" + hostapp::usageText());
        return 1;
    }
    if (!hasGraphicalDisplay(arguments)) {
        print(stderr, QStringLiteral(
                          "inquerito-host: não há tela gráfica disponível (DISPLAY e WAYLAND_DISPLAY não definidos).\n"
                          "Execute-o num ambiente gráfico, ou sem tela com:\n"
                          "  xvfb-run -a bash scripts/run.sh\n"
                          "ou defina QT_QPA_PLATFORM=offscreen (a janela não aparece).\n"));
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("inquerito-host"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    if (const QStringList missing = hostapp::installQtTranslations(); !missing.isEmpty())
        print(stderr, QStringLiteral("inquerito-host: Qt translations not found (%1); standard dialogs stay in English.\n")
                          .arg(missing.join(QStringLiteral(", "))));
    hostfw::setDialogs(std::make_unique<hostfw::QtDialogs>());

    const QString exeFolder = QCoreApplication::applicationDirPath();
    const QString currentFolder = QDir::currentPath();
    const QString configPath = line.configPath.isEmpty() ? hostapp::defaultConfigPath(exeFolder, currentFolder)
                                                         : QDir(currentFolder).absoluteFilePath(line.configPath);
    QStringList problems;
    if (!line.configPath.isEmpty() && !QFileInfo::exists(configPath))
        problems << QStringLiteral("Arquivo de configuração não encontrado: %1; valores padrão em uso.").arg(configPath);
    hostapp::HostConfig config = hostapp::loadConfig(configPath, exeFolder, &problems);
    hostapp::applyOverrides(config, line, currentFolder);
    hostapp::applyConfigToSession(config);
    if (!problems.isEmpty()) hostfw::dialogs().message(hostfw::DialogKind::Warning, problems.join('\n'));

    {
        hostapp::LoginDialog login;
        const auto& autoLogin = config.autoLogin;
        bool loggedIn = false;
        if (autoLogin.enabled()) {
            login.setCredentials(autoLogin.operatorCode, autoLogin.password, autoLogin.branchCode);
            loggedIn = login.tryLogin(autoLogin.operatorCode, autoLogin.password, autoLogin.branchCode);
        }
        if (!loggedIn && login.exec() != QDialog::Accepted) return 0;
    }

    hostapp::ModuleLoader loader;
    if (!loader.load(hostapp::ModuleLoader::candidatePaths(config.moduleLibrary, exeFolder)))
        hostfw::dialogs().message(hostfw::DialogKind::Warning, loader.error());
    hostapp::SurveyOpener opener;
    if (loader.loaded()) opener = [&loader](const QVariant& param) { loader.openSurvey(param); };

    auto* window = new hostapp::MainWindow(opener);
    // "Sessão expirada" under a running host: the password again, then the call is repeated.
    hostapp::SessionRenewal renewal;
    hostfw::session().renewSession = [&renewal, window] { return renewal.renew(window); };
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    hostfw::guard([window] { window->openStartWindows(); });
    const int rc = app.exec();

    hostfw::session().renewSession = nullptr;
    delete window;  // the module's MDI screens go with it, while its code is loaded
    loader.unload();
    hostapp::logout();
    hostfw::closeHostDatabase();
    return rc;
}
