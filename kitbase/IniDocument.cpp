#include "IniDocument.h"

#include "AnsiText.h"
#include "ProfileText.h"

// The platform's header maps fopen to the device's own, which opens 8-bit device paths.
#include "platform.h"

#include <algorithm>
#include <memory>

using namespace kitbase;

namespace {

constexpr const char* blanks = " \t\n\r";

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool is_comment_character(char c)
{
    return c == '#' || c == ';';
}

bool is_active(const IniRecord& record)
{
    return record.commented == ' ';
}

bool matches(const IniRecord& record, const std::string& key, const std::string& section)
{
    return names_equal_ignoring_case(record.section, section) && names_equal_ignoring_case(record.key, key);
}

// A key that is commented out is not in force: reads and changes take the active record, and only
// the comment operations reach the commented ones.
enum class Line {
    Active,
    Commented,
};

IniRecord* find_record(IniDocument::Records& records, const std::string& key, const std::string& section,
    Line line = Line::Active)
{
    auto it = std::find_if(records.begin(), records.end(),
        [&](auto& record) { return is_active(record) == (line == Line::Active) && matches(record, key, section); });
    return it == records.end() ? nullptr : &*it;
}

bool is_header(const IniRecord& record)
{
    return record.key.empty();
}

// How a record is written, without its line end; comment lines end in "\n".
std::string line_of(const IniRecord& record)
{
    std::string line = record.comments;
    line += record.commented;
    if (is_header(record))
        line += "[" + record.section + "]";
    else
        line += record.key + "=" + record.value;
    return line;
}

std::string with_line_end(std::string comments)
{
    if (!comments.empty() && comments.back() != '\n')
        comments += '\n';
    return comments;
}

// Loads the file, lets the change run and saves what it made; false without writing when the
// file cannot be read or the change finds nothing to change.
template<typename Change>
bool edit(const std::string& file, Change change)
{
    IniDocument::Records records;
    if (!IniDocument::Load(file, records))
        return false;
    if (!change(records))
        return false;
    return IniDocument::Save(file, records);
}

} // namespace

bool IniDocument::Load(const std::string& file, Records& records)
{
    File stream(fopen(file.c_str(), "rb"));
    if (!stream)
        return false;
    std::string text;
    char chunk[4096];
    size_t read = 0;
    while ((read = fread(chunk, 1, sizeof(chunk), stream.get())) > 0)
        text.append(chunk, read);

    records.clear();
    std::string comments;
    std::string current_section;
    for (std::string_view text_line : split_lines(text)) {
        std::string line(text_line);
        Trim(line, blanks, TrimBoth);
        if (line.empty())
            continue;

        IniRecord record;
        std::string body = line;
        if (is_comment_character(body.front())) {
            std::string rest = body.substr(1);
            Trim(rest, blanks, TrimBoth);
            // A commented-out header or key keeps its place as a record; anything else after a
            // comment character is a comment line.
            if (rest.empty() || (rest.front() != '[' && find_character(rest, '=') == std::string::npos)) {
                comments += line + "\n";
                continue;
            }
            record.commented = body.front();
            body = rest;
        }
        if (body.front() == '[') {
            // A header only when the line begins with '['; its name runs to the first ']'.
            record.section = section_name_of(body);
            current_section = record.section;
        } else if (auto equals = find_character(body, '='); equals != std::string::npos) {
            record.section = current_section;
            record.key = body.substr(0, equals);
            Trim(record.key, " ", TrimEnd);
            record.value = body.substr(equals + 1);
            Trim(record.value, " ", TrimStart);
            if (record.key.empty()) {
                // A line with nothing before its '=' names no key; keep it as text above the next
                // record rather than write it back as a header.
                comments += line + "\n";
                continue;
            }
        } else {
            // Neither header nor key: kept as a comment line of the record that follows.
            comments += line + "\n";
            continue;
        }
        record.comments = std::move(comments);
        comments.clear();
        records.push_back(std::move(record));
    }
    return true;
}

bool IniDocument::Save(const std::string& file, const Records& records)
{
    std::string text;
    for (auto& record : records) {
        for (char c : line_of(record)) {
            if (c == '\n')
                text += '\r';
            text += c;
        }
        text += "\r\n";
    }
    // The new text goes into a file beside the old one, which it replaces only once it is whole:
    // a full volume or a failed write keeps the old file.
    std::u16string target = from_ansi(file.c_str());
    std::u16string temporary = target + u".tmp";
    DeleteFile(temporary.c_str());
    File stream(_wfopen(temporary.c_str(), u"wb"));
    if (!stream)
        return false;
    bool written = fwrite(text.data(), 1, text.size(), stream.get()) == text.size();
    bool closed = fclose(stream.release()) == 0;
    bool existed = GetFileAttributes(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    bool placed = written && closed
        && (existed ? DeleteAndRenameFile(target.c_str(), temporary.c_str()) : MoveFile(temporary.c_str(), target.c_str()));
    if (!placed)
        DeleteFile(temporary.c_str());
    return placed;
}

bool IniDocument::Create(const std::string& file)
{
    return Save(file, {});
}

std::string IniDocument::Content(const std::string& file)
{
    Records records;
    if (!Load(file, records))
        return {};
    std::string content;
    for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0)
            content += '\n';
        content += line_of(records[i]);
    }
    return content;
}

std::vector<std::string> IniDocument::GetSectionNames(const std::string& file)
{
    std::vector<std::string> names;
    for (auto& record : GetSections(file))
        names.push_back(record.section);
    return names;
}

IniDocument::Records IniDocument::GetSections(const std::string& file)
{
    Records records;
    Records headers;
    if (Load(file, records))
        std::copy_if(records.begin(), records.end(), std::back_inserter(headers), is_header);
    return headers;
}

IniDocument::Records IniDocument::GetSection(const std::string& section, const std::string& file)
{
    Records records;
    Records keys;
    if (Load(file, records)) {
        std::copy_if(records.begin(), records.end(), std::back_inserter(keys),
            [&](auto& record) { return !is_header(record) && record.section == section; });
    }
    return keys;
}

IniDocument::Records IniDocument::GetRecord(const std::string& key, const std::string& section, const std::string& file)
{
    Records records;
    if (!Load(file, records))
        return {};
    auto* record = find_record(records, key, section);
    return record ? Records { *record } : Records {};
}

std::string IniDocument::GetValue(const std::string& key, const std::string& section, const std::string& file)
{
    auto found = GetRecord(key, section, file);
    return found.empty() ? std::string() : found.front().value;
}

bool IniDocument::SetValue(const std::string& key, const std::string& value, const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        if (auto* record = find_record(records, key, section)) {
            record->value = value;
            return true;
        }
        IniRecord added { {}, ' ', section, key, value };
        auto first = std::find_if(records.begin(), records.end(), [&](auto& record) { return record.section == section; });
        if (first != records.end()) {
            records.insert(first + 1, std::move(added));
            return true;
        }
        records.push_back({ {}, ' ', section, {}, {} });
        records.push_back(std::move(added));
        return true;
    });
}

bool IniDocument::RenameSection(const std::string& oldName, const std::string& newName, const std::string& file)
{
    return edit(file, [&](Records& records) {
        for (auto& record : records) {
            if (record.section == oldName)
                record.section = newName;
        }
        return true;
    });
}

bool IniDocument::CommentRecord(char character, const std::string& key, const std::string& section, const std::string& file)
{
    // Only '#' and ';' read back as comment characters; any other would become part of the name.
    if (!is_comment_character(character))
        return false;
    return edit(file, [&](Records& records) {
        auto* record = find_record(records, key, section);
        if (!record)
            return false;
        record->commented = character;
        return true;
    });
}

bool IniDocument::UncommentRecord(const std::string& key, const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        auto* record = find_record(records, key, section, Line::Commented);
        if (!record)
            return false;
        record->commented = ' ';
        return true;
    });
}

bool IniDocument::CommentSection(char character, const std::string& section, const std::string& file)
{
    if (!is_comment_character(character))
        return false;
    return edit(file, [&](Records& records) {
        for (auto& record : records) {
            if (record.section == section)
                record.commented = character;
        }
        return true;
    });
}

bool IniDocument::UncommentSection(const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        for (auto& record : records) {
            if (record.section == section)
                record.commented = ' ';
        }
        return true;
    });
}

bool IniDocument::DeleteRecord(const std::string& key, const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        auto* record = find_record(records, key, section);
        if (!record)
            return false;
        records.erase(records.begin() + (record - records.data()));
        return true;
    });
}

bool IniDocument::DeleteSection(const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        std::erase_if(records, [&](auto& record) { return record.section == section; });
        return true;
    });
}

bool IniDocument::SetSectionComments(const std::string& comments, const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        auto header = std::find_if(records.begin(), records.end(),
            [&](auto& record) { return record.section == section && is_header(record); });
        if (header == records.end())
            return false;
        header->comments = with_line_end(comments);
        return true;
    });
}

bool IniDocument::SetRecordComments(const std::string& comments, const std::string& key, const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        auto* record = find_record(records, key, section);
        if (!record)
            return false;
        record->comments = with_line_end(comments);
        return true;
    });
}

bool IniDocument::Sort(const std::string& file, bool descending)
{
    return edit(file, [&](Records& records) {
        // The file's meaning is positional: a key belongs to the header above it. So each header
        // moves with the records below it, and keys above the first header stay at the top.
        auto first_header = std::find_if(records.begin(), records.end(), is_header);
        if (first_header == records.end())
            return false;
        Records sorted(records.begin(), first_header);
        std::vector<Records> groups;
        for (auto it = first_header; it != records.end(); ++it) {
            if (is_header(*it))
                groups.emplace_back();
            groups.back().push_back(std::move(*it));
        }
        auto in_order = [descending](const std::string& a, const std::string& b) { return descending ? b < a : a < b; };
        std::stable_sort(groups.begin(), groups.end(),
            [&](auto& a, auto& b) { return in_order(a.front().section, b.front().section); });
        for (auto& group : groups) {
            std::stable_sort(group.begin() + 1, group.end(), [&](auto& a, auto& b) { return in_order(a.key, b.key); });
            std::move(group.begin(), group.end(), std::back_inserter(sorted));
        }
        records = std::move(sorted);
        return true;
    });
}

bool IniDocument::AddSection(const std::string& section, const std::string& file)
{
    return edit(file, [&](Records& records) {
        records.push_back({ {}, ' ', section, {}, {} });
        return true;
    });
}

bool IniDocument::RecordExists(const std::string& key, const std::string& section, const Records& records)
{
    return std::any_of(records.begin(), records.end(), [&](auto& record) { return is_active(record) && matches(record, key, section); });
}

bool IniDocument::SectionExists(const std::string& section, const Records& records)
{
    return std::any_of(records.begin(), records.end(), [&](auto& record) { return record.section == section; });
}

void IniDocument::Trim(std::string& text, const std::string& characters, int mode)
{
    if (mode == TrimBoth || mode == TrimEnd) {
        auto last = text.find_last_not_of(characters);
        text.erase(last == std::string::npos ? 0 : last + 1);
    }
    if (mode == TrimBoth || mode == TrimStart)
        text.erase(0, std::min(text.find_first_not_of(characters), text.size()));
}
