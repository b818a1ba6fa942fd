// webhook-receiver: a local stand-in for a Discord webhook, for the cluster demonstration and
// the tests. Prints "Listening on http://127.0.0.1:PORT" once it answers, then every post as
// it is answered, and runs until SIGINT or SIGTERM.
//
// Control, while it runs:
//   POST /control/answer  {"answer": "204|400|401|404|429|500|stall", "retry_after": seconds,
//                          "times": posts (then Discord's own answers again)}
//   GET  /control/answer  the current answer
//   GET  /control/requests  every request so far, as the record file has them

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Receiver.h"
#include "ReceiverArgs.h"
#include "StopSignal.h"

int main(int argc, char** argv) {
    standin::PrepareStopSignal();
    webhook::ReceiverOptions options;
    try {
        options = webhook::ParseReceiverArgs(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "webhook-receiver: " << e.what() << "\n" << webhook::kReceiverUsage << "\n";
        return 2;
    }
    options.console = &std::cout;
    webhook::Receiver receiver(options);
    try {
        receiver.Start();
    } catch (const std::exception& e) {
        std::cerr << "webhook-receiver: " << e.what() << "\n";
        return 1;
    }
    std::cout << "Listening on " << receiver.BaseUrl() << " (answering "
              << webhook::AnswerName(options.behaviour.answer) << ")" << std::endl;
    standin::WaitForStop(std::nullopt);
    receiver.Stop();
    std::cout << "Stopped" << std::endl;
    return 0;
}
