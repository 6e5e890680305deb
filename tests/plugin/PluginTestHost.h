// A fresh stand-in host for the plug-in's own plumbing: system, preference store, proxy and log,
// with the plug-in's preference manager registered as the host does it.
#pragma once

#include "CZRRevisionControlPropertiesMgr.h"
#include "FakeServices.h"

#include "LiveCounters.h"
#include "MemoryLog.h"
#include "PrefManager.h"
#include "QORDBProxy.h"
#include "System.h"

#include <gtest/gtest.h>

class PluginTestHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        standin::System::Reset();
        standin::System& system = standin::System::Instance();
        prefs = new standin::PrefManager();
        system.RegisterSingleton(standin::PrefManager::kSingletonName, prefs);
        proxy = new standin::QORDBProxy();
        system.RegisterSingleton(standin::QORDBProxy::kSingletonName, proxy);
        properties = new CZRRevisionControlPropertiesMgr();
        system.RegisterSingleton(CZRRevisionControlPropertiesMgr::GetSingletonName(), properties);
        connectionsAtStart = standin::LiveCounters::LiveConnections();
    }

    void TearDown() override { standin::System::Reset(); }

    // Puts the fake manager behind the proxy, with the given components.
    void InstallServices(MockDataControl* dataControl, MockFileVersionControl* fileVersionControl)
    {
        manager.Install(dataControl, fileVersionControl);
        proxy->SetDataModelMgr(qor4::QORPtr<qor4::IDataModelMgr>(&manager));
    }

    standin::MemoryLog log;
    FakeDataModelMgr manager;
    standin::PrefManager* prefs = nullptr;
    standin::QORDBProxy* proxy = nullptr;
    CZRRevisionControlPropertiesMgr* properties = nullptr;
    long connectionsAtStart = 0;
};
