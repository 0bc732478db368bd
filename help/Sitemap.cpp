#include "Sitemap.h"

#include <QStringDecoder>
#include <QTextDocumentFragment>

namespace vemba {

namespace {

constexpr std::size_t kMaxDepth = 32;
constexpr int kMaxEntries = 20000;

struct Tag {
    QString name; // lower case, "/ul" for an end tag
    std::vector<std::pair<QString, QString>> attributes;

    QString attribute(const QString& key) const {
        for (const auto& [name, value] : attributes) {
            if (name == key) {
                return value;
            }
        }
        return {};
    }
};

QString unescape(const QString& text) {
    if (!text.contains(QLatin1Char('&'))) {
        return text;
    }
    return QTextDocumentFragment::fromHtml(
               text.toHtmlEscaped().replace(QStringLiteral("&amp;"), QStringLiteral("&")))
        .toPlainText();
}

// Reads the tag that starts at text[at] == '<' and moves at past it.
Tag readTag(const QString& text, qsizetype& at) {
    Tag tag;
    const qsizetype size = text.size();
    ++at;
    const auto skipSpace = [&] {
        while (at < size && text[at].isSpace()) {
            ++at;
        }
    };
    const auto readName = [&] {
        const qsizetype start = at;
        while (at < size && !text[at].isSpace() && text[at] != QLatin1Char('>') &&
               text[at] != QLatin1Char('=') && !(text[at] == QLatin1Char('/') && at > start)) {
            ++at;
        }
        return text.mid(start, at - start).toLower();
    };
    tag.name = readName();
    while (at < size && text[at] != QLatin1Char('>')) {
        skipSpace();
        if (at < size && text[at] == QLatin1Char('/')) {
            ++at;
            continue;
        }
        const QString key = readName();
        skipSpace();
        QString value;
        if (at < size && text[at] == QLatin1Char('=')) {
            ++at;
            skipSpace();
            if (at < size && (text[at] == QLatin1Char('"') || text[at] == QLatin1Char('\''))) {
                const QChar quote = text[at++];
                qsizetype end = text.indexOf(quote, at);
                end = end < 0 ? size : end;
                value = text.mid(at, end - at);
                at = end + 1;
            } else {
                const qsizetype start = at;
                while (at < size && !text[at].isSpace() && text[at] != QLatin1Char('>')) {
                    ++at;
                }
                value = text.mid(start, at - start);
            }
        } else if (key.isEmpty()) {
            ++at; // a stray character: step over it
            continue;
        }
        tag.attributes.emplace_back(key, unescape(value));
    }
    ++at;
    return tag;
}

} // namespace

QString DecodeHtml(const QByteArray& bytes) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringDecoder::Utf8);
    }
    return decoder.decode(bytes);
}

std::vector<SitemapEntry> parseSitemap(const QByteArray& bytes) {
    const QString text = DecodeHtml(bytes);
    std::vector<SitemapEntry> root;
    // The lists open at this point; each holds the entries of one <UL>. A
    // list only ever grows at the top of the stack, so the pointers below it
    // stay valid.
    std::vector<std::vector<SitemapEntry>*> open{&root};
    std::optional<SitemapEntry> object;
    int entries = 0;
    qsizetype at = 0;
    while ((at = text.indexOf(QLatin1Char('<'), at)) >= 0) {
        if (text.mid(at, 4) == QStringLiteral("<!--")) {
            const qsizetype end = text.indexOf(QStringLiteral("-->"), at + 4);
            at = end < 0 ? text.size() : end + 3;
            continue;
        }
        const Tag tag = readTag(text, at);
        if (tag.name == QStringLiteral("ul")) {
            std::vector<SitemapEntry>* level = open.back();
            // A list right after an entry holds that entry's children.
            open.push_back(open.size() < kMaxDepth && !level->empty() ? &level->back().children
                                                                      : level);
        } else if (tag.name == QStringLiteral("/ul")) {
            if (open.size() > 1) {
                open.pop_back();
            }
        } else if (tag.name == QStringLiteral("object")) {
            if (tag.attribute(QStringLiteral("type"))
                    .compare(QStringLiteral("text/sitemap"), Qt::CaseInsensitive) == 0) {
                object.emplace();
            }
        } else if (tag.name == QStringLiteral("param") && object) {
            const QString name = tag.attribute(QStringLiteral("name")).toLower();
            const QString value = tag.attribute(QStringLiteral("value"));
            if (name == QStringLiteral("name") && object->name.isEmpty()) {
                object->name = value;
            } else if (name == QStringLiteral("local") && object->local.isEmpty()) {
                object->local = value;
            }
        } else if (tag.name == QStringLiteral("/object") && object) {
            if ((!object->name.isEmpty() || !object->local.isEmpty()) && entries < kMaxEntries) {
                open.back()->push_back(std::move(*object));
                ++entries;
            }
            object.reset();
        }
    }
    return root;
}

} // namespace vemba
