#pragma once
// quorvane-rcon's exit codes: one per kind of failure, so that a caller can tell them apart.

#include "rcon/Error.h"

namespace rcon::cli {

enum ExitCode : int {
    kOk = 0,              // every command was answered
    kUnexpected = 1,      // anything else (out of memory, ...)
    kUsage = 2,           // bad or missing arguments
    kConnection = 3,      // cannot resolve or connect, or the server closed the connection
    kAuthentication = 4,  // the server refused the password
    kTimeout = 5,         // no connection or no reply within the time-out
    kProtocol = 6,        // the server's bytes are not Source RCON
    kTooLong = 7,         // a command or the password does not fit into one packet
};

inline ExitCode ExitCodeOf(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Connection:
            return kConnection;
        case ErrorKind::Authentication:
            return kAuthentication;
        case ErrorKind::Timeout:
            return kTimeout;
        case ErrorKind::Protocol:
            return kProtocol;
        case ErrorKind::TooLong:
            return kTooLong;
    }
    return kUnexpected;
}

}  // namespace rcon::cli
