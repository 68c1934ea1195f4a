CREATE INDEX tests_part_verdicts ON tests (part_number, started_at, id, status, verdict)
DROP INDEX IF EXISTS tests_part_started
