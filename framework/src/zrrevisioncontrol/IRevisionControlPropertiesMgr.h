// The revision-control preferences as every user of them sees them, reached through the host
// singleton "RevisionControlPropertiesMgr".
#pragma once

#include "zrrc_export.h"

#include "lark/signalling/IConnection.h"
#include "qor4/IUserParameters.h"

#include <boost/signals2/signal.hpp>

#include <string>

class IRevisionControlPropertiesMgr;

// Listener of preference changes.
class ZRRC_EXPORT IRevisionControlPropertiesMgr_Slot {
public:
    virtual ~IRevisionControlPropertiesMgr_Slot() = default;
    virtual void OnPropertiesChanged(IRevisionControlPropertiesMgr* manager) = 0;
};

class ZRRC_EXPORT IRevisionControlPropertiesMgr_Signal {
public:
    virtual ~IRevisionControlPropertiesMgr_Signal() = default;
    // Connects listener at the back; when connection is not null the caller receives (and owns) the
    // connection. The listener is not owned and must outlive its connection.
    virtual void Connect(IRevisionControlPropertiesMgr_Slot* listener, lark::signalling::IConnection** connection) = 0;
};

class ZRRC_EXPORT IRevisionControlPropertiesMgr : public IRevisionControlPropertiesMgr_Signal {
public:
    enum ActionWhenEditingReadOnlyAsset { kContinue = 0, kPrompt = 1, kCheckOut = 2, kMakeWritable = 3 };

    ~IRevisionControlPropertiesMgr() override;
    void Connect(IRevisionControlPropertiesMgr_Slot* listener, lark::signalling::IConnection** connection) override;

    virtual bool GetAccountProperties(std::string& userName, std::string& server, std::string& workspace) = 0;
    // False, leaving action untouched, when the stored number is not an action.
    virtual bool GetActionWhenEditingReadOnlyAsset(ActionWhenEditingReadOnlyAsset& action) const = 0;
    virtual bool GetAlwaysUseSetting(bool& value) = 0;
    virtual bool GetChangeListToUseWhenAutoCheckingOut(std::string& changeList) const = 0;
    virtual bool GetPromptForChangeListWhenCheckingOut(bool& value) = 0;
    // The account as stored, logged in through the file-version-control service; null when refused.
    virtual const qor4::IUserParameters* GetUserParameters() const = 0;
    virtual bool GetUseSourceDataControl(bool& value) = 0;
    virtual bool SetAccountProperties(const std::string& userName, const std::string& server,
                                      const std::string& workspace) = 0;
    virtual bool SetActionWhenEditingReadOnlyAsset(ActionWhenEditingReadOnlyAsset action) = 0;
    virtual bool SetAlwaysUseSetting(bool value) = 0;
    virtual bool SetChangeListToUseWhenAutoCheckingOut(const std::string& changeList) = 0;
    virtual bool SetPromptForChangeListWhenCheckingOut(bool value) = 0;
    virtual bool SetUseSourceDataControl(bool value) = 0;
    virtual bool GetUserSawSourceControlDialog() const = 0;
    virtual void SetUserSawSourceControlDialog(bool value) = 0;

protected:
    // Tells every unblocked listener, in connection order.
    void NotifyPropertiesChanged() { m_changed(this); }

private:
    boost::signals2::signal<void(IRevisionControlPropertiesMgr*)> m_changed;
};
