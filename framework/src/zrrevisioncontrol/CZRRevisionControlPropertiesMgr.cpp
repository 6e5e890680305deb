#include "CZRRevisionControlPropertiesMgr.h"

#include "HostServices.h"

#include "IZRPrefManager.h"
#include "Log/Log.h"
#include "lark/fwk/IQORDBProxy.h"

namespace {

constexpr const char kClassName[] = "Corvane.ZRC.RevisionControlPropertiesMgr";

namespace Keys {
constexpr const char kUserName[] = "RevControl.UserName";
constexpr const char kServer[] = "RevControl.Server";
constexpr const char kWorkspace[] = "RevControl.Workspace";
constexpr const char kAction[] = "RevControl.ActionWhenEditingReadOnlyAsset";
constexpr const char kAlwaysUseSetting[] = "RevControl.AlwaysUseSetting";
constexpr const char kChangeList[] = "RevControl.ChangeListToUseWhenAutoCheckingOut";
constexpr const char kPromptForChangeList[] = "RevControl.PromptForChangeListWhenCheckingOut";
constexpr const char kUseSourceDataControl[] = "RevControl.UseSourceDataControl";
} // namespace Keys

constexpr int kDefaultAction = IRevisionControlPropertiesMgr::kPrompt;

// The store is fetched anew on every call: the host may replace it at any time.
IZRPrefManager& Store()
{
    return *GetHostSingleton<IZRPrefManager>(HostNames::kPrefManager);
}

std::string ReadText(const char* key, const char* defaultValue)
{
    std::string value;
    Store().GetStringPref(key, defaultValue, value, false);
    return value;
}

void ReadBool(const char* key, bool& value)
{
    Store().GetBoolPref(key, false, value, false);
}

qor4::QORPtr<qor4::IDataModelMgr> ProxyDataModelMgr()
{
    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    return proxy ? proxy->GetDataModelMgr() : qor4::QORPtr<qor4::IDataModelMgr>();
}

} // namespace

CZRRevisionControlPropertiesMgr::CZRRevisionControlPropertiesMgr() = default;
CZRRevisionControlPropertiesMgr::~CZRRevisionControlPropertiesMgr() = default;

const char* CZRRevisionControlPropertiesMgr::GetSingletonName()
{
    return HostNames::kPropertiesMgr;
}

bool CZRRevisionControlPropertiesMgr::GetAccountProperties(std::string& userName, std::string& server,
                                                           std::string& workspace)
{
    Store().GetStringPref(Keys::kUserName, "", userName, false);
    Store().GetStringPref(Keys::kServer, "", server, false);
    Store().GetStringPref(Keys::kWorkspace, "", workspace, false);
    return true;
}

bool CZRRevisionControlPropertiesMgr::GetActionWhenEditingReadOnlyAsset(ActionWhenEditingReadOnlyAsset& action) const
{
    int stored = 0;
    Store().GetIntPref(Keys::kAction, kDefaultAction, stored, false);
    if (stored < kContinue || stored > kMakeWritable) return false;
    action = static_cast<ActionWhenEditingReadOnlyAsset>(stored);
    return true;
}

bool CZRRevisionControlPropertiesMgr::GetAlwaysUseSetting(bool& value)
{
    ReadBool(Keys::kAlwaysUseSetting, value);
    return true;
}

bool CZRRevisionControlPropertiesMgr::GetChangeListToUseWhenAutoCheckingOut(std::string& changeList) const
{
    Store().GetStringPref(Keys::kChangeList, nullptr, changeList, false);
    return true;
}

bool CZRRevisionControlPropertiesMgr::GetPromptForChangeListWhenCheckingOut(bool& value)
{
    ReadBool(Keys::kPromptForChangeList, value);
    return true;
}

const qor4::IUserParameters* CZRRevisionControlPropertiesMgr::GetUserParameters() const
{
    const std::string userName = ReadText(Keys::kUserName, "");
    const std::string workspace = ReadText(Keys::kWorkspace, "");
    const std::string server = ReadText(Keys::kServer, "");

    qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl = GetFileVersionControlOf(ProxyDataModelMgr());
    std::string message;
    const qor4::IUserParameters* parameters =
        fileVersionControl->CreateUserParameters(userName, "", server, workspace, message);
    // Nothing configured yet is no failure worth logging.
    if (!parameters && !(userName.empty() && server.empty() && workspace.empty()))
        Log::Singleton::Instance() << Log::MsgType::Warning << message + "\n";
    return parameters;
}

bool CZRRevisionControlPropertiesMgr::GetUseSourceDataControl(bool& value)
{
    ReadBool(Keys::kUseSourceDataControl, value);
    return true;
}

bool CZRRevisionControlPropertiesMgr::SetAccountProperties(const std::string& userName, const std::string& server,
                                                           const std::string& workspace)
{
    Store().SetStringPref(Keys::kUserName, userName, true);
    Store().SetStringPref(Keys::kWorkspace, workspace, true);
    Store().SetStringPref(Keys::kServer, server, true);
    NotifyPropertiesChanged();
    PushAccountToDataControl();
    return true;
}

bool CZRRevisionControlPropertiesMgr::SetActionWhenEditingReadOnlyAsset(ActionWhenEditingReadOnlyAsset action)
{
    Store().SetIntPref(Keys::kAction, static_cast<int>(action), true);
    NotifyPropertiesChanged();
    return true;
}

bool CZRRevisionControlPropertiesMgr::SetAlwaysUseSetting(bool value)
{
    Store().SetBoolPref(Keys::kAlwaysUseSetting, value, true);
    NotifyPropertiesChanged();
    return true;
}

bool CZRRevisionControlPropertiesMgr::SetChangeListToUseWhenAutoCheckingOut(const std::string& changeList)
{
    Store().SetStringPref(Keys::kChangeList, changeList, true);
    NotifyPropertiesChanged();
    return true;
}

bool CZRRevisionControlPropertiesMgr::SetPromptForChangeListWhenCheckingOut(bool value)
{
    Store().SetBoolPref(Keys::kPromptForChangeList, value, true);
    NotifyPropertiesChanged();
    return true;
}

bool CZRRevisionControlPropertiesMgr::SetUseSourceDataControl(bool value)
{
    Store().SetBoolPref(Keys::kUseSourceDataControl, value, true);
    NotifyPropertiesChanged();
    // The switch itself is not the data control's business; the account as stored is.
    PushAccountToDataControl();
    return true;
}

bool CZRRevisionControlPropertiesMgr::GetUserSawSourceControlDialog() const
{
    return userSawSourceControlDialog;
}

void CZRRevisionControlPropertiesMgr::SetUserSawSourceControlDialog(bool value)
{
    userSawSourceControlDialog = value;
    NotifyPropertiesChanged();
}

void CZRRevisionControlPropertiesMgr::Init() {}

void CZRRevisionControlPropertiesMgr::Term() {}

const char* CZRRevisionControlPropertiesMgr::GetClsName() const
{
    return kClassName;
}

void CZRRevisionControlPropertiesMgr::PushAccountToDataControl()
{
    // Through the virtual table, so that a host that refines the account building is honoured.
    const qor4::IUserParameters* parameters = static_cast<IRevisionControlPropertiesMgr*>(this)->GetUserParameters();
    qor4::QORPtr<qor4::IDataControl> dataControl = GetDataControlOf(ProxyDataModelMgr());
    if (dataControl) dataControl->SetUserParameters(parameters);
}
