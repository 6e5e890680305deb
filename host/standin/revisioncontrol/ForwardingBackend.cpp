#include "revisioncontrol/ForwardingBackend.h"

#include <utility>

namespace standin {

namespace {

const std::string kLocks = "locks";
const std::string kNoLocks;

using Kind = Passage::Kind;

Passage Of(const char* operation, Kind kind, SessionId session, const FileList* files = nullptr,
           const std::string* text = nullptr)
{
    Passage passage;
    passage.operation = operation;
    passage.kind = kind;
    passage.session = session;
    passage.files = files;
    passage.text = text;
    return passage;
}

bool Plain(const ServerResult& answer)
{
    return answer.code == qor4::kResultOk && answer.text.empty();
}

} // namespace

std::vector<std::string> Passage::Arguments() const
{
    if (credentials) return {credentials->user, credentials->server, credentials->workspace};
    if (!files) return text ? std::vector<std::string>{*text} : std::vector<std::string>{};
    std::vector<std::string> arguments(files->begin(), files->end());
    if (text && !text->empty()) arguments.push_back(*text);
    return arguments;
}

ForwardingBackend::ForwardingBackend(std::shared_ptr<RevisionBackend> inner) : m_inner(std::move(inner)) {}

ServerResult ForwardingBackend::Admit(const Passage&)
{
    return {};
}

void ForwardingBackend::Carry(const Passage&, ServerResult*, const std::function<void()>& forward)
{
    forward();
}

template <typename Result, typename Forward> Result ForwardingBackend::Pass(const Passage& passage, Forward forward)
{
    Result result;
    const ServerResult admitted = Admit(passage);
    if (!Plain(admitted)) {
        result.code = admitted.code;
        result.text = admitted.text;
        return result;
    }
    Carry(passage, &result, [this, &result, &forward] { result = forward(*Next()); });
    return result;
}

template <typename Forward> bool ForwardingBackend::Ask(const Passage& passage, Forward forward)
{
    if (!Plain(Admit(passage))) return false;
    bool answer = false;
    Carry(passage, nullptr, [this, &answer, &forward] { answer = forward(*Next()); });
    return answer;
}

LoginResult ForwardingBackend::OpenSession(const Credentials& credentials)
{
    Passage passage = Of(ServerOp::kLogin, Kind::kSession, 0);
    passage.credentials = &credentials;
    return Pass<LoginResult>(passage, [&](RevisionBackend& next) { return next.OpenSession(credentials); });
}

void ForwardingBackend::CloseSession(SessionId session)
{
    const Passage passage = Of("", Kind::kSession, session);
    Admit(passage);
    Carry(passage, nullptr, [this, session] { Next()->CloseSession(session); });
}

bool ForwardingBackend::IsSessionOpen(SessionId session)
{
    return Ask(Of("", Kind::kQuery, session), [&](RevisionBackend& next) { return next.IsSessionOpen(session); });
}

ServerResult ForwardingBackend::Edit(SessionId session, const FileList& files, const std::string& changeList)
{
    return Pass<ServerResult>(Of(ServerOp::kEdit, Kind::kChange, session, &files, &changeList),
                              [&](RevisionBackend& next) { return next.Edit(session, files, changeList); });
}

AddResult ForwardingBackend::Add(SessionId session, const FileList& files, const std::string& changeList)
{
    return Pass<AddResult>(Of(ServerOp::kAdd, Kind::kChange, session, &files, &changeList),
                           [&](RevisionBackend& next) { return next.Add(session, files, changeList); });
}

ServerResult ForwardingBackend::Delete(SessionId session, const FileList& files, const std::string& changeList)
{
    return Pass<ServerResult>(Of(ServerOp::kDelete, Kind::kChange, session, &files, &changeList),
                              [&](RevisionBackend& next) { return next.Delete(session, files, changeList); });
}

ServerResult ForwardingBackend::Revert(SessionId session, const FileList& files)
{
    return Pass<ServerResult>(Of(ServerOp::kRevert, Kind::kChange, session, &files),
                              [&](RevisionBackend& next) { return next.Revert(session, files); });
}

ServerResult ForwardingBackend::MakeWritable(SessionId session, const FileList& files)
{
    return Pass<ServerResult>(Of(ServerOp::kMakeWritable, Kind::kChange, session, &files),
                              [&](RevisionBackend& next) { return next.MakeWritable(session, files); });
}

StatusResult ForwardingBackend::Status(SessionId session, const FileList& files, StatusScope scope)
{
    return Pass<StatusResult>(Of(ServerOp::kStatus, Kind::kQuery, session, &files),
                              [&](RevisionBackend& next) { return next.Status(session, files, scope); });
}

UsersResult ForwardingBackend::Users(SessionId session, const FileList& files, bool includeLocks)
{
    return Pass<UsersResult>(Of(ServerOp::kUsers, Kind::kQuery, session, &files, includeLocks ? &kLocks : &kNoLocks),
                             [&](RevisionBackend& next) { return next.Users(session, files, includeLocks); });
}

ChangeListResult ForwardingBackend::CreateChangeList(SessionId session, const std::string& description)
{
    return Pass<ChangeListResult>(Of(ServerOp::kCreateChangeList, Kind::kChange, session, nullptr, &description),
                                  [&](RevisionBackend& next) { return next.CreateChangeList(session, description); });
}

ChangeListsResult ForwardingBackend::PendingChangeLists(SessionId session)
{
    return Pass<ChangeListsResult>(Of(ServerOp::kPendingChangeLists, Kind::kQuery, session),
                                   [&](RevisionBackend& next) { return next.PendingChangeLists(session); });
}

DescriptionResult ForwardingBackend::ChangeListDescription(SessionId session, const std::string& changeList)
{
    return Pass<DescriptionResult>(
        Of(ServerOp::kChangeListDescription, Kind::kQuery, session, nullptr, &changeList),
        [&](RevisionBackend& next) { return next.ChangeListDescription(session, changeList); });
}

bool ForwardingBackend::IsChangeListValid(SessionId session, const std::string& changeList)
{
    return Ask(Of(ServerOp::kIsChangeListValid, Kind::kQuery, session, nullptr, &changeList),
               [&](RevisionBackend& next) { return next.IsChangeListValid(session, changeList); });
}

ChangeListResult ForwardingBackend::Submit(SessionId session, const std::string& changeList)
{
    return Pass<ChangeListResult>(Of(ServerOp::kSubmit, Kind::kChange, session, nullptr, &changeList),
                                  [&](RevisionBackend& next) { return next.Submit(session, changeList); });
}

UpdateResult ForwardingBackend::Update(SessionId session, const FileList& files)
{
    return Pass<UpdateResult>(Of(ServerOp::kUpdate, Kind::kChange, session, &files),
                              [&](RevisionBackend& next) { return next.Update(session, files); });
}

} // namespace standin
