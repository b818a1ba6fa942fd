#pragma once
// Delivery of events over RCON, through the external client or the built-in one as the job
// says: the own server's event command first, then the broadcast to every server at once, at
// most 16 messages at a time, each with a deadline. Nothing of it runs on the game thread but
// the hand-over; its threads start with Start, when the plugin is initialised (outside the
// loader lock), so that no event waits for them.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "notify/RconJob.h"
#include "notify/RconReport.h"
#include "notify/RconSender.h"
#include "platform/ClientEnv.h"

namespace quorvane {

class RconService {
  public:
    // Client runs at a time, and client runs that may wait for one of them.
    static constexpr std::size_t kMaxClients = 16;
    static constexpr std::size_t kMaxWaiting = 1024;

    explicit RconService(std::unique_ptr<platform::ClientEnv> env);
    ~RconService();  // Stop
    RconService(const RconService&) = delete;
    RconService& operator=(const RconService&) = delete;

    // Starts the service's threads. Those that cannot start are tried again at each event.
    void Start();

    // Hands one event over and returns at once, on the game thread. The reason, logged as a
    // warning, when it is refused: the service is stopping, too much waits already, or no
    // thread could be started.
    std::optional<std::string> Submit(RconJob job);

    // For unloading: takes no more jobs, drops the messages waiting, ends every running client
    // at once and waits for the service's threads; every job then is done, its dropped and
    // ended messages "cut off by unloading". Every wait ends, since every client is ended.
    void Stop();

    // The settings were read again: a server without a Quorvane to take quorvane.announce is
    // warned of once more.
    void Reloaded();

    // Until every job handed over so far is done; false at the limit. For tests and benchmarks.
    bool WaitUntilIdle(std::chrono::milliseconds limit);

    // What became of the last event's messages to each server: in order of the server keys.
    struct ServerDelivery {
        std::string ServerKey;
        std::string Address;  // "127.0.0.1:27020"
        std::string Outcome;  // "delivered", or why not ("exit code 4", "ended after 10 s")
        std::chrono::steady_clock::time_point At;
    };
    std::vector<ServerDelivery> LastDeliveries();

    // Called on the delivery's thread when a job is done, with what became of it per server
    // key; for a job whose messages all still waited, in Stop. Set before the first job.
    using Finished =
        std::function<void(const RconJob& job, const std::map<std::string, std::string>&)>;
    void OnFinished(Finished finished) { finished_ = std::move(finished); }

  private:
    struct JobState;
    struct Task {
        std::shared_ptr<JobState> job;
        std::size_t index;  // of its delivery
    };

    // Starts threads up to `wanted`, as many as the work at hand can use; the reason when
    // none runs. Under the lock.
    std::optional<std::string> StartThreads(std::size_t wanted);
    // The broadcasts of a job become tasks. Under the lock.
    void HandOutBroadcasts(const std::shared_ptr<JobState>& state);
    // The job ends before its broadcasts were handed out: each of them is cut off. Under the
    // lock.
    void CutOffBroadcasts(JobState& state);
    void Run();
    void RunTask(const Task& task);
    void Finish(JobState& state);
    // quorvane.announce to one server through the built-in client, which reads the answer; the
    // fallback when the answer shows that no Quorvane took it.
    platform::ClientExit Announce(const RconJob& job, const RconTarget& target, bool& asServerChat);
    RconSender& SenderFor(const RconJob& job) const;

    std::unique_ptr<platform::ClientEnv> env_;
    std::unique_ptr<RconSender> external_;
    std::unique_ptr<RconSender> builtin_;
    Finished finished_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Task> tasks_;
    std::vector<std::unique_ptr<platform::PluginThread>> threads_;
    std::map<std::string, ServerDelivery> last_;
    std::size_t busy_ = 0;  // threads running a task
    std::size_t unfinishedJobs_ = 0;
    bool stopping_ = false;
    bool startFailing_ = false;  // warned once until a thread starts again
    // The servers warned of as having no Quorvane to take quorvane.announce, since the last
    // reload: "KEY ADDRESS:PORT".
    std::set<std::string> withoutQuorvane_;
};

}  // namespace quorvane
