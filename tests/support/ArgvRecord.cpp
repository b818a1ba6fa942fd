#include "ArgvRecord.h"

#include <cstdlib>
#include <fstream>

#include <nlohmann/json.hpp>

namespace testing_support {

ArgvRecord::ArgvRecord(std::filesystem::path file) : file_(std::move(file)) {
    // Inherited by everything started from here on: the plugin's clients, game servers.
    setenv("QUORVANE_ARGV_RECORD", file_.c_str(), 1);
}

ArgvRecord::~ArgvRecord() {
    unsetenv("QUORVANE_ARGV_RECORD");
}

namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

std::vector<ClientStart> ArgvRecord::Starts() const {
    std::vector<ClientStart> starts;
    std::ifstream file(file_);
    for (std::string line; std::getline(file, line);) {
        const auto entry = nlohmann::json::parse(line);
        ClientStart start{entry["pid"].get<pid_t>(), {}};
        for (const auto& hex : entry["hex"]) {
            start.arguments.push_back(FromHex(hex.get<std::string>()));
        }
        starts.push_back(std::move(start));
    }
    return starts;
}

std::vector<std::vector<std::string>> ArgvRecord::Arguments() const {
    std::vector<std::vector<std::string>> arguments;
    for (auto& start : Starts()) {
        arguments.push_back(std::move(start.arguments));
    }
    return arguments;
}

void ArgvRecord::Clear() const {
    std::filesystem::remove(file_);
}

}  // namespace testing_support
