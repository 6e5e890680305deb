// Listing the files behind one asset, and showing them in a list dialog or the file manager.
#include "CRevisionControlUIHelper.h"

#include "DesktopUtilities.h"
#include "HostServices.h"
#include "NarrowText.h"
#include "qfilelistwidget.h"

#include "Log/Log.h"

namespace {

constexpr char kLogHeading[] = "Files for asset: ";
constexpr char kDialogTitle[] = "Files for asset ";
constexpr char kSeparator[] = ",";
constexpr char kLineEnd[] = "\n";

} // namespace

void CRevisionControlUIHelper::GetAssetFiles(const qor4::QORHandle<qor4::IDbObject>& asset, QStringList& files)
{
    const qor4::QORPtr<qor4::IDataControl> dataControl = GetDataControlOf(asset.GetManager());
    std::set<std::string> paths;
    const qor4::qorResult result = dataControl->GetObjectFileList(asset, true, kDataControlContext, false, paths);
    if (result != qor4::kResultOk) return;
    for (const std::string& path : paths)
        files.append(FromNarrow(path));
}

void CRevisionControlUIHelper::ShowAssetFiles(const qor4::QORHandle<qor4::IDbObject>& asset, bool inExplorer)
{
    QStringList files;
    static_cast<qor4::IRevisionControlUIHelper*>(this)->GetAssetFiles(asset, files);

    std::string listing;
    for (int i = 0; i < files.size(); ++i) {
        listing += ToNarrow(files[i]);
        if (i + 1 < files.size()) listing += kSeparator;
        listing += kLineEnd;
    }
    const std::string name = asset.GetName();
    Log::Singleton::Instance() << Log::MsgType::Info << (kLogHeading + name + kLineEnd + listing);

    if (inExplorer) {
        if (!files.isEmpty()) ShowFilesInExplorer(files);
        return;
    }
    ShowFileListDialog(FromNarrow(kDialogTitle) + FromNarrow(name), files);
}
