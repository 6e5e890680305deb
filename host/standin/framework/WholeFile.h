// Replacing a small file whole, so that a reader finds either the old content or the new one.
//
// QSaveFile alone is not enough: buffered, its commit() misses a flush that failed (a full disk
// gives an empty or cut-short file, told as written), and a write cut short is no error to it.
#pragma once

#include "HostExport.h"

#include <QByteArray>
#include <QString>

namespace standin {

// Empty when path now holds content; else why not, and path is as it was.
HOST_API QString ReplaceFileWhole(const QString& path, const QByteArray& content);

} // namespace standin
