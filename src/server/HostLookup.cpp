// Server object "Host.Pesquisa": the host's search dialogs that run a query
// through the application server (Pesquisar_Serv).
//
// Rules of Pesquisar_Serv(sqlText, parameterText):
// - Only known query texts run: the client's text must equal one of the
//   allow-listed texts once runs of white space are collapsed; the server then
//   runs its own copy. Any other text: "Consulta não permitida no servidor."
// - The parameter text is "NAME=VALUE" pairs joined by "&", each part
//   percent-encoded ("%XX"; "+" stands for a blank). Every parameter the query
//   declares must be given exactly once and no other; a malformed text, an
//   unknown, repeated or missing parameter is an argument error. Values are
//   bound as text, never spliced into the SQL.
// - The reply carries the query's own columns; columns the query knows to be
//   dates are sent as date fields.
// - Branch (Authorization.h): the lookup's branch parameter (P_CDFILIAL,
//   unless the query names another) must be a branch the session's operator
//   may use, so a lookup lists only those branches' rows. A query without a
//   branch parameter must read only the catalogue shared by every branch.
#include "server/Dispatcher.h"

#include "catalog/CatalogQueries.h"
#include "db/Query.h"
#include "server/Authorization.h"

#include <cctype>
#include <map>
#include <set>

namespace server {

namespace {

struct AllowedQuery {
    const char* sql;
    std::vector<std::string> dateColumns;
    std::string branchParameter = "P_CDFILIAL";  // checked when the query declares it
};

const std::vector<AllowedQuery>& allowedQueries() {
    static const std::vector<AllowedQuery> queries = {{catalog::qryPesqPaci, {"DTNASCPACI"}}};
    return queries;
}

std::string collapseWhitespace(const std::string& text) {
    std::string out;
    bool blank = false;
    for (unsigned char ch : text) {
        if (std::isspace(ch)) {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += static_cast<char>(ch);
    }
    return out;
}

// The ":NAME" parameters a query text declares.
std::set<std::string> declaredParameters(const std::string& sql) {
    std::set<std::string> names;
    for (size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] != ':') continue;
        size_t j = i + 1;
        while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_')) ++j;
        if (j > i + 1) names.insert(sql.substr(i + 1, j - i - 1));
        i = j - 1;
    }
    return names;
}

int hexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return false;
        i += n;
    }
    return true;
}

const char* MalformedParameters = "Texto de parâmetros da consulta malformado.";

std::string percentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            const int hi = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
            const int lo = hi >= 0 ? hexDigit(text[i + 2]) : -1;
            if (lo < 0) throw ArgumentError(MalformedParameters);
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    if (!validUtf8(out) || out.find('\0') != std::string::npos) throw ArgumentError(MalformedParameters);
    return out;
}

db::Params decodeParameters(const std::string& text, const std::set<std::string>& declared) {
    std::map<std::string, std::string> given;
    size_t start = 0;
    while (!text.empty() && start <= text.size()) {
        const size_t amp = std::min(text.find('&', start), text.size());
        const std::string pair = text.substr(start, amp - start);
        const size_t eq = pair.find('=');
        if (eq == std::string::npos || eq == 0) throw ArgumentError(MalformedParameters);
        const std::string name = percentDecode(pair.substr(0, eq));
        if (!declared.count(name)) throw ArgumentError("Parâmetro desconhecido para a consulta: " + name + ".");
        if (!given.emplace(name, percentDecode(pair.substr(eq + 1))).second)
            throw ArgumentError("Parâmetro repetido: " + name + ".");
        start = amp + 1;
    }
    db::Params params;
    for (const auto& name : declared) {
        const auto it = given.find(name);
        if (it == given.end()) throw ArgumentError("Parâmetro não informado: " + name + ".");
        params.push_back({name, it->second});
    }
    return params;
}

void markDateColumns(protocol::DataPacket& packet, const std::vector<std::string>& columns) {
    for (const auto& column : columns) {
        const int index = packet.indexOf(column);
        if (index < 0) continue;
        packet.fields[index].type = protocol::FieldType::Date;
        packet.fields[index].size = 0;
        for (auto& row : packet.rows) {
            auto& v = row[index];
            const auto d = v.is_string() ? protocol::Date::parse(v.get<std::string>().substr(0, 10)) : std::nullopt;
            v = d ? protocol::Value(d->toString()) : protocol::Value(nullptr);
        }
    }
}

void pesquisarServ(CallContext& c) {
    const std::string requested = collapseWhitespace(c.args.text(0));
    const AllowedQuery* query = nullptr;
    for (const auto& q : allowedQueries())
        if (collapseWhitespace(q.sql) == requested) query = &q;
    if (!query) throw OperationError("Consulta não permitida no servidor.");
    const auto params = decodeParameters(c.args.text(1), declaredParameters(query->sql));
    for (const auto& p : params)
        if (p.name == query->branchParameter) requireBranch(c, p.value.value_or(""));
    auto packet = db::query(c.session, query->sql, params);
    markDateColumns(packet, query->dateColumns);
    c.reply(packet);
}

} // namespace

void registerHostLookup(Dispatcher& d) {
    d.add("Host.Pesquisa", "Pesquisar_Serv", 2, pesquisarServ, BranchRule::inHandler());
}

} // namespace server
