// AssetTreeFeeder: fills the window's asset tree. A small project is shown at once with every
// state; a large one is fed a batch of rows per turn of the event loop while one status query of
// all its files runs on a thread of its own, whose answer is then applied in batches too, so that
// the window stays responsive with 100,000 assets.
#pragma once

#include "AssetSnapshot.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QThread;
class QTreeWidget;
class QTreeWidgetItem;

namespace demo {

class AssetTreeFeeder : public QObject {
    Q_OBJECT

public:
    // Up to this many assets the tree is filled at once, states included.
    static constexpr std::size_t kImmediateAssets = 1000;

    struct LoadTimes {
        std::size_t assets = 0;
        qint64 firstRowsMs = 0;    // the first rows on screen
        qint64 allRowsMs = 0;      // every row on screen, the server's side perhaps still unknown
        qint64 firstStatesMs = 0;  // the first rows' server states on screen
        qint64 statesMs = 0;       // every server state on screen
        qint64 longestPauseMs = 0; // the longest the event loop waited on the feeding
        bool statesKnown = false;
    };

    AssetTreeFeeder(QTreeWidget* tree, DemoHost& host);
    // Waits for a status query still running.
    ~AssetTreeFeeder() override;

    // Starts over with the project as it is now; selected names the asset to select again.
    void Load(const QString& selected);
    bool Loading() const { return m_loading; }
    // The project as the last load took it, without the server's side.
    const ProjectSnapshot& Snapshot() const { return m_snapshot; }
    // Every file's state as the rows show it, the server's side once it arrived.
    const std::vector<FileState>& Files() const { return m_files; }
    // Called when a load has put every row and every state it could get on screen.
    void SetLoadedCallback(std::function<void(const LoadTimes&)> loaded) { m_loaded = std::move(loaded); }

    static constexpr int kAssetNameRole = Qt::UserRole + 1;
    enum Column { kNameColumn, kServerColumn, kDiskColumn, kColumnCount };

private:
    void FeedRows();
    void ApplyStates();
    void OnFirstStates(std::uint64_t generation, const std::vector<FileState>& states);
    void OnServerStates(std::uint64_t generation, std::shared_ptr<std::vector<FileState>> states, bool known);
    void Finish();
    void Beat();
    QTreeWidgetItem* MakeRow(const AssetView& asset, std::size_t firstFile);
    void ShowFileState(QTreeWidgetItem* item, const FileState& file) const;

    QTreeWidget* m_tree;
    DemoHost& m_host;
    std::function<void(const LoadTimes&)> m_loaded;
    ProjectSnapshot m_snapshot;
    std::vector<FileState> m_files;            // every file's state, in snapshot order
    std::vector<QTreeWidgetItem*> m_fileItems; // the rows made so far, one per file
    std::vector<std::size_t> m_firstFile;      // per asset, its first file's index
    std::size_t m_nextAsset = 0;
    std::size_t m_nextApplied = 0;
    std::size_t m_applyLimit = 0;
    bool m_statesArrived = false;
    bool m_statesKnown = false;
    bool m_loading = false;
    QString m_selected;
    std::uint64_t m_generation = 0;
    std::vector<QThread*> m_queries;
    QTimer m_feed;
    QTimer m_heartbeat;
    QElapsedTimer m_clock;
    qint64 m_lastBeat = 0;
    LoadTimes m_times;
};

} // namespace demo
