// Re-opening an expired source-control session, and the error box that offers Retry.
#include "CRevisionControlUIHelper.h"

#include "BusyCursorGuard.h"
#include "DesktopUtilities.h"
#include "HostServices.h"
#include "NarrowText.h"
#include "PlainMessageBox.h"
#include "SecretWipe.h"
#include "zrpasswordrequireddialog.h"

#include "Log/Log.h"

#include <QByteArray>

namespace {

constexpr char kConnectionErrorTitle[] = "Connection Error";
constexpr char kCannotConnectText[] = "Cannot connect to version control";
// What the service's message holds when it refused the password; matched case-sensitively.
constexpr char kInvalidPasswordMarker[] = "Invalid password";
constexpr char kConnectionErrorBoxName[] = "connectionErrorBox";
constexpr char kRetryBoxName[] = "retryBox";
constexpr char kLogSeparator[] = ": ";

void ShowConnectionError(const QString& text)
{
    PlainMessageBox box(QMessageBox::Critical, FromNarrow(kConnectionErrorTitle), text, QMessageBox::Ok);
    box.setObjectName(kConnectionErrorBoxName);
    box.exec();
}

bool IsPasswordRefusal(const std::string& serviceMessage)
{
    return serviceMessage.find(kInvalidPasswordMarker) != std::string::npos;
}

// The typed password as the narrow (UTF-8) text the service takes, wiped when the attempt is over.
// Converted here rather than with ToNarrow so that the intermediate buffer can be wiped too.
class NarrowPassword {
public:
    explicit NarrowPassword(const QString& password)
    {
        QByteArray utf8 = password.toUtf8();
        text.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        WipeSecret(utf8.data(), static_cast<std::size_t>(utf8.size()));
    }
    ~NarrowPassword() { WipeSecret(text.data(), text.size()); }
    NarrowPassword(const NarrowPassword&) = delete;
    NarrowPassword& operator=(const NarrowPassword&) = delete;

    const std::string& Text() const { return text; }

private:
    std::string text;
};

} // namespace

bool CRevisionControlUIHelper::ReopenSession(qor4::QORPtr<qor4::IDataControl>& dataControl, const char* prefix,
                                             const char* message)
{
    if (!IsInteractive()) return false;

    auto* properties = GetHostSingleton<IRevisionControlPropertiesMgr>(HostNames::kPropertiesMgr);
    std::string userName;
    std::string server;
    std::string workspace;
    if (!properties || !properties->GetAccountProperties(userName, server, workspace)) {
        ShowConnectionError(FromNarrow(kCannotConnectText));
        return false;
    }

    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    if (!proxy) return false;
    qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl = GetFileVersionControlOf(proxy->GetDataModelMgr());

    std::string serviceMessage;
    const qor4::IUserParameters* parameters = nullptr;
    {
        BusyCursorGuard busy;
        parameters =
            fileVersionControl->CreateUserParameters(userName, std::string(), server, workspace, serviceMessage);
    }
    if (!parameters && !IsPasswordRefusal(serviceMessage)) {
        ShowConnectionError(FromNarrow(serviceMessage));
        return false;
    }

    PasswordRequiredDialog dialog;
    dialog.AddMessage(FromNarrow(std::string(prefix ? prefix : "") + (message ? message : "")));
    while (!parameters && IsPasswordRefusal(serviceMessage)) {
        if (dialog.exec() != QDialog::Accepted) break;
        {
            const NarrowPassword password(dialog.GetPassword());
            BusyCursorGuard busy;
            parameters =
                fileVersionControl->CreateUserParameters(userName, password.Text(), server, workspace, serviceMessage);
        }
        if (parameters) break;
        ShowConnectionError(FromNarrow(serviceMessage));
    }

    if (!parameters) return false;
    dataControl->SetUserParameters(parameters);
    return true;
}

bool CRevisionControlUIHelper::AskRetry(const std::string& title, const std::string& text)
{
    if (!IsInteractive()) {
        Log::Singleton::Instance() << Log::MsgType::Error << (title + kLogSeparator + text);
        return false;
    }
    PlainMessageBox box(QMessageBox::Critical, FromNarrow(title), FromNarrow(text),
                        QMessageBox::Ok | QMessageBox::Retry, nullptr, Qt::Dialog);
    box.setObjectName(kRetryBoxName);
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Retry;
}
