CREATE TABLE programs (id INTEGER PRIMARY KEY AUTOINCREMENT, number INTEGER NOT NULL, name TEXT NOT NULL DEFAULT '', version INTEGER NOT NULL, state TEXT NOT NULL CHECK (state IN ('draft', 'approved', 'retired')), program TEXT NOT NULL, created_by TEXT NOT NULL DEFAULT '', created_at TEXT NOT NULL, approved_by TEXT, approved_at TEXT, retired_by TEXT, retired_at TEXT)
CREATE UNIQUE INDEX programs_number_version ON programs (number, version)
CREATE TABLE program_parts (program_id INTEGER NOT NULL REFERENCES programs (id) ON DELETE CASCADE, part_number TEXT NOT NULL, PRIMARY KEY (program_id, part_number))
CREATE INDEX program_parts_part ON program_parts (part_number)
CREATE TABLE verifications (id INTEGER PRIMARY KEY AUTOINCREMENT, station TEXT NOT NULL, performed_at TEXT NOT NULL, performed_by TEXT NOT NULL DEFAULT '', reference_name TEXT NOT NULL DEFAULT '', reference_certificate TEXT NOT NULL DEFAULT '', reference_due TEXT, permitted_error_percent REAL NOT NULL, as_found TEXT NOT NULL CHECK (as_found IN ('pass', 'fail')), as_left TEXT CHECK (as_left IN ('pass', 'fail')), next_due TEXT NOT NULL, source TEXT NOT NULL CHECK (source IN ('guided', 'external')), certificate TEXT NOT NULL DEFAULT '', recorded_by TEXT NOT NULL DEFAULT '', recorded_at TEXT NOT NULL)
CREATE INDEX verifications_station ON verifications (station, performed_at)
CREATE TABLE verification_points (verification_id INTEGER NOT NULL REFERENCES verifications (id) ON DELETE CASCADE, stage TEXT NOT NULL CHECK (stage IN ('as found', 'as left')), quantity TEXT NOT NULL CHECK (quantity IN ('force', 'distance')), seq INTEGER NOT NULL, reference REAL NOT NULL, indicated REAL NOT NULL, error_percent REAL NOT NULL, PRIMARY KEY (verification_id, stage, quantity, seq))
CREATE TABLE lab_settings (name TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (name))
ALTER TABLE tests ADD COLUMN program_id INTEGER
ALTER TABLE tests ADD COLUMN program_version INTEGER
ALTER TABLE tests ADD COLUMN verification_id INTEGER
CREATE UNIQUE INDEX programs_one_approved ON programs (number) WHERE state = 'approved'
CREATE UNIQUE INDEX programs_one_draft ON programs (number) WHERE state = 'draft'
CREATE TRIGGER programs_start_as_drafts BEFORE INSERT ON programs WHEN NEW.state <> 'draft' BEGIN SELECT RAISE(ABORT, 'a program version starts as a draft'); END
CREATE TRIGGER programs_never_deleted BEFORE DELETE ON programs BEGIN SELECT RAISE(ABORT, 'a program version is never deleted'); END
CREATE TRIGGER programs_only_drafts_change BEFORE UPDATE ON programs WHEN OLD.state = 'retired' OR (OLD.state = 'approved' AND NEW.state <> 'retired') OR NEW.id <> OLD.id OR NEW.created_at IS NOT OLD.created_at OR (OLD.state <> 'draft' AND (NEW.program IS NOT OLD.program OR NEW.number IS NOT OLD.number OR NEW.version IS NOT OLD.version OR NEW.name IS NOT OLD.name)) BEGIN SELECT RAISE(ABORT, 'only a draft program version changes'); END
CREATE TRIGGER program_parts_of_drafts_added BEFORE INSERT ON program_parts WHEN (SELECT state FROM programs WHERE id = NEW.program_id) <> 'draft' BEGIN SELECT RAISE(ABORT, 'the parts of a program version change only while it is a draft'); END
CREATE TRIGGER program_parts_of_drafts_removed BEFORE DELETE ON program_parts WHEN (SELECT state FROM programs WHERE id = OLD.program_id) <> 'draft' BEGIN SELECT RAISE(ABORT, 'the parts of a program version change only while it is a draft'); END
CREATE TRIGGER program_parts_not_changed BEFORE UPDATE ON program_parts BEGIN SELECT RAISE(ABORT, 'the parts of a program version change only while it is a draft'); END
CREATE TRIGGER verifications_kept_changed BEFORE UPDATE ON verifications BEGIN SELECT RAISE(ABORT, 'a verification on record is never changed'); END
CREATE TRIGGER verifications_kept_deleted BEFORE DELETE ON verifications BEGIN SELECT RAISE(ABORT, 'a verification on record is never deleted'); END
CREATE TRIGGER verification_points_kept_changed BEFORE UPDATE ON verification_points BEGIN SELECT RAISE(ABORT, 'a verification on record is never changed'); END
CREATE TRIGGER verification_points_kept_deleted BEFORE DELETE ON verification_points BEGIN SELECT RAISE(ABORT, 'a verification on record is never deleted'); END
