// The changelist file is shared by every process on a working copy and may be damaged by any of
// them: whatever its bytes, reading it either fails with a reason and leaves it as it is, or gives
// changelists that can be used, and a new changelist round-trips.
#include "FuzzRun.h"
#include "subversion/ChangeListFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>

namespace {

using standin::svn::ChangeListFile;
using Pending = std::map<long, std::string>;

const std::vector<std::string> kSeeds = {
    R"({"next":1,"pending":[]})",
    R"({"next":3,"pending":[{"number":1,"description":"a"},{"number":2,"description":"<b>x</b>"}]})",
    R"({"next":999999999,"pending":[{"number":999999998,"description":"last but one"}]})",
};

const std::vector<std::string> kTokens = {
    // the file's keys
    R"("next":)", R"("pending":)", R"("number":)", R"("description":)",
    // numbers at and past the edges, and other values
    "0", "-1", "1e9", "999999999", "1000000000", "9007199254740993", "1.5", "null", "true",
    // structure, escapes and bytes that are not text
    "[", "]", "{", "}", ",", "\"", "\\u0000", "\xff", R"({"number":1,"description":"d"})", "\n\t\x1b[31m"};

// A number the host can name its changelist by, and read back from that name.
bool Usable(long number)
{
    return number >= 1 && ChangeListFile::NumberOf(std::to_string(number)) == number;
}

class ChangeListFileFuzz : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkdir(".svn"));
    }
    QString DataPath() const { return folder.path() + "/.svn/" + ChangeListFile::kFileName; }
    void Write(const std::string& bytes) const
    {
        QFile file(DataPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
    }
    std::string Read() const
    {
        QFile file(DataPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    QTemporaryDir folder;
    const ChangeListFile changeLists{folder.path().toStdString()};
};

TEST_F(ChangeListFileFuzz, AnyFileIsEitherRefusedAsDamageAndKeptOrUsable)
{
    FuzzRun run;
    std::size_t refused = 0;
    while (run.Next() && !HasFailure()) {
        const std::string bytes = run.Mutate(kSeeds[run.Below(kSeeds.size())], kTokens);
        SCOPED_TRACE(testing::Message() << "seed " << run.Seed() << ", round " << run.Rounds() << ", input: " << bytes);
        Write(bytes);
        Pending before;
        std::string error;
        long number = 0;
        if (!changeLists.Load(before, error)) {
            // Every change of a damaged file is refused, and the file stays byte for byte as it was.
            ++refused;
            EXPECT_FALSE(error.empty());
            error.clear();
            EXPECT_FALSE(changeLists.Create("fuzz", number, error));
            EXPECT_FALSE(error.empty());
            EXPECT_FALSE(changeLists.Remove(1, error));
            EXPECT_EQ(Read(), bytes);
            continue;
        }
        // A readable file gives usable numbers.
        for (const auto& entry : before)
            EXPECT_TRUE(Usable(entry.first)) << "changelist " << entry.first << " cannot be named";
        if (!changeLists.Create("fuzz", number, error)) {
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(Read(), bytes) << "a refused new changelist changed the file";
        } else {
            // A new changelist gets a usable number of its own and is stored beside the others, then removed.
            EXPECT_TRUE(Usable(number)) << "new changelist " << number << " cannot be named";
            EXPECT_EQ(before.count(number), 0u) << "number " << number << " handed out twice";
            Pending after;
            ASSERT_TRUE(changeLists.Load(after, error)) << error;
            Pending expected = before;
            expected[number] = "fuzz";
            EXPECT_EQ(after, expected);
            ASSERT_TRUE(changeLists.Remove(number, error)) << error;
            ASSERT_TRUE(changeLists.Load(after, error)) << error;
            EXPECT_EQ(after, before);
        }
    }
    // Both branches must have been walked for the run to mean anything.
    EXPECT_GT(refused, 0u);
    EXPECT_LT(refused, run.Rounds());
}

} // namespace
