ALTER TABLE tests DROP CONSTRAINT IF EXISTS tests_status_check, ADD CONSTRAINT tests_status_check CHECK (status IN ('running', 'complete', 'interrupted', 'aborted'))
ALTER TABLE tests ADD COLUMN gap_seconds DOUBLE PRECISION
ALTER TABLE tests ADD COLUMN gap_from DOUBLE PRECISION
ALTER TABLE tests ADD COLUMN gap_to DOUBLE PRECISION
