#pragma once

#include <functional>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kivo {

class Simulator;

// Runs a simulator script: one command a line, '#' starts a comment. A command that fails (an
// unmet expectation, a bad argument) stops the run with the line, what was expected and what was
// found.
class ScriptRunner {
public:
    ScriptRunner(Simulator&, std::ostream& errors);

    // True when every line ran and every expectation held.
    bool run(std::istream& script, const std::string& script_name);
    // Runs one line; an error message when it failed.
    std::optional<std::string> run_line(const std::string& line);

    // Splits a line into words; a word in double quotes may hold blanks.
    static std::vector<std::string> split(const std::string& line);

private:
    using Words = std::vector<std::string>;
    using Command = std::function<std::optional<std::string>(const Words&, const std::string& rest)>;

    void add_commands();
    std::optional<std::string> expect(const Words&, const std::string& rest);
    std::optional<std::string> require_device() const;

    Simulator& m_simulator;
    std::ostream& m_errors;
    std::map<std::string, Command> m_commands;
    size_t m_debug_cursor = 0;
    // Buttons for the next message boxes, in order ('answer').
    std::vector<int> m_answers;
};

} // namespace kivo
