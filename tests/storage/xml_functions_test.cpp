#include "xml_functions.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string Show(QStringView t)
{
    return "\"" + t.toString().toStdString() + "\"";
}

TEST(XmlInt, AcceptsExactlyTheIntegerForms)
{
    struct Case {
        const char *text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"0", 0}, {"42", 42}, {"   42", 42}, {"+7", 7}, {"-7", -7}, {"007", 7},
        {"$1F", 31}, {"$1f", 31}, {"x1F", 31}, {"X1f", 31}, {"0x1F", 31}, {"0X1f", 31},
        {"-$1F", -31}, {"-0x1f", -31}, {"$FFFFFFFF", -1}, {"0x80000000", INT32_MIN},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"2147483648", {}}, {"-2147483649", {}}, {"$100000000", {}},
        {"42 ", {}}, {"", {}}, {" ", {}}, {"+", {}}, {"-", {}}, {"$", {}}, {"0x", {}},
        {"1.5", {}}, {"12a", {}}, {"1F", {}}, {"\t5", {}}, {"- 5", {}}, {"1 000", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseXmlInt(QString::fromLatin1(c.text)), c.value) << Show(QString::fromLatin1(c.text));
}

TEST(XmlBool, NumbersThenWordsElseNothing)
{
    struct Case {
        const char *text;
        std::optional<bool> value;
    };
    const Case cases[] = {
        {"-1", true}, {"1", true}, {"2", true}, {"0", false}, {" 0", false}, {"$0", false},
        {"0.0", false}, {"0.5", true}, {"-.25", true},
        {"True", true}, {"TRUE", true}, {"true", true}, {"False", false}, {"fAlSe", false},
        {"yes", {}}, {"", {}}, {"True ", {}}, {".", {}}, {"1e3x", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseXmlBool(QString::fromLatin1(c.text)), c.value) << Show(QString::fromLatin1(c.text));
}

TEST(LineBreaks, OnlyCrLfPairsAreEncoded)
{
    struct Case {
        QString plain, encoded;
    };
    const Case cases[] = {
        {QStringLiteral("first\r\nsecond"), QStringLiteral("first&#xD;second")},
        {QStringLiteral("a\nb"), QStringLiteral("a\nb")},
        {QStringLiteral("a\rb"), QStringLiteral("a\rb")},
        {QStringLiteral("a\r\r\nb\n\r"), QStringLiteral("a\r&#xD;b\n\r")},
        {QStringLiteral("\r\n\r\n"), QStringLiteral("&#xD;&#xD;")},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EncodeLineBreaks(c.plain), c.encoded) << Show(c.plain);
        EXPECT_EQ(DecodeLineBreaks(c.encoded), c.plain) << Show(c.encoded);
    }
    EXPECT_EQ(DecodeLineBreaks(QStringLiteral("a&#xd;b")), QStringLiteral("a&#xd;b")) << "small d stays";
}

class XmlDoc : public ::testing::Test {
protected:
    pugi::xml_node load(const char *xml)
    {
        const auto result = doc.load_string(xml, pugi::parse_default | pugi::parse_comments);
        EXPECT_TRUE(result) << result.description();
        return doc.document_element();
    }
    std::string saved() const
    {
        std::ostringstream out;
        doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
        return out.str();
    }
    pugi::xml_document doc;
};

TEST_F(XmlDoc, ElementReadersTakeTheFirstChildAndFallBackToTheDefault)
{
    const pugi::xml_node s = load("<S><N>12</N><N>99</N><B>-1</B><Empty/><Nested><x>5</x></Nested>"
                                  "<Bad>12 </Bad><C><![CDATA[7]]></C><W>tRuE</W><Two>1<!--c-->2</Two></S>");
    EXPECT_EQ(ReadIntElement(s, "N", 0), 12);
    EXPECT_TRUE(ReadBoolElement(s, "B", false));
    EXPECT_TRUE(ReadBoolElement(s, "W", false));
    EXPECT_EQ(ReadIntElement(s, "C", 0), 7);
    for (const char *name : {"Missing", "Empty", "Nested", "Bad", "Two", "n"}) {
        EXPECT_EQ(ReadIntElement(s, name, -5), -5) << name;
        EXPECT_TRUE(ReadBoolElement(s, name, true)) << name;
        EXPECT_FALSE(ReadBoolElement(s, name, false)) << name;
    }
}

TEST_F(XmlDoc, WritersUseDecimalMinusOneAndZeroInOrder)
{
    pugi::xml_node root = doc.append_child("R");
    EXPECT_TRUE(WriteIntElement(root, "I", -42));
    EXPECT_TRUE(WriteBoolElement(root, "T", true));
    EXPECT_TRUE(WriteBoolElement(root, "F", false));
    pugi::xml_node w = root.append_child("W");
    WriteIntAttribute(w, "Top", 3);
    WriteIntAttribute(w, "Left", -4);
    WriteBoolAttribute(w, "Height", true);
    WriteStrAttribute(w, "Name", QStringLiteral("a&b\r\nc"));
    EXPECT_EQ(saved(), "<R><I>-42</I><T>-1</T><F>0</F>"
                       "<W Top=\"3\" Left=\"-4\" Height=\"-1\" Name=\"a&amp;b&amp;#xD;c\"/></R>");
    EXPECT_FALSE(WriteIntElement(pugi::xml_node(), "X", 1)) << "no node, no element";
}

TEST_F(XmlDoc, StringsSurviveTheDocumentWithTheirLineBreaks)
{
    const QString values[] = {QStringLiteral("one\r\ntwo"), QStringLiteral("lone\nfeed"),
                              QStringLiteral("lone\rreturn"), QString::fromUtf16(u"\u0417\u0432\u043e\u043d\u043e\u043a \U0001F514"),
                              QStringLiteral("  blanks  "), QStringLiteral("<\"quotes\" & 'more'>")};
    pugi::xml_node root = doc.append_child("R");
    for (const QString &v : values)
        WriteStrAttribute(root.append_child("E"), "V", v);
    pugi::xml_document reread;
    ASSERT_TRUE(reread.load_string(saved().c_str()));
    pugi::xml_node e = reread.document_element().first_child();
    for (const QString &v : values) {
        EXPECT_EQ(ReadStrAttribute(e, "V", QString()), v) << Show(v);
        e = e.next_sibling();
    }
}

TEST_F(XmlDoc, AttributeReadersFallBackToTheDefault)
{
    const pugi::xml_node s = load("<S><E I=\"12\" B=\"0\" Bad=\"x\" Name=\"a&amp;#xD;b\"/><!--I=\"3\"--></S>");
    const pugi::xml_node e = s.first_child();
    EXPECT_EQ(ReadIntAttribute(e, "I", 0), 12);
    EXPECT_FALSE(ReadBoolAttribute(e, "B", true));
    EXPECT_EQ(ReadIntAttribute(e, "Bad", 9), 9);
    EXPECT_TRUE(ReadBoolAttribute(e, "Bad", true));
    EXPECT_EQ(ReadIntAttribute(e, "i", 9), 9) << "names match in letter case";
    EXPECT_EQ(ReadStrAttribute(e, "Name", QString()), QStringLiteral("a\r\nb"));
    const QString raw = QStringLiteral("kept&#xD;as is");
    EXPECT_EQ(ReadStrAttribute(e, "Missing", raw), raw) << "a default is not decoded";

    const pugi::xml_node comment = e.next_sibling();
    ASSERT_EQ(comment.type(), pugi::node_comment);
    EXPECT_EQ(ReadIntAttribute(comment, "I", 7), 7);
    EXPECT_TRUE(ReadBoolAttribute(comment, "I", true));
    EXPECT_EQ(ReadStrAttribute(comment, "I", QStringLiteral("d")), QStringLiteral("d"));
}

} // namespace
