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
    else if (format == QLatin1String("time"))
        c.format = TReportColumnFormat::Time;
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

const TReportColumn* TReportSection::column(const QString& field) const {
    for (const auto& c : columns)
        if (c.field.compare(field, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

namespace {

QString sqlText(const json& query, const QString& fileName) {
    const auto sql = query.find("sql");
    if (sql != query.end() && sql->is_array()) {  // lines, as SQL is easier to read that way
        QStringList lines;
        for (const auto& line : *sql) {
            if (!line.is_string()) damaged(fileName, QStringLiteral("o item \"sql\" deve ser texto."));
            lines << QString::fromStdString(line.get<std::string>());
        }
        return lines.join('\n');
    }
    return text(query, "sql", fileName, true);
}

QStringList texts(const json& object, const char* key, const QString& fileName) {
    QStringList out;
    for (const auto& t : array(object, key, fileName)) {
        if (!t.is_string()) damaged(fileName, QStringLiteral("o item \"%1\" deve listar textos.").arg(key));
        out << QString::fromStdString(t.get<std::string>());
    }
    return out;
}

void parseQuery(const json& object, const QString& fileName, QString& sql, std::vector<TReportParamDef>& params) {
    const auto query = object.find("query");
    if (query == object.end() || !query->is_object()) damaged(fileName, QStringLiteral("falta a consulta (\"query\")."));
    sql = sqlText(*query, fileName);
    if (sql.trimmed().isEmpty()) damaged(fileName, QStringLiteral("a consulta está vazia."));
    for (const auto& p : array(*query, "params", fileName)) params.push_back(parseParam(p, fileName));
}

// Columns, computed columns, groups, pivot and sums of a table.
void parseSection(const json& object, const QString& fileName, TReportSection& s) {
    parseQuery(object, fileName, s.sql, s.params);
    s.caption = text(object, "caption", fileName, false);
    for (const auto& c : array(object, "columns", fileName)) s.columns.push_back(parseColumn(c, fileName));
    if (s.columns.empty()) damaged(fileName, QStringLiteral("nenhuma coluna definida."));
    for (const auto& c : array(object, "computed", fileName)) {
        if (!c.is_object()) damaged(fileName, QStringLiteral("coluna calculada inválida."));
        s.computed.push_back({text(c, "field", fileName, true).toUpper(), text(c, "expression", fileName, true)});
    }
    for (const auto& g : array(object, "groups", fileName)) {
        if (!g.is_object()) damaged(fileName, QStringLiteral("grupo inválido."));
        s.groups.push_back({text(g, "field", fileName, true).toUpper(), text(g, "header", fileName, false),
                            text(g, "footer", fileName, false)});
    }
    if (const auto p = object.find("pivot"); p != object.end() && !p->is_null()) {
        if (!p->is_object()) damaged(fileName, QStringLiteral("o item \"pivot\" deve ser um objeto."));
        TReportPivot& v = s.pivot;
        if (p->contains("query")) parseQuery(*p, fileName, v.sql, v.params);
        v.key = text(*p, "key", fileName, true).toUpper();
        v.caption = text(*p, "caption", fileName, false, v.key).toUpper();
        v.unit = text(*p, "unit", fileName, false).toUpper();
        v.value = text(*p, "value", fileName, true).toUpper();
        for (const QString& k : texts(*p, "rowKey", fileName)) v.rowKey << k.toUpper();
        if (v.rowKey.isEmpty()) damaged(fileName, QStringLiteral("o item \"pivot\" exige \"rowKey\"."));
        if (const auto d = p->find("decimals"); d != p->end()) {
            if (!d->is_number_integer() || d->get<int>() < 0 || d->get<int>() > 10)
                damaged(fileName, QStringLiteral("casas decimais do item \"pivot\" inválidas."));
            v.decimals = d->get<int>();
        }
        if (const auto w = p->find("width"); w != p->end()) {
            if (!w->is_number() || w->get<double>() <= 0) damaged(fileName, QStringLiteral("largura do item \"pivot\" inválida."));
            v.widthMm = w->get<double>();
        }
    }
    for (const QString& field : texts(object, "sums", fileName)) {
        const QString f = field.toUpper();
        const TReportColumn* c = s.column(f);
        if (!c || c->format != TReportColumnFormat::Number)
            damaged(fileName, QStringLiteral("o total do campo '%1' exige uma coluna numérica.").arg(f));
        s.sums << f;
    }
    s.totalCaption = text(object, "totalCaption", fileName, false, QStringLiteral("Total geral"));
    for (const auto& l : array(object, "endLines", fileName)) {
        if (!l.is_object()) damaged(fileName, QStringLiteral("linha final inválida."));
        TReportSection::Line line{text(l, "caption", fileName, true), texts(l, "expressions", fileName),
                                  text(l, "pivot", fileName, false)};
        if (line.expressions.size() > s.sums.size())
            damaged(fileName, QStringLiteral("a linha '%1' tem mais expressões que totais.").arg(line.caption));
        s.endLines.push_back(line);
    }
    if (const auto c = object.find("showCount"); c != object.end() && c->is_boolean()) s.showCount = c->get<bool>();
    s.footnote = text(object, "footnote", fileName, false);
}

}  // namespace

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

    layout.showCount = true;  // the first table counts its rows unless told otherwise
    parseSection(root, fileName, layout);
    if (const auto group = root.find("group"); group != root.end() && !group->is_null()) {
        if (!group->is_object()) damaged(fileName, QStringLiteral("o item \"group\" deve ser um objeto."));
        layout.groupField = text(*group, "field", fileName, true).toUpper();
        layout.groupCaption = text(*group, "caption", fileName, false);
        const QString caption = layout.groupCaption.isEmpty() ? QString() : layout.groupCaption + QStringLiteral(": ");
        layout.groups.insert(layout.groups.begin(),
                             TReportGroup{layout.groupField, caption + "{" + layout.groupField + "}",
                                          QStringLiteral("Total de {%1}").arg(layout.groupField)});
    } else if (!layout.groups.empty()) {
        layout.groupField = layout.groups.front().field;
    }
    if (const auto header = root.find("pageHeader"); header != root.end() && !header->is_null()) {
        if (!header->is_object()) damaged(fileName, QStringLiteral("o item \"pageHeader\" deve ser um objeto."));
        if (header->contains("query")) parseQuery(*header, fileName, layout.pageHeader.sql, layout.pageHeader.params);
        layout.pageHeader.lines = texts(*header, "lines", fileName);
    }
    for (const auto& s : array(root, "sections", fileName)) {
        if (!s.is_object()) damaged(fileName, QStringLiteral("o item \"sections\" deve listar objetos."));
        TReportSection section;
        parseSection(s, fileName, section);
        layout.sections.push_back(std::move(section));
    }
    return layout;
}

QString TReportLayout::saveCopy(const QString& fileName, const QString& reportCode, const QString& newTitle) {
    QFile source(fileName);
    if (!source.open(QIODevice::ReadOnly))
        throw EHostError(QStringLiteral("Não foi possível ler o arquivo de definição do relatório '%1': %2")
                             .arg(QDir::toNativeSeparators(fileName), source.errorString()));
    json root;
    try {
        root = json::parse(source.readAll().toStdString());
    } catch (const json::exception&) {
        damaged(fileName, QStringLiteral("JSON inválido."));
    }
    root["title"] = newTitle.trimmed().toStdString();
    // The first free name of the report code: ZEP126_copia1.json, ZEP126_copia2.json...
    const QDir dir = QFileInfo(fileName).absoluteDir();
    QString target;
    for (int n = 1; target.isEmpty() || QFile::exists(target); ++n)
        target = dir.absoluteFilePath(QStringLiteral("%1_copia%2.json").arg(reportCode).arg(n));
    QFile out(target);
    if (!out.open(QIODevice::NewOnly | QIODevice::WriteOnly) ||
        out.write(QByteArray::fromStdString(root.dump(2)) + '\n') < 0)
        throw EHostError(QStringLiteral("Não foi possível gravar o arquivo '%1': %2")
                             .arg(QDir::toNativeSeparators(target), out.errorString()));
    return target;
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
