// Small desktop helpers shared by the dialogs and the UI helper.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

class QWidget;

// The object name the host gives its main window.
inline constexpr char kMainWindowObjectName[] = "OrnisWindow";

// True when the application shows at least one top-level widget: only then may a flow open a window.
bool IsInteractive();

// The host's visible main window, or null when it is absent or hidden.
QWidget* GetMainWindow();

// The cleaned path with backslash separators, as narrow text.
std::string ToNativePath(const QString& path);

// Opens one file-manager window per folder with that folder's files selected.
void ShowFilesInExplorer(const QStringList& files);
