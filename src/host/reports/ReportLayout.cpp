#include "host/reports/ReportLayout.h"

#include "host/core/Failures.h"
#include "host/core/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <nlohmann/json.hpp>

namespace hostfw {

namespace {

using json = nlohmann::json;

// A damaged layout: the reason goes to the user together with the file name.
[[noreturn]] void damaged(const QString& fileName, const QString& reason) {
    throw EHostError(QStringLiteral("O arquivo de definição do relatório '%1' está danificado: %2")
                         .arg(QFileInfo(fileName).fileName(), reason));
}

QString text(const json& object, const char* key, const QString& fileName, bool required,
             const QString& fallback = QString()) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required) damaged(fileName, QStringLiteral("falta o item \"%1\".").arg(key));
        return fallback;
    }
    if (!it->is_string()) damaged(fileName, QStringLiteral("o item \"%1\" deve ser um texto.").arg(key));
    return QString::fromStdString(it->get<std::string>());
}

const json& array(const json& object, const char* key, const QString& fileName) {
    static const json empty = json::array();
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return empty;
    if (!it->is_array()) damaged(fileName, QStringLiteral("o item \"%1\" deve ser uma lista.").arg(key));
    return *it;
}

TReportParamDef parseParam(const json& j, const QString& fileName) {
    if (!j.is_object()) damaged(fileName, QStringLiteral("parâmetro da consulta inválido."));
    TReportParamDef p;
    p.name = text(j, "name", fileName, true);
    if (p.name.startsWith(':')) p.name.remove(0, 1);
    const QString type = text(j, "type", fileName, false, QStringLiteral("string")).toLower();
    if (type == QLatin1String("date"))
        p.type = TReportParamType::Date;
    else if (type != QLatin1String("string"))
        damaged(fileName, QStringLiteral("tipo '%1' do parâmetro '%2' desconhecido.").arg(type, p.name));
    return p;
}

TReportColumn parseColumn(const json& j, const QString& fileName) {
    if (!j.is_object()) damaged(fileName, QStringLiteral("coluna inválida."));
    TReportColumn c;
    c.field = text(j, "field", fileName, true).toUpper();
    c.caption = text(j, "caption", fileName, false, c.field);
    if (const auto w = j.find("width"); w != j.end()) {
        if (!w->is_number() || w->get<double>() <= 0)
            damaged(fileName, QStringLiteral("largura da coluna '%1' inválida.").arg(c.field));
        c.widthMm = w->get<double>();
    }
    const QString align = text(j, "align", fileName, false, QStringLiteral("left")).toLower();
    if (align == QLatin1String("right"))
        c.alignment = Qt::AlignRight;
    else if (align == QLatin1String("center"))
        c.alignment = Qt::AlignHCenter;
    else if (align != QLatin1String("left"))
        damaged(fileName, QStringLiteral("alinhamento '%1' desconhecido.").arg(align));
    const QString format = text(j, "format", fileName, false, QStringLiteral("text")).toLower();
    if (format == QLatin1String("number"))
        c.format = TReportColumnFormat::Number;
    else if (format == QLatin1String("date"))
        c.format = TReportColumnFormat::Date;
    else if (format != QLatin1String("text"))
        damaged(fileName, QStringLiteral("formato '%1' desconhecido.").arg(format));
    if (const auto d = j.find("decimals"); d != j.end()) {
        if (!d->is_number_integer() || d->get<int>() < 0 || d->get<int>() > 10)
            damaged(fileName, QStringLiteral("casas decimais da coluna '%1' inválidas.").arg(c.field));
        c.decimals = d->get<int>();
    }
    return c;
}

}  // namespace

const TReportColumn* TReportLayout::column(const QString& field) const {
    for (const auto& c : columns)
        if (c.field.compare(field, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

TReportLayout TReportLayout::parse(const QByteArray& content, const QString& fileName) {
    json root;
    try {
        root = json::parse(content.toStdString());
    } catch (const json::exception& e) {
        damaged(fileName, QStringLiteral("JSON inválido (%1).").arg(QString::fromStdString(e.what())));
    }
    if (!root.is_object()) damaged(fileName, QStringLiteral("o conteúdo deve ser um objeto."));

    TReportLayout layout;
    layout.fileName = fileName;
    layout.title = text(root, "title", fileName, true);
    const QString orientation = text(root, "orientation", fileName, false, QStringLiteral("portrait")).toLower();
    if (orientation == QLatin1String("landscape"))
        layout.landscape = true;
    else if (orientation != QLatin1String("portrait"))
        damaged(fileName, QStringLiteral("orientação '%1' desconhecida.").arg(orientation));

    const auto query = root.find("query");
    if (query == root.end() || !query->is_object()) damaged(fileName, QStringLiteral("falta a consulta (\"query\")."));
    const json& sql = (*query)["sql"];
    if (sql.is_array()) {  // lines, as SQL is easier to read that way
        QStringList lines;
        for (const auto& line : sql) {
            if (!line.is_string()) damaged(fileName, QStringLiteral("o item \"sql\" deve ser texto."));
            lines << QString::fromStdString(line.get<std::string>());
        }
        layout.sql = lines.join('\n');
    } else {
        layout.sql = text(*query, "sql", fileName, true);
    }
    if (layout.sql.trimmed().isEmpty()) damaged(fileName, QStringLiteral("a consulta está vazia."));
    for (const auto& p : array(*query, "params", fileName)) layout.params.push_back(parseParam(p, fileName));

    for (const auto& c : array(root, "columns", fileName)) layout.columns.push_back(parseColumn(c, fileName));
    if (layout.columns.empty()) damaged(fileName, QStringLiteral("nenhuma coluna definida."));

    if (const auto group = root.find("group"); group != root.end() && !group->is_null()) {
        if (!group->is_object()) damaged(fileName, QStringLiteral("o item \"group\" deve ser um objeto."));
        layout.groupField = text(*group, "field", fileName, true).toUpper();
        layout.groupCaption = text(*group, "caption", fileName, false);
    }
    for (const auto& s : array(root, "sums", fileName)) {
        if (!s.is_string()) damaged(fileName, QStringLiteral("o item \"sums\" deve listar campos."));
        const QString field = QString::fromStdString(s.get<std::string>()).toUpper();
        const TReportColumn* c = layout.column(field);
        if (!c || c->format != TReportColumnFormat::Number)
            damaged(fileName, QStringLiteral("o total do campo '%1' exige uma coluna numérica.").arg(field));
        layout.sums << field;
    }
    return layout;
}

TReportLayout TReportLayout::load(const QString& fileName) {
    QFile file(fileName);
    if (!file.exists()) {
        const QFileInfo info(fileName);
        throw EHostError(reportNotFoundText(reportNotFoundTemplate(), info.completeBaseName(), info.absolutePath()));
    }
    if (!file.open(QIODevice::ReadOnly))
        throw EHostError(QStringLiteral("Não foi possível ler o arquivo de definição do relatório '%1': %2")
                             .arg(fileName, file.errorString()));
    return parse(file.readAll(), QFileInfo(fileName).absoluteFilePath());
}

QString reportsFolder() {
    const QString fromEnv = qEnvironmentVariable("INQUERITO_REPORTS_DIR");
    if (!fromEnv.isEmpty()) return QDir(fromEnv).absolutePath();
    const QString exeFolder = session().executableFolder;
    if (!exeFolder.isEmpty()) return QDir(exeFolder).absoluteFilePath(QStringLiteral("reports"));
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("reports"));
}

QStringList reportLayoutFiles(const QString& reportCode, const QString& folder) {
    const QDir dir(folder);
    if (reportCode.trimmed().isEmpty() || !dir.exists()) return {};
    QStringList files;
    const auto entries = dir.entryInfoList({reportCode.trimmed() + QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : entries) files << info.absoluteFilePath();
    return files;
}

QString reportNotFoundText(const QString& messageTemplate, const QString& reportCode, const QString& folder) {
    QString result = messageTemplate;
    const QString values[] = {reportCode, QDir::toNativeSeparators(folder)};
    int from = 0;
    for (const QString& value : values) {
        const int at = result.indexOf(QLatin1String("%s"), from);
        if (at < 0) break;
        result.replace(at, 2, value);
        from = at + value.size();
    }
    return result;
}

QString reportNotFoundTemplate() {
    return QStringLiteral("O arquivo contendo a definição do relatório de código '%s' não foi encontrado no "
                          "diretório '%s'.");
}

}  // namespace hostfw
