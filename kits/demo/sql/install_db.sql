-- The last creation step: the whole database takes its name, in place of
-- the one the user chose to create anew. A database in use stays, and the
-- step fails.
DROP DATABASE IF EXISTS %DATABASE%
GO
ALTER DATABASE %DATABASE%__installing RENAME TO %DATABASE%
