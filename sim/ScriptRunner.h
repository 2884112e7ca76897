#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <ostream>
#include <string>
#include <vector>

namespace kivo {

class BluetoothStrip;
class Simulator;

// Runs a simulator script: one command a line, '#' starts a comment. A command that fails (an
// unmet expectation, a bad argument, a program that crashed while the line ran) stops the run with
// the line, what was expected and what was found.
class ScriptRunner {
public:
    ScriptRunner(Simulator&, std::ostream& errors);
    ~ScriptRunner();

    // True when every line ran and every expectation held.
    bool run(std::istream& script, const std::string& script_name);
    // Runs one line; an error message when it failed.
    std::optional<std::string> run_line(const std::string& line);

    // Splits a line into words; a word in double quotes may hold blanks. A quote left open is an
    // error (in `error` when given).
    static std::vector<std::string> split(const std::string& line, std::string* error = nullptr);

    // The limits a script's numbers are held to.
    static constexpr long long longest_wait_ms = 30LL * 24 * 60 * 60 * 1000;
    // How long, on the real clock, an expectation not met yet is read again before it fails.
    static constexpr std::chrono::seconds real_time_expect_grace { 5 };

private:
    using Words = std::vector<std::string>;
    using Command = std::function<std::optional<std::string>(const Words&, const std::string& rest)>;

    void add_commands();
    std::optional<std::string> expect(const Words&, const std::string& rest);
    // 'answer question NAME': the button of Skinkit's question box that answers the next one.
    std::optional<std::string> answer_question(const Words&);
    std::optional<std::string> require_device() const;
    std::optional<std::string> crash_since(size_t debug_sequence) const;

    Simulator& m_simulator;
    std::ostream& m_errors;
    // The folder of the script that runs, where 'tv mux' also looks for its file.
    std::filesystem::path m_script_folder;
    std::map<std::string, Command> m_commands;
    size_t m_debug_cursor = 0;
    // Per window: messages to different windows may arrive in either order on the real clock.
    std::map<std::u16string, uint64_t> m_sent_cursors;
    uint64_t m_broadcast_cursor = 0;
    uint64_t m_wave_message_cursor = 0;
    uint64_t m_text_cursor = 0;
    // Message names the script declared with 'register'.
    std::set<std::string> m_registered;
    // Buttons for the next message boxes, in order ('answer'); the boxes' threads take them.
    std::mutex m_answers_lock;
    std::vector<int> m_answers;
    // Button names for the next question boxes, in order ('answer question').
    std::vector<std::u16string> m_question_answers;
    // Paints the Bluetooth strip for 'shot window' and 'shot strip', made at the first.
    std::unique_ptr<BluetoothStrip> m_strip;
};

} // namespace kivo
