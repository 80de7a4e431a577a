#include "survey/RecentFoods.h"

#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"

#include <QDebug>

namespace survey {

namespace {

constexpr qsizetype MaxCodeLength = 20;

}  // namespace

bool RecentFoods::listable(const QString& code) {
    if (code.isEmpty() || code.size() > MaxCodeLength) return false;
    for (const QChar c : code)
        if (c.unicode() > 127 || !c.isLetterOrNumber()) return false;
    return true;
}

QString RecentFoods::codes(const SurveyContext& context, ItemKind kind) {
    if (context.patient.isEmpty() || context.branch.isEmpty() || !context.day.isValid()) return {};
    const QString key = context.branch + QLatin1Char('|') + context.patient + QLatin1Char('|') +
                        context.day.toString(Qt::ISODate);
    if (key != key_) {
        QStringList products, dishes;
        const hostfw::RemoteResult reply = net_->AppServer("GetAlimRecentes", {context.patient, context.branch, context.day});
        failure_.clear();
        if (!reply.ok) {
            failure_ = reply.error;
        } else {
            try {
                const auto packet = protocol::DataPacket::fromJson(reply.data);
                for (size_t r = 0; r < packet.rows.size(); ++r) {
                    const auto& type = packet.at(r, "IDTIPO");
                    const auto& code = packet.at(r, "CDALIMENTO");
                    if (!type.is_string() || !code.is_string()) continue;
                    const QString text = QString::fromStdString(code.get<std::string>());
                    if (!listable(text)) continue;  // unmarked rather than matched wrongly
                    (type.get<std::string>() == "D" ? dishes : products) << text;
                }
            } catch (const std::exception& e) {
                failure_ = QString::fromUtf8(e.what());
            }
        }
        if (!failure_.isEmpty()) {
            // Asked again at the next lookup; the server may be back by then.
            qWarning().noquote() << "recent foods not read:" << failure_;
            key_.clear();
            products_.clear();
            dishes_.clear();
            return {};
        }
        key_ = key;
        products_ = products.join(QLatin1Char(','));
        dishes_ = dishes.join(QLatin1Char(','));
    }
    return kind == ItemKind::Dish ? dishes_ : products_;
}

void setRecentFoodParams(hostfw::TADOIBQuery* query, const QString& codes) {
    query->ParamByName("P_RECENTES").SetAsString(codes);
}

void showRecentMark(hostfw::TField* flag) {
    flag->DisplayLabel = QStringLiteral("Recente");
    flag->DisplayWidth = 7;
    // A symbol, not a word: the lookup's search looks into every column.
    flag->OnGetText = [](hostfw::TField* field, QString& text, bool display) {
        text = field->AsString();
        if (display) text = text == QLatin1String("S") ? QStringLiteral("●") : QString();
    };
}

}  // namespace survey
