-- The database is built under a name of its own; what an install cut off
-- before its last creation step left under that name goes first, with any
-- session the cut-off run left on it.
DROP DATABASE IF EXISTS %DATABASE%__installing WITH (FORCE)
GO
CREATE DATABASE %DATABASE%__installing ENCODING 'UTF8' TEMPLATE template0
