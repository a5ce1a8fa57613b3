// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the database reader: any bytes, from memory and from a file.
// Aborts (a finding) when the two readers disagree, when a rejected file touched the
// list, or when an accepted list does not survive writing and reading back.

#include "config/configword.h"
#include "database/databasefile.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void finding(const char *what)
{
    std::fprintf(stderr, "fuzz_database: %s\n", what);
    std::abort();
}

// An in-memory file, so readDatabaseFile reads a real path without touching the disk.
int memoryFile()
{
    static const int fd = memfd_create("fuzz.cdb", 0);
    if (fd < 0)
        finding("memfd_create failed");
    return fd;
}

void checkWords(const QList<MechanismEntry> &entries)
{
    for (const MechanismEntry &entry : entries) {
        // Whatever a file's word field holds, what it shows encodes back to a word whose
        // fields keep to their own positions.
        const DecodedFields decoded = entry.word.decoded();
        for (const EditorFields &fields : {decoded.values, decoded.selected}) {
            if ((ConfigWord::fromFields(fields).value() & 0x800F) != 0x8000)
                finding("a decoded word encoded with position 1 clear or a bit in positions 13 to 16");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));

    const Result<QList<MechanismEntry>, DatabaseFileError> decoded = decodeDatabase(bytes);
    if (!decoded && decoded.error().reason.isEmpty())
        finding("a refused file without a reason");

    const int fd = memoryFile();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        finding("could not fill the in-memory file");
    const MechanismEntry sentinel{u"sentinel"_s, EntryWord::fromText(u"0101010101010101"_s)};
    MechanismList list;
    list.append(sentinel);
    const Result<int, DatabaseFileError> read = readDatabaseFile(u"/proc/self/fd/%1"_s.arg(fd), list);
    if (bool(read) != bool(decoded) || (!read && read.error().kind != decoded.error().kind))
        finding("readDatabaseFile and decodeDatabase disagree on the status");

    if (!decoded) {
        if (list.count() != 1 || list.at(0) != sentinel)
            finding("a rejected file changed the list");
        return 0;
    }
    if (list.entries() != *decoded || *read != decoded->size())
        finding("readDatabaseFile and decodeDatabase disagree on the entries");

    // Names and words read from a file are already in their stored form.
    const QByteArray again = encodeDatabase(*decoded);
    if (again.size() != 18 + 34 * decoded->size())
        finding("the written size is not 18 + 34 N");
    const Result<QList<MechanismEntry>, DatabaseFileError> readAgain = decodeDatabase(again);
    if (!readAgain || *readAgain != *decoded)
        finding("entries changed through a write and a read");
    checkWords(*decoded);
    return 0;
}
