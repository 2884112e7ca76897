#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

class Simulator;

// The script's `manager` command: the Bluetooth manager's failure knobs (missing, present,
// lacks ENTRY, fail ENTRY CODE [N], delay ENTRY MS, clear). They hold across boots.
using ScriptCommand = std::function<std::optional<std::string>(const std::vector<std::string>& words, const std::string& rest)>;
void add_manager_commands(std::map<std::string, ScriptCommand>& commands, Simulator&);

} // namespace kivo
