#include "KitbaseTest.h"

#include "IniDocument.h"

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
    auto record = IniDocument::GetRecord("ADDRESS", "Mobile", file);
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].commented, '#');
    EXPECT_TRUE(IniDocument::GetRecord("nothing", "mobile", file).empty());

    IniDocument::Records records;
    ASSERT_TRUE(IniDocument::Load(file, records));
    EXPECT_TRUE(IniDocument::RecordExists("showui", "MOBILE", records));
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
    EXPECT_EQ(IniDocument::GetRecord("DUNCOM", "COM", file)[0].commented, ';');
    EXPECT_TRUE(IniDocument::UncommentRecord("Address", "mobile", file));
    EXPECT_EQ(IniDocument::GetRecord("Address", "mobile", file)[0].commented, ' ');
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
