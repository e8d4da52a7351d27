-- The reference database of the patch: an empty database that the packed
-- schema gives the structure the demo database is brought to. A copy that an
-- interrupted run left behind goes first.
DROP DATABASE IF EXISTS %TEMPDATABASE%
GO
CREATE DATABASE %TEMPDATABASE% ENCODING 'UTF8' TEMPLATE template0
