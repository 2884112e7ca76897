#include "KitbaseTest.h"

#include "IniDocument.h"
#include "ProfileText.h"
#include "Volumes.h"

using namespace kitbase;
using namespace kitbase::test;

namespace {

// A settings file as a person writes one: comments, spaces around '=', blank lines, a commented
// key and header, a '[' inside a value, a stray line and a trailing comment.
constexpr std::string_view sample = "; phone link settings\n"
                                    "\n"
                                    "[mobile]\n"
                                    "ShowUI = 2\n"
                                    "#Address=0012AB\n"
                                    "Name=Car [front]\n"
                                    "; see [notes]\n"
                                    "stray text\n"
                                    "Lang=\t1028\n"
                                    ";[Old]\n"
                                    "[COM]\r\n"
                                    "DUNCOM=COM3\r\n"
                                    "; the end\n";

class IniDocumentTest : public KitbaseTest {
protected:
    const std::string file = "\\NAND\\settings.ini";
    const std::u16string wide_file = u"\\NAND\\settings.ini";

    IniDocumentTest() { write_file(wide_file, sample); }

    std::string saved() { return read_file(wide_file).value_or("<missing>"); }
};

} // namespace

TEST_F(IniDocumentTest, LoadingAndSavingKeepsContentAndCommentsInTheDevicesForm)
{
    IniDocument::Records records;
    ASSERT_TRUE(IniDocument::Load(file, records));
    std::vector<IniRecord> expected = {
        { "; phone link settings\n", ' ', "mobile", "", "" },
        { "", ' ', "mobile", "ShowUI", "2" },
        { "", '#', "mobile", "Address", "0012AB" },
        { "", ' ', "mobile", "Name", "Car [front]" },
        { "; see [notes]\nstray text\n", ' ', "mobile", "Lang", "\t1028" },
        { "", ';', "Old", "", "" },
        { "", ' ', "COM", "", "" },
        { "", ' ', "COM", "DUNCOM", "COM3" },
    };
    EXPECT_EQ(records, expected);

    ASSERT_TRUE(IniDocument::Save(file, records));
    EXPECT_EQ(saved(),
        "; phone link settings\r\n"
        " [mobile]\r\n"
        " ShowUI=2\r\n"
        "#Address=0012AB\r\n"
        " Name=Car [front]\r\n"
        "; see [notes]\r\n"
        "stray text\r\n"
        " Lang=\t1028\r\n"
        ";[Old]\r\n"
        " [COM]\r\n"
        " DUNCOM=COM3\r\n");

    // A second round changes nothing more, and no key leaves its section.
    IniDocument::Records again;
    ASSERT_TRUE(IniDocument::Load(file, again));
    EXPECT_EQ(again, expected);
    EXPECT_EQ(IniDocument::Content(file).substr(0, 40), "; phone link settings\n [mobile]\n ShowUI=");
}

// Ways a settings file lost or misread its keys. Each file lies in the library's folder, so the
// registry mirror reads it as well as the document: both must read every key as it stands, and
// a set through the document must leave the file exactly as given (untouched when it failed).
TEST_F(IniDocumentTest, EveryKeyIsReadAsItStandsAndSurvivesAnEdit)
{
    struct Entry {
        std::u16string section;
        std::u16string key;
        std::u16string value;
    };
    struct Case {
        const char* name;
        std::string_view file;
        std::vector<Entry> reads;
        Entry edit;
        bool full_volume;
        bool edited;
        std::string_view saved;
    };
    // Big5: 也 is A4 5D, 乙 A4 41 and 兀 A4 61; their second bytes are ']', 'A' and 'a'.
    const Case cases[] = {
        { "a full volume during the save", "[COM]\r\nDUNCOM=COM3\r\nBAUD=115200\r\n",
            { { u"COM", u"DUNCOM", u"COM3" }, { u"COM", u"BAUD", u"115200" } }, { u"COM", u"DUNCOM", u"COM5" }, true,
            false, "[COM]\r\nDUNCOM=COM3\r\nBAUD=115200\r\n" },
        { "lines ending in CR alone", "[COM]\rDUNCOM=COM3\rBAUD=115200\r",
            { { u"COM", u"DUNCOM", u"COM3" }, { u"COM", u"BAUD", u"115200" } }, { u"COM", u"BAUD", u"9600" }, false,
            true, " [COM]\r\n DUNCOM=COM3\r\n BAUD=9600\r\n" },
        { "a commented-out duplicate above the key", "[COM]\r\n#DUNCOM=COM1\r\nDUNCOM=COM3\r\n",
            { { u"COM", u"DUNCOM", u"COM3" } }, { u"com", u"duncom", u"COM5" }, false, true,
            " [COM]\r\n#DUNCOM=COM1\r\n DUNCOM=COM5\r\n" },
        { "double-byte names", "[\xA4\x5D]\r\nkey=1\r\n[\xA4\x41]\r\nkey=2\r\n[\xA4\x61]\r\nkey=3\r\n\xA4\x41=a\r\n\xA4\x61=b\r\n",
            { { u"也", u"key", u"1" }, { u"乙", u"key", u"2" }, { u"兀", u"key", u"3" }, { u"兀", u"乙", u"a" },
                { u"兀", u"兀", u"b" } },
            { u"兀", u"KEY", u"4" }, false, true,
            " [\xA4\x5D]\r\n key=1\r\n [\xA4\x41]\r\n key=2\r\n [\xA4\x61]\r\n key=4\r\n \xA4\x41=a\r\n \xA4\x61=b\r\n" },
        // CF and 93 are first bytes whose second bytes are missing; written back before a ']'
        // they would take it in.
        { "an unclosed header ending in broken characters", "[\xA4\x5D\xCF\x93\r\nkey=1\r\n", { { u"也", u"key", u"1" } },
            { u"也", u"key", u"2" }, false, true, " [\xA4\x5D]\r\n key=2\r\n" },
    };
    auto& volumes = device->component<kivo::Volumes>();
    const uint64_t capacity = volumes.capacity(kivo::VolumeId::Nand);
    int number = 0;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::u16string path = std::u16string(folder) + u"case" + char16_t(u'0' + number++) + u".ini";
        std::string ansi_path = to_ansi(path.c_str());
        ASSERT_TRUE(write_file(path, c.file));
        for (auto& read : c.reads) {
            auto label = kivo::to_utf8(read.section + u"/" + read.key);
            EXPECT_EQ(IniDocument::GetValue(to_ansi(read.key.c_str()), to_ansi(read.section.c_str()), ansi_path),
                to_ansi(read.value.c_str()))
                << label;
            WCHAR mirrored[MAX_PATH] = {};
            GetRegProfileString(read.section.c_str(), read.key.c_str(), u"none", mirrored, sizeof(mirrored), path.c_str());
            EXPECT_EQ(std::u16string(mirrored), read.value) << label;
        }

        if (c.full_volume)
            volumes.set_free_bytes(kivo::VolumeId::Nand, 0);
        bool edited = IniDocument::SetValue(to_ansi(c.edit.key.c_str()), to_ansi(c.edit.value.c_str()),
            to_ansi(c.edit.section.c_str()), ansi_path);
        volumes.set_capacity(kivo::VolumeId::Nand, capacity);
        EXPECT_EQ(edited, c.edited);
        EXPECT_EQ(read_file(path), c.saved);
        EXPECT_EQ(GetFileAttributes((path + u".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(IniDocumentTest, ReadsMatchSectionAndKeyWithoutCaseButSectionsAloneExactly)
{
    EXPECT_EQ(IniDocument::GetValue("duncom", "com", file), "COM3");
    EXPECT_EQ(IniDocument::GetValue("DUNCOM", "missing", file), "");
    EXPECT_EQ(IniDocument::GetSection("MOBILE", file).size(), 0u);
    auto keys = IniDocument::GetSection("mobile", file);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[3].key, "Lang");
    EXPECT_EQ(IniDocument::GetSectionNames(file), (std::vector<std::string> { "mobile", "Old", "COM" }));
    EXPECT_EQ(IniDocument::GetSections(file).size(), 3u);
    auto record = IniDocument::GetRecord("NAME", "Mobile", file);
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].value, "Car [front]");
    EXPECT_TRUE(IniDocument::GetRecord("nothing", "mobile", file).empty());
    // A commented-out key is not in force.
    EXPECT_TRUE(IniDocument::GetRecord("Address", "mobile", file).empty());
    EXPECT_EQ(IniDocument::GetValue("Address", "mobile", file), "");

    IniDocument::Records records;
    ASSERT_TRUE(IniDocument::Load(file, records));
    EXPECT_TRUE(IniDocument::RecordExists("showui", "MOBILE", records));
    EXPECT_FALSE(IniDocument::RecordExists("Address", "mobile", records));
    EXPECT_FALSE(IniDocument::RecordExists("showui", "COM", records));
    EXPECT_TRUE(IniDocument::SectionExists("COM", records));
    EXPECT_FALSE(IniDocument::SectionExists("com", records));
}

TEST_F(IniDocumentTest, SetValueReplacesInsertsUnderTheHeaderOrAppendsASection)
{
    ASSERT_TRUE(IniDocument::SetValue("DUNCOM", "COM7", "com", file));
    ASSERT_TRUE(IniDocument::SetValue("Port", "2", "COM", file));
    ASSERT_TRUE(IniDocument::SetValue("Volume", "5", "Audio", file));
    auto com = IniDocument::GetSection("COM", file);
    ASSERT_EQ(com.size(), 2u);
    EXPECT_EQ(com[0].key, "Port");
    EXPECT_EQ(com[1].value, "COM7");
    EXPECT_TRUE(saved().ends_with(" DUNCOM=COM7\r\n [Audio]\r\n Volume=5\r\n")) << saved();
    // The comments above other records are untouched by the edits.
    EXPECT_EQ(IniDocument::GetRecord("Lang", "mobile", file)[0].comments, "; see [notes]\nstray text\n");
}

TEST_F(IniDocumentTest, CommentingAndUncommentingTakeOnlyTheDevicesCommentCharacters)
{
    EXPECT_TRUE(IniDocument::CommentRecord(';', "DUNCOM", "COM", file));
    EXPECT_TRUE(saved().ends_with(" [COM]\r\n;DUNCOM=COM3\r\n")) << saved();
    EXPECT_FALSE(IniDocument::CommentRecord('#', "DUNCOM", "COM", file)) << "no active line is left to comment";
    EXPECT_TRUE(IniDocument::UncommentRecord("Address", "mobile", file));
    EXPECT_EQ(IniDocument::GetRecord("Address", "mobile", file).at(0).commented, ' ');
    EXPECT_FALSE(IniDocument::UncommentRecord("Address", "mobile", file)) << "no commented line is left";
    EXPECT_FALSE(IniDocument::CommentRecord('#', "nothing", "COM", file));
    EXPECT_FALSE(IniDocument::UncommentRecord("nothing", "COM", file));

    EXPECT_TRUE(IniDocument::CommentSection('#', "mobile", file));
    for (auto& record : IniDocument::GetSection("mobile", file))
        EXPECT_EQ(record.commented, '#') << record.key;
    EXPECT_TRUE(IniDocument::UncommentSection("mobile", file));
    EXPECT_EQ(IniDocument::GetSections(file)[0].commented, ' ');

    // Any other character would be read back as part of the name.
    std::string before = saved();
    EXPECT_FALSE(IniDocument::CommentRecord('x', "DUNCOM", "COM", file));
    EXPECT_FALSE(IniDocument::CommentSection('[', "COM", file));
    EXPECT_EQ(saved(), before);
}

TEST_F(IniDocumentTest, DeletingRenamingAddingAndComments)
{
    EXPECT_TRUE(IniDocument::DeleteRecord("showui", "MOBILE", file));
    EXPECT_FALSE(IniDocument::DeleteRecord("showui", "MOBILE", file));
    EXPECT_TRUE(IniDocument::RenameSection("COM", "Serial", file));
    EXPECT_EQ(IniDocument::GetValue("DUNCOM", "Serial", file), "COM3");
    EXPECT_TRUE(IniDocument::DeleteSection("Old", file));
    EXPECT_TRUE(IniDocument::AddSection("Serial", file));
    EXPECT_EQ(IniDocument::GetSectionNames(file), (std::vector<std::string> { "mobile", "Serial", "Serial" }));

    EXPECT_TRUE(IniDocument::SetSectionComments("; the port", "Serial", file));
    EXPECT_TRUE(IniDocument::SetRecordComments("# a\n# b\n", "duncom", "serial", file));
    EXPECT_FALSE(IniDocument::SetSectionComments("x", "Nowhere", file));
    EXPECT_FALSE(IniDocument::SetRecordComments("x", "nothing", "Serial", file));
    EXPECT_EQ(IniDocument::Content(file),
        "; phone link settings\n"
        " [mobile]\n"
        "#Address=0012AB\n"
        " Name=Car [front]\n"
        "; see [notes]\nstray text\n"
        " Lang=\t1028\n"
        "; the port\n"
        " [Serial]\n"
        "# a\n# b\n"
        " DUNCOM=COM3\n"
        " [Serial]");
}

TEST_F(IniDocumentTest, SortingOrdersSectionsAndKeysAndLosesNothing)
{
    write_file(wide_file,
        "top=1\n"
        "[B]\n"
        "z=1\n"
        "a=2\n"
        "[A]\n"
        "k=3\n"
        "[B]\n"
        "m=4\n");
    ASSERT_TRUE(IniDocument::Sort(file, false));
    EXPECT_EQ(IniDocument::Content(file), " top=1\n [A]\n k=3\n [B]\n a=2\n z=1\n [B]\n m=4");
    ASSERT_TRUE(IniDocument::Sort(file, true));
    EXPECT_EQ(IniDocument::Content(file), " top=1\n [B]\n z=1\n a=2\n [B]\n m=4\n [A]\n k=3");

    write_file(wide_file, "only=keys\n");
    EXPECT_FALSE(IniDocument::Sort(file, false));
    EXPECT_EQ(saved(), "only=keys\n");
}

TEST_F(IniDocumentTest, AMissingFileIsNeverCreatedAndCreateMakesAnEmptyOne)
{
    const std::string missing = "\\NAND\\missing.ini";
    IniDocument::Records records { { "", ' ', "kept", "", "" } };
    EXPECT_FALSE(IniDocument::Load(missing, records));
    EXPECT_EQ(records.size(), 1u);
    EXPECT_FALSE(IniDocument::SetValue("k", "v", "s", missing));
    EXPECT_FALSE(IniDocument::AddSection("s", missing));
    EXPECT_FALSE(IniDocument::Sort(missing, false));
    EXPECT_EQ(IniDocument::Content(missing), "");
    EXPECT_TRUE(IniDocument::GetSectionNames(missing).empty());
    EXPECT_EQ(GetFileAttributes(u"\\NAND\\missing.ini"), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(IniDocument::Create(missing));
    EXPECT_EQ(read_file(u"\\NAND\\missing.ini"), "");
    EXPECT_FALSE(IniDocument::Create("\\Nowhere\\x.ini"));
}

TEST(IniTrim, RemovesTheCharactersFromTheChosenEnds)
{
    struct Case {
        int mode;
        const char* expected;
    };
    const Case cases[] = { { IniDocument::TrimStart, "x\t" }, { IniDocument::TrimEnd, "  x" }, { IniDocument::TrimBoth, "x" } };
    for (auto& c : cases) {
        std::string text = "  x\t";
        IniDocument::Trim(text, " \t\n\r", c.mode);
        EXPECT_EQ(text, c.expected) << c.mode;
    }
    std::string blank = " \t\r\n";
    IniDocument::Trim(blank, " \t\n\r", IniDocument::TrimStart);
    EXPECT_EQ(blank, "");
}
