// Saved copies of a data set: round trip and refusal of files that are not one.
#include "host/data/DataSet.h"
#include "host/core/Failures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace hostfw;
using protocol::json;

namespace {

json filterPacket() {
    return {{"fields",
             {{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
              {{"name", "CDPACIENTE"}, {"type", "string"}, {"size", 12}},
              {{"name", "DTNASC"}, {"type", "date"}},
              {{"name", "PESO"}, {"type", "float"}},
              {{"name", "IDADE"}, {"type", "integer"}}}},
            {"rows", {{"0001", "000000000042", "1980-02-29", 70.25, 46}, {"0002", "ação", nullptr, nullptr, nullptr}}}};
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(DataSetFile, SavedCopyLoadsBackWithTypes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("FILPACI.cds");
    TClientDataSet source(nullptr, "cdsOrigem");
    source.SetData(filterPacket());
    source.SaveToFile(path);

    const auto doc = json::parse(readFile(path).toStdString());
    EXPECT_EQ(doc["format"], "hostfw-dataset");
    EXPECT_EQ(doc["version"], 1);

    TClientDataSet target(nullptr, "cdsFiltro");
    TField* filial = target.AddField("CDFILIAL", TFieldType::ftString, 4);
    target.LoadFromFile(path);
    EXPECT_EQ(target.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(target.RecNo(), 1);
    EXPECT_EQ(filial->AsString(), "0001");
    EXPECT_EQ(target.FieldByName("DTNASC")->AsDate(), QDate(1980, 2, 29));
    EXPECT_EQ(target.FieldByName("IDADE")->DataType(), TFieldType::ftInteger);
    EXPECT_EQ(target.Data(), source.Data());
    EXPECT_EQ(target.ChangeCount(), 0);
}

TEST(DataSetFile, FilesThatAreNoCopyAreRefusedAndNothingChanges) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TClientDataSet ds(nullptr, "cdsFiltro");
    ds.SetData(filterPacket());
    ds.Next();
    const json before = ds.Data();

    const auto refusal = [&](const QString& path) {
        QString message;
        try {
            ds.LoadFromFile(path);
        } catch (const EHostError& e) {
            message = e.message();
        }
        EXPECT_EQ(ds.Data(), before) << message.toStdString();
        EXPECT_EQ(ds.RecNo(), 2);
        EXPECT_EQ(ds.FieldCount(), 5);
        return message;
    };

    EXPECT_TRUE(refusal(dir.filePath("nada.cds")).contains("não encontrado"));

    const QString saved = dir.filePath("ok.cds");
    ds.SaveToFile(saved);
    const QByteArray whole = readFile(saved);
    ASSERT_FALSE(whole.isEmpty());

    const QString cut = dir.filePath("cortado.cds");
    writeFile(cut, whole.left(whole.size() / 2));
    EXPECT_TRUE(refusal(cut).contains("danificado"));

    const QString foreign = dir.filePath("outro.json");
    writeFile(foreign, R"({"fields":[],"rows":[]})");
    EXPECT_TRUE(refusal(foreign).contains("não é uma cópia"));

    const QString binary = dir.filePath("binario.cds");
    writeFile(binary, QByteArray("\x00\xff\xfe\x01", 4));
    EXPECT_FALSE(refusal(binary).isEmpty());

    const QString future = dir.filePath("futuro.cds");
    writeFile(future, R"({"format":"hostfw-dataset","version":2,"fields":[],"rows":[]})");
    EXPECT_TRUE(refusal(future).contains("versão"));

    // Well-formed JSON whose rows do not fit their fields.
    const QString wrongRows = dir.filePath("linhas.cds");
    writeFile(wrongRows,
              R"({"format":"hostfw-dataset","version":1,"fields":[{"name":"CDFILIAL","type":"string","size":4},)"
              R"({"name":"NOVO","type":"integer"}],"rows":[["0001",1],["0002","x"]]})");
    EXPECT_TRUE(refusal(wrongRows).contains("danificado"));
    EXPECT_EQ(ds.FindField("NOVO"), nullptr);

    EXPECT_FALSE(refusal(dir.path()).isEmpty());  // a folder, not a file
}

TEST(DataSetFile, SaveFailureIsReported) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TClientDataSet ds(nullptr, "cds");
    ds.SetData(filterPacket());
    const QString path = dir.filePath("sem/pasta/copia.cds");
    try {
        ds.SaveToFile(path);
        FAIL() << "a missing folder cannot hold the file";
    } catch (const EHostError& e) {
        EXPECT_TRUE(e.message().startsWith("Não foi possível gravar o arquivo"));
    }
    EXPECT_FALSE(QFile::exists(path));
}
