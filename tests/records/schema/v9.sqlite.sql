ALTER TABLE point_results ADD COLUMN part_number TEXT NOT NULL DEFAULT ''
UPDATE point_results SET part_number = COALESCE((SELECT t.part_number FROM tests t WHERE t.id = point_results.test_id), '')
CREATE INDEX point_results_part ON point_results (part_number, test_id, point_no, force, lower, upper)
DROP INDEX IF EXISTS point_results_forces
