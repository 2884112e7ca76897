#pragma once

#include "ManagerCommands.h" // ScriptCommand

#include <map>
#include <string>

namespace kivo {

class Simulator;

// The phone link's WM_COPYDATA requests from a script: `subscribe TITLE` and `unsubscribe TITLE`
// have the outside window of that title (made when missing) subscribe or unsubscribe itself by
// its title; `dialout NUMBER` asks the phone link to dial.
void add_link_commands(std::map<std::string, ScriptCommand>& commands, Simulator&);

} // namespace kivo
