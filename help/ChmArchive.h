#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

struct chmFile;

namespace vemba {

// A compiled HTML help file, read with chmlib. Opening checks the file's
// header against the file's size before chmlib sees it, and every object read
// is bounded, so that a truncated or damaged file is refused instead of read
// past its end.
class ChmArchive {
public:
    // The largest object read from a file; the help pages are a few kB each.
    static constexpr std::int64_t MaxObjectSize = 16 * 1024 * 1024;

    // The archive, or nullptr when the file is missing, unreadable, not a
    // CHM, or damaged so that its system data, table of contents or start
    // page cannot be read.
    static std::unique_ptr<ChmArchive> open(const QString& path);
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    // The object at an absolute path inside the file ("/index.html"), or
    // nothing when it is missing, too large or cannot be read whole.
    std::optional<QByteArray> read(const QString& path) const;

    // Every ordinary file in the archive (no "#" or "$" system objects).
    QStringList files() const;

    QString title() const { return m_title; }
    // Absolute paths inside the file; the index may be empty.
    QString defaultTopic() const { return m_defaultTopic; }
    QString contentsFile() const { return m_contentsFile; }
    QString indexFile() const { return m_indexFile; }

private:
    ChmArchive(chmFile* file, std::int64_t size, std::uint64_t contentOffset);
    bool readSystem();
    QString firstFileEndingIn(const QString& suffix) const;

    chmFile* m_file;
    std::int64_t m_size;
    std::uint64_t m_contentOffset;
    QString m_title;
    QString m_defaultTopic;
    QString m_contentsFile;
    QString m_indexFile;
};

// An absolute path inside a help file for a sitemap's or a page's link:
// "page.html", "/page.html" and "ms-its:x.chm::/page.html" all give
// "/page.html"; a fragment is dropped.
QString ChmPath(const QString& link);

} // namespace vemba
