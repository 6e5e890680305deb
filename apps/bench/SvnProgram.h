// SvnProgram: Subversion's command-line client, as the floor a user would measure and for the
// benchmark's set-up; its output is not read, only whether it succeeded.
#pragma once

#include <QString>
#include <QStringList>

class SvnProgram {
public:
    SvnProgram(QString configFolder, QString user) : m_configFolder(std::move(configFolder)), m_user(std::move(user)) {}
    // Throws std::runtime_error naming the command when it fails or outlasts its patience.
    void Run(const QStringList& arguments, const QString& directory) const;

private:
    QString m_configFolder;
    QString m_user;
};
