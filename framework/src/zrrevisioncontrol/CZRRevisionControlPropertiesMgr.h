// The preference manager the host builds and registers as "RevisionControlPropertiesMgr".
// Every choice lives in the host's preference store under "RevControl." keys.
#pragma once

#include "IRevisionControlPropertiesMgr.h"
#include "zrrc_export.h"

#include "lark/ISystem.h"

class ZRRC_EXPORT CZRRevisionControlPropertiesMgr : public IRevisionControlPropertiesMgr,
                                                    public lark::ISingleton,
                                                    public lark::IBase,
                                                    public lark::IDestroy {
public:
    CZRRevisionControlPropertiesMgr();
    ~CZRRevisionControlPropertiesMgr() override;

    static const char* GetSingletonName();

    bool GetAccountProperties(std::string& userName, std::string& server, std::string& workspace) override;
    bool GetActionWhenEditingReadOnlyAsset(ActionWhenEditingReadOnlyAsset& action) const override;
    bool GetAlwaysUseSetting(bool& value) override;
    bool GetChangeListToUseWhenAutoCheckingOut(std::string& changeList) const override;
    bool GetPromptForChangeListWhenCheckingOut(bool& value) override;
    const qor4::IUserParameters* GetUserParameters() const override;
    bool GetUseSourceDataControl(bool& value) override;
    bool SetAccountProperties(const std::string& userName, const std::string& server,
                              const std::string& workspace) override;
    bool SetActionWhenEditingReadOnlyAsset(ActionWhenEditingReadOnlyAsset action) override;
    bool SetAlwaysUseSetting(bool value) override;
    bool SetChangeListToUseWhenAutoCheckingOut(const std::string& changeList) override;
    bool SetPromptForChangeListWhenCheckingOut(bool value) override;
    bool SetUseSourceDataControl(bool value) override;
    bool GetUserSawSourceControlDialog() const override;
    void SetUserSawSourceControlDialog(bool value) override;

    void Init() override;
    void Term() override;
    const char* GetClsName() const override;

private:
    // Installs the stored account on the data control so that a change takes effect at once.
    void PushAccountToDataControl();

    bool userSawSourceControlDialog = false;
};
