// Reading the table of contents and the keyword index: the nesting, the
// spellings real sitemap files use, and the bounds a damaged file meets.

#include "Sitemap.h"

#include "ChmArchive.h"
#include "QtPrinters.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

namespace vemba {
namespace {

// "depth name=local" per entry, in document order.
void flatten(const std::vector<SitemapEntry>& entries, int depth, QStringList& out) {
    for (const SitemapEntry& entry : entries) {
        out << QStringLiteral("%1 %2=%3").arg(depth).arg(entry.name, entry.local);
        flatten(entry.children, depth + 1, out);
    }
}

QStringList parsed(const QByteArray& text) {
    QStringList out;
    flatten(parseSitemap(text), 0, out);
    return out;
}

QByteArray object(const char* name, const char* local) {
    return QByteArray("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"") + name +
           "\"><param name=\"Local\" value=\"" + local + "\"></OBJECT>";
}

TEST(SitemapTest, ReadsEntriesAndTheirNesting) {
    struct Case {
        const char* name;
        QByteArray text;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"nested lists",
         "<UL>" + object("A", "a.html") + "<UL>" + object("B", "b.html#x") + "<UL>" +
             object("C", "c.html") + "</UL></UL>" + object("D", "d.html") + "</UL>",
         {"0 A=a.html", "1 B=b.html#x", "2 C=c.html", "0 D=d.html"}},
        {"lower case, single quotes, unquoted and self-closed params",
         "<ul><li><object type='text/sitemap'><param name=local value=a.html />"
         "<PARAM NAME='name' VALUE='A b'></object></ul>",
         {"0 A b=a.html"}},
        {"entities and UTF-8 names",
         "<ul>" + object("&lt;R&amp;D&gt; &#x30c8;ンボ", "a.html") + "</ul>",
         {"0 <R&D> トンボ=a.html"}},
        {"the first Name and Local count; other objects and comments are passed over",
         "<!-- a > <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"X\"></OBJECT> -->"
         "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"P\"></OBJECT>"
         "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A\">"
         "<param name=\"Name\" value=\"B\"><param name=\"Local\" value=\"a.html\">"
         "<param name=\"Local\" value=\"b.html\"></OBJECT></UL>",
         {"0 A=a.html"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parsed(c.text), c.expected) << c.name;
    }
}

// Nesting and entries stop at their bounds: a damaged file asks for more.
TEST(SitemapTest, DepthAndEntriesStopAtTheirBounds) {
    const QByteArray entry = object("x", "x.html");
    const QStringList deep = parsed(("<UL>" + entry).repeated(32));
    ASSERT_EQ(deep.size(), 32);
    EXPECT_TRUE(deep[30].startsWith("30 ")) << "the deepest level";
    EXPECT_TRUE(deep[31].startsWith("30 ")) << "one past it";
    EXPECT_EQ(parsed(entry.repeated(20001)).size(), 20000);
}

TEST(SitemapTest, PagesAreDecodedByTheirCharset) {
    const QString text = QStringLiteral("蚊よけ");
    EXPECT_EQ(DecodeHtml("<p>" + text.toUtf8()), QStringLiteral("<p>") + text);
    const QByteArray sjis = QStringEncoder("Shift_JIS").encode(text);
    EXPECT_TRUE(DecodeHtml("<meta charset=\"Shift_JIS\"><p>" + sjis).endsWith(text));
}

TEST(SitemapTest, LinksBecomePathsInsideTheFile) {
    for (const char* link :
         {"d/p.html", "/d/p.html#a", "ms-its:Vemba_PC.chm::/d/p.html", " d/p.html "}) {
        EXPECT_EQ(ChmPath(QString::fromUtf8(link)), QStringLiteral("/d/p.html")) << link;
    }
}

} // namespace
} // namespace vemba
