#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace vemba {

// One entry of a help file's table of contents (.hhc) or keyword index
// (.hhk): an <OBJECT type="text/sitemap"> with its "Name" and "Local"
// parameters, and the entries of the <UL> that follows it.
struct SitemapEntry {
    QString name;
    QString local;
    std::vector<SitemapEntry> children;
};

// The entries of a sitemap file. Unknown tags, unbalanced lists and broken
// attributes are passed over; nesting and entry count are bounded.
std::vector<SitemapEntry> parseSitemap(const QByteArray& bytes);

// An HTML text from its bytes: in the charset its <meta> names, UTF-8 when it
// names none or one this system does not know.
QString DecodeHtml(const QByteArray& bytes);

} // namespace vemba
