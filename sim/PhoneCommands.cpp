#include "PhoneCommands.h"

#include "ScriptWords.h"
#include "SimulatedPhones.h"
#include "Simulator.h"
#include "WideText.h"

#include <map>

namespace kivo {

namespace {

const char* const phone_usage = "usage: phone add NAME ADDRESS MODEL | phone remove|pair NAME | phone ring NUMBER [CALLER]"
                                " | phone answer | phone hangup | phone dial NUMBER | phone sms NUMBER TEXT"
                                " | phone range out|in [NAME] | phone signal|battery N [NAME] | phone lacks FUNCTION [NAME]";
const char* const function_names = "sms, files, phonebook, dialup, handsfree, smslist or calllog";

std::string join(const std::vector<std::string>& words, size_t from)
{
    std::string text;
    for (size_t i = from; i < words.size(); ++i)
        text += (i > from ? " " : "") + words[i];
    return text;
}

// Twelve hexadecimal digits, or six pairs between colons as addresses are often written.
std::optional<PhoneAddress> script_address(const std::string& text)
{
    if (text.size() != 17)
        return parse_address(text);
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i % 3 == 2) {
            if (text[i] != ':')
                return std::nullopt;
        } else {
            digits += text[i];
        }
    }
    return parse_address(digits);
}

// The phone a command acts on, with its name for the messages.
struct Target {
    PhoneAddress address = 0;
    std::string name;
};

std::string phone_names(const SimulatedPhones& phones)
{
    std::string names;
    for (auto& phone : phones.phones())
        names += (names.empty() ? "" : ", ") + to_utf8(phone.identity.name);
    return names.empty() ? "none" : names;
}

// A phone's name for the messages (its address, should it have gone meanwhile).
std::string name_of(const SimulatedPhones& phones, PhoneAddress address)
{
    auto data = phones.phone(address);
    return data ? to_utf8(data->identity.name) : address_text(address);
}

std::optional<std::string> find_current(const SimulatedPhones& phones, Target& target)
{
    auto address = phones.current_phone();
    if (!address)
        return std::string("no phone to act on: none is connected, in a call or paired (pair one with 'phone pair NAME')");
    target = { *address, name_of(phones, *address) };
    return std::nullopt;
}

// The phone named by the words from `name_at` on (joined, so a name needs no quotes at the end of
// a line), or the current phone when there are none.
std::optional<std::string> find_target(const SimulatedPhones& phones, const std::vector<std::string>& words, size_t name_at, Target& target)
{
    if (words.size() > name_at) {
        std::string name = join(words, name_at);
        auto address = phones.find_by_name(to_utf16(name));
        if (!address)
            return "no phone named \"" + name + "\" (the phones: " + phone_names(phones) + ")";
        target = { *address, name_of(phones, *address) };
        return std::nullopt;
    }
    return find_current(phones, target);
}

std::optional<std::string> refused(PhoneError error, const std::string& what, const Target& target)
{
    if (error == PhoneError::None)
        return std::nullopt;
    return "cannot " + what + " " + target.name + ": " + to_string(error);
}

std::optional<int> bars(const std::string& word)
{
    auto value = script_number(word);
    if (!value || *value < 0 || *value > phone_max_bars)
        return std::nullopt;
    return static_cast<int>(*value);
}

// The number of F6's call and F9's message: the phone's first contact with a number.
std::u16string contact_number(const std::optional<PhoneData>& phone)
{
    if (!phone)
        return PhoneCommands::fallback_number;
    for (auto& contact : phone->contacts) {
        for (auto& field : contact.fields) {
            if (is_phone_number_field(field.type) && !field.text.empty())
                return field.text;
        }
    }
    return PhoneCommands::fallback_number;
}

std::string describe_call(const PhoneCall& call)
{
    std::string text = to_string(call.state);
    if (call.state != CallState::Idle)
        text += " (" + to_utf8(call.number) + (call.name.empty() ? "" : " " + to_utf8(call.name)) + ")";
    return text;
}

} // namespace

SimulatedPhones& PhoneCommands::phones() const
{
    return m_simulator.device().component<SimulatedPhones>();
}

void PhoneCommands::settle()
{
    if (m_simulator.booted() && m_simulator.device().running())
        m_simulator.device().run_until_idle();
}

std::optional<std::string> PhoneCommands::run(const std::vector<std::string>& words)
{
    if (words.size() < 2)
        return std::string(phone_usage);
    const std::string& what = words[1];
    auto result = [&]() -> std::optional<std::string> {
        if (what == "add") {
            if (words.size() != 5)
                return std::string("usage: phone add NAME ADDRESS MODEL (a NAME or MODEL with blanks in double quotes)");
            auto address = script_address(words[3]);
            if (!address)
                return "not a Bluetooth address: " + words[3] + " (twelve hexadecimal digits, as 001A2B3C4D5E or 00:1A:2B:3C:4D:5E)";
            PhoneIdentity identity { to_utf16(words[2]), *address, to_utf16(words[4]), {}, {} };
            if (auto error = m_simulator.device_for_commands())
                return error;
            switch (phones().add_phone(identity)) {
            case PhoneError::None:
                return std::nullopt;
            case PhoneError::PhoneExists:
                return "a phone named \"" + words[2] + "\" or with the address " + address_text(*address) + " exists already";
            default:
                return "cannot add \"" + words[2] + "\": a name of 1 to " + std::to_string(phone_max_name_chars)
                    + " characters and a model of at most " + std::to_string(phone_max_field_chars) + " are needed";
            }
        }
        // The other commands act on a phone there is.
        bool known = what == "remove" || what == "pair" || what == "ring" || what == "answer" || what == "hangup"
            || what == "dial" || what == "sms" || what == "range" || what == "signal" || what == "battery" || what == "lacks";
        if (!known)
            return "unknown phone command '" + what + "' (" + phone_usage + ")";
        if (auto error = m_simulator.device_for_commands())
            return error;
        auto& phones = this->phones();
        Target target;
        if (what == "remove" || what == "pair") {
            if (words.size() < 3)
                return "usage: phone " + what + " NAME";
            if (auto error = find_target(phones, words, 2, target))
                return error;
            return what == "remove" ? refused(phones.remove_phone(target.address), "remove", target)
                                    : refused(phones.pair(target.address), "pair", target);
        }
        if (what == "answer" || what == "hangup") {
            if (words.size() != 2)
                return "usage: phone " + what;
            return what == "answer" ? answer() : hang_up();
        }
        if (what == "ring" || what == "dial") {
            if (words.size() < 3 || (what == "dial" && words.size() != 3))
                return what == "ring" ? std::string("usage: phone ring NUMBER [CALLER]") : std::string("usage: phone dial NUMBER");
            if (auto error = find_current(phones, target))
                return error;
            auto number = to_utf16(words[2]);
            return what == "ring" ? refused(phones.ring(target.address, number, to_utf16(join(words, 3))), "ring", target)
                                  : refused(phones.dial(target.address, number), "dial on", target);
        }
        if (what == "sms") {
            if (words.size() < 4)
                return std::string("usage: phone sms NUMBER TEXT");
            if (auto error = find_current(phones, target))
                return error;
            return refused(phones.receive_sms(target.address, to_utf16(words[2]), to_utf16(join(words, 3))), "send a message to", target);
        }
        if (what == "range") {
            if (words.size() < 3 || (words[2] != "out" && words[2] != "in"))
                return std::string("usage: phone range out|in [NAME]");
            if (auto error = find_target(phones, words, 3, target))
                return error;
            return refused(phones.set_in_range(target.address, words[2] == "in"), "move", target);
        }
        if (what == "signal" || what == "battery") {
            auto level = words.size() >= 3 ? bars(words[2]) : std::nullopt;
            if (!level)
                return "usage: phone " + what + " N [NAME] (N bars, 0 to " + std::to_string(phone_max_bars) + ")";
            if (auto error = find_target(phones, words, 3, target))
                return error;
            return what == "signal" ? refused(phones.set_signal(target.address, *level), "set the signal of", target)
                                    : refused(phones.set_battery(target.address, *level), "set the battery of", target);
        }
        // lacks
        if (words.size() < 3)
            return "usage: phone lacks FUNCTION [NAME] (" + std::string(function_names) + ")";
        auto function = parse_phone_function(words[2]);
        if (!function)
            return "unknown phone function '" + words[2] + "' (" + function_names + ")";
        if (auto error = find_target(phones, words, 3, target))
            return error;
        return refused(phones.set_lacks(target.address, *function), "change the functions of", target);
    }();
    settle();
    return result;
}

std::optional<std::string> PhoneCommands::expect(const std::vector<std::string>& words) const
{
    if (words.size() < 3)
        return std::string("usage: expect phone connected|disconnected|idle|ringing|outgoing|active [NAME] | expect phone dtmf DIGITS [NAME] | expect bt on|off");
    auto& phones = this->phones();
    if (words[1] == "bt") {
        if (words.size() != 3 || (words[2] != "on" && words[2] != "off"))
            return std::string("usage: expect bt on|off");
        std::string found = phones.radio_power() ? "on" : "off";
        if (found != words[2])
            return "expected Bluetooth " + words[2] + ", found " + found;
        return std::nullopt;
    }
    const std::string& state = words[2];
    if (state == "connected" || state == "disconnected") {
        auto linked = phones.connected_phone();
        std::string linked_name = linked ? name_of(phones, *linked) : std::string();
        bool met = false;
        std::string wanted = state == "connected" ? "a phone connected" : "no phone connected";
        if (words.size() > 3) {
            Target target;
            if (auto error = find_target(phones, words, 3, target))
                return error;
            met = (linked == target.address) == (state == "connected");
            wanted = target.name + " " + state;
        } else {
            met = linked.has_value() == (state == "connected");
        }
        if (!met)
            return "expected " + wanted + ", found " + (linked ? linked_name + " connected" : "no phone connected");
        return std::nullopt;
    }
    static const std::map<std::string, CallState> call_states {
        { "idle", CallState::Idle }, { "ringing", CallState::Incoming }, { "outgoing", CallState::Outgoing }, { "active", CallState::Active }
    };
    bool dtmf = state == "dtmf";
    auto call_state = call_states.find(state);
    if (!dtmf && call_state == call_states.end())
        return "expect phone " + state + " is not known (connected, disconnected, idle, ringing, outgoing, active or dtmf DIGITS)";
    if (dtmf && words.size() < 4)
        return std::string("usage: expect phone dtmf DIGITS [NAME]");
    Target target;
    if (auto error = find_target(phones, words, dtmf ? 4 : 3, target))
        return error;
    auto world = phones.world_of(target.address);
    if (!world)
        return "no phone named \"" + target.name + "\" any more";
    auto& call = world->call;
    if (dtmf) {
        // The tones the far party heard during the call under way, all of them in order.
        if (to_utf8(call.dtmf_heard) != words[3])
            return "expected " + target.name + "'s far party to have heard the tones " + words[3] + ", found "
                + (call.dtmf_heard.empty() ? std::string("none") : to_utf8(call.dtmf_heard)) + " (its call " + describe_call(call) + ")";
        return std::nullopt;
    }
    if (call.state != call_state->second)
        return "expected " + target.name + "'s call " + state + ", found " + describe_call(call);
    return std::nullopt;
}

std::optional<std::string> PhoneCommands::on_current_phone(const char* what, const std::function<PhoneError(SimulatedPhones&, PhoneAddress)>& action)
{
    if (auto error = m_simulator.device_for_commands())
        return error;
    Target target;
    if (auto error = find_current(phones(), target))
        return error;
    auto error = refused(action(phones(), target.address), what, target);
    settle();
    return error;
}

std::optional<std::string> PhoneCommands::ring_from_contact()
{
    return on_current_phone("ring", [](SimulatedPhones& phones, PhoneAddress phone) {
        return phones.ring(phone, contact_number(phones.phone(phone)));
    });
}

std::optional<std::string> PhoneCommands::answer()
{
    return on_current_phone("answer on", [](SimulatedPhones& phones, PhoneAddress phone) { return phones.answer(phone); });
}

std::optional<std::string> PhoneCommands::hang_up()
{
    return on_current_phone("hang up on", [](SimulatedPhones& phones, PhoneAddress phone) { return phones.hang_up(phone); });
}

std::optional<std::string> PhoneCommands::sms_from_contact()
{
    return on_current_phone("send a message to", [](SimulatedPhones& phones, PhoneAddress phone) {
        return phones.receive_sms(phone, contact_number(phones.phone(phone)), sample_sms_text);
    });
}

std::optional<std::string> PhoneCommands::toggle_range()
{
    return on_current_phone("move", [](SimulatedPhones& phones, PhoneAddress phone) {
        auto world = phones.world_of(phone);
        return world ? phones.set_in_range(phone, !world->in_range) : PhoneError::UnknownPhone;
    });
}

} // namespace kivo
