#include "ChmArchive.h"
#include "FuzzSupport.h"
#include "Sitemap.h"

#include <QGuiApplication>

// Any bytes as the help file: opened or refused, and every page, table of
// contents and index an opened file gives read and parsed. Input that is not
// a help file goes straight to the sitemap parser and the page decoder, the
// parts that read what the file holds.

namespace {

void readSitemap(const vemba::ChmArchive& archive, const QString& path) {
    if (const auto bytes = archive.read(path)) {
        for (const vemba::SitemapEntry& entry : vemba::parseSitemap(*bytes)) {
            (void)archive.read(vemba::ChmPath(entry.local));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The sitemap parser decodes HTML entities through Qt's text document.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith("ITSF")) {
        (void)vemba::parseSitemap(bytes);
        return 0;
    }
    const auto archive = vemba::ChmArchive::open(writeFuzzFile(QStringLiteral("help.chm"), bytes));
    if (!archive) {
        return 0;
    }
    FUZZ_CHECK(archive->contentsFile().startsWith(QLatin1Char('/')));
    readSitemap(*archive, archive->contentsFile());
    readSitemap(*archive, archive->indexFile());
    if (const auto page = archive->read(archive->defaultTopic())) {
        FUZZ_CHECK(page->size() <= vemba::ChmArchive::MaxObjectSize);
        (void)vemba::DecodeHtml(*page);
    }
    for (const QString& file : archive->files()) {
        (void)archive->read(file);
    }
    return 0;
}
