ALTER TABLE point_results ADD COLUMN part_number TEXT NOT NULL DEFAULT ''
ALTER TABLE point_results DISABLE TRIGGER USER
UPDATE point_results r SET part_number = t.part_number FROM tests t WHERE t.id = r.test_id
ALTER TABLE point_results ENABLE TRIGGER USER
CREATE INDEX point_results_part ON point_results (part_number, test_id, point_no, force, lower, upper)
DROP INDEX IF EXISTS point_results_forces
CREATE OR REPLACE FUNCTION torvelin_point_part()
RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.part_number := coalesce((SELECT t.part_number FROM tests t WHERE t.id = NEW.test_id), '');
  RETURN NEW;
END $$
CREATE OR REPLACE TRIGGER torvelin_point_part BEFORE INSERT OR UPDATE ON point_results FOR EACH ROW EXECUTE FUNCTION torvelin_point_part()
CREATE OR REPLACE FUNCTION torvelin_test_part()
RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  UPDATE point_results SET part_number = NEW.part_number WHERE test_id = NEW.id;
  RETURN NULL;
END $$
CREATE OR REPLACE TRIGGER torvelin_test_part AFTER UPDATE OF part_number ON tests FOR EACH ROW WHEN (OLD.part_number IS DISTINCT FROM NEW.part_number) EXECUTE FUNCTION torvelin_test_part()
