// The steps of the headless walkthrough: one function per step, each acting through the host as an
// editor would, answering the plug-in's windows, and checking the real state afterwards.
#pragma once

#include "DemoHost.h"
#include "testkit/ModalDriver.h"

#include <string>
#include <vector>

namespace demo {

struct StepContext {
    DemoHost& host;
    standin::ModalDriver& modal;
    std::size_t firstWindow = 0; // index of the step's first window in modal.Seen()
    std::vector<std::string> failures;
    std::vector<std::string> notes;

    // Records a failure "expected <what>" when condition is false.
    void Expect(bool condition, const std::string& what);
    void Note(const std::string& text) { notes.push_back(text); }
    // The windows this step met so far.
    std::vector<standin::ModalDriver::Window> Windows() const;
};

using StepFunction = void (*)(StepContext&);

struct StepDefinition {
    const char* id;
    const char* title;
    StepFunction run;
};

const std::vector<StepDefinition>& WalkthroughStepTable();

// Shared by the steps: the sample asset of that name (a failure when there is none), and a check
// that every file of the asset has all bits of wanted and none of unwanted.
standin::DbObject* RequireAsset(StepContext& step, const char* name);
void ExpectFiles(StepContext& step, const std::string& asset, qor4::StatusWord wanted, qor4::StatusWord unwanted,
                 const std::string& what);

// The steps of the revision-control actions beyond the editor's.
void RevertDropsChangesAndLock(StepContext& step);
void MarkForAddTheAssetLeftOut(StepContext& step);
void GetLatestBringsOthersWork(StepContext& step);

} // namespace demo
