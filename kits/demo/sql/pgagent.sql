-- The maintenance jobs live in pgAgent's tables of the postgres database.
CREATE EXTENSION IF NOT EXISTS pgagent
