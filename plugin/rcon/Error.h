#pragma once
// What can go wrong while talking Source RCON. Each kind becomes its own exit code of the
// command-line client, so that a caller can tell a wrong password from a dead server.

#include <stdexcept>
#include <string>

namespace rcon {

enum class ErrorKind {
    Connection,      // cannot resolve or connect, or the server closed the connection
    Authentication,  // the server refused the password
    Timeout,         // no answer before the deadline
    Protocol,        // bytes that are not the Source RCON protocol
    TooLong,         // a text that does not fit into one packet
};

class Error : public std::runtime_error {
  public:
    Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    ErrorKind Kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

}  // namespace rcon
