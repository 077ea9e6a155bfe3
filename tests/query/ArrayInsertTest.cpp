#include <gtest/gtest.h>

#include "query/ArrayInsert.h"
#include "query/LargeValue.h"

namespace {

TFd Value(const QString& text, int kind) {
    TFd fd;
    fd.Value = text;
    fd.ValueKind = kind;
    return fd;
}

// Each literal form a row's INSERT carries becomes the element the array reads as the same value, and
// the logged statement shows the array as a literal that reads alike under either backslash setting.
TEST(ArrayInsert, ElementsFromEveryLiteralForm) {
    const struct {
        TFd value;
        const char* element; // nullptr: the batch goes as a VALUES list
    } cases[] = {
        {Value("n''1", 1), R"("n'1")"},
        {Value(R"(say "hi", {x})", 1), R"("say \"hi\", {x}")"},
        {Value("NULL", 1), R"("NULL")"},
        {Value("NULL", 0), "NULL"},
        {Value(R"(E'a\\b''c')", 0), R"("a\\b'c")"},
        {Value("decode('0AFF','hex')", 0), R"("\\x0AFF")"},
        {Value("-1.25e-3", 0), "-1.25e-3"},
        {Value("true", 0), "true"},
        {Value("(SELECT COALESCE(MAX(ID), 0)+1 FROM T)", 0), nullptr},
        {Value(R"(a\b)", 1), nullptr}, // a backslash the server's setting decides on
    };
    for (const auto& c : cases) {
        TArrayInsert arrays;
        arrays.Reset({"text"});
        arrays.Add({c.value});
        arrays.Add({Value("z", 1)});
        ASSERT_EQ(arrays.Usable(), c.element != nullptr) << c.value.Value.toStdString();
        if (!c.element)
            continue;
        TLargeSplices splices;
        const QStringList lines = arrays.Take("Insert into T ", "   (A)", splices);
        ASSERT_EQ(splices.size(), 1u);
        EXPECT_EQ(splices[0].Value->Text, QString("{") + c.element + ",\"z\"}");
        EXPECT_EQ(lines.value(2), "select * from unnest(?::text[])");
        QString literal = QString("{") + c.element + ",\"z\"}";
        literal.replace("\\", "\\\\").replace("'", "''");
        EXPECT_EQ(ExpandedLines(lines, splices).value(2), "select * from unnest(E'" + literal + "'::text[])");
        EXPECT_FALSE(arrays.Usable()); // taken
    }
}

} // namespace
