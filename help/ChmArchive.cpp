#include "ChmArchive.h"

#include <QFile>
#include <QtEndian>
#include <chm_lib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vemba {

namespace {

// The ITSF header: signature, version, header length, then (from byte 56)
// section table offset and length, directory offset and length, and in
// version 3 the offset of the content.
constexpr qint64 kHeaderV2 = 0x58;
constexpr qint64 kHeaderV3 = 0x60;
constexpr int kMaxSystemSize = 64 * 1024;

std::uint64_t u64At(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint64>(bytes.constData() + at);
}

std::uint32_t u32At(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

constexpr char kControlData[] = "::DataSpace/Storage/MSCompressed/ControlData";

// chmlib takes the LZX control data on trust: a window size LZX has no
// decoder for leaves the decoder unset and the first page read writes through
// a null pointer; a zero reset block count divides by zero. The data: a word
// count, "LZXC", version, reset interval, window size, windows per reset;
// version 2 counts the interval and the window in units of 32 KiB.
bool lzxControlUsable(const QByteArray& data) {
    if (data.size() < 24 || data.mid(4, 4) != "LZXC") {
        return false;
    }
    const std::uint32_t version = u32At(data, 8);
    if (version != 1 && version != 2) {
        return false;
    }
    const std::uint64_t unit = version == 2 ? 0x8000 : 1;
    const std::uint64_t resetInterval = u32At(data, 12) * unit;
    const std::uint64_t window = u32At(data, 16) * unit;
    // LZX windows are powers of two from 32 KiB to 2 MiB.
    if (window < (1u << 15) || window > (1u << 21) || (window & (window - 1)) != 0) {
        return false;
    }
    if (resetInterval == 0 || resetInterval > 0xFFFFFFFFu || resetInterval % (window / 2) != 0) {
        return false;
    }
    const std::uint64_t resetBlocks = resetInterval / (window / 2) * u32At(data, 20);
    return resetBlocks > 0 && resetBlocks <= 0xFFFFFFFFu;
}

// offset + length lies inside a file of the given size, without overflow.
bool within(std::uint64_t offset, std::uint64_t length, std::int64_t size) {
    const auto end = static_cast<std::uint64_t>(size);
    return offset <= end && length <= end - offset;
}

// A directory entry's number: 7 bits a byte, high bit set on all but the last.
bool readEncInt(const QByteArray& bytes, qsizetype& at, qsizetype end, std::uint64_t& value) {
    value = 0;
    for (int n = 0; n < 9 && at < end; ++n) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// What chmlib reads of the directory without checking it. chm_open itself
// divides by the control data's window size, read or not: every entry that
// names the control data must point at usable data inside the file, and
// there must be one. The directory: an ITSP
// header (its length at 8, the chunk size at 16), then chunks; a "PMGL" chunk
// lists entries from byte 20 up to its free space (length at 4), each a
// name's length, the name, section, offset and length.
bool directoryUsable(QFile& file, std::int64_t size, std::uint64_t directoryOffset,
                     std::uint64_t directoryLength, std::uint64_t content) {
    constexpr std::uint64_t kMaxDirectory = 16 * 1024 * 1024;
    if (directoryLength < 0x54 || directoryLength > kMaxDirectory ||
        !file.seek(static_cast<qint64>(directoryOffset))) {
        return false;
    }
    const QByteArray directory = file.read(static_cast<qint64>(directoryLength));
    if (directory.size() != static_cast<qsizetype>(directoryLength) ||
        !directory.startsWith("ITSP")) {
        return false;
    }
    const std::uint32_t headerLength = u32At(directory, 8);
    const std::uint32_t chunkSize = u32At(directory, 16);
    if (headerLength < 0x54 || headerLength > directoryLength || chunkSize < 20 ||
        chunkSize > 1024 * 1024) {
        return false;
    }
    bool found = false;
    for (qsizetype chunk = headerLength; chunk + chunkSize <= directory.size();
         chunk += chunkSize) {
        if (directory.mid(chunk, 4) != "PMGL") {
            continue;
        }
        const std::uint32_t freeSpace = u32At(directory, static_cast<int>(chunk) + 4);
        if (freeSpace > chunkSize - 20) {
            return false;
        }
        const qsizetype end = chunk + chunkSize - freeSpace;
        qsizetype at = chunk + 20;
        while (at < end) {
            std::uint64_t nameLength = 0, section = 0, offset = 0, length = 0;
            if (!readEncInt(directory, at, end, nameLength) ||
                nameLength > static_cast<std::uint64_t>(end - at)) {
                return false;
            }
            const QByteArray name = directory.mid(at, static_cast<qsizetype>(nameLength));
            at += static_cast<qsizetype>(nameLength);
            if (!readEncInt(directory, at, end, section) ||
                !readEncInt(directory, at, end, offset) ||
                !readEncInt(directory, at, end, length)) {
                return false;
            }
            // chm_open reads the data space's objects before it can
            // decompress anything: a compressed one divides by zero.
            if (name.startsWith("::") && (section != 0 || content + offset < content ||
                                          !within(content + offset, length, size))) {
                return false;
            }
            if (qstricmp(name.constData(), kControlData) != 0) {
                continue;
            }
            if (length < 24 || length > 256 || !file.seek(static_cast<qint64>(content + offset))) {
                return false;
            }
            if (!lzxControlUsable(file.read(static_cast<qint64>(length)))) {
                return false;
            }
            found = true;
        }
    }
    if (!found) {
        return false;
    }
    // chm_enumerate follows the PMGL chunks' links to the next one (at 16)
    // from the first (named at 32 of the ITSP header) until -1: a loop would
    // never end.
    const qsizetype chunks = (directory.size() - headerLength) / chunkSize;
    auto next = static_cast<std::int32_t>(u32At(directory, 32));
    for (qsizetype steps = 0; next != -1; ++steps) {
        if (steps >= chunks || next < 0 || next >= chunks) {
            return false;
        }
        next = static_cast<std::int32_t>(
            u32At(directory, static_cast<int>(headerLength + next * chunkSize + 16)));
    }
    return true;
}

// An open file descriptor, closed at the end of its scope.
struct Descriptor {
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { ::close(fd); }
    int fd;
};

// The offset of the content section, or nothing when the header does not fit
// the file.
std::optional<std::uint64_t> checkHeader(int fd, std::int64_t size) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        return std::nullopt;
    }
    const QByteArray header = file.read(kHeaderV3);
    if (header.size() < kHeaderV2 || !header.startsWith("ITSF")) {
        return std::nullopt;
    }
    const std::uint32_t version = u32At(header, 4);
    const std::uint32_t headerLength = u32At(header, 8);
    if ((version != 2 && version != 3) || headerLength < kHeaderV2 ||
        headerLength > static_cast<std::uint64_t>(size)) {
        return std::nullopt;
    }
    const std::uint64_t sectionsOffset = u64At(header, 56);
    const std::uint64_t sectionsLength = u64At(header, 64);
    const std::uint64_t directoryOffset = u64At(header, 72);
    const std::uint64_t directoryLength = u64At(header, 80);
    if (!within(sectionsOffset, sectionsLength, size) ||
        !within(directoryOffset, directoryLength, size)) {
        return std::nullopt;
    }
    std::uint64_t content = directoryOffset + directoryLength;
    if (version == 3 && headerLength >= kHeaderV3) {
        if (header.size() < kHeaderV3) {
            return std::nullopt;
        }
        content = u64At(header, 88);
    }
    if (content > static_cast<std::uint64_t>(size) ||
        !directoryUsable(file, size, directoryOffset, directoryLength, content)) {
        return std::nullopt;
    }
    return content;
}

constexpr char kResetTable[] = "::DataSpace/Storage/MSCompressed/Transform/"
                               "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";

// chmlib allocates a cache of blocks of the length the reset table names:
// version, block count, entry size, table offset, then 64-bit uncompressed
// length, compressed length and block length. A block is at most a window.
bool lzxResetTableUsable(const QByteArray& data) {
    if (data.size() < 40 || u32At(data, 0) != 2) {
        return false;
    }
    const std::uint64_t blockLength = u64At(data, 32);
    return blockLength > 0 && blockLength <= (1u << 21);
}

// A NUL-ended text at the start of a #SYSTEM record's data.
QString recordText(const QByteArray& data) {
    const qsizetype end = data.indexOf('\0');
    return QString::fromUtf8(end < 0 ? data : data.left(end)).trimmed();
}

} // namespace

QString ChmPath(const QString& link) {
    QString path = link.trimmed();
    if (const qsizetype archive = path.indexOf(QStringLiteral("::")); archive >= 0) {
        path = path.mid(archive + 2);
    }
    if (const qsizetype fragment = path.indexOf(QLatin1Char('#')); fragment >= 0) {
        path.truncate(fragment);
    }
    if (!path.startsWith(QLatin1Char('/'))) {
        path.prepend(QLatin1Char('/'));
    }
    return path;
}

ChmArchive::ChmArchive(chmFile* file, std::int64_t size, std::uint64_t contentOffset)
    : m_file(file), m_size(size), m_contentOffset(contentOffset) {}

ChmArchive::~ChmArchive() {
    chm_close(m_file);
}

std::unique_ptr<ChmArchive> ChmArchive::open(const QString& path) {
    // Opened without blocking and refused unless a regular file: a FIFO or a
    // device under the help file's name would hold the window thread in
    // open() or read() for good. chmlib opens by name, so it is given this
    // very file through /proc, not the name that may since point elsewhere.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    const Descriptor held{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return nullptr;
    }
    const std::int64_t size = status.st_size;
    const std::optional<std::uint64_t> content = checkHeader(fd, size);
    if (!content) {
        return nullptr;
    }
    chmFile* file = chm_open(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData());
    if (file == nullptr) {
        return nullptr;
    }
    std::unique_ptr<ChmArchive> archive(new ChmArchive(file, size, *content));

    // The compressed section is stored in the uncompressed one: it must lie
    // whole inside the file, or reading a page would run past its end. Its
    // reset table must describe blocks chmlib can cache.
    chmUnitInfo compressed{};
    if (chm_resolve_object(file, "::DataSpace/Storage/MSCompressed/Content", &compressed) ==
        CHM_RESOLVE_SUCCESS) {
        if (compressed.space != CHM_UNCOMPRESSED ||
            !within(*content + compressed.start, compressed.length, size) ||
            *content + compressed.start < *content) {
            return nullptr;
        }
        const auto stored = [&](const char* name) -> std::optional<QByteArray> {
            chmUnitInfo unit{};
            if (chm_resolve_object(file, name, &unit) != CHM_RESOLVE_SUCCESS ||
                unit.space != CHM_UNCOMPRESSED) {
                return std::nullopt;
            }
            return archive->read(QLatin1String(name));
        };
        const std::optional<QByteArray> resetTable = stored(kResetTable);
        if (!resetTable || !lzxResetTableUsable(*resetTable)) {
            return nullptr;
        }
    }
    if (!archive->readSystem()) {
        return nullptr;
    }
    return archive;
}

bool ChmArchive::readSystem() {
    const std::optional<QByteArray> system = read(QStringLiteral("/#SYSTEM"));
    if (!system || system->size() < 4 || system->size() > kMaxSystemSize) {
        return false;
    }
    // After a 4-byte version: records of a 16-bit code, a 16-bit length and
    // that many bytes of data.
    qsizetype at = 4;
    while (at + 4 <= system->size()) {
        const quint16 code = qFromLittleEndian<quint16>(system->constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(system->constData() + at + 2);
        at += 4;
        if (length > system->size() - at) {
            break;
        }
        const QByteArray data = system->mid(at, length);
        at += length;
        switch (code) {
        case 0:
            m_contentsFile = ChmPath(recordText(data));
            break;
        case 1:
            m_indexFile = ChmPath(recordText(data));
            break;
        case 2:
            m_defaultTopic = ChmPath(recordText(data));
            break;
        case 3:
            m_title = recordText(data);
            break;
        default:
            break;
        }
    }
    if (m_contentsFile.size() <= 1 || !read(m_contentsFile)) {
        m_contentsFile = firstFileEndingIn(QStringLiteral(".hhc"));
    }
    if (m_indexFile.size() <= 1 || !read(m_indexFile)) {
        m_indexFile = firstFileEndingIn(QStringLiteral(".hhk"));
    }
    return !m_contentsFile.isEmpty();
}

QString ChmArchive::firstFileEndingIn(const QString& suffix) const {
    for (const QString& file : files()) {
        if (file.endsWith(suffix, Qt::CaseInsensitive) && read(file)) {
            return file;
        }
    }
    return {};
}

std::optional<QByteArray> ChmArchive::read(const QString& path) const {
    const QByteArray name = path.toUtf8();
    if (name.isEmpty() || name.size() > CHM_MAX_PATHLEN) {
        return std::nullopt;
    }
    chmUnitInfo unit{};
    if (chm_resolve_object(m_file, name.constData(), &unit) != CHM_RESOLVE_SUCCESS ||
        unit.length > static_cast<std::uint64_t>(MaxObjectSize)) {
        return std::nullopt;
    }
    if (unit.space == CHM_UNCOMPRESSED) {
        if (!within(m_contentOffset + unit.start, unit.length, m_size) ||
            m_contentOffset + unit.start < m_contentOffset) {
            return std::nullopt;
        }
    } else if (unit.space != CHM_COMPRESSED) {
        return std::nullopt;
    }
    QByteArray bytes(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    if (unit.length == 0) {
        return bytes;
    }
    const LONGINT64 got =
        chm_retrieve_object(m_file, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length)) {
        return std::nullopt;
    }
    return bytes;
}

QStringList ChmArchive::files() const {
    QStringList found;
    const auto collect = [](chmFile*, chmUnitInfo* unit, void* context) -> int {
        auto* list = static_cast<QStringList*>(context);
        const QString path = QString::fromUtf8(unit->path, qstrnlen(unit->path, CHM_MAX_PATHLEN));
        if (path.startsWith(QLatin1Char('/')) && !path.startsWith(QStringLiteral("/#")) &&
            !path.startsWith(QStringLiteral("/$")) && list->size() < 100000) {
            list->append(path);
        }
        return CHM_ENUMERATOR_CONTINUE;
    };
    chm_enumerate(m_file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collect, &found);
    return found;
}

} // namespace vemba
