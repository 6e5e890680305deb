// The changelist file shared by every process on a working copy: changes under a lock, damage told.
#include "subversion/ChangeListFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <map>
#include <set>

namespace {

using standin::svn::ChangeListFile;

class ChangeListFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkdir(".svn"));
    }
    std::string WorkingCopy() const { return folder.path().toStdString(); }
    QString DataPath() const { return folder.path() + "/.svn/" + ChangeListFile::kFileName; }
    void WriteData(const QByteArray& content) const
    {
        QFile file(DataPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray ReadData() const
    {
        QFile file(DataPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

    std::map<long, std::string> pending;
    std::string error;
    ASSERT_TRUE(ChangeListFile(WorkingCopy()).Load(pending, error)) << error;
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
    std::map<long, std::string> pending;
    ASSERT_TRUE(file.Load(pending, error)) << error;
    EXPECT_EQ(pending, (std::map<long, std::string>{{1, "one"}, {3, "three"}}));
}

TEST_F(ChangeListFileTest, TheLastNumbersAreUsableAndThenCreatingIsRefusedWithTheFileKept)
{
    const std::string before =
        "{\"next\": " + std::to_string(ChangeListFile::kLargestNumber - 1) + ", \"pending\": []}";
    WriteData(QByteArray::fromStdString(before));
    const ChangeListFile file(WorkingCopy());
    long number = 0;
    std::string error;
    ASSERT_TRUE(file.Create("last", number, error)) << error;
    EXPECT_EQ(number, ChangeListFile::kLargestNumber - 1);
    EXPECT_EQ(ChangeListFile::NumberOf(std::to_string(number)), number) << "a number handed out names a changelist";

    const QByteArray full = ReadData();
    long another = 0;
    EXPECT_FALSE(file.Create("one too many", another, error));
    EXPECT_NE(error.find("Every changelist number"), std::string::npos) << error;
    EXPECT_NE(error.find(DataPath().toStdString()), std::string::npos) << error;
    EXPECT_EQ(ReadData(), full);
    std::map<long, std::string> pending;
    ASSERT_TRUE(file.Load(pending, error)) << error;
    EXPECT_EQ(pending, (std::map<long, std::string>{{number, "last"}}));
}

struct Damage {
    const char* name;
    const char* content;
};

TEST_F(ChangeListFileTest, AFileThatCannotBeOpenedIsAnErrorNamingItNotAFreshStart)
{
    // A folder in the file's place: unlike a file's permissions, it stops even root from reading.
    ASSERT_TRUE(QDir().mkdir(DataPath()));
    const ChangeListFile file(WorkingCopy());
    std::map<long, std::string> pending;
    std::string error;
    EXPECT_FALSE(file.Load(pending, error));
    EXPECT_NE(error.find("Cannot read the changelists"), std::string::npos) << error;
    EXPECT_NE(error.find(DataPath().toStdString()), std::string::npos) << error;
    long number = 0;
    EXPECT_FALSE(file.Create("new work", number, error));
    EXPECT_TRUE(QFileInfo(DataPath()).isDir());
}

class DamagedChangeListFileTest : public ChangeListFileTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedChangeListFileTest, IsAClearErrorNamingTheFileAndIsLeftAsItIs)
{
    const QByteArray damaged(GetParam().content);
    WriteData(damaged);
    const ChangeListFile file(WorkingCopy());
    std::map<long, std::string> pending;
    std::string loadError;
    EXPECT_FALSE(file.Load(pending, loadError));
    long number = 0;
    std::string createError;
    EXPECT_FALSE(file.Create("new work", number, createError));
    for (const std::string& error : {loadError, createError}) {
        EXPECT_NE(error.find("damaged"), std::string::npos) << error;
        EXPECT_NE(error.find(DataPath().toStdString()), std::string::npos) << error;
    }
    EXPECT_EQ(ReadData(), damaged);
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
