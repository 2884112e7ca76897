#include "AttributeStore.h"

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace kivo {

namespace {

using Records = std::map<std::string, AttributeStore::Record>;

std::filesystem::path sidecar_of(const std::filesystem::path& host)
{
    return host.parent_path() / AttributeStore::sidecar_name;
}

// One line per entry: attributes in hex, creation time in decimal, then the name to the line's end.
Records read_records(const std::filesystem::path& sidecar)
{
    Records records;
    std::ifstream in(sidecar);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        AttributeStore::Record record;
        fields >> std::hex >> record.attributes >> std::dec >> record.creation_time;
        std::string name;
        if (fields.get() != '\t' || !std::getline(fields, name) || name.empty())
            continue;
        records[name] = record;
    }
    return records;
}

void write_records(const std::filesystem::path& sidecar, const Records& records)
{
    std::error_code error;
    if (records.empty()) {
        std::filesystem::remove(sidecar, error);
        return;
    }
    std::ofstream out(sidecar, std::ios::trunc);
    for (auto& [name, record] : records)
        out << std::hex << record.attributes << ' ' << std::dec << record.creation_time << '\t' << name << '\n';
}

} // namespace

std::optional<AttributeStore::Record> AttributeStore::get(const std::filesystem::path& host) const
{
    std::lock_guard guard(m_lock);
    auto records = read_records(sidecar_of(host));
    auto it = records.find(host.filename().string());
    if (it == records.end())
        return std::nullopt;
    return it->second;
}

void AttributeStore::set(const std::filesystem::path& host, Record record)
{
    std::lock_guard guard(m_lock);
    auto sidecar = sidecar_of(host);
    auto records = read_records(sidecar);
    records[host.filename().string()] = record;
    write_records(sidecar, records);
}

void AttributeStore::erase(const std::filesystem::path& host)
{
    std::lock_guard guard(m_lock);
    auto sidecar = sidecar_of(host);
    auto records = read_records(sidecar);
    if (records.erase(host.filename().string()))
        write_records(sidecar, records);
}

void AttributeStore::move(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::lock_guard guard(m_lock);
    auto from_sidecar = sidecar_of(from);
    auto records = read_records(from_sidecar);
    auto it = records.find(from.filename().string());
    std::optional<Record> record;
    if (it != records.end()) {
        record = it->second;
        records.erase(it);
        write_records(from_sidecar, records);
    }
    auto to_sidecar = sidecar_of(to);
    auto target = read_records(to_sidecar);
    if (record)
        target[to.filename().string()] = *record;
    else
        target.erase(to.filename().string());
    write_records(to_sidecar, target);
}

} // namespace kivo
