// The module exports exactly what the host needs: the entry point under its plain C name and the
// classes the host builds or derives from. Anything else leaking out would tie the host to internals.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QStringList kExportedClasses = {
    "CZRRevisionControlPropertiesMgr",
    "IRevisionControlPropertiesMgr",
    "BaseScsCommand",
    "ScsCheckOutCommand",
    "ScsMarkForAddCommand",
    "ScsMakeWritableCommand",
    "PasswordRequiredDialog",
    "IRevisionControlPropertiesMgr_Signal",
};
// The listener interface is only declared: hosts that implement it make its type information.
const QStringList kDeclaredOnlyClasses = {"IRevisionControlPropertiesMgr_Slot"};
// Symbols every linker adds to a shared object.
const QStringList kLinkerSymbols = {"_init", "_fini", "_edata", "_end", "__bss_start"};

struct Symbol {
    QString type;
    QString name;
};

std::vector<Symbol> ExportedSymbols()
{
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", "--demangle", ZR_MODULE_FILE});
    EXPECT_TRUE(nm.waitForFinished(30000));
    EXPECT_EQ(nm.exitCode(), 0) << nm.readAllStandardError().toStdString();
    std::vector<Symbol> symbols;
    for (const QString& line : QString::fromUtf8(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        // "<address> <type> <name>"
        const QStringList parts = line.split(' ');
        if (parts.size() < 3) continue;
        symbols.push_back({parts[1], parts.mid(2).join(' ')});
    }
    return symbols;
}

bool BelongsToExportedClass(const QString& name)
{
    // AddressSanitizer marks every exported global with an indicator named after its mangled name.
    static const QString kSanitizerIndicator = "__odr_asan.";
    if (name.startsWith(kSanitizerIndicator)) {
        const QString mangled = name.mid(kSanitizerIndicator.size());
        for (const QString& cls : kExportedClasses)
            if (mangled.contains(QString::number(cls.size()) + cls)) return true;
        return false;
    }
    for (const QString& cls : kExportedClasses + kDeclaredOnlyClasses) {
        if (name.startsWith(cls + "::") || name.endsWith(" " + cls) || name.contains(" " + cls + "::") ||
            name.startsWith("QtPrivate::QMetaTypeForType<" + cls))
            return true;
    }
    return false;
}

TEST(ExportedSymbols, TheEntryPointAndEveryExportedClassAndNothingElse)
{
    const std::vector<Symbol> symbols = ExportedSymbols();
    ASSERT_FALSE(symbols.empty());
    for (const Symbol& symbol : symbols) {
        const bool allowed = symbol.name == "pxkPluginRegister" || kLinkerSymbols.contains(symbol.name) ||
                             BelongsToExportedClass(symbol.name);
        EXPECT_TRUE(allowed) << "unexpected export: " << symbol.name.toStdString();
    }

    const auto has = [&symbols](const QString& name) {
        return std::any_of(symbols.begin(), symbols.end(), [&name](const Symbol& s) { return s.name == name; });
    };
    const auto entry =
        std::find_if(symbols.begin(), symbols.end(), [](const Symbol& s) { return s.name == "pxkPluginRegister"; });
    ASSERT_NE(entry, symbols.end()) << "pxkPluginRegister is not exported under its plain name";
    EXPECT_EQ(entry->type, "T");
    EXPECT_TRUE(has("CZRRevisionControlPropertiesMgr::CZRRevisionControlPropertiesMgr()"));
    EXPECT_TRUE(has("CZRRevisionControlPropertiesMgr::GetSingletonName()"));
    EXPECT_TRUE(has("vtable for CZRRevisionControlPropertiesMgr"));
    for (const QString& cls : kExportedClasses)
        EXPECT_TRUE(has("typeinfo for " + cls)) << cls.toStdString() << " is not exported";
}

} // namespace
