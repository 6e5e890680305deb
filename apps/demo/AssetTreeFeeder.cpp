#include "AssetTreeFeeder.h"

#include "DemoMessageBox.h"

#include <QHeaderView>
#include <QPointer>
#include <QThread>
#include <QTreeWidget>

#include <algorithm>

namespace demo {

namespace {

constexpr std::size_t kRowsPerBatch = 1000;
constexpr std::size_t kStatesPerBatch = 5000;
constexpr std::size_t kFirstStates = 2000;
constexpr int kHeartbeatMs = 10;
constexpr int kNameWidth = 420;
constexpr int kServerWidth = 320;
const char* const kAsking = QT_TRANSLATE_NOOP("demo::AssetTreeFeeder", "asking the server...");

QColor StateColour(const FileState& file)
{
    namespace fs = qor4::FileStatus;
    if (file.status & (fs::kLockedByOther | fs::kCheckedOutByOther | fs::kIOError)) return QColor(170, 30, 30);
    if (file.status & (fs::kCheckedOut | fs::kMarkedForAdd | fs::kMarkedForDelete)) return QColor(20, 110, 30);
    if (file.status & (fs::kNotAtHead | fs::kNotInDepot)) return QColor(160, 100, 0);
    return QColor(60, 60, 60);
}

} // namespace

AssetTreeFeeder::AssetTreeFeeder(QTreeWidget* tree, DemoHost& host) : QObject(tree), m_tree(tree), m_host(host)
{
    // Rows of one height spare the view from measuring every row at each layout.
    m_tree->setUniformRowHeights(true);
    m_feed.setInterval(0);
    connect(&m_feed, &QTimer::timeout, this, &AssetTreeFeeder::FeedRows);
    m_heartbeat.setInterval(kHeartbeatMs);
    connect(&m_heartbeat, &QTimer::timeout, this, &AssetTreeFeeder::Beat);
}

AssetTreeFeeder::~AssetTreeFeeder()
{
    for (QThread* query : m_queries) {
        query->wait();
        delete query;
    }
}

void AssetTreeFeeder::Load(const QString& selected)
{
    ++m_generation;
    m_feed.stop();
    m_clock.start();
    m_lastBeat = 0;
    m_times = {};
    m_selected = selected;
    m_snapshot = ProjectSnapshot::TakeLocal(m_host);
    m_times.assets = m_snapshot.assets.size();
    m_files = m_snapshot.Files();
    m_firstFile.clear();
    std::size_t first = 0;
    for (const AssetView& asset : m_snapshot.assets) {
        m_firstFile.push_back(first);
        first += asset.files.size();
    }
    m_fileItems.clear();
    m_fileItems.reserve(m_files.size());
    m_nextAsset = 0;
    m_nextApplied = 0;
    m_applyLimit = 0;
    m_statesArrived = false;
    m_statesKnown = false;
    m_tree->clear();
    const standin::SessionId session = m_snapshot.sessionAlive ? m_host.Session() : 0;

    if (m_snapshot.assets.size() <= kImmediateAssets) {
        m_statesKnown = session && m_host.AddServerStates(session, m_files);
        m_statesArrived = true;
        m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        while (m_nextAsset < m_snapshot.assets.size())
            FeedRows();
        return;
    }

    // Sizing columns to their contents would measure every row at each change.
    m_tree->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_tree->setColumnWidth(kNameColumn, kNameWidth);
    m_tree->setColumnWidth(kServerColumn, kServerWidth);
    m_loading = true;
    m_heartbeat.start();
    m_feed.start();
    if (!session) {
        m_statesArrived = true;
        return;
    }
    auto files = std::make_shared<std::vector<FileState>>(m_files);
    auto known = std::make_shared<bool>(false);
    DemoHost& host = m_host;
    const std::uint64_t generation = m_generation;
    QPointer<AssetTreeFeeder> self(this);
    QThread* query = QThread::create([&host, session, files, known, self, generation] {
        // The first rows' states first, so that the top of the window is right within seconds.
        auto head = std::make_shared<std::vector<FileState>>(
            files->begin(), files->begin() + static_cast<std::ptrdiff_t>(std::min(kFirstStates, files->size())));
        if (host.AddServerStates(session, *head))
            QMetaObject::invokeMethod(
                self,
                [self, generation, head] {
                    if (self) self->OnFirstStates(generation, *head);
                },
                Qt::QueuedConnection);
        *known = host.AddServerStates(session, *files);
    });
    connect(query, &QThread::finished, this, [this, query, generation, files, known] {
        m_queries.erase(std::remove(m_queries.begin(), m_queries.end(), query), m_queries.end());
        query->deleteLater();
        OnServerStates(generation, files, *known);
    });
    m_queries.push_back(query);
    query->start();
}

void AssetTreeFeeder::FeedRows()
{
    if (m_nextAsset < m_snapshot.assets.size()) {
        const std::size_t end = std::min(m_snapshot.assets.size(), m_nextAsset + kRowsPerBatch);
        QList<QTreeWidgetItem*> rows;
        for (; m_nextAsset < end; ++m_nextAsset)
            rows.push_back(MakeRow(m_snapshot.assets[m_nextAsset], m_firstFile[m_nextAsset]));
        m_tree->addTopLevelItems(rows);
        for (QTreeWidgetItem* row : rows) {
            row->setExpanded(true);
            if (!m_selected.isEmpty() && row->data(0, kAssetNameRole).toString() == m_selected)
                m_tree->setCurrentItem(row);
        }
        if (m_times.firstRowsMs == 0) m_times.firstRowsMs = m_clock.elapsed();
        if (m_nextAsset == m_snapshot.assets.size()) m_times.allRowsMs = m_clock.elapsed();
        if (m_nextAsset < m_snapshot.assets.size() || !m_loading) return;
    }
    if (!m_statesArrived) {
        m_feed.stop(); // until the query answers
        return;
    }
    if (m_nextApplied < m_applyLimit) {
        ApplyStates();
        return;
    }
    Finish();
}

void AssetTreeFeeder::ApplyStates()
{
    const std::size_t end = std::min(m_applyLimit, m_nextApplied + kStatesPerBatch);
    for (; m_nextApplied < end; ++m_nextApplied)
        ShowFileState(m_fileItems[m_nextApplied], m_files[m_nextApplied]);
}

void AssetTreeFeeder::OnServerStates(std::uint64_t generation, std::shared_ptr<std::vector<FileState>> states,
                                     bool known)
{
    if (generation != m_generation) return;
    m_statesArrived = true;
    m_statesKnown = known;
    if (known) m_files = std::move(*states);
    // Rows made from now on show the answer; those already made get it in batches.
    m_nextApplied = 0;
    m_applyLimit = m_fileItems.size();
    if (!m_feed.isActive()) m_feed.start();
}

void AssetTreeFeeder::OnFirstStates(std::uint64_t generation, const std::vector<FileState>& states)
{
    if (generation != m_generation || m_statesArrived) return;
    std::copy(states.begin(), states.end(), m_files.begin());
    for (std::size_t i = 0; i < states.size() && i < m_fileItems.size(); ++i)
        ShowFileState(m_fileItems[i], m_files[i]);
    if (m_times.firstStatesMs == 0) m_times.firstStatesMs = m_clock.elapsed();
}

void AssetTreeFeeder::Finish()
{
    m_feed.stop();
    m_heartbeat.stop();
    Beat();
    m_loading = false;
    m_times.statesMs = m_clock.elapsed();
    if (m_times.firstStatesMs == 0) m_times.firstStatesMs = m_times.statesMs;
    m_times.statesKnown = m_statesKnown;
    if (m_loaded) m_loaded(m_times);
}

void AssetTreeFeeder::Beat()
{
    const qint64 now = m_clock.elapsed();
    m_times.longestPauseMs = std::max(m_times.longestPauseMs, now - m_lastBeat);
    m_lastBeat = now;
}

QTreeWidgetItem* AssetTreeFeeder::MakeRow(const AssetView& asset, std::size_t firstFile)
{
    auto* row = new QTreeWidgetItem({QString::fromStdString(asset.name + StateLabel(asset))});
    row->setData(0, kAssetNameRole, asset.deleted ? QString() : QString::fromStdString(asset.name));
    QFont bold = row->font(0);
    bold.setBold(true);
    row->setFont(0, bold);
    for (std::size_t i = 0; i < asset.files.size(); ++i) {
        const FileState& file = m_files[firstFile + i];
        auto* child = new QTreeWidgetItem(
            row, {QString::fromStdString(file.depotPath), QString(), QString::fromStdString(DescribeDiskState(file))});
        child->setData(0, kAssetNameRole, row->data(0, kAssetNameRole));
        child->setToolTip(0, DemoMessageBox::ToolTip(QString::fromStdString(file.localPath)));
        ShowFileState(child, file);
        m_fileItems.push_back(child);
    }
    return row;
}

void AssetTreeFeeder::ShowFileState(QTreeWidgetItem* item, const FileState& file) const
{
    const bool answered = m_statesArrived || file.statusKnown;
    item->setText(kServerColumn, answered ? QString::fromStdString(DescribeServerState(file)) : tr(kAsking));
    item->setForeground(kServerColumn, StateColour(file));
}

} // namespace demo
