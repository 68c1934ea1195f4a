ALTER TABLE tests ADD COLUMN station_started_at TEXT
ALTER TABLE tests ADD COLUMN station_finished_at TEXT
ALTER TABLE tests ADD COLUMN amended INTEGER NOT NULL DEFAULT 0
CREATE TABLE audit_log (id BIGSERIAL PRIMARY KEY, at TEXT NOT NULL, db_user TEXT NOT NULL, action TEXT NOT NULL CHECK (action IN ('insert', 'update', 'delete')), table_name TEXT NOT NULL, row_id INTEGER, test_id INTEGER, old_values TEXT, new_values TEXT, reason TEXT NOT NULL DEFAULT '')
CREATE INDEX audit_log_test ON audit_log (test_id)
CREATE TABLE signatures (id BIGSERIAL PRIMARY KEY, test_id INTEGER NOT NULL REFERENCES tests (id) ON DELETE CASCADE, db_user TEXT NOT NULL, at TEXT NOT NULL, meaning TEXT NOT NULL CHECK (meaning IN ('reviewed', 'approved', 'rejected')), comment TEXT NOT NULL DEFAULT '')
CREATE INDEX signatures_test ON signatures (test_id)
CREATE TABLE amendments (id BIGSERIAL PRIMARY KEY, test_id INTEGER NOT NULL REFERENCES tests (id) ON DELETE CASCADE, db_user TEXT NOT NULL, at TEXT NOT NULL, field TEXT NOT NULL CHECK (field IN ('part_number', 'batch', 'serial_number')), old_value TEXT NOT NULL DEFAULT '', new_value TEXT NOT NULL DEFAULT '', reason TEXT NOT NULL)
CREATE INDEX amendments_test ON amendments (test_id)
