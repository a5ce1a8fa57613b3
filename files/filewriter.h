// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

enum class FileWriteStatus {
    Written,
    ReadOnly,  // the file's permission bits deny its owner writing: left alone
    Failed,    // the file system refused; any previous file is as it was
};

struct FileWriteResult
{
    FileWriteStatus status = FileWriteStatus::Written;
    QString reason;  // the system's words, when Failed
    bool ok() const { return status == FileWriteStatus::Written; }
};

// Makes the file at path hold exactly bytes, creating it when it doesn't exist. Only a
// regular file is replaced: a device node, a FIFO or a folder there is left as it is
// (Failed, with the reason).
//
// A file whose owner may not write it is read-only, whoever runs the program: the
// superuser passes every access check, so only the permission bits tell.
//
// The new content goes to a temporary file beside the old one, which it replaces only
// once it is complete. A folder that takes no new files leaves one way: an existing
// writable file is rewritten in place, and if that fails its old content is put back.
FileWriteResult replaceFileContents(const QString &path, QByteArrayView bytes);
