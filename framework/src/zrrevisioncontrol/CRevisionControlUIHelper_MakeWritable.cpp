// Making one asset's files writable without checking them out, through the host's command manager.
#include "CRevisionControlUIHelper.h"

#include "DesktopUtilities.h"
#include "HostServices.h"
#include "NarrowText.h"
#include "PlainMessageBox.h"
#include "ScsCommandRun.h"
#include "ScsMakeWritableCommand.h"

#include "Log/Log.h"

namespace {

constexpr char kSessionExpiredMessage[] = "Source control session expired. Password required to re-connect.";
constexpr char kUnknownError[] = "Unknown error";
constexpr char kNotExecutedError[] = "Could not execute command: Unknown error";
constexpr char kFailureText[] =
    QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Error found while trying to make the asset %1 writable:\n%2");
constexpr char kFailureTitle[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "I/O Error");
constexpr char kDetailsSeparator[] = "\nDetails:\n";
constexpr char kIOErrorBoxName[] = "ioErrorBox";

void ReportFailure(const QString& message, const std::string& details)
{
    if (!IsInteractive()) {
        Log::Singleton::Instance() << Log::MsgType::Error << (ToNarrow(message) + kDetailsSeparator + details);
        return;
    }
    PlainMessageBox box(QMessageBox::Critical, CRevisionControlUIHelper::tr(kFailureTitle), message, QMessageBox::Ok,
                        nullptr, Qt::Dialog);
    box.setObjectName(kIOErrorBoxName);
    box.setEscapeButton(QMessageBox::Ok);
    if (!details.empty()) box.setDetailedText(FromNarrow(details));
    box.setSizeGripEnabled(true);
    box.exec();
}

} // namespace

bool CRevisionControlUIHelper::MakeObjectWritable(const qor4::QORHandle<qor4::IDbObject>& object, bool includeExternal)
{
    qor4::QORPtr<qor4::IDataControl> dataControl = GetDataControlOf(object.GetManager());
    std::string errorText = kUnknownError;

    auto* commandManager = GetHostSingleton<lark::fwk::ICommandManager>(HostNames::kCommandManager);
    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    const opal::datamodel::ItemLibraryAccessor library = GetCommandLibrary(proxy);
    std::vector<opal::datamodel::UnspecifiedAccessor> assets;
    MakeAssetAccessors(library, DbObjectHandles{object}, assets);

    {
        ScsCommandRun run(commandManager, [&] { return new ScsMakeWritableCommand(library, assets, includeExternal); });
        run.Run([&] { return ReopenSession(dataControl, "", kSessionExpiredMessage); });
        if (run.Succeeded()) return true;
        if (!run.FirstExecuted()) {
            errorText = kNotExecutedError;
        } else if (const std::optional<std::string> serviceText = run.ErrorString()) {
            errorText = *serviceText;
        }
    }

    const QString message =
        tr(kFailureText)
            .arg(FromNarrow(dataControl->GetObjectName(object, kDataControlContext)), FromNarrow(errorText));
    std::set<std::string> files;
    dataControl->GetObjectFileList(object, includeExternal, kDataControlContext, false, files);
    std::string details;
    for (const std::string& file : files)
        details += file + "\n";

    ReportFailure(message, details);
    return false;
}
