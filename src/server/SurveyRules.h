#pragma once
// Checks and lookups shared by the survey's server operations: column sizes,
// reading change packets by field name, survey periods, services, meal times
// and item sequence numbers.
#include "db/Query.h"
#include "protocol/PacketRow.h"
#include "server/Operation.h"

#include <compare>
#include <initializer_list>
#include <optional>
#include <string>

namespace server::survey {

// Column sizes of the survey's codes (db/schema.sql).
namespace width {
constexpr size_t Filial = 4;
constexpr size_t Paciente = 12;
constexpr size_t Servico = 5;
constexpr size_t PratProd = 20;
constexpr size_t Produto = 10;
constexpr size_t Prato = 10;
constexpr size_t FilAuxPrat = 4;
constexpr size_t Medicase = 5;
constexpr size_t Sequencia = 3;
constexpr size_t Hora = 4;
constexpr size_t Tipo = 1;
}  // namespace width

// Fails with ArgumentError unless every named field is in the packet.
void requireFields(const protocol::ChangePacket& packet, std::initializer_list<const char*> names);

// Change packet rows are read with protocol's reader.
using protocol::PacketRow;

// A survey period is identified by branch, patient and start date.
struct PeriodKey {
    std::string filial;
    std::string paciente;
    protocol::Date inicio;
    auto operator<=>(const PeriodKey&) const = default;
};

// The end of a period, or nullopt when it does not exist. With lock set, the
// period row stays locked (PostgreSQL) until the transaction ends, so that
// writers of one period's items queue up; SQLite's BEGIN IMMEDIATE already
// serialises writers.
std::optional<protocol::Date> periodEnd(CallContext& ctx, const PeriodKey& key, bool lock);

// The end of the period, after checking that it exists and holds the day;
// fails with OperationError otherwise.
protocol::Date requireDayInPeriod(CallContext& ctx, const PeriodKey& key, const protocol::Date& day, bool lock);

// Fails with OperationError unless the service belongs to the branch.
void requireService(CallContext& ctx, const std::string& filial, const std::string& servico);

// A meal time is "" (none) or HHMM with HH <= 23 and MM <= 59.
bool isValidMealTime(const std::string& hhmm);

// Sequence numbers are 1 to 3 digits; stored as three ("007").
std::optional<int> parseSequence(const std::string& text);
std::string sequenceText(int number);
constexpr int MaxSequence = 999;

// The highest item number in use for the period, service and day; 0 if none.
int highestSequence(CallContext& ctx, const PeriodKey& key, const std::string& servico, const protocol::Date& day);

// Parameters naming one day of one service of a period.
db::Params dayParams(const PeriodKey& key, const std::string& servico, const protocol::Date& day);

// One service on one survey day of a period.
struct SurveyDay {
    PeriodKey period;
    std::string servico;
    protocol::Date dia;
};

// The survey screen's usual arguments: patient, branch, service, period
// start, period end, day. A period is identified by its start; the end is
// only checked to be a date.
SurveyDay surveyDayArgs(const Args& args);
db::Params dayParams(const SurveyDay& d);

// SQL condition matching dayParams, on columns named with the given prefix
// ("I." for an aliased table).
std::string dayCondition(const std::string& prefix);

// The parameters the statement names; SOCI refuses to bind any other.
db::Params usedIn(const std::string& sql, const db::Params& params);

// Number as query parameter text, exact enough to compare stored doubles.
std::string numberText(double value);

}  // namespace server::survey
