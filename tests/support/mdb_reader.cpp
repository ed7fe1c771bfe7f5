#include "support/mdb_reader.h"

#include "support/process.h"

#include <algorithm>
#include <sstream>

namespace support {

std::vector<MdbReaderResult> mdbReader(const std::vector<MdbReaderRequest>& requests) {
    std::vector<std::string> command{"node",
                                     CORVANTA_SOURCE_DIR "/tests/support/mdb_reader/dump.mjs"};
    for (const auto& request : requests) {
        command.push_back(request.path.string());
        command.push_back(request.password);
        command.push_back(request.table);
    }
    ProcessResult run = runProcess(command);
    std::vector<MdbReaderResult> results;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);) {
        if (line == "\x1eok" || line ==
                                    "\x1e"
                                    "failed") {
            results.push_back({.ok = line == "\x1eok"});
        } else if (!results.empty() && results.back().ok) {
            results.back().lines.push_back(line);
        } else if (!results.empty()) {
            results.back().failure += line;
        }
    }
    for (size_t index = 0; index < requests.size(); ++index) {
        if (index == results.size()) {
            results.push_back({.failure = "mdb-reader did not answer (exit code " +
                                          std::to_string(run.exitCode) + "): " + run.err});
        }
        auto& lines = results[index].lines;
        if (!requests[index].table.empty() && lines.size() > 1) {
            std::sort(lines.begin() + 1, lines.end());
        }
    }
    results.resize(requests.size());
    return results;
}

MdbReaderResult mdbReaderTables(const std::filesystem::path& path, const std::string& password) {
    return mdbReader({{.path = path, .password = password}}).front();
}

MdbReaderResult mdbReaderRows(const std::filesystem::path& path, const std::string& table,
                              const std::string& password) {
    return mdbReader({{.path = path, .password = password, .table = table}}).front();
}

}  // namespace support
