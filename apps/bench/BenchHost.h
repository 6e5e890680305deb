// BenchHost: the stand-in host with the plug-in, as the tests build it but without windows, over a
// Subversion working copy served by the benchmark's own svnserve. Its operations run on the worker
// thread, and the test kit's recorder counts the backend calls.
#pragma once

#include "CRevisionControlUIHelper.h"
#include "CZRRevisionControlPropertiesMgr.h"

#include "testkit/HostAssembly.h"

#include <memory>
#include <string>

class BenchHost {
public:
    BenchHost();
    ~BenchHost();
    // False (with the reason in error) when the plug-in or the account could not be set up.
    // configFolder: Subversion's configuration folder ("" the user's own).
    bool Start(const std::string& url, const std::string& user, const std::string& workingCopy,
               const std::string& configFolder, std::string& error);

    CRevisionControlUIHelper& Helper() const { return *m_helper; }
    standin::DataModelMgr& Manager() const { return *m_host->Model().Manager(); }
    standin::ItemLibrary& Library() const { return m_host->Model().Library(); }
    standin::RecordingBackend& Backend() const { return *m_host->BackendRecord(); }
    qor4::QORPtr<qor4::IDataControl> Control() const;
    standin::SessionId Session() const;
    // Saves the library and returns the seconds the plug-in's post-save notification took.
    double TimedPostSave(standin::SaveResult& saved);
    // Backend calls of one operation since the last ClearCalls.
    int CallsOf(const char* operation) const;

private:
    class PostSaveClock;

    std::unique_ptr<PostSaveClock> m_clock;
    std::unique_ptr<standin::HostAssembly> m_host;
    CRevisionControlUIHelper* m_helper = nullptr;
};
