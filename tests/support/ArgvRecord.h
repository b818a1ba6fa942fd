#pragma once
// What the record-args stand-in client was started with, while an ArgvRecord is alive: it
// points the client at a file of its own and reads back one entry per start, in order.

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace testing_support {

struct ClientStart {
    pid_t pid;
    std::vector<std::string> arguments;  // without the program, byte for byte
};

class ArgvRecord {
  public:
    explicit ArgvRecord(std::filesystem::path file);
    ~ArgvRecord();
    ArgvRecord(const ArgvRecord&) = delete;
    ArgvRecord& operator=(const ArgvRecord&) = delete;

    std::vector<ClientStart> Starts() const;
    std::vector<std::vector<std::string>> Arguments() const;
    void Clear() const;

  private:
    std::filesystem::path file_;
};

}  // namespace testing_support
