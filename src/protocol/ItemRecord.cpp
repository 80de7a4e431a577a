#include "protocol/ItemRecord.h"

namespace protocol::item {

const std::vector<Field>& fields() {
    static const std::vector<Field> f = {
        {"CDPACIENTE", FieldType::String, 12},  {"CDPRATPROD", FieldType::String, 20},
        {"NMPRATPROD", FieldType::String, 50},  {"CDMEDICASE", FieldType::String, 5},
        {"IDTIPOINQUER", FieldType::String, 1}, {"DTINIINQU", FieldType::Date, 0},
        {"DTFININQU", FieldType::Date, 0},      {"QTALIMINQUER", FieldType::Float, 0},
        {"DTINQUERITO", FieldType::Date, 0},    {"QTALIMMEDCAS", FieldType::Float, 0},
        {"CDFILIAL", FieldType::String, 4},     {"CDSERVFILI", FieldType::String, 5},
        {"CDFILAUXPRAT", FieldType::String, 4}, {"NRSEQUINQUER", FieldType::String, 3},
        {"HRSERVINQ", FieldType::String, 4},    {"NMMEDICASE", FieldType::String, 40},
        {"SGUNIDADE", FieldType::String, 10},   {"CDPRATPRODAUX", FieldType::String, 10},
        {"IDVERMEDICA", FieldType::String, 1},
    };
    return f;
}

const std::vector<Field>& storedKeyFields() {
    static const std::vector<Field> f = {
        {"CDFILIAL", FieldType::String, 4},   {"CDPACIENTE", FieldType::String, 12}, {"DTINIINQU", FieldType::Date, 0},
        {"DTFININQU", FieldType::Date, 0},    {"CDSERVFILI", FieldType::String, 5},  {"DTINQUERITO", FieldType::Date, 0},
        {"NRSEQUINQUER", FieldType::String, 3},
    };
    return f;
}

}  // namespace protocol::item
