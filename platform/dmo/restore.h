// Replacing a database's content from a dump made by pg_dump: custom, tar
// and directory archives through pg_restore, plain SQL through psql.
#pragma once

#include "dmo/dmo.h"

#include <functional>
#include <memory>
#include <string>

namespace dmo {

class Restore {
public:
    static std::shared_ptr<Restore> Create() { return std::make_shared<Restore>(); }

    // The dump: a file, or the folder of a directory archive.
    std::string Files;
    // The database whose content the dump replaces; it must exist.
    std::string Database;
    bool ReplaceDatabase = false;
    // Asked while the dump is checked and while the restoring tool runs;
    // true stops the restore.
    std::function<bool()> Cancelled;

    // Checks the dump (an archive is listed by pg_restore) and gives two
    // rows of LogicalName, PhysicalName, Type, FileGroupName: the data
    // (<db>_Data) and the log (<db>_Log), <db> from the archive's header or
    // the file's stem. Missing file: not-found-file error; a damaged
    // archive: tool error.
    std::shared_ptr<QueryResults> ReadFileList(SQLServer& server);

    // Checks that the dump is whole (CheckWhole), drops what earlier
    // restores of this database left behind (scratch databases nobody
    // uses), then restores into a new database made with the old one's
    // owner, encoding, locale, tablespace, connection limit, grants and
    // settings; only when that succeeded does the new database take the old
    // one's name, in one step, and the old one is dropped. On any failure
    // the old database stays as it was and the new one is dropped. Returns
    // false when Cancelled stopped it (the old database stays too).
    [[nodiscard]] bool SQLRestore(SQLServer& server);

    enum class Format { Custom, Tar, Directory, Plain };
    static Format Detect(const std::string& path);

    // Throws Error (file category) for a dump that is cut short or would
    // leave the database being restored: a plain dump must end with
    // pg_dump's closing comment outside any COPY data and must not create,
    // drop or connect to a database (pg_dump --create); every member of a
    // tar archive must be there, up to the end-of-archive marker; every
    // compressed file of a directory archive must be whole, and every table
    // data file must end as pg_dump ends it. A custom archive is left to
    // pg_restore, which fails on any cut. False when `cancelled` answered
    // true.
    static bool CheckWhole(const std::string& path, Format format, const std::function<bool()>& cancelled = {});
};

} // namespace dmo
