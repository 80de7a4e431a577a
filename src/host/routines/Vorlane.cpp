#include "host/routines/Vorlane.h"

#include "host/routines/Consiste.h"
#include "host/data/DataSet.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/connection/NetConnection.h"
#include "host/core/Session.h"

#include <QUrl>

namespace Vorlane {

using hostfw::session;

QString FiliProc() { return session().branchCode; }
QString NomeFiliProc() { return session().branchName; }
bool ModuFili() { return session().moduleBoundToBranch; }
QString Operador() { return session().operatorCode; }
QString WebURL() { return session().serverHost; }
int WebPort() { return session().serverPort; }

QString SQLParams(const QStringList& namesAndValues) {
    QStringList pairs;
    for (int i = 0; i + 1 < namesAndValues.size(); i += 2)
        pairs << QString::fromUtf8(QUrl::toPercentEncoding(namesAndValues[i])) + "=" +
                     QString::fromUtf8(QUrl::toPercentEncoding(namesAndValues[i + 1]));
    return pairs.join('&');
}

void LoadBPL(const QString& screenCode, const QVariantList& values) {
    if (!session().openScreen)
        throw hostfw::EHostError(QStringLiteral("A tela %1 não está disponível neste sistema.").arg(screenCode));
    session().openScreen(screenCode, values);
}

QString DBPict(int pictureType) {
    return pictureType == 0 ? session().productPicture.mask : session().dishPicture.mask;
}

TDBPicture DBPictObj(int pictureType) {
    return TDBPicture(pictureType == 0 ? session().productPicture.levels : session().dishPicture.levels);
}

} // namespace Vorlane

namespace Geral {
int ModuloAtiv() { return hostfw::session().activeModule; }
}

namespace Showavi {

void ActiveShowAvi(QWidget*, int kind) { hostfw::dialogs().busy(true, kind); }
void DeactiveShowAvi(QWidget*) { hostfw::dialogs().busy(false, -1); }

Scope::Scope(int kind, QWidget* mainWindow) : main_(mainWindow) { ActiveShowAvi(main_, kind); }
Scope::~Scope() { DeactiveShowAvi(main_); }

} // namespace Showavi

namespace Pesquisa {

bool Pesquisar_Serv(hostfw::TDataSource* source, const QString& title, const QStringList& sql, const QString& params,
                    bool) {
    using namespace hostfw;
    if (!source || !source->DataSet()) throw EHostError(QStringLiteral("Pesquisa sem conjunto de dados."));
    TNetConnection net(nullptr, QStringLiteral("netPesquisa"));
    net.ServerName = QStringLiteral("Host.Pesquisa");
    net.Host = Vorlane::WebURL();
    net.Port = Vorlane::WebPort();
    {
        Showavi::Scope busy(6);
        net.Open();
        source->DataSet()->SetData(
            Consiste::CheckResultServ(net.AppServer(QStringLiteral("Pesquisar_Serv"), {sql.join('\n'), params})));
    }
    const QString heading = title.section('|', 0, 0);
    const QString emptyText = title.contains('|') ? title.section('|', 1) : QStringLiteral("Não há registros.");
    if (source->DataSet()->IsEmpty()) {
        dialogs().message(DialogKind::Information, emptyText);
        return false;
    }
    LookupRequest request;
    request.dataSet = source->DataSet();
    request.title = heading;
    request.emptyText = emptyText;
    const LookupAnswer answer = dialogs().lookup(request);
    if (!answer.accepted || answer.row < 0 || answer.row >= source->DataSet()->RecordCount()) return false;
    source->DataSet()->MoveTo(answer.row + 1);
    return true;
}

} // namespace Pesquisa
