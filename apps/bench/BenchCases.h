// BenchCases: the benchmark's cases, each at one size, each beside its floor measured in the
// same run. The files they use are seeded once, for every size, before any case is timed.
#pragma once

#include "BenchHost.h"
#include "SvnProgram.h"

#include <QDir>

#include <string>
#include <vector>

// Throws std::runtime_error with what when the condition does not hold.
void Require(bool condition, const std::string& what);
bool Writable(const std::string& file);
// Writes the file, its folders included, or throws.
void WriteFile(const QString& path, const QByteArray& content);

struct CaseResult {
    std::string name;
    int n = 0;
    double plugin = 0;
    double floor = 0;
    // A second reference beside the floor (negative when the case has none).
    double reference = -1;
    double bound = 0;
};

class BenchCases {
public:
    static constexpr int kFilesPerFolder = 100;
    static constexpr int kRuns = 5;

    // The repository's layout for each size: status/n<N>/d<k>/f<i>.qor and checkout/n<N>/d<k>/c<i>.qor.
    static QString StatusFile(int size, int i);
    static QString CheckOutFile(int size, int i);

    // svn: the command-line client for floors; svnAutoProps: the same with the backend's
    // auto-props, for the command-line add.
    BenchCases(BenchHost& host, const SvnProgram& svn, const SvnProgram& svnAutoProps, const QDir& workingCopy,
               std::string user, std::string configFolder);

    CaseResult Status(int size);
    CaseResult CheckOut(int size);
    CaseResult PostSaveAdd(int size);
    CaseResult PreSave(int size);
    // The backend's update of the status case's folder, nothing to bring, beside svn update.
    CaseResult Update(int size);

private:
    std::vector<std::string> Absolute(const QStringList& relative) const;

    BenchHost& m_host;
    const SvnProgram& m_svn;
    const SvnProgram& m_svnAutoProps;
    QDir m_wc;
    std::string m_user;
    std::string m_configFolder;
    std::vector<std::string> m_preSaveFiles;
    int m_addRound = 0;
};
