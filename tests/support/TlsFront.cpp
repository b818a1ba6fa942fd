#include "TlsFront.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "Process.h"

namespace testing_support {

TlsFront::TlsFront(const std::filesystem::path& dir, int port) {
    if (std::string(NODE_PROGRAM).empty()) {
        ADD_FAILURE() << "needs Node.js: run scripts/install-deps.sh";
        return;
    }
    std::filesystem::create_directories(dir);
    const auto made =
        RunProcess(OPENSSL_PROGRAM,
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                    "subjectAltName=IP:127.0.0.1", "-keyout", "key.pem", "-out", "cert.pem"},
                   dir);
    if (made.exitCode != 0) {
        ADD_FAILURE() << "openssl made no certificate: " << made.output;
        return;
    }
    process_.emplace(
        NODE_PROGRAM,
        std::vector<std::string>{TLS_FRONT_SCRIPT, "cert.pem", "key.pem", std::to_string(port)},
        dir);
    if (const auto listening =
            process_->WaitForLine(std::regex("listening on ([0-9]+)"), std::chrono::seconds(20))) {
        url_ = "https://127.0.0.1:" + listening->at(1);
    } else {
        ADD_FAILURE() << "the TLS front did not start: " << process_->Output();
    }
}

}  // namespace testing_support
