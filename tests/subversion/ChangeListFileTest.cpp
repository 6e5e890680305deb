// The changelist file shared by every process on a working copy: changes under a lock, damage told.
#include "subversion/ChangeListFile.h"
#include "BackendFixture.h"

#include <QProcess>
#include <QTemporaryDir>

#include <set>

namespace {

using standin::svn::ChangeListFile;
using Pending = std::map<long, std::string>;

class ChangeListFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(std::filesystem::create_directory(WorkingCopy() + "/.svn"));
    }
    std::string WorkingCopy() const { return folder.path().toStdString(); }
    std::string DataPath() const { return WorkingCopy() + "/.svn/" + ChangeListFile::kFileName; }
    // The pending changelists of a file that must load.
    static Pending Loaded(const ChangeListFile& file)
    {
        Pending pending;
        std::string error;
        EXPECT_TRUE(file.Load(pending, error)) << error;
        return pending;
    }

    QTemporaryDir folder;
};

TEST_F(ChangeListFileTest, TwoProcessesCreatingAtOnceGetDistinctNumbersAndKeepEveryDescription)
{
    constexpr int kEach = 100;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const char* prefix : {"first", "second"}) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QStringLiteral(ZR_CHANGELIST_WRITER),
                              {QString::fromStdString(WorkingCopy()), prefix, QString::number(kEach)});
    }
    for (auto& writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(60000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    }

    const Pending pending = Loaded(ChangeListFile(WorkingCopy()));
    ASSERT_EQ(pending.size(), 2u * kEach);
    EXPECT_EQ(pending.begin()->first, 1);
    EXPECT_EQ(pending.rbegin()->first, 2 * kEach);
    std::set<std::string> descriptions;
    for (const auto& entry : pending)
        descriptions.insert(entry.second);
    for (const char* prefix : {"first", "second"})
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(descriptions.count(std::string(prefix) + " " + std::to_string(i)), 1u) << prefix << " " << i;
}

TEST_F(ChangeListFileTest, NumbersAreNotHandedOutAgainAfterARemoval)
{
    const ChangeListFile file(WorkingCopy());
    long first = 0, second = 0, third = 0;
    std::string error;
    ASSERT_TRUE(file.Create("one", first, error) && file.Create("two", second, error)) << error;
    ASSERT_TRUE(file.Remove(second, error)) << error;
    ASSERT_TRUE(file.Create("three", third, error)) << error;
    EXPECT_EQ(std::vector<long>({first, second, third}), std::vector<long>({1, 2, 3}));
    EXPECT_EQ(Loaded(file), (Pending{{1, "one"}, {3, "three"}}));
}

TEST_F(ChangeListFileTest, TheLastNumbersAreUsableAndThenCreatingIsRefusedWithTheFileKept)
{
    Write(DataPath(), "{\"next\": " + std::to_string(ChangeListFile::kLargestNumber - 1) + ", \"pending\": []}");
    const ChangeListFile file(WorkingCopy());
    long number = 0;
    std::string error;
    ASSERT_TRUE(file.Create("last", number, error)) << error;
    EXPECT_EQ(number, ChangeListFile::kLargestNumber - 1);
    EXPECT_EQ(ChangeListFile::NumberOf(std::to_string(number)), number) << "a number handed out names a changelist";

    const std::string full = Read(DataPath());
    long another = 0;
    EXPECT_FALSE(file.Create("one too many", another, error));
    EXPECT_TRUE(Has(error, "Every changelist number"));
    EXPECT_TRUE(Has(error, DataPath()));
    EXPECT_EQ(Read(DataPath()), full);
    EXPECT_EQ(Loaded(file), (Pending{{number, "last"}}));
}

TEST_F(ChangeListFileTest, AFileThatCannotBeOpenedIsAnErrorNamingItNotAFreshStart)
{
    // A folder in the file's place: unlike a file's permissions, it stops even root from reading.
    ASSERT_TRUE(std::filesystem::create_directory(DataPath()));
    const ChangeListFile file(WorkingCopy());
    Pending pending;
    std::string error;
    EXPECT_FALSE(file.Load(pending, error));
    EXPECT_TRUE(Has(error, "Cannot read the changelists"));
    EXPECT_TRUE(Has(error, DataPath()));
    long number = 0;
    EXPECT_FALSE(file.Create("new work", number, error));
    EXPECT_TRUE(std::filesystem::is_directory(DataPath()));
}

struct Damage {
    const char* name;
    const char* content;
};

class DamagedChangeListFileTest : public ChangeListFileTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedChangeListFileTest, IsAClearErrorNamingTheFileAndIsLeftAsItIs)
{
    const std::string damaged = GetParam().content;
    Write(DataPath(), damaged);
    const ChangeListFile file(WorkingCopy());
    Pending pending;
    std::string loadError;
    EXPECT_FALSE(file.Load(pending, loadError));
    long number = 0;
    std::string createError;
    EXPECT_FALSE(file.Create("new work", number, createError));
    for (const std::string& error : {loadError, createError}) {
        EXPECT_TRUE(Has(error, "damaged"));
        EXPECT_TRUE(Has(error, DataPath()));
    }
    EXPECT_EQ(Read(DataPath()), damaged);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, DamagedChangeListFileTest,
    ::testing::Values(
        Damage{"Empty", ""}, Damage{"Truncated", "{\"next\": 3, \"pending\": [{\"number\": 1, \"descr"},
        Damage{"NotAnObject", "[]"}, Damage{"NotJson", "not json at all"}, Damage{"NoNext", "{\"pending\": []}"},
        Damage{"NextAsText", "{\"next\": \"3\", \"pending\": []}"},
        Damage{"PendingNotAList", "{\"next\": 3, \"pending\": {}}"},
        Damage{"NumberAsText", "{\"next\": 3, \"pending\": [{\"number\": \"1\", \"description\": \"a\"}]}"},
        Damage{"DescriptionNotText", "{\"next\": 3, \"pending\": [{\"number\": 1, \"description\": 5}]}"},
        Damage{"FractionalNumber", "{\"next\": 3, \"pending\": [{\"number\": 1.5, \"description\": \"a\"}]}"},
        Damage{"NumberTwice", "{\"next\": 3, \"pending\": [{\"number\": 1, \"description\": \"a\"}, "
                              "{\"number\": 1, \"description\": \"b\"}]}"},
        Damage{"NumberPastNext", "{\"next\": 2, \"pending\": [{\"number\": 7, \"description\": \"a\"}]}"},
        // Numbers no changelist name can carry: what such a file would hand out could not be used.
        Damage{"NextPastTheLargestNumber", "{\"next\": 1000000000, \"pending\": []}"},
        Damage{"NextBeyondAnyInteger", "{\"next\": 1e300, \"pending\": []}"},
        Damage{"NumberZero", "{\"next\": 3, \"pending\": [{\"number\": 0, \"description\": \"a\"}]}"},
        Damage{"NumberPastTheLargest",
               "{\"next\": 3, \"pending\": [{\"number\": 1000000001, \"description\": \"a\"}]}"}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

} // namespace
