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

std::vector<ClientStart> ArgvRecord::Starts() const {
    std::vector<ClientStart> starts;
    std::ifstream file(file_);
    for (std::string line; std::getline(file, line);) {
        const auto entry = nlohmann::json::parse(line);
        starts.push_back(
            {entry["pid"].get<pid_t>(), entry["args"].get<std::vector<std::string>>()});
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
