-- The login that installs the database administers it in Tarnwick.
INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin)
SELECT session_user, 1
WHERE NOT EXISTS (SELECT 1 FROM kelm_user WHERE lower(db_user_netname) = lower(session_user))
