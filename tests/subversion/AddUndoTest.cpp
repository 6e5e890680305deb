// An add that fails midway and whose undo fails too: another client of the working copy holds its
// database for writing from the moment the first file is scheduled.
#include "BackendFixture.h"

#include <sqlite3.h>

#include <atomic>

namespace {

constexpr const char* kFolder = "props/many";
constexpr int kFiles = 300;
constexpr auto kGiveUp = std::chrono::seconds(60);
constexpr int kAttempts = 5;

// Another program's transaction on the working copy's database: it waits until a node under the
// folder is scheduled, then takes the database for writing and keeps it until released.
class DatabaseHolder {
public:
    DatabaseHolder(const std::string& workingCopy, const std::string& folder)
        : m_thread([this, database = workingCopy + "/.svn/wc.db", folder] { Hold(database, folder); })
    {
    }
    ~DatabaseHolder() { Release(); }
    void Release()
    {
        m_released = true;
        if (m_thread.joinable()) m_thread.join();
    }
    bool Held() const { return m_held; }

private:
    void Hold(const std::string& database, const std::string& folder)
    {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return;
        }
        sqlite3_busy_timeout(db, 2000);
        const std::string count = "SELECT count(*) FROM nodes WHERE local_relpath LIKE '" + folder + "/%'";
        const auto giveUp = std::chrono::steady_clock::now() + kGiveUp;
        while (!m_released && std::chrono::steady_clock::now() < giveUp) {
            sqlite3_stmt* statement = nullptr;
            int scheduled = 0;
            if (sqlite3_prepare_v2(db, count.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW)
                scheduled = sqlite3_column_int(statement, 0);
            sqlite3_finalize(statement);
            if (scheduled > 0 && sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK) {
                m_held = true;
                while (!m_released && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sqlite3_close(db);
    }

    std::atomic<bool> m_released{false};
    std::atomic<bool> m_held{false};
    std::thread m_thread;
};

TEST(AddUndoTest, AnAddWhoseUndoFailsTooIsToldAsPartlyDoneNamingWhatStaysScheduled)
{
    SvnSandbox sandbox{{{kAlice, ""}}};
    ASSERT_EQ(sandbox.Error(), "");
    ASSERT_EQ(sandbox.Commit(kAlice, {{"props/lamp.qor", "lamp"}}), "");
    standin::SvnBackend backend;
    std::string failure;
    const standin::SessionId alice = sandbox.Open(backend, kAlice, failure);
    ASSERT_NE(alice, 0) << failure;
    std::filesystem::create_directories(sandbox.PathOf(kAlice, kFolder));
    standin::FileList files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(sandbox.PathOf(kAlice, kFolder) + "/" + std::to_string(i) + ".qor");
        Write(files.back(), std::to_string(i));
    }

    // The other client must take the database while the add runs; an add quick enough to finish
    // first is undone and tried again.
    standin::ServerResult added;
    bool held = false;
    for (int attempt = 0; attempt < kAttempts && !held; ++attempt) {
        if (attempt > 0) {
            ASSERT_TRUE(Done(backend.Revert(alice, files)));
        }
        DatabaseHolder holder(sandbox.WorkingCopy(kAlice), kFolder);
        added = backend.Add(alice, files, "");
        held = holder.Held();
        holder.Release();
    }

    ASSERT_TRUE(held) << "the database was never taken: " << added.text;
    EXPECT_EQ(added.code, ServerCode::kPartlyDone) << added.text;
    EXPECT_TRUE(Has(added.text, "is in use by another program"));
    EXPECT_FALSE(Has(added.text, "did not answer")) << "no server was involved";
    const std::size_t list = added.text.find("could not be unscheduled again:\n");
    ASSERT_NE(list, std::string::npos) << added.text;
    const std::size_t unsure = added.text.find("may be scheduled as well", list);
    // What the answer says is scheduled is scheduled, and nothing scheduled goes unmentioned.
    const standin::StatusResult status = backend.Status(alice, files, standin::StatusScope::kLocal);
    ASSERT_TRUE(Done(status));
    int scheduled = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::size_t at = added.text.find(files[i] + "\n", list);
        const bool named = at != std::string::npos;
        const bool surely = named && (unsure == std::string::npos || at < unsure);
        const bool marked = (status.words[i] & fs::kMarkedForAdd) != 0;
        if (surely) {
            EXPECT_TRUE(marked) << files[i] << "\n" << added.text;
        }
        if (marked) {
            EXPECT_TRUE(named) << files[i] << "\n" << added.text;
        }
        scheduled += marked ? 1 : 0;
    }
    EXPECT_GT(scheduled, 0);
    EXPECT_LT(scheduled, kFiles) << "the add stopped when the database was taken";

    // Nothing is lost: once the other client is done, the user's revert unschedules the rest.
    ASSERT_TRUE(Done(backend.Revert(alice, files)));
    const standin::StatusResult after = backend.Status(alice, files, standin::StatusScope::kLocal);
    ASSERT_TRUE(Done(after));
    EXPECT_EQ(after.words, Words(files.size(), fs::kNotInDepot));
    for (const std::string& file : files)
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
}

} // namespace
