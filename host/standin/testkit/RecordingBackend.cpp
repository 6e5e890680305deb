#include "RecordingBackend.h"

#include <utility>

namespace standin {

namespace {

std::vector<std::string> Arguments(const FileList& files, const std::string& extra = std::string())
{
    std::vector<std::string> arguments(files.begin(), files.end());
    if (!extra.empty()) arguments.push_back(extra);
    return arguments;
}

} // namespace

RecordingBackend::RecordingBackend(std::shared_ptr<RevisionBackend> inner) : m_inner(std::move(inner)) {}

LoginResult RecordingBackend::OpenSession(const Credentials& credentials)
{
    m_record.Add(ServerOp::kLogin, {credentials.user, credentials.server, credentials.workspace});
    return m_inner->OpenSession(credentials);
}

ServerResult RecordingBackend::Edit(SessionId session, const FileList& files, const std::string& changeList)
{
    m_record.Add(ServerOp::kEdit, Arguments(files, changeList));
    return m_inner->Edit(session, files, changeList);
}

AddResult RecordingBackend::Add(SessionId session, const FileList& files, const std::string& changeList)
{
    m_record.Add(ServerOp::kAdd, Arguments(files, changeList));
    return m_inner->Add(session, files, changeList);
}

ServerResult RecordingBackend::Delete(SessionId session, const FileList& files, const std::string& changeList)
{
    m_record.Add(ServerOp::kDelete, Arguments(files, changeList));
    return m_inner->Delete(session, files, changeList);
}

ServerResult RecordingBackend::Revert(SessionId session, const FileList& files)
{
    m_record.Add(ServerOp::kRevert, Arguments(files));
    return m_inner->Revert(session, files);
}

ServerResult RecordingBackend::MakeWritable(SessionId session, const FileList& files)
{
    m_record.Add(ServerOp::kMakeWritable, Arguments(files));
    return m_inner->MakeWritable(session, files);
}

StatusResult RecordingBackend::Status(SessionId session, const FileList& files, StatusScope scope)
{
    m_record.Add(ServerOp::kStatus, Arguments(files));
    return m_inner->Status(session, files, scope);
}

UsersResult RecordingBackend::Users(SessionId session, const FileList& files, bool includeLocks)
{
    m_record.Add(ServerOp::kUsers, Arguments(files, includeLocks ? "locks" : ""));
    return m_inner->Users(session, files, includeLocks);
}

ChangeListResult RecordingBackend::CreateChangeList(SessionId session, const std::string& description)
{
    m_record.Add(ServerOp::kCreateChangeList, {description});
    return m_inner->CreateChangeList(session, description);
}

ChangeListsResult RecordingBackend::PendingChangeLists(SessionId session)
{
    m_record.Add(ServerOp::kPendingChangeLists, {});
    return m_inner->PendingChangeLists(session);
}

DescriptionResult RecordingBackend::ChangeListDescription(SessionId session, const std::string& changeList)
{
    m_record.Add(ServerOp::kChangeListDescription, {changeList});
    return m_inner->ChangeListDescription(session, changeList);
}

bool RecordingBackend::IsChangeListValid(SessionId session, const std::string& changeList)
{
    m_record.Add(ServerOp::kIsChangeListValid, {changeList});
    return m_inner->IsChangeListValid(session, changeList);
}

ChangeListResult RecordingBackend::Submit(SessionId session, const std::string& changeList)
{
    m_record.Add(ServerOp::kSubmit, {changeList});
    return m_inner->Submit(session, changeList);
}

UpdateResult RecordingBackend::Update(SessionId session, const FileList& files)
{
    m_record.Add(ServerOp::kUpdate, Arguments(files));
    return m_inner->Update(session, files);
}

} // namespace standin
