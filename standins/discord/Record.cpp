#include "Record.h"

namespace webhook {

nlohmann::json ToJson(const Record& record) {
    nlohmann::json headers = nlohmann::json::array();
    for (const auto& [name, value] : record.headers) {
        headers.push_back({name, value});
    }
    return {
        {"method", record.method}, {"path", record.target}, {"content_type", record.contentTypes},
        {"headers", headers},      {"body", record.body},   {"status", record.status}};
}

std::string ToJsonLine(const Record& record) {
    return ToJson(record).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace webhook
