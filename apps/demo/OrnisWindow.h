// The demo host's main window ("OrnisWindow", the name the plug-in looks for): the item library's
// assets with their files and revision-control state, the editor actions, simulation switches, and
// the host log.
#pragma once

#include "AssetTreeFeeder.h"
#include "DemoHost.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QPlainTextEdit;
class QTreeWidget;

namespace demo {

class OrnisWindow : public QMainWindow {
public:
    static constexpr const char* kObjectName = "OrnisWindow";

    explicit OrnisWindow(DemoHost& host);
    ~OrnisWindow() override;

    // Reads the state again from the server, the disk and the data model; a large project's
    // rows and states arrive while the window goes on answering.
    void Refresh();
    bool Loading() const { return m_feeder->Loading(); }
    // Called each time a refresh has put every row and state it could get on screen.
    void SetLoadedCallback(std::function<void(const AssetTreeFeeder::LoadTimes&)> loaded)
    {
        m_loaded = std::move(loaded);
    }
    // The status bar's message (the last report), left of the session line.
    QString StatusMessage() const;

protected:
    // A hovered menu entry without a tip of its own leaves the last report in the status bar.
    bool event(QEvent* event) override;

private:
    // The status bar's permanent line: who works where, the session, the pending changelists
    // (those the rows show files in, the default one included).
    void ShowSessionLine();
    void BuildActions();
    standin::DbObject* SelectedAsset() const;
    // Runs an action on the selected asset (or tells that none is selected), then refreshes.
    void OnAsset(const std::function<void(standin::DbObject*)>& action);
    void Report(const QString& text);
    // What a host-log entry tells of interrupted work, or nothing when it tells of something else.
    static QString SettledText(const standin::MemoryLog::Entry& entry);
    // Adds it to the status bar, where it stays until the next action's report.
    void TellSettled(const QString& told);

    void EditAsset();
    void CheckOut();
    void MakeWritable();
    void ShowFiles(bool inFileManager);
    void CreateAsset();
    void DeleteAsset();
    void Save();
    void Submit();
    // Brings the selected asset (everything, when all is true) to the head revision and tells
    // what changed, what came and went, and any conflict.
    void GetLatest(bool all);
    // Reverts the selected asset after a confirmation that names what is lost.
    void Revert();
    // Marks the selected asset for add through the plug-in's command, in the default changelist.
    void MarkForAdd();
    void ShowPreferences();
    void ToggleSlow(bool slow);
    void ExpireSession();
    // The Refresh action: offers to connect first when revision control is not connected.
    void RefreshFromServer();
    // Asks whether to connect when no session is open; true when one is open afterwards. Otherwise
    // whyNot tells why, naming the user and the server. A session kept while its server has not
    // answered since a cancel is told as such, without asking for the password.
    bool OfferToConnect(QString& whyNot);
    // The Connect action: the password dialog only when no session is open or kept.
    void ConnectIfNeeded();
    // The password dialog until the server accepts the password or the user cancels.
    bool Connect();

    DemoHost& m_host;
    QTreeWidget* m_tree = nullptr;
    AssetTreeFeeder* m_feeder = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QLabel* m_sessionLine = nullptr;
    std::vector<ChangeListInfo> m_pending; // the numbered ones, as the last refresh found them
    std::function<void(const AssetTreeFeeder::LoadTimes&)> m_loaded;
    // What the host's log said of interrupted work since the last report.
    QString m_settled;
};

} // namespace demo
