#include "SvnProgram.h"

#include <QProcess>

#include <stdexcept>
#include <string>

namespace {

constexpr int kPatienceMs = 1800000;

} // namespace

void SvnProgram::Run(const QStringList& arguments, const QString& directory) const
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("svn"), QStringList{"--non-interactive", "--no-auth-cache", "--config-dir",
                                                     m_configFolder, "--username", m_user, "--password", ""} +
                                             arguments);
    const bool finished = process.waitForFinished(kPatienceMs);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return;
    throw std::runtime_error("svn " + arguments.join(' ').left(80).toStdString() + " failed (finished " +
                             std::to_string(finished) + ", status " + std::to_string(process.exitStatus()) + ", code " +
                             std::to_string(process.exitCode()) + "): " + process.readAll().left(300).toStdString());
}
