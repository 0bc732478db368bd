#include "HelpViewer.h"

#include "ProgramIcon.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace vemba {

namespace {

const QString kScheme = QStringLiteral("chm");
constexpr int kLocalRole = Qt::UserRole;
// The window fits a screen of 800 × 600 with a panel, the title bar and the
// frame around it; it shrinks no further than its panes can still be read.
constexpr QSize kDefaultSize(760, 480);
constexpr QSize kMinimumSize(480, 320);
// The title bar and frame a window manager adds, for the fit to the screen
// before the window is shown and its frame is known.
constexpr QSize kFrameAllowance(16, 48);

bool isPage(const ChmArchive& archive, const QString& local) {
    return !local.trimmed().isEmpty() && archive.read(ChmPath(local)).has_value();
}

// The window's title: the help file's, less the program's name where Qt
// appends that name itself (it does so to every title that does not end in
// it), so that the title bar names the program once.
QString viewerTitle(const QString& fileTitle) {
    const QString program = QGuiApplication::applicationDisplayName();
    QString title = fileTitle.trimmed().isEmpty() ? QStringLiteral("ヘルプ") : fileTitle.trimmed();
    if (!program.isEmpty() && title.startsWith(program) && title.size() > program.size() &&
        !title.endsWith(program)) {
        title = title.mid(program.size()).trimmed();
    }
    return title;
}

QString firstPage(const ChmArchive& archive, const std::vector<SitemapEntry>& entries) {
    for (const SitemapEntry& entry : entries) {
        if (isPage(archive, entry.local)) {
            return entry.local;
        }
        if (QString page = firstPage(archive, entry.children); !page.isEmpty()) {
            return page;
        }
    }
    return {};
}

std::vector<SitemapEntry> sitemap(const ChmArchive& archive, const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    return parseSitemap(archive.read(path).value_or(QByteArray()));
}

} // namespace

QUrl chmUrl(const QString& local) {
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(ChmPath(local));
    if (const qsizetype hash = local.indexOf(QLatin1Char('#')); hash >= 0) {
        url.setFragment(local.mid(hash + 1));
    }
    return url;
}

HelpBrowser::HelpBrowser(std::unique_ptr<ChmArchive> archive, QWidget* parent)
    : QTextBrowser(parent), m_archive(std::move(archive)) {
    setOpenLinks(false);
}

// Every answer is a value, never a null one: for a null answer Qt's text
// document reads the URL from the disk itself (any file: URL or path), and a
// picture that does not decode it loads by its name, relative to the working
// directory. So only what the help file holds is ever shown.
QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const std::optional<QByteArray> bytes =
        url.scheme() == kScheme ? m_archive->read(url.path()) : std::nullopt;
    switch (type) {
    case QTextDocument::HtmlResource: {
        // Untitled on purpose: a page of the file always has a title.
        if (!bytes) {
            return QStringLiteral("<p>ページが見つかりません: %1</p>")
                .arg(url.path().toHtmlEscaped());
        }
        QString html = DecodeHtml(*bytes);
        if (!CheapToLayOut(html)) {
            return QStringLiteral("<p>ページを表示できません: %1</p>")
                .arg(url.path().toHtmlEscaped());
        }
        return html;
    }
    case QTextDocument::StyleSheetResource:
        return bytes && bytes->size() <= kMaxPageChars ? DecodeHtml(*bytes) : QString();
    case QTextDocument::ImageResource:
        return bytes && decodes(*bytes) ? *bytes : missingPicture();
    default:
        return QByteArray();
    }
}

bool HelpBrowser::decodes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    return size.isValid() && size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide &&
           !reader.read().isNull();
}

QByteArray HelpBrowser::missingPicture() {
    static const QByteArray encoded = [] {
        QImage image =
            QApplication::style()->standardIcon(QStyle::SP_FileIcon).pixmap(16, 16).toImage();
        if (image.isNull()) {
            image = QImage(1, 1, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }();
    return encoded;
}

// The page is scanned as Qt's parser reads it, erring on the side of more
// and deeper elements: every "<name" opens one, "</name" closes up to the
// nearest open one of that name, a paragraph, item or cell opened right
// inside one of its own kind closes that one first, and an attribute value
// in quotes runs to its closing quote.
bool CheapToLayOut(const QString& html) {
    if (html.size() > kMaxPageChars) {
        return false;
    }
    static const QStringList kEmpty{"area",  "base", "br",   "col",   "embed",  "hr", "img",
                                    "input", "link", "meta", "param", "source", "wbr"};
    static const QStringList kClosedBySame{"p", "li", "dt", "dd", "tr", "td", "th", "option"};
    // 3 to the power of the tables around an element, as far as it is allowed.
    std::array<std::int64_t, 16> weights{};
    weights[0] = 1;
    for (std::size_t n = 1; n < weights.size(); ++n) {
        weights[n] = weights[n - 1] * 3;
    }
    std::vector<QString> open;
    std::size_t tables = 0;
    std::int64_t weight = 0;
    const qsizetype size = html.size();
    qsizetype at = 0;
    while ((at = html.indexOf(QLatin1Char('<'), at)) >= 0) {
        if (QStringView(html).mid(at, 4) == QLatin1String("<!--")) {
            at = html.indexOf(QLatin1String("-->"), at + 4);
            if (at < 0) {
                break;
            }
            continue;
        }
        const bool closing = at + 1 < size && html[at + 1] == QLatin1Char('/');
        const qsizetype nameStart = at + (closing ? 2 : 1);
        qsizetype nameEnd = nameStart;
        while (nameEnd < size && html[nameEnd].isLetterOrNumber()) {
            ++nameEnd;
        }
        if (nameEnd == nameStart) {
            ++at;
            continue;
        }
        const QString tag = html.mid(nameStart, nameEnd - nameStart).toLower();
        // The tag's end: the first ">" outside a quoted attribute value.
        qsizetype end = nameEnd;
        while (end < size && html[end] != QLatin1Char('>')) {
            if (html[end] == QLatin1Char('=')) {
                qsizetype value = end + 1;
                while (value < size && html[value].isSpace()) {
                    ++value;
                }
                if (value < size &&
                    (html[value] == QLatin1Char('"') || html[value] == QLatin1Char('\''))) {
                    const qsizetype quote = html.indexOf(html[value], value + 1);
                    end = quote < 0 ? size : quote;
                }
            }
            ++end;
        }
        at = end;
        if (closing) {
            const auto match = std::find(open.rbegin(), open.rend(), tag);
            if (match != open.rend()) {
                const auto first = match.base() - 1;
                tables -= static_cast<std::size_t>(
                    std::count(first, open.end(), QStringLiteral("table")));
                open.erase(first, open.end());
            }
            continue;
        }
        if (tables >= weights.size()) {
            return false;
        }
        weight += weights.at(tables);
        if (weight > kMaxPageWeight) {
            return false;
        }
        if (kEmpty.contains(tag) || (end > nameEnd && html[end - 1] == QLatin1Char('/'))) {
            continue;
        }
        if (!open.empty() && open.back() == tag && kClosedBySame.contains(tag)) {
            open.pop_back();
        }
        open.push_back(tag);
        tables += tag == QLatin1String("table") ? 1 : 0;
        if (open.size() > kMaxPageDepth) {
            return false;
        }
    }
    return true;
}

HelpViewer* HelpViewer::create(std::unique_ptr<ChmArchive> archive, const QString& filePath) {
    QString start;
    if (const QString topic = archive->defaultTopic(); isPage(*archive, topic)) {
        start = topic;
    } else {
        start = firstPage(*archive, sitemap(*archive, archive->contentsFile()));
    }
    if (start.isEmpty()) {
        return nullptr;
    }
    return new HelpViewer(std::move(archive), filePath, start);
}

HelpViewer::HelpViewer(std::unique_ptr<ChmArchive> archive, QString filePath, const QString& start)
    : m_filePath(std::move(filePath)), m_browser(new HelpBrowser(std::move(archive), this)),
      m_contents(new QTreeWidget(this)), m_index(new QListWidget(this)),
      m_filter(new QLineEdit(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("HelpViewer"));
    const ChmArchive& file = m_browser->archive();
    setWindowTitle(viewerTitle(file.title()));
    setWindowIcon(programIcon());
    // Never larger than the screen leaves free, nor bound to be.
    const QSize available =
        (screen()->availableGeometry().size() - kFrameAllowance).expandedTo(QSize(1, 1));
    setMinimumSize(kMinimumSize.boundedTo(available));
    resize(kDefaultSize.boundedTo(available));

    QToolButton* back = makeButton(QStringLiteral("back"), QStringLiteral("戻る"), Qt::LeftArrow);
    QToolButton* forward =
        makeButton(QStringLiteral("forward"), QStringLiteral("進む"), Qt::RightArrow);
    QToolButton* home = makeButton(QStringLiteral("home"), QStringLiteral("ホーム"), Qt::NoArrow);
    setUpPanes();
    fillContents(nullptr, sitemap(file, file.contentsFile()));
    m_contents->expandAll();
    fillIndex(sitemap(file, file.indexFile()), 0);
    layOut({back, forward, home});

    connect(back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, [this, start] { showTopic(start); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);
    connectLists();

    showTopic(start);
}

QToolButton* HelpViewer::makeButton(const QString& name, const QString& text, Qt::ArrowType arrow) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setText(text);
    b->setArrowType(arrow);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // History buttons wake up with the first step.
    b->setEnabled(arrow == Qt::NoArrow);
    return b;
}

void HelpViewer::setUpPanes() {
    m_browser->setObjectName(QStringLiteral("page"));
    m_contents->setObjectName(QStringLiteral("contents"));
    m_contents->header()->hide();
    m_index->setObjectName(QStringLiteral("index"));
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setPlaceholderText(QStringLiteral("キーワードを入力"));
    m_filter->setClearButtonEnabled(true);
}

// The buttons in a row over the tabs of contents and keywords beside the page.
void HelpViewer::layOut(std::initializer_list<QToolButton*> buttons) {
    auto* indexPane = new QWidget(this);
    auto* indexLayout = new QVBoxLayout(indexPane);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    indexLayout->addWidget(m_filter);
    indexLayout->addWidget(m_index);
    auto* tabs = new QTabWidget(this);
    m_tabs = tabs;
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->addTab(m_contents, QStringLiteral("目次"));
    tabs->addTab(indexPane, QStringLiteral("キーワード"));

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, kDefaultSize.width() - 220});

    auto* row = new QHBoxLayout;
    for (QToolButton* button : buttons) {
        row->addWidget(button);
    }
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(row);
    layout->addWidget(splitter, 1);
}

// An entry of the contents or the index opens its page when clicked or
// activated; Return in the filter activates the first entry it leaves.
void HelpViewer::connectLists() {
    const auto openItem = [this](const QVariant& local) {
        if (local.isValid()) {
            showTopic(local.toString());
        }
    };
    connect(m_contents, &QTreeWidget::itemActivated, this,
            [openItem](QTreeWidgetItem* item) { openItem(item->data(0, kLocalRole)); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [openItem](QTreeWidgetItem* item) { openItem(item->data(0, kLocalRole)); });
    connect(m_index, &QListWidget::itemActivated, this,
            [openItem](QListWidgetItem* item) { openItem(item->data(kLocalRole)); });
    connect(m_index, &QListWidget::itemClicked, this,
            [openItem](QListWidgetItem* item) { openItem(item->data(kLocalRole)); });
    connect(m_filter, &QLineEdit::textChanged, this, &HelpViewer::filterIndex);
    connect(m_filter, &QLineEdit::returnPressed, this, [this] {
        for (int row = 0; row < m_index->count(); ++row) {
            if (!m_index->item(row)->isHidden()) {
                m_index->setCurrentRow(row);
                emit m_index->itemActivated(m_index->item(row));
                return;
            }
        }
    });
}

void HelpViewer::fillContents(QTreeWidgetItem* parent, const std::vector<SitemapEntry>& entries) {
    for (const SitemapEntry& entry : entries) {
        auto* item =
            parent == nullptr ? new QTreeWidgetItem(m_contents) : new QTreeWidgetItem(parent);
        item->setText(0, entry.name.isEmpty() ? entry.local : entry.name);
        if (!entry.local.trimmed().isEmpty()) {
            item->setData(0, kLocalRole, entry.local);
        }
        fillContents(item, entry.children);
    }
}

void HelpViewer::fillIndex(const std::vector<SitemapEntry>& entries, int depth) {
    for (const SitemapEntry& entry : entries) {
        auto* item =
            new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + entry.name, m_index);
        if (!entry.local.trimmed().isEmpty()) {
            item->setData(kLocalRole, entry.local);
        }
        fillIndex(entry.children, depth + 1);
    }
}

void HelpViewer::filterIndex(const QString& text) {
    const QString wanted = text.trimmed();
    for (int row = 0; row < m_index->count(); ++row) {
        QListWidgetItem* item = m_index->item(row);
        item->setHidden(!item->text().contains(wanted, Qt::CaseInsensitive));
    }
}

void HelpViewer::showContents() {
    m_tabs->setCurrentWidget(m_contents);
}

void HelpViewer::showTopic(const QString& local) {
    m_browser->setSource(chmUrl(local));
}

void HelpViewer::followLink(const QUrl& link) {
    const QUrl target = link.isRelative() ? m_browser->source().resolved(link) : link;
    const QString scheme = target.scheme().toLower();
    if (scheme == kScheme) {
        m_browser->setSource(target);
    } else if (scheme == QStringLiteral("http") || scheme == QStringLiteral("https") ||
               scheme == QStringLiteral("mailto")) {
        QDesktopServices::openUrl(target);
    }
}

} // namespace vemba
