#pragma once

#include <string>
#include <vector>

// One section header or key line of an INI file, with the comment lines that stood above it.
struct IniRecord {
    // Every comment line above this one, each ending in "\n", in file order.
    std::string comments;
    // ' ' for an active line, or the comment character ('#' or ';') of a commented-out one.
    char commented = ' ';
    // The header's name, or the section a key belongs to (empty above the first header).
    std::string section;
    // Empty for a section header.
    std::string key;
    std::string value;

    bool operator==(const IniRecord&) const = default;
};

// The library's INI file editor over 8-bit text and 8-bit device paths. It keeps nothing between
// calls: every operation loads the file afresh, and one that changes something saves it at once,
// through a file beside it, so that a failed save keeps the old file. Section and key together
// match without regard to the case of ASCII letters (by characters of the ANSI code page, so the
// second byte of a double-byte character is never folded); a section alone matches exactly.
// The operations on one key take its active record, as a commented-out line is not in force;
// only UncommentRecord takes the commented one.
class IniDocument {
public:
    using Records = std::vector<IniRecord>;

    static bool Load(const std::string& file, Records& records);
    static bool Save(const std::string& file, const Records& records);
    static bool Create(const std::string& file);
    static std::string Content(const std::string& file);

    static std::vector<std::string> GetSectionNames(const std::string& file);
    static Records GetSections(const std::string& file);
    static Records GetSection(const std::string& section, const std::string& file);
    static Records GetRecord(const std::string& key, const std::string& section, const std::string& file);
    static std::string GetValue(const std::string& key, const std::string& section, const std::string& file);

    // The key is found without regard to case, but the section is looked for exactly: to it
    // "Mobile" and "mobile" are two sections, and the second gets a header of its own.
    static bool SetValue(const std::string& key, const std::string& value, const std::string& section, const std::string& file);
    static bool RenameSection(const std::string& oldName, const std::string& newName, const std::string& file);
    static bool CommentRecord(char character, const std::string& key, const std::string& section, const std::string& file);
    static bool UncommentRecord(const std::string& key, const std::string& section, const std::string& file);
    static bool CommentSection(char character, const std::string& section, const std::string& file);
    static bool UncommentSection(const std::string& section, const std::string& file);
    static bool DeleteRecord(const std::string& key, const std::string& section, const std::string& file);
    static bool DeleteSection(const std::string& section, const std::string& file);
    static bool SetSectionComments(const std::string& comments, const std::string& section, const std::string& file);
    static bool SetRecordComments(const std::string& comments, const std::string& key, const std::string& section, const std::string& file);
    static bool Sort(const std::string& file, bool descending);
    static bool AddSection(const std::string& section, const std::string& file);

    static bool RecordExists(const std::string& key, const std::string& section, const Records& records);
    static bool SectionExists(const std::string& section, const Records& records);

    enum TrimMode {
        TrimBoth = 0,
        TrimStart = 1,
        TrimEnd = 2,
    };
    static void Trim(std::string& text, const std::string& characters, int mode);
};
