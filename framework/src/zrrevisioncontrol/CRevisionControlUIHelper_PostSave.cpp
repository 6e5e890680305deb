// After a save: brings the workspace in line with what the save did on disk. Deleted files leave
// revision control, new assets are marked for add (CRevisionControlUIHelper_PostSave*.cpp).
#include "CRevisionControlUIHelper_PostSave.h"

#include "DesktopUtilities.h"
#include "HostServices.h"
#include "SessionRetry.h"
#include "zrChangeListSelectionDialog.h"

namespace PostSave {

bool Context::Reopen(const char* prefix, const char* prompt)
{
    if (!helper.ReopenSession(dataControl, prefix, prompt)) return false;
    account = dataControl->GetCurrentUserParameters();
    return true;
}

FilesStatus QueryFilesStatus(Context& context, const std::list<std::string>& files, const char* prefix,
                             const char* prompt)
{
    FilesStatus status;
    status.result = RunReopeningOnce(
        [&] {
            status.words.clear();
            status.changeLists.clear();
            std::string message;
            return context.fileVersionControl->GetFilesStatus(context.account, files, status.words, status.changeLists,
                                                              message, kFilesStatusFlags);
        },
        [&] { return context.Reopen(prefix, prompt); });
    return status;
}

ChangeListChoice ChooseChangeList(Context& context)
{
    ChangeListChoice choice;
    context.properties.GetPromptForChangeListWhenCheckingOut(choice.prompt);
    if (!choice.prompt) {
        context.properties.GetChangeListToUseWhenAutoCheckingOut(choice.changelist);
        if (!context.dataControl->IsChangeListValid(choice.changelist)) {
            choice.prompt = true;
            context.properties.SetPromptForChangeListWhenCheckingOut(true);
        }
    }
    if (choice.prompt && !IsInteractive()) {
        choice.changelist.clear();
        choice.prompt = false;
    }
    return choice;
}

bool AskChangeList(Context& context, const ChangeListQuestion& question, std::string& changelist)
{
    zrChangeListSelectionDialog dialog(context.dataControl, question.assetsText, question.files,
                                       question.showFilesAtStart, context.useSourceDataControl, nullptr);
    dialog.setWindowTitle(CRevisionControlUIHelper::tr(question.title));
    dialog.setMessage(CRevisionControlUIHelper::tr(question.message));
    dialog.setCheckOutButtonText(CRevisionControlUIHelper::tr(question.button));
    if (dialog.exec() == zrChangeListSelectionDialog::ResultCancel) return false;
    changelist = dialog.getChangeList();
    if (dialog.isDontShowAgainChecked()) {
        context.properties.SetPromptForChangeListWhenCheckingOut(false);
        context.properties.SetChangeListToUseWhenAutoCheckingOut(changelist);
    }
    return true;
}

std::string ListFileNames(const std::list<std::string>& files)
{
    std::string names;
    for (const std::string& file : files)
        names += file + "\n";
    return names;
}

} // namespace PostSave

void CRevisionControlUIHelper::OnPostSave(const opal::datamodel::ItemLibraryAccessor& library)
{
    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    if (!proxy) return;
    qor4::QORPtr<qor4::IDataModelMgr> manager = proxy->GetDataModelMgr();
    if (!manager) return;
    qor4::QORPtr<qor4::IQORInstance> instance = manager->GetManagerInstance();
    if (!instance) return;
    qor4::QORPtr<qor4::IDataControl> dataControl(instance->GetComponent(qor4::UID_DataControl()));

    auto* properties = GetHostSingleton<IRevisionControlPropertiesMgr>(HostNames::kPropertiesMgr);
    bool useSourceDataControl = false;
    if (!properties || !properties->GetUseSourceDataControl(useSourceDataControl) || !useSourceDataControl) return;
    if (!dataControl) return;
    const qor4::IUserParameters* account = dataControl->GetCurrentUserParameters();
    if (!account) return;
    if (proxy->GetItemLibrary() != library) return;

    std::list<std::string> deletedFiles;
    DbObjectHandles newObjects;
    qor4::ConstIterator<qor4::QORPtr<qor4::IDataSource>> sources = manager->GetDataSources();
    for (sources.First(); !sources.AtEnd(); sources.Next()) {
        qor4::QORPtr<qor4::IMultiFileDataSource> source(sources.Current());
        if (!source) continue;
        std::list<std::string> deleted;
        DbObjectHandles saved;
        std::list<std::string> savedFiles;
        source->GetDeletedFiles(deleted);
        source->GetSavedObjects(saved, savedFiles);
        source->ClearSaveRecord();
        deletedFiles.splice(deletedFiles.end(), deleted);
        for (const auto& object : saved)
            if (object.GetAncestorId().IsNull()) newObjects.push_back(object);
    }

    PostSave::Context context{
        *this,       *properties,
        dataControl, qor4::QORPtr<qor4::IFileVersionControl>(instance->GetComponent(qor4::UID_FileVersionControl())),
        account,     useSourceDataControl};
    if (!deletedFiles.empty() && !PostSave::HandleDeletedFiles(context, deletedFiles)) return;
    if (!newObjects.empty()) PostSave::HandleNewAssets(context, newObjects);
}
