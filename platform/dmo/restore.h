// Replacing a database's content from a dump made by pg_dump: custom, tar
// and directory archives through pg_restore, plain SQL through psql.
#pragma once

#include "dmo/dmo.h"

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

    // Checks the dump (an archive is listed by pg_restore) and gives two
    // rows of LogicalName, PhysicalName, Type, FileGroupName: the data
    // (<db>_Data) and the log (<db>_Log), <db> from the archive's header or
    // the file's stem. Missing file: not-found-file error; a damaged
    // archive: tool error.
    std::shared_ptr<QueryResults> ReadFileList(SQLServer& server);

    // Restores into a new database made with the old one's owner, encoding,
    // locale, tablespace, connection limit, grants and settings; only when
    // that succeeded is the old database dropped and the new one given its
    // name. On any failure the old database stays as it was.
    void SQLRestore(SQLServer& server);

    enum class Format { Custom, Tar, Directory, Plain };
    static Format Detect(const std::string& path);
};

} // namespace dmo
