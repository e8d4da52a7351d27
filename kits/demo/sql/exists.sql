-- Reaction 1001 with the number of creation steps that follow when the
-- database is there already: answering No (the quiet default) skips them,
-- so running the kit again updates an installed database. The database
-- has its name only once its last creation step made it whole.
SELECT CASE WHEN count(*) > 0 THEN 1001 ELSE 0 END,
       CASE WHEN count(*) > 0 THEN 5 ELSE 0 END
FROM pg_database WHERE datname = '%DATABASE%'
