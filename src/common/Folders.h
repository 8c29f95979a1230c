#pragma once

#include "common/Exception.h"

#include <QString>

#include <functional>

namespace kalvendo {

// Told how many bytes of how many are done: once at the start, after every
// piece and once at the end with done == total. The folder operations cannot be
// cancelled; once started they run to the end or to the first failure, so a
// window shows their progress without a Cancel button.
using FolderProgress = std::function<void(qint64 done, qint64 total)>;

// Paths relative to the copied folder, with '/', that a copy leaves out.
using CopyFilter = std::function<bool(const QString& relativePath)>;

// Copies every file and subfolder of `source` into `target`. A missing target
// is created (its parent must exist) and receives the contents of `source`; an
// existing one receives them beside what it holds, files of the same name
// replaced. Every file arrives whole or not at all, with its last-write time and
// permissions. Symbolic links are copied as links; sockets, pipes and devices
// are left out. Returns false at the first failure with the reason in `error`;
// what was copied before it stays.
bool copyFolder(const QString& source, const QString& target, QString* error = nullptr,
                const FolderProgress& progress = {}, const CopyFilter& skip = {});

// Removes the file or folder at `path` with everything in it, for good (no
// trash). Returns false when nothing was there or something could not be
// removed, with the reason in `error`.
bool deleteFolder(const QString& path, QString* error = nullptr,
                  const FolderProgress& progress = {});

// Copies one file through a temporary file beside the target, so the target is
// replaced only by a complete copy, and gives it the source's last-write time
// and permissions. `advanced` is told the bytes of each piece copied. Throws
// EFOpenError / EInOutError when the source cannot be opened / read, EWriteError when the target
// cannot be written.
void copyFileWhole(const QString& source, const QString& target,
                   const std::function<void(qint64 bytes)>& advanced = {});

} // namespace kalvendo
