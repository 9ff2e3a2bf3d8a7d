#pragma once
#include "foundation/CommandRunner.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

// Answers from a script keyed by the arguments joined with "|", and records every command
// in that form; a command not in the script gets the fallback answer.
class FakeCommandRunner : public CommandRunner {
public:
    explicit FakeCommandRunner(std::map<std::string, CommandResult> script = {},
                               CommandResult fallback = {kCommandNotStarted, ""})
        : m_script(std::move(script)), m_fallback(std::move(fallback)) {}

    CommandResult run(const std::vector<std::string>& argv) override {
        std::string line;
        for (const std::string& a : argv) line += (line.empty() ? "" : "|") + a;
        calls.push_back(line);
        auto it = m_script.find(line);
        return it == m_script.end() ? m_fallback : it->second;
    }

    std::vector<std::string> calls;

private:
    std::map<std::string, CommandResult> m_script;
    CommandResult m_fallback;
};
