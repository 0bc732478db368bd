#include "ChmArchive.h"
#include "FuzzSupport.h"
#include "Sitemap.h"

#include <QGuiApplication>

// Any bytes as the help file: opened or refused, and every file an opened one
// holds read, parsed as a sitemap and decoded as a page. Input that is not a
// help file goes straight to the sitemap parser and the page decoder, the
// parts that read what the file holds.

namespace {

void parse(const QByteArray& bytes) {
    (void)vemba::parseSitemap(bytes);
    (void)vemba::DecodeHtml(bytes);
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
        parse(bytes);
        return 0;
    }
    const auto archive = vemba::ChmArchive::open(writeFuzzFile(QStringLiteral("help.chm"), bytes));
    if (!archive) {
        return 0;
    }
    FUZZ_CHECK(archive->contentsFile().startsWith(QLatin1Char('/')));
    for (const QString& file : archive->files() + QStringList{archive->defaultTopic()}) {
        if (const auto page = archive->read(file)) {
            FUZZ_CHECK(page->size() <= vemba::ChmArchive::MaxObjectSize);
            parse(*page);
        }
    }
    return 0;
}
