// The plug-in's translation for the application's language: compiled in as a Qt resource and
// installed into the application when the module is registered.
#pragma once

class QLocale;

class PluginTranslator {
public:
    // Installs the translation for locale's language when the plug-in has one; true when it did.
    // A second call replaces the first one's translation.
    static bool Install(const QLocale& locale);
    // Takes the installed translation out of the application again.
    static void Remove();
};
