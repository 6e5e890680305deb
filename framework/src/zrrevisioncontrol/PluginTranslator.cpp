#include "PluginTranslator.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace {

constexpr char kFileName[] = "zrrevisioncontrol";
constexpr char kPrefix[] = "_";
constexpr char kResourceFolder[] = ":/zrrevisioncontrol/translations";

// Owned by the application, so that it lives exactly as long as the texts it translates.
QPointer<QTranslator>& Installed()
{
    static QPointer<QTranslator> translator;
    return translator;
}

} // namespace

bool PluginTranslator::Install(const QLocale& locale)
{
    Remove();
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return false;
    auto* translator = new QTranslator(application);
    if (!translator->load(locale, kFileName, kPrefix, kResourceFolder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    Installed() = translator;
    return true;
}

void PluginTranslator::Remove()
{
    // A translator takes itself out of the application when it is deleted.
    delete Installed().data();
}
