// One event over RCON: the client's command line, and the clients it starts, in order.

#include <gtest/gtest.h>

#include "ArgvRecord.h"
#include "PluginHost.h"
#include "notify/RconFanout.h"

namespace {

using quorvane::EventSettings;
using quorvane::RconTarget;
using Args = std::vector<std::string>;

TEST(RconCommandLineTest, InsertsEveryValueAsItIs) {
    EXPECT_EQ(quorvane::RconCommandLine(R"(C:\rcon\mcrcon.exe)", {"127.0.0.1", 27020, "pw"},
                                        R"(The \"Big\" Drop)"),
              R"(""C:\rcon\mcrcon.exe" -H127.0.0.1 -P27020 -ppw "The \"Big\" Drop"")");
    EXPECT_EQ(quorvane::RconCommandLine("rcon", {"", 0, ""}, ""), R"(""rcon" -H -P0 -p """)");
    EXPECT_EQ(quorvane::RconCommandLine("rcon", {"h", -1, "p w"}, "t"),
              R"(""rcon" -Hh -P-1 -pp w "t"")");
}

class RconFanoutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EventSettings().MCRconPath = RECORD_ARGS_FILE;
        EventSettings().RconSettings = {"10.0.0.1", 27020, "own"};
    }

    // The arguments of every client started, in order.
    std::vector<Args> Started() const { return record_.Arguments(); }

    testing_support::PluginHost host_;
    testing_support::ArgvRecord record_{host_.Dir().Path() / "argv.jsonl"};
};

TEST_F(RconFanoutTest, OwnServerGetsTheCommandThenEveryServerTheBroadcast) {
    EventSettings().RconInfos = {
        {"10.0.0.2", 27021, "a"}, {"10.0.0.1", 27020, "own"}, {"10.0.0.3", 27022, "c"}};
    quorvane::RconFanout(
        {R"(Meteor on \"The Island\" at 75.000000\nGo!)", "StartEvent meteor 1 2 3"});
    EXPECT_EQ(Started(),
              (std::vector<Args>{
                  {"-H10.0.0.1", "-P27020", "-pown", "StartEvent meteor 1 2 3"},
                  {"-H10.0.0.2", "-P27021", "-pa", R"(Meteor on "The Island" at 75.000000\nGo!)"},
                  {"-H10.0.0.1", "-P27020", "-pown", R"(Meteor on "The Island" at 75.000000\nGo!)"},
                  {"-H10.0.0.3", "-P27022", "-pc", R"(Meteor on "The Island" at 75.000000\nGo!)"},
              }));
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(RconFanoutTest, EmptyTextsAndIncompleteTargetsAreStillSent) {
    EventSettings().RconInfos = {{"", 0, ""}};
    quorvane::RconFanout({"", "cmd"});
    EXPECT_EQ(Started(), (std::vector<Args>{{"-H10.0.0.1", "-P27020", "-pown", "cmd"},
                                            {"-H", "-P0", "-p", ""}}));
}

TEST_F(RconFanoutTest, NoRconInfosMeansOnlyTheOwnServer) {
    quorvane::RconFanout({"broadcast", "cmd"});
    EXPECT_EQ(Started(), (std::vector<Args>{{"-H10.0.0.1", "-P27020", "-pown", "cmd"}}));
}

TEST_F(RconFanoutTest, FailingOrMissingClientsDoNotStopTheJobAndLogNothing) {
    EventSettings().RconInfos = {{"a", 1, "x"}, {"b", 2, "y"}};
    setenv("QUORVANE_ARGV_EXIT", "3", 1);
    quorvane::RconFanout({"text", "cmd"});
    unsetenv("QUORVANE_ARGV_EXIT");
    EXPECT_EQ(Started().size(), 3u);

    EventSettings().MCRconPath = (host_.Dir().Path() / "no-such-client").string();
    quorvane::RconFanout({"text", "cmd"});
    EXPECT_EQ(Started().size(), 3u);
    EXPECT_TRUE(host_.PluginLines().empty());
}

}  // namespace
