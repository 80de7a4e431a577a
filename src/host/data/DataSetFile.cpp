// A saved copy of a data set: fields and rows in a JSON document of our own.
#include "host/data/DataSetPrivate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace hostfw {

namespace {
constexpr const char* kFormat = "hostfw-dataset";
constexpr int kVersion = 1;
constexpr qint64 kMaxBytes = 512LL * 1024 * 1024;  // refuse rather than exhaust memory

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

EHostError damaged(const QString& path, const QString& detail = QString()) {
    QString text = QStringLiteral("O arquivo '%1' está danificado ou incompleto.").arg(shown(path));
    if (!detail.isEmpty()) text += ' ' + detail;
    return EHostError(text);
}
} // namespace

void TClientDataSet::SaveToFile(const QString& path) const {
    protocol::json doc = Data();
    doc["format"] = kFormat;
    doc["version"] = kVersion;
    const QByteArray bytes = QByteArray::fromStdString(doc.dump());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EHostError(
            QStringLiteral("Não foi possível gravar o arquivo '%1': %2.").arg(shown(path), file.errorString()));
}

void TClientDataSet::LoadFromFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) throw EHostError(QStringLiteral("Arquivo '%1' não encontrado.").arg(shown(path)));
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw EHostError(QStringLiteral("Não foi possível ler o arquivo '%1'.").arg(shown(path)));
    if (file.size() > kMaxBytes) throw damaged(path);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EHostError(
            QStringLiteral("Não foi possível ler o arquivo '%1': %2.").arg(shown(path), file.errorString()));

    const auto doc = protocol::json::parse(bytes.constBegin(), bytes.constEnd(), nullptr, false);
    if (doc.is_discarded()) throw damaged(path);
    const auto format = doc.is_object() ? doc.find("format") : doc.end();
    if (!doc.is_object() || format == doc.end() || !format->is_string() || format->get<std::string>() != kFormat)
        throw EHostError(
            QStringLiteral("O arquivo '%1' não é uma cópia salva de um conjunto de dados.").arg(shown(path)));
    const auto version = doc.find("version");
    if (version == doc.end() || !version->is_number_integer()) throw damaged(path);
    if (version->get<std::int64_t>() != kVersion)
        throw EHostError(QStringLiteral("O arquivo '%1' foi gravado numa versão não suportada (%2).")
                             .arg(shown(path))
                             .arg(version->get<std::int64_t>()));
    if (!doc.contains("fields") || !doc.contains("rows")) throw damaged(path);

    PreparedRows prepared;
    try {
        prepared = d->prepare({{"fields", doc["fields"]}, {"rows", doc["rows"]}});
    } catch (const EHostError& e) {
        throw damaged(path, e.message());
    }
    d->apply(std::move(prepared));
}

} // namespace hostfw
