// After a save: brings the workspace in line with what the save did on disk. Deleted files leave
// revision control, new assets are marked for add (CRevisionControlUIHelper_PostSave*.cpp).
#include "CRevisionControlUIHelper_PostSave.h"

#include "DesktopUtilities.h"
#include "HostServices.h"

#include <QCoreApplication>

namespace PostSave {

namespace {
constexpr char kTranslationContext[] = "CRevisionControlUIHelper";
constexpr int kStatusFlags = 0;
} // namespace

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
    std::string message;
    status.result = context.fileVersionControl->GetFilesStatus(context.account, files, status.words, status.changeLists,
                                                               message, kStatusFlags);
    if (status.result == qor4::kResultSessionExpired && context.Reopen(prefix, prompt)) {
        status.words.clear();
        status.changeLists.clear();
        message.clear();
        status.result = context.fileVersionControl->GetFilesStatus(context.account, files, status.words,
                                                                   status.changeLists, message, kStatusFlags);
    }
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

std::string ListFileNames(const std::list<std::string>& files)
{
    std::string names;
    for (const std::string& file : files)
        names += file + "\n";
    return names;
}

QString Tr(const char* text)
{
    return QCoreApplication::translate(kTranslationContext, text);
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
