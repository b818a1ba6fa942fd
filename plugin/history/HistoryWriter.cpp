#include "history/HistoryWriter.h"

#include <fstream>
#include <system_error>
#include <utility>

#include "base/PluginLog.h"

namespace quorvane {
namespace {

// Whether the file's last byte ends a line: a write cut short (a full disk, a crash) must not
// glue the next line to it, or both are lost to a reader.
bool EndsALine(const std::filesystem::path& file, std::uintmax_t size) {
    if (size == 0) {
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    char last = '\n';
    in.seekg(-1, std::ios::end);
    return !in.get(last) || last == '\n';
}

}  // namespace

HistoryWriter::HistoryWriter(std::filesystem::path file, std::uintmax_t rotateAt)
    : file_(std::move(file)), rotateAt_(rotateAt) {}

void HistoryWriter::Write(const std::vector<std::string>& lines) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(file_, error);
    if (error) {
        size = 0;
    }
    std::ofstream out;
    bool ok = true;
    for (const auto& line : lines) {
        if (size > 0 && size + line.size() + 1 > rotateAt_) {
            out.close();
            std::filesystem::path old = file_;
            old.replace_extension(".1" + file_.extension().string());
            std::filesystem::rename(file_, old, error);
            size = 0;
        }
        if (!out.is_open()) {
            const bool newLine = !EndsALine(file_, size);
            out.open(file_, std::ios::app | std::ios::binary);
            if (newLine) {
                out << '\n';
                ++size;
            }
        }
        out << line << '\n' << std::flush;
        ok = ok && static_cast<bool>(out);
        size += line.size() + 1;
    }
    if (!ok) {
        if (!std::exchange(failing_, true)) {
            PluginLog()->warn("The event history {} cannot be written; events go on without it",
                              file_.string());
        }
        return;
    }
    failing_ = false;
}

}  // namespace quorvane
