ALTER TABLE tests ADD COLUMN station_id TEXT NOT NULL DEFAULT ''
ALTER TABLE tests ADD COLUMN record_uid TEXT
CREATE UNIQUE INDEX tests_record_uid ON tests (record_uid)
