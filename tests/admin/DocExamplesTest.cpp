// Every JSON example of README.md and docs/ as quorvane-config reads it, so that no page shows
// a file that would leave a server inactive or draw a warning (an announcement no player sees).
//
// A block fenced ```json is a cluster file or a piece of one:
// - an object with a server section (a member holding RconSettings) is a whole file;
// - anything else is a piece, checked inside README's minimal file (its first example):
//   members without their braces are wrapped in them, a member whose value holds an
//   Eventlabel is an event of the section Island, and every other member is merged into the
//   top level (JSON merge patch, so "Island": {...} adds to that section).
// A fence naming another file (```json events.jsonl) shows that file: events.jsonl is read by
// `quorvane-config history`, anything else need only be JSON.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Process.h"
#include "ServerDir.h"

namespace {

using nlohmann::json;

struct Block {
    std::string where;  // FILE:LINE of the opening fence
    std::string file;   // the file the fence names, if any
    std::string text;
};

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The run of backticks that opens or closes a fence, and the info string after it.
std::pair<std::string, std::string> Fence(const std::string& line) {
    const std::string trimmed = Trimmed(line);
    const auto length = (std::min)(trimmed.find_first_not_of('`'), trimmed.size());
    // A backtick after the fence makes the line inline code, not a fence.
    if (length < 3 || trimmed.find('`', length) != std::string::npos) {
        return {};
    }
    return {trimmed.substr(0, length), trimmed.substr(length)};
}

std::vector<Block> JsonBlocks(const std::string& markdown, const std::string& name) {
    std::vector<Block> out;
    std::istringstream lines(markdown);
    std::string fence;  // of the block open, if any
    std::optional<Block> open;
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const auto [ticks, info] = Fence(line);
        if (fence.empty()) {
            if (!ticks.empty()) {
                fence = ticks;
                std::istringstream words(info);
                std::string language;
                std::string file;
                words >> language >> file;
                if (language == "json") {
                    open = Block{name + ":" + std::to_string(number), file, {}};
                }
            }
        } else if (ticks.size() >= fence.size() && Trimmed(info).empty()) {
            if (open) {
                out.push_back(*open);
            }
            fence.clear();
            open.reset();
        } else if (open) {
            open->text += line + "\n";
        }
    }
    if (!fence.empty()) {
        ADD_FAILURE() << name << ": a fenced block that is never closed";
    }
    return out;
}

std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::filesystem::path kRoot = QUORVANE_SOURCE_DIR;

// README's minimal config.json, its first JSON example.
json MinimalFile() {
    const auto blocks = JsonBlocks(Read(kRoot / "README.md"), "README.md");
    if (blocks.empty()) {
        throw std::runtime_error("README.md has no JSON example to hold a piece");
    }
    return json::parse(blocks.front().text);
}

// The cluster file a block stands for.
json ClusterFile(const Block& block) {
    json piece = json::parse(block.text, nullptr, false);
    if (piece.is_discarded()) {
        std::string members = Trimmed(block.text);
        if (members.ends_with(",")) {
            members.pop_back();
        }
        piece = json::parse("{" + members + "}", nullptr, false);
    }
    if (piece.is_discarded() || !piece.is_object()) {
        throw std::runtime_error("neither JSON nor members of an object");
    }
    for (const auto& [name, value] : piece.items()) {
        if (value.is_object() && value.contains("RconSettings")) {
            return piece;
        }
    }
    json file = MinimalFile();
    json patch = json::object();
    for (const auto& [name, value] : piece.items()) {
        if (value.is_object() && value.contains("Eventlabel")) {
            file["Island"]["RandomEvents"][name] = value;
        } else {
            patch[name] = value;
        }
    }
    file.merge_patch(patch);
    return file;
}

// Empty when quorvane-config takes the block without a word; else what it said.
std::string Verdict(const Block& block) {
    testing_support::ServerDir dir;
    const auto run = [&](const std::vector<std::string>& arguments) {
        return testing_support::RunProcess(QUORVANE_CONFIG_FILE, arguments, dir.Path(),
                                           std::chrono::seconds(60));
    };
    if (block.file.empty() || block.file == "config.json") {
        json file;
        try {
            file = ClusterFile(block);
        } catch (const std::exception& e) {
            return e.what();
        }
        dir.WriteFile("config.json", file.dump(2));
        const auto result = run({"check", "config.json"});
        return result.exitCode == 0 ? ""
                                    : "exit " + std::to_string(result.exitCode) + "\n" +
                                          result.output + "checked as:\n" + file.dump(2);
    }
    std::size_t records = 0;
    std::istringstream lines(block.text);
    for (std::string line; std::getline(lines, line);) {
        if (!Trimmed(line).empty()) {
            ++records;
        }
    }
    if (block.file.ends_with(".jsonl")) {
        dir.WriteFile(block.file, block.text);
        const auto result = run({"history", block.file, "--json"});
        const json summary = json::parse(result.output, nullptr, false);
        if (result.exitCode != 0 || summary.is_discarded() || summary["unreadable"] != 0 ||
            summary["due"] != records) {
            return "not " + std::to_string(records) + " record(s):\n" + result.output;
        }
        return {};
    }
    return json::accept(block.text) ? "" : "not JSON";
}

TEST(DocExamplesTest, EveryJsonExampleOfTheReadmeAndTheDocsIsTakenWithoutAWord) {
    std::vector<std::filesystem::path> pages{kRoot / "README.md"};
    for (const auto& entry : std::filesystem::directory_iterator(kRoot / "docs")) {
        if (entry.path().extension() == ".md") {
            pages.push_back(entry.path());
        }
    }
    for (const auto& page : pages) {
        const auto name = std::filesystem::relative(page, kRoot).generic_string();
        const auto blocks = JsonBlocks(Read(page), name);
        // README's minimal file at least: none found there means the fences are misread.
        if (page == pages.front()) {
            EXPECT_FALSE(blocks.empty());
        }
        for (const auto& block : blocks) {
            EXPECT_EQ(Verdict(block), "") << block.where << "\n" << block.text;
        }
    }
}

// The rules above, on pieces that each hold one fault: checked where they belong, so that a
// piece cannot pass only because it was not read.
TEST(DocExamplesTest, APieceIsCheckedWhereItBelongs) {
    struct Case {
        const char* what;
        std::string markdown;
        std::string said;  // in the verdict; empty: none
    };
    const Case cases[] = {
        {"top-level members without braces",
         "```json\n\"EventWarningMinutes\": [10, 5],\n"
         "\"BroadcastEventWarningMessage\": \"{Eventlabel} in {Minutes} minute(s)\",\n```\n",
         "BroadcastEventWarningMessage does not begin with ServerChat or Broadcast"},
        {"an event, placed in the section",
         "```json\n\"boss\": { \"Eventlabel\": \"Boss\", \"RandomCCCs\": [\"0 0\"] }\n```\n",
         "Invalid coordinate string (less than 3 numbers): 0 0"},
        {"a section's key, merged into it",
         "```json\n{ \"Island\": { \"ActiveHours\": \"18-23\" } }\n```\n",
         "ActiveHours (18-23) cannot be read"},
        {"a whole file, checked as it is",
         "```json\n{ \"Island\": { \"RconSettings\": { \"RconIP\": \"10.0.0.5\", "
         "\"RconPort\": 27020, \"RconPassword\": \"pw\" } } }\n```\n",
         "Island: inactive"},
        {"a history line that is no record",
         "```json events.jsonl\n{\"time\":\"2026-12-08T23:51:53Z\"}\n```\n", "not 1 record(s)"},
        {"a fence of another language around one", "````md\n```json\n{\n```\n````\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto blocks = JsonBlocks(c.markdown, "case.md");
        if (c.said.empty()) {
            EXPECT_TRUE(blocks.empty());
            continue;
        }
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_NE(Verdict(blocks[0]).find(c.said), std::string::npos) << Verdict(blocks[0]);
    }
}

}  // namespace
